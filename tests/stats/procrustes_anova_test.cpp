#include "stats/procrustes_anova.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/errors.hpp"
#include "stats/example_data.hpp"
#include "stats/model_formula.hpp"

namespace velmora::stats {
namespace {

void expect_relative(double value, const std::string& want, const std::string& what) {
  const double w = std::stod(want);
  EXPECT_NEAR(value, w, 1e-10 * std::abs(w)) << what;
}

TEST(ProcrustesAnova, MatchesRAndAnIndependentRandomization) {
  const Example e = read_example();
  const auto r = read_golden("populations_r.txt");
  const auto numpy = read_golden("populations_numpy.txt");
  const ModelFormula f = parse_model_formula("shape ~ log(CS) * population + side");
  const ModelDesign d = model_design(f, e.variables, e.shape.rows());
  for (const auto type : {SumsOfSquares::Sequential, SumsOfSquares::Marginal}) {
    const std::string kind = type == SumsOfSquares::Sequential ? "I " : "II ";
    const ProcrustesAnova a = *procrustes_anova(e.shape, d, type, 999, 11);
    std::vector<AnovaLine> lines = a.terms;
    lines.push_back(a.residuals);
    lines.push_back(a.total);
    ASSERT_EQ(lines.size(), 6u);
    for (const AnovaLine& l : lines) {
      const std::string key = kind + l.term;
      ASSERT_TRUE(r.count(key)) << key;
      const auto& want = r.at(key);  // Df SS MS Rsq F
      EXPECT_EQ(std::to_string(l.df), want[0]) << key;
      expect_relative(l.ss, want[1], key + " SS");
      if (l.has_ms) expect_relative(l.ms, want[2], key + " MS");
      expect_relative(l.r_squared, want[3], key + " Rsq");
      if (!l.tested) continue;
      expect_relative(l.F, want[4], key + " F");
      // Monte-Carlo error of a p value from 999 permutations: at most
      // √(p(1−p)/999) ≈ 0.016 each; four of them allow for both runs.
      const double p_numpy = std::stod(numpy.at(key)[5]);
      EXPECT_NEAR(l.p, p_numpy,
                  4 * std::sqrt(std::max(p_numpy * (1 - p_numpy), 0.01) / 999) + 1e-12)
          << key;
      // Z from another set of 999 permutations: its mean and spread move by
      // a few per cent.
      const double z_numpy = std::stod(numpy.at(key)[6]);
      EXPECT_NEAR(l.z, z_numpy, 0.15 * std::abs(z_numpy) + 0.25) << key;
    }
  }
}

// Sequential sums of squares randomize every term from one product with
// the shape; the last term's reduced model is the same under type II, which
// randomizes it on its own: the two agree in every permuted F and p.
TEST(ProcrustesAnova, SharedRandomizationAgreesWithTheTermOnItsOwn) {
  const Example e = read_example();
  const ModelDesign d =
      model_design(parse_model_formula("shape ~ log(CS) * population + side"), e.variables, 80);
  const ProcrustesAnova one = *procrustes_anova(e.shape, d, SumsOfSquares::Sequential, 199, 3);
  const ProcrustesAnova own = *procrustes_anova(e.shape, d, SumsOfSquares::Marginal, 199, 3);
  ASSERT_EQ(one.terms.back().term, "log(CS):population");
  EXPECT_EQ(one.terms.back().p, own.terms.back().p);
  EXPECT_LT((one.log_f.back() - own.log_f.back()).cwiseAbs().maxCoeff(), 1e-12);
}

TEST(ProcrustesAnova, SameSeedSameTableAndTheTableText) {
  const Example e = read_example();
  const ModelDesign d =
      model_design(parse_model_formula("shape ~ log(CS) * population"), e.variables, 80);
  const std::string once =
      anova_table_text(*procrustes_anova(e.shape, d, SumsOfSquares::Sequential, 99, 5), false);
  EXPECT_EQ(once, anova_table_text(*procrustes_anova(e.shape, d, SumsOfSquares::Sequential, 99, 5),
                                   false));
  std::istringstream lines(once);
  std::string header, first, last;
  std::getline(lines, header);
  EXPECT_EQ(header.substr(0, 4), "TERM");
  std::istringstream h(header);
  std::vector<std::string> cols;
  for (std::string w; h >> w;) cols.push_back(w);
  EXPECT_EQ(cols, (std::vector<std::string>{"TERM", "Df", "SS", "MS", "Rsq", "F", "Z", "Pr(>F)"}));
  for (std::string l; std::getline(lines, l);) last = l;
  std::istringstream t(last);
  cols.clear();
  for (std::string w; t >> w;) cols.push_back(w);
  EXPECT_EQ(cols,
            (std::vector<std::string>{"Total", "79", "0.0608877", "NA", "1", "NA", "NA", "NA"}));
}

TEST(ModelFormula, ReadsTermsAsROrdersThemAndRefusesBadOnes) {
  const ModelFormula f = parse_model_formula(" shape ~ a:b + ln(x) * g + a + `my var` ");
  std::vector<std::string> labels;
  for (const ModelTerm& t : f.terms) labels.push_back(t.label());
  EXPECT_EQ(labels, (std::vector<std::string>{"log(x)", "g", "a", "my var", "a:b", "log(x):g"}));
  auto refusal = [](const std::string& text) {
    try {
      parse_model_formula(text);
    } catch (const NumericError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refusal("size ~ x"),
            "The model \"size ~ x\" cannot be read: the left side of ~ must be shape, found "
            "\"size\".");
  EXPECT_EQ(refusal("shape ~ x +"),
            "The model \"shape ~ x +\" cannot be read: expected a name at "
            "\"the end\".");
  EXPECT_EQ(refusal("shape ~ log(x"),
            "The model \"shape ~ log(x\" cannot be read: expected ) at \"the end\".");
}

TEST(ModelDesign, RefusesDegenerateModelsNamingTheTerm) {
  const Eigen::Index n = 8;
  Eigen::VectorXd x(n), twice(n), flat = Eigen::VectorXd::Constant(n, 2.0), negative(n);
  x << 1, 2, 3, 4, 5, 7, 8, 9;
  twice = 2 * x;
  negative << 1, 2, -3, 4, 5, 6, 7, 8;
  std::vector<ModelVariable> v{{"x", true, x, {}},
                               {"x2", true, twice, {}},
                               {"flat", true, flat, {}},
                               {"neg", true, negative, {}},
                               {"one", false, {}, {"A", "A", "A", "A", "A", "A", "A", "A"}},
                               {"lone", false, {}, {"A", "A", "B", "A", "A", "A", "A", "A"}},
                               {"g", false, {}, {"A", "A", "B", "B", "C", "C", "C", "C"}},
                               {"h", false, {}, {"P", "Q", "P", "P", "Q", "Q", "Q", "Q"}},
                               {"pair", false, {}, {"W", "W", "X", "X", "Y", "Y", "Z", "Z"}}};
  auto refusal = [&](const std::string& text) {
    try {
      model_design(parse_model_formula(text), v, n);
    } catch (const NumericError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refusal("shape ~ one"),
            "The model term \"one\" cannot be fitted: the factor one has "
            "one level (\"A\") for every specimen.");
  EXPECT_EQ(refusal("shape ~ lone"),
            "The model term \"lone\" cannot be fitted: level \"B\" of "
            "lone has one specimen; every level needs two or more.");
  EXPECT_EQ(refusal("shape ~ flat"),
            "The model term \"flat\" cannot be fitted: flat is the same "
            "for every specimen.");
  EXPECT_EQ(refusal("shape ~ x + x2"),
            "The model term \"x2\" cannot be fitted: 1 of its 1 column depends on the terms "
            "before it (collinear, or a combination of levels without specimens).");
  EXPECT_EQ(refusal("shape ~ g * h"),
            "The model term \"g:h\" cannot be fitted: 2 of its 2 columns depend on the terms "
            "before it (collinear, or a combination of levels without specimens).");
  EXPECT_EQ(
      refusal("shape ~ pair * x"),
      "The model term \"pair:x\" brings the model to 8 columns (the intercept included) for 8 "
      "specimens; a model needs fewer columns than specimens.");
  EXPECT_EQ(refusal("shape ~ log(neg)"),
            "The model term \"log(neg)\" needs positive values of neg "
            "for the logarithm; specimen 3 has -3.");
  EXPECT_EQ(refusal("shape ~ y"),
            "The model term \"y\" names \"y\", which is neither a covariate "
            "nor a factor of the sample (known: x, x2, flat, neg, one, lone, "
            "g, h, pair).");
  // Values whose squares overflow or underflow are named, not taken for collinearity.
  Eigen::VectorXd huge(n), tiny(n);
  huge << 1, -1e308, 3, 4, 5, 6, 7, 1e308;
  tiny = 1e-320 * x;
  v.push_back({"huge", true, huge, {}});
  v.push_back({"tiny", true, tiny, {}});
  EXPECT_EQ(refusal("shape ~ huge"),
            "The model term \"huge\" cannot be fitted: huge is -1e+308 for specimen 2, beyond "
            "1e+150 in magnitude, where its squares overflow; rescale it.");
  EXPECT_EQ(refusal("shape ~ tiny"),
            "The model term \"tiny\" cannot be fitted: tiny is at most 8.9999e-320 in magnitude "
            "(specimen 8), below 1e-150, where its squares underflow; rescale it.");
  // R's coding: slopes within groups without a common slope give one column a level.
  const ModelDesign nested = model_design(parse_model_formula("shape ~ g + x:g"), v, n);
  EXPECT_EQ(nested.column_names,
            (std::vector<std::string>{"(Intercept)", "gB", "gC", "x:gA", "x:gB", "x:gC"}));
}

// Edited formulas with any bytes, some with 100,000 bytes more, are read or
// refused in one line of bounded length with every control byte escaped.
TEST(ModelFormula, EditedFormulasAreReadOrRefusedInOnePlainLine) {
  std::mt19937_64 rng(20261210);
  const std::vector<ModelVariable> variables = {
      {"size", true, Eigen::VectorXd::LinSpaced(12, 1, 12), {}},
      {"grp", false, {}, {"a", "b", "a", "b", "a", "b", "a", "b", "a", "b", "a", "b"}}};
  const std::string pieces = std::string("~+*:()`\n\x1b ab") + '\0';
  for (int trial = 0; trial < 1500; ++trial) {
    std::string f = "shape ~ log(size) * grp + `k\\nind`";
    for (int e = 1 + static_cast<int>(rng() % 4); e > 0; --e) {
      const std::size_t at = rng() % (f.size() + 1);
      const char c = trial % 2 ? static_cast<char>(rng() % 256) : pieces[rng() % pieces.size()];
      if (rng() % 2 && at < f.size())
        f.erase(at, 1 + rng() % 3);
      else
        f.insert(f.begin() + static_cast<std::ptrdiff_t>(at), c);
    }
    if (rng() % 10 == 0) f += std::string(100000, rng() % 2 ? '(' : 'x');
    try {
      model_design(parse_model_formula(f), variables, 12);
    } catch (const NumericError& e) {
      const std::string what = e.what();
      for (unsigned char c : what) ASSERT_FALSE(c < 0x20 || c == 0x7f) << what;
      EXPECT_LT(what.size(), 400u) << what.substr(0, 400);
    }
  }
}

}  // namespace
}  // namespace velmora::stats

namespace velmora::stats {
namespace {

// The columns are counted from the levels before any is built: models too
// large for their specimens, or too costly, are refused at once.
TEST(ModelDesign, CountsColumnsBeforeBuildingThem) {
  auto factor = [](const std::string& name, Eigen::Index n, Eigen::Index levels,
                   Eigen::Index step) {
    ModelVariable f{name, false, {}, {}};
    for (Eigen::Index i = 0; i < n; ++i)
      f.levels.push_back("L" + std::to_string((i / step) % levels));
    return f;
  };
  std::vector<ModelVariable> v;
  for (Eigen::Index k = 0; k < 5; ++k) v.push_back(factor("f" + std::to_string(k + 1), 80, 40, 1));
  auto refusal = [&](const std::string& text, Eigen::Index n) {
    try {
      model_design(parse_model_formula(text), v, n);
    } catch (const NumericError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refusal("shape ~ f1:f2:f3:f4", 80),
            "The model term \"f1:f2:f3:f4\" brings the model to 2560001 columns (the intercept "
            "included) for 80 specimens; a model needs fewer columns than specimens.");
  EXPECT_EQ(refusal("shape ~ f1:f2:f3:f4:f5", 80),
            "The model term \"f1:f2:f3:f4:f5\" brings the model to 102400001 columns (the "
            "intercept included) for 80 specimens; a model needs fewer columns than specimens.");
  // 10,000 levels of two specimens each: 20,000 × 10,000² multiply-adds.
  v = {factor("species", 20000, 10000, 2)};
  EXPECT_EQ(refusal("shape ~ species", 20000),
            "The model term \"species\" brings the model to 10000 columns for 20000 specimens: "
            "fitting it takes about 2e+12 multiply-adds (specimens × columns²), more than the "
            "2e+10 a model may take.");
  // A term given twice, in any order of its parts, counts once.
  const ModelFormula f = parse_model_formula("shape ~ a:b + b:a + a*b + b:a:b + a");
  std::vector<std::string> labels;
  for (const ModelTerm& t : f.terms) labels.push_back(t.label());
  EXPECT_EQ(labels, (std::vector<std::string>{"a", "b", "a:b"}));
}

}  // namespace
}  // namespace velmora::stats
