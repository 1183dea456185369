// The session's groups and linear models: the specimen table, the ANOVA
// against R on the bundled two-population example, the invariance of every
// table under the pose and size of the raw specimens, and the refusals.
#include <gtest/gtest.h>

#include <Eigen/SVD>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "analysis/session.hpp"
#include "io/landmark_import.hpp"
#include "io/test_files.hpp"
#include "shape/random_shapes.hpp"
#include "stats/group_comparisons.hpp"
#include "tps/scores.hpp"

namespace velmora::analysis {
namespace {

const std::string kExamples = std::string(VELMORA_SOURCE_DIR) + "/examples/";

Session population_session(io::ImportedSample sample) {
  Session s;
  s.superimpose({Method::Optimal});
  s.load_sample({std::move(sample), "populations.txt"});
  s.load_specimen_table({kExamples + "populations.csv"});
  return s;
}

std::string refusal(auto&& operation) {
  try {
    operation();
  } catch (const Error& e) {
    return e.what();
  }
  return "accepted";
}

TEST(Models, AnovaOfTheExampleAgreesWithRAndStatesTheVerdict) {
  Session s = population_session(io::import_landmarks(kExamples + "populations.txt"));
  const AnovaReport r = s.procrustes_anova({"shape ~ log(CS) * population", {}, 999, 1, {}});
  EXPECT_EQ(r.formula, "shape ~ log(CS) + population + log(CS):population");
  EXPECT_EQ(r.verdict.substr(0, 43), "The slopes differ between the groups (log(C");
  // R's anova(lm()) of the same model on tangent coordinates from an
  // independent superimposition (tools/check_linear_models.py): the two
  // superimpositions agree to their convergence tolerance.
  std::ifstream in(std::string(VELMORA_SOURCE_DIR) +
                   "/tests/analysis/data/populations_r_slopes.txt");
  for (const stats::AnovaLine& l : r.anova.terms) {
    std::string line, kind, term, df, ss;
    ASSERT_TRUE(std::getline(in, line));
    std::istringstream(line) >> kind >> term >> df >> ss;
    EXPECT_EQ(term, l.term);
    EXPECT_NEAR(l.ss, std::stod(ss), 1e-6 * std::stod(ss)) << term;
  }
  const PairwiseReport p = s.pairwise_groups({"population", "log(CS)", 199, 2});
  ASSERT_EQ(p.pairs.size(), 1u);
  EXPECT_LT(p.pairs[0].angle_p, 0.05);
  const CvaReport cva = s.canonical_variates({"population", 99, 1});
  EXPECT_EQ(
      cva.components_text,
      "29 principal components (those above 1e-08 of the total variance, at most n − g − 1 = 77)");
  const SizeCorrectionReport c = s.size_corrected_shapes({"shape ~ log(CS)"});
  EXPECT_EQ(c.shapes.rows(), 80);
  EXPECT_EQ(c.shapes.cols(), 36);
}

// The pooled within-group regression against an independent one: the
// coefficient of X in shape ~ X + population, fitted by numpy on its own
// superimposition (tools/check_linear_models.py), turned onto this
// reference and carried into scores by the warp scores, which are linear in
// the coordinates.
TEST(Models, WithinGroupRegressionIsTheCommonSlopeOfShapeOnXPlusGroup) {
  Session s = population_session(io::import_landmarks(kExamples + "populations.txt"));
  std::ifstream in(std::string(VELMORA_SOURCE_DIR) +
                   "/tests/analysis/data/populations_within_slopes.txt");
  const Eigen::Index k = s.sample().landmarks();
  auto read = [&](const std::string& want) {
    std::string line, name;
    EXPECT_TRUE(std::getline(in, line));
    std::istringstream words(line);
    words >> name;
    EXPECT_EQ(name, want);
    shape::Config c(k, 3);
    for (Eigen::Index l = 0; l < k; ++l)
      for (Eigen::Index d = 0; d < 3; ++d) words >> c(l, d);
    return c;
  };
  const shape::Config& ref = s.superimposition()->reference();
  // Kabsch: the rotation that takes numpy's mean shape onto the reference.
  const Eigen::JacobiSVD<Eigen::Matrix3d> svd(read("mean").transpose() * ref,
                                              Eigen::ComputeFullU | Eigen::ComputeFullV);
  Eigen::Matrix3d turn = svd.matrixU() * svd.matrixV().transpose();
  ASSERT_GT(turn.determinant(), 0);
  const auto basis = s.superimposition()->basis();
  const Eigen::MatrixXd at_ref = tps::warp_scores(*basis, ref, shape::Stack(ref));
  const std::vector<std::string> labels = s.label_names();
  std::vector<std::string> groups;
  for (const stats::ModelVariable& v : s.model_variables())
    if (v.name == "population") groups = v.levels;
  SetXParams age;
  age.source = XSource::Label;
  age.label =
      static_cast<std::size_t>(std::find(labels.begin(), labels.end(), "age") - labels.begin());
  SetXParams cs;
  cs.source = XSource::CentroidSize;
  for (const auto& [name, x, scale] :
       {std::tuple{"age", age, Scale::Linear}, std::tuple{"log(CS)", cs, Scale::Log}}) {
    s.set_x(x);
    s.set_scale(scale);
    const Regression pooled = *s.regression({}).regression;
    const Regression within = *s.regression({"population"}).regression;
    EXPECT_EQ(within.within, "population");
    const shape::Config slope = read(name) * turn;
    const Eigen::RowVectorXd expected =
        tps::warp_scores(*basis, ref, shape::Stack(shape::Config(ref + slope))) - at_ref;
    EXPECT_LT((within.slopes - expected).norm(), 1e-6 * expected.norm()) << name;
    EXPECT_GT((pooled.slopes - expected).norm(), 1e-3 * expected.norm()) << name;
    // The distance plot within groups: every group's regressor moved onto
    // the grand mean.
    const DistanceTestReport d = s.distance_test({"population"});
    EXPECT_EQ(d.within, "population");
    const Eigen::VectorXd group_means =
        d.regressor - stats::centre_within_groups(d.regressor, groups);
    EXPECT_LT((group_means.array() - d.regressor.mean()).abs().maxCoeff(), 1e-9) << name;
  }
  // X that only tells the groups apart has no slope within them.
  SetXParams group_x;
  group_x.values = Eigen::VectorXd::Zero(80);
  for (Eigen::Index i = 0; i < 80; ++i)
    group_x.values(i) = groups[static_cast<std::size_t>(i)] == "coast";
  group_x.name = "coastal";
  s.set_x(group_x);
  s.set_scale(Scale::Linear);
  EXPECT_EQ(refusal([&] { s.regression({"population"}); }),
            "coastal does not vary within the groups of population, so the pooled within-group "
            "regression has no slope.");
  EXPECT_EQ(refusal([&] { s.regression({"species"}); }),
            "The sample has no factor \"species\" now: load its specimen table, or choose "
            "another factor or none (Groups > Set Factor).");
}

// Every raw specimen turned, moved and rescaled at random: the ANOVA of a
// model without size sees the same shapes, so every number of its table
// and every pairwise distance and angle is the same.
TEST(Models, TablesIgnoreThePoseAndSizeOfTheSpecimens) {
  const io::ImportedSample in = io::import_landmarks(kExamples + "populations.txt");
  const AnovaParams model{"shape ~ age * population", stats::SumsOfSquares::Marginal, 99, 4, {}};
  Session base = population_session(in);
  const stats::ProcrustesAnova a0 = base.procrustes_anova(model).anova;
  const PairwiseReport p0 = base.pairwise_groups({"population", "age", 99, 4});
  for (unsigned seed = 1; seed <= 3; ++seed) {
    testing::RandomShapes random(seed);
    io::ImportedSample moved = in;
    const Eigen::Index k = in.rows.cols() / 3;
    for (Eigen::Index i = 0; i < in.rows.rows(); ++i) {
      shape::Config c(k, 3);
      for (Eigen::Index j = 0; j < k; ++j) c.row(j) = in.rows.block(i, 3 * j, 1, 3);
      c = random.moved_copy(c);
      for (Eigen::Index j = 0; j < k; ++j) moved.rows.block(i, 3 * j, 1, 3) = c.row(j);
    }
    Session s = population_session(std::move(moved));
    const stats::ProcrustesAnova a = s.procrustes_anova(model).anova;
    for (std::size_t t = 0; t < a.terms.size(); ++t) {
      EXPECT_NEAR(a.terms[t].ss, a0.terms[t].ss, 1e-9 * a0.terms[t].ss) << seed;
      EXPECT_NEAR(a.terms[t].F, a0.terms[t].F, 1e-9 * a0.terms[t].F) << seed;
      EXPECT_NEAR(a.terms[t].r_squared, a0.terms[t].r_squared, 1e-9) << seed;
      EXPECT_EQ(a.terms[t].p, a0.terms[t].p) << seed;
    }
    EXPECT_NEAR(a.residuals.ss, a0.residuals.ss, 1e-9 * a0.residuals.ss);
    const PairwiseReport p = s.pairwise_groups({"population", "age", 99, 4});
    EXPECT_NEAR(p.pairs[0].distance, p0.pairs[0].distance, 1e-9 * p0.pairs[0].distance);
    EXPECT_NEAR(p.pairs[0].angle, p0.pairs[0].angle, 1e-7);
  }
}

// The example's table with its rows shuffled is matched by the generated
// names and gives the ordered table's ANOVA; without its name column the
// rows are taken in order, and the report says so.
TEST(Models, ShuffledTableOfGeneratedNamesIsMatchedByName) {
  const io::ImportedSample in = io::import_landmarks(kExamples + "populations.txt");
  const AnovaParams model{"shape ~ age * population", {}, 99, 3, {}};
  Session base = population_session(in);
  const stats::ProcrustesAnova a0 = base.procrustes_anova(model).anova;
  std::istringstream csv(io::testing::read_bytes(kExamples + "populations.csv"));
  std::string header, line;
  std::getline(csv, header);
  std::vector<std::string> rows;
  while (std::getline(csv, line)) rows.push_back(line);
  std::reverse(rows.begin(), rows.end());
  std::rotate(rows.begin(), rows.begin() + 17, rows.end());
  std::string shuffled = header + "\n", unnamed = "population,age\n";
  for (const std::string& r : rows) shuffled += r + "\n";
  for (std::size_t i = 0; i < 80; ++i)
    unnamed += base.specimen_table()->columns[0].levels[i] + "," +
               std::to_string(base.specimen_table()->columns[1].values(Eigen::Index(i))) + "\n";
  const io::testing::ScratchFolder folder;
  for (const auto& [text, in_order] : {std::pair{shuffled, false}, std::pair{unnamed, true}}) {
    Session s;
    s.superimpose({Method::Optimal});
    s.load_sample({in, "populations.txt"});
    EXPECT_EQ(s.load_specimen_table({folder.write("t.csv", text)}).rows_in_order, in_order);
    const stats::ProcrustesAnova a = s.procrustes_anova(model).anova;
    for (std::size_t t = 0; t < a.terms.size(); ++t) {
      EXPECT_NEAR(a.terms[t].ss, a0.terms[t].ss, 1e-9 * a0.terms[t].ss) << in_order;
      EXPECT_EQ(a.terms[t].p, a0.terms[t].p) << in_order;
    }
  }
}

TEST(Models, RefusalsNameWhatIsWrongAndChangeNothing) {
  Session s;
  EXPECT_EQ(refusal([&] { s.load_specimen_table({kExamples + "populations.csv"}); }),
            s.missing(kNeedSample));
  s = population_session(io::import_landmarks(kExamples + "populations.txt"));
  const auto table = s.specimen_table();
  EXPECT_EQ(refusal([&] { s.load_specimen_table({kExamples + "age.txt"}); }),
            "\"age.txt\": the specimen table has 79 rows for the 80 specimens of the sample, whose "
            "specimens have no names, so the rows are taken in order.");
  EXPECT_EQ(s.specimen_table(), table);
  EXPECT_EQ(refusal([&] {
              s.procrustes_anova({"shape ~ species", {}, 9, 1, {}});
            }),
            "The model term \"species\" names \"species\", which is neither a covariate nor a "
            "factor of the sample (known: CS, population, age).");
  EXPECT_EQ(refusal([&] {
              s.pairwise_groups({"age", "", 9, 1});
            }),
            "The sample has no factor \"age\"; load a specimen table with a text column of that "
            "name.");
  // The choices each analysis reads are refused, with the step to take,
  // until they are made and while the sample lacks what they name.
  EXPECT_EQ(refusal([&] { s.chosen_formula(); }),
            "No model is set: choose Groups > Set Model first (in batch: SetModel \"shape ~ "
            "log(CS) * population\").");
  EXPECT_EQ(refusal([&] { s.chosen_factor(); }),
            "No factor is chosen: choose Groups > Set Factor first (in batch: SetFactor NAME).");
  EXPECT_EQ(s.pca_correction(), "");
  s.set_pca_corrected(true);
  EXPECT_EQ(refusal([&] { s.pca_correction(); }),
            "The PCA of size-corrected shapes needs a model: choose Groups > Set Model first (in "
            "batch: SetModel \"shape ~ log(CS)\"), or go back to SetPCAShapes raw.");
  s.choose_model("shape ~ log(CS)");
  EXPECT_EQ(s.pca_correction(), "shape ~ log(CS)");
  s.set_factor("population");
  EXPECT_EQ(s.chosen_factor().levels.size(), 80u);
  s.set_factor("species");
  EXPECT_EQ(refusal([&] { s.chosen_factor(); }),
            "The sample has no factor \"species\" now; load its specimen table or choose "
            "another.");
  EXPECT_EQ(s.chosen_factor_name(), "species");
  EXPECT_EQ(s.missing(kNeedSurface), "There is no surface: load one first (Load Surface…).");
  // A new sample of other specimens leaves no table behind.
  s.load_sample({io::import_landmarks(kExamples + "skulls.txt"), "skulls.txt"});
  EXPECT_FALSE(s.specimen_table());
}

}  // namespace
}  // namespace velmora::analysis
