#include "stats/model_formula.hpp"

#include <Eigen/QR>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <unordered_map>

#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "core/tolerances.hpp"
#include "shape/decompositions.hpp"

namespace velmora::stats {

namespace {

// A column of a linear model may hold values up to this in magnitude (and
// not only values below its reciprocal): beyond, the squares of its values
// overflow or underflow in the least-squares fit.
constexpr double kLargestModelValue = 1e150;

// The most a model may cost: specimens × columns², about the multiply-adds
// of its least-squares fit.
constexpr double kModelWork = 2e10;

// A large count in two significant digits: `2e+12`.
std::string rough_number(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2g", x);
  return text;
}

struct PartOrder {
  bool operator()(const TermPart& a, const TermPart& b) const {
    return a.variable != b.variable ? a.variable < b.variable : a.log < b.log;
  }
};
using PartSet = std::set<TermPart, PartOrder>;

// A term's parts in a canonical order: two terms are the same term when
// their keys are equal.
using TermKey = std::vector<std::pair<std::string, bool>>;

TermKey term_key(const ModelTerm& t) {
  TermKey key;
  for (const TermPart& p : t.parts) key.emplace_back(p.variable, p.log);
  std::sort(key.begin(), key.end());
  return key;
}

bool name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.';
}

class FormulaReader {
 public:
  explicit FormulaReader(std::string_view text) : text_(text) {}

  ModelFormula read() {
    ModelFormula f;
    const std::size_t tilde = text_.find('~');
    if (tilde != std::string_view::npos) {
      std::string_view lhs = text_.substr(0, tilde);
      while (!lhs.empty() && lhs.front() == ' ') lhs.remove_prefix(1);
      while (!lhs.empty() && lhs.back() == ' ') lhs.remove_suffix(1);
      if (lhs != "shape" && !lhs.empty())
        fail("the left side of ~ must be shape, found \"" + shown_text(lhs) + "\"");
      at_ = tilde + 1;
    }
    std::vector<ModelTerm> terms;
    std::set<TermKey> seen;
    do {
      for (ModelTerm& t : product()) add(terms, seen, std::move(t));
    } while (take('+'));
    skip();
    if (at_ < text_.size()) fail("expected + or the end at \"" + rest() + "\"");
    std::stable_sort(terms.begin(), terms.end(), [](const ModelTerm& a, const ModelTerm& b) {
      return a.parts.size() < b.parts.size();
    });
    std::string_view t = text_;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    f.text = std::string(t);
    f.terms = std::move(terms);
    return f;
  }

 private:
  // A term given twice (in any order of its parts) counts once.
  static void add(std::vector<ModelTerm>& terms, std::set<TermKey>& seen, ModelTerm t) {
    if (seen.insert(term_key(t)).second) terms.push_back(std::move(t));
  }

  // a*b*c: every non-empty combination of the `:` groups.
  std::vector<ModelTerm> product() {
    std::vector<ModelTerm> groups{interaction()};
    while (take('*')) groups.push_back(interaction());
    std::vector<ModelTerm> out;
    std::set<TermKey> seen;
    const std::size_t g = groups.size();
    if (g > 10) fail("too many factors joined by *");
    for (std::size_t size = 1; size <= g; ++size) {
      for (unsigned mask = 1; mask < (1u << g); ++mask) {
        if (static_cast<std::size_t>(__builtin_popcount(mask)) != size) continue;
        ModelTerm t;
        PartSet parts;
        for (std::size_t i = 0; i < g; ++i)
          if (mask & (1u << i))
            for (const TermPart& p : groups[i].parts) join(t, parts, p);
        add(out, seen, std::move(t));
      }
    }
    return out;
  }

  static void join(ModelTerm& t, PartSet& parts, const TermPart& p) {
    if (parts.insert(p).second) t.parts.push_back(p);
  }

  ModelTerm interaction() {
    ModelTerm t;
    PartSet parts;
    join(t, parts, part());
    while (take(':')) join(t, parts, part());
    return t;
  }

  TermPart part() {
    std::string first = name();
    if (first == "log" || first == "ln") {
      if (take('(')) {
        TermPart p{name(), true};
        if (!take(')')) fail("expected ) at \"" + rest() + "\"");
        return p;
      }
    }
    return {first, false};
  }

  std::string name() {
    skip();
    if (at_ < text_.size() && text_[at_] == '`') {
      const std::size_t end = text_.find('`', at_ + 1);
      if (end == std::string_view::npos || end == at_ + 1)
        fail("a name in backquotes is not closed");
      std::string n(text_.substr(at_ + 1, end - at_ - 1));
      at_ = end + 1;
      return n;
    }
    const std::size_t begin = at_;
    while (at_ < text_.size() && name_char(text_[at_])) ++at_;
    if (at_ == begin) fail("expected a name at \"" + rest() + "\"");
    return std::string(text_.substr(begin, at_ - begin));
  }

  bool take(char c) {
    skip();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  void skip() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
  }

  std::string rest() const {
    return at_ >= text_.size() ? "the end" : shown_name(text_.substr(at_, 24));
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw NumericError("The model \"" + shown_text(text_) + "\" cannot be read: " + what + ".");
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

[[noreturn]] void refuse_term(const std::string& term, const std::string& what) {
  throw NumericError("The model term \"" + shown_text(term) + "\" " + what);
}

// A factor's levels, each specimen's level as its index, and the count of each.
struct FactorCoding {
  std::vector<std::string> levels;
  std::vector<Eigen::Index> code, count;
};

FactorCoding code_factor(const std::vector<std::string>& values) {
  FactorCoding c;
  c.levels = factor_levels(values);
  c.count.assign(c.levels.size(), 0);
  for (const std::string& v : values) {
    const auto l = std::lower_bound(c.levels.begin(), c.levels.end(), v) - c.levels.begin();
    c.code.push_back(l);
    ++c.count[static_cast<std::size_t>(l)];
  }
  return c;
}

// What one part of a term contributes: a covariate's values, or a factor's
// coding and the first level that gets a column.
struct PartPlan {
  Eigen::VectorXd values;
  const FactorCoding* factor = nullptr;
  std::size_t from = 0;
  std::string name;
  Eigen::Index columns() const {
    return factor ? static_cast<Eigen::Index>(factor->levels.size() - from) : 1;
  }
};

// The columns a term's parts give: the products of the parts' columns, the
// first part varying fastest.
void term_columns(const std::vector<PartPlan>& parts, Eigen::Index n, Eigen::MatrixXd& columns,
                  std::vector<std::string>& names) {
  columns = Eigen::MatrixXd::Ones(n, 1);
  names = {""};
  for (const PartPlan& pc : parts) {
    const Eigen::Index width = pc.columns();
    Eigen::MatrixXd next(n, columns.cols() * width);
    std::vector<std::string> next_names;
    Eigen::Index c = 0;
    for (Eigen::Index b = 0; b < width; ++b) {
      const std::string part_name =
          pc.factor ? pc.name + pc.factor->levels[pc.from + static_cast<std::size_t>(b)] : pc.name;
      for (Eigen::Index a = 0; a < columns.cols(); ++a, ++c) {
        if (pc.factor) {
          const auto level = static_cast<Eigen::Index>(pc.from) + b;
          for (Eigen::Index i = 0; i < n; ++i)
            next(i, c) = pc.factor->code[static_cast<std::size_t>(i)] == level ? columns(i, a) : 0;
        } else {
          next.col(c) = columns.col(a).cwiseProduct(pc.values);
        }
        const std::string& left = names[static_cast<std::size_t>(a)];
        next_names.push_back((left.empty() ? "" : left + ":") + part_name);
      }
    }
    columns = std::move(next);
    names = std::move(next_names);
  }
}

}  // namespace

std::string ModelTerm::label() const {
  std::string s;
  for (const TermPart& p : parts) s += (s.empty() ? "" : ":") + p.text();
  return s;
}

bool ModelTerm::within(const ModelTerm& other) const {
  for (const TermPart& p : parts)
    if (std::find(other.parts.begin(), other.parts.end(), p) == other.parts.end()) return false;
  return true;
}

ModelFormula parse_model_formula(std::string_view text) {
  return FormulaReader(text).read();
}

std::vector<std::string> factor_levels(const std::vector<std::string>& values) {
  std::vector<std::string> levels = values;
  std::sort(levels.begin(), levels.end());
  levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
  return levels;
}

// Refused besides: a column with a value beyond kLargestModelValue in
// magnitude, or with none above its reciprocal; a model whose fit costs more
// than kModelWork.  The columns are counted from the levels before any is
// built, so a refused model costs next to nothing; the work grows as
// specimens × columns² and the memory as specimens × columns.
ModelDesign model_design(const ModelFormula& formula, const std::vector<ModelVariable>& variables,
                         Eigen::Index n) {
  if (formula.terms.empty())
    throw NumericError("The model \"" + shown_text(formula.text) + "\" has no term.");
  ModelDesign d;
  d.column_names.push_back("(Intercept)");
  // The first variable of each name, as a search from the front finds it.
  std::unordered_map<std::string, const ModelVariable*> by_name;
  for (const ModelVariable& v : variables) by_name.emplace(v.name, &v);
  std::unordered_map<const ModelVariable*, FactorCoding> codings;
  auto find = [&](const std::string& term, const std::string& name) -> const ModelVariable& {
    if (const auto at = by_name.find(name); at != by_name.end()) return *at->second;
    std::string known;
    for (const ModelVariable& v : variables)
      known += (known.empty() ? "" : ", ") + shown_text(v.name);
    refuse_term(term, "names \"" + shown_text(name) +
                          "\", which is neither a covariate nor a factor of the sample (" +
                          (known.empty() ? "it has none" : "known: " + known) + ").");
  };
  // The columns so far, and an orthonormal basis of them scaled to unit
  // length (so that the rank does not depend on units): a term's columns
  // are checked against the terms before it by what is left of them
  // outside that basis.
  std::vector<Eigen::VectorXd> columns{Eigen::VectorXd::Ones(n)};
  Eigen::MatrixXd basis = Eigen::MatrixXd::Constant(n, 1, 1 / std::sqrt(static_cast<double>(n)));
  std::set<TermKey> earlier;
  for (std::size_t t = 0; t < formula.terms.size(); ++t) {
    const ModelTerm& term = formula.terms[t];
    const std::string label = term.label();
    std::vector<PartPlan> parts;
    for (const TermPart& part : term.parts) {
      const ModelVariable& v = find(label, part.variable);
      PartPlan pc;
      pc.name = part.text();
      if (v.numeric) {
        if (v.values.size() != n) refuse_term(label, "has the wrong number of values.");
        Eigen::VectorXd x = v.values;
        if (part.log) {
          for (Eigen::Index i = 0; i < n; ++i) {
            if (!(x(i) > 0)) {
              refuse_term(label, "needs positive values of " + shown_text(v.name) +
                                     " for the logarithm; "
                                     "specimen " +
                                     std::to_string(i + 1) + " has " + message_number(x(i)) + ".");
            }
          }
          x = x.array().log();
        }
        if (x.maxCoeff() - x.minCoeff() <= kEqualXTolerance * x.cwiseAbs().maxCoeff())
          refuse_term(label, "cannot be fitted: " + shown_text(part.text()) +
                                 " is the same for every specimen.");
        pc.values = std::move(x);
      } else {
        if (part.log)
          refuse_term(label, "takes the logarithm of the factor " + shown_text(v.name) + ".");
        if (static_cast<Eigen::Index>(v.levels.size()) != n)
          refuse_term(label, "has the wrong number of values.");
        auto coded = codings.find(&v);
        if (coded == codings.end()) coded = codings.emplace(&v, code_factor(v.levels)).first;
        const FactorCoding& c = coded->second;
        if (c.levels.size() < 2) {
          refuse_term(label, "cannot be fitted: the factor " + shown_text(v.name) +
                                 " has one level (\"" + shown_text(c.levels.front()) +
                                 "\") for every specimen.");
        }
        for (std::size_t l = 0; l < c.levels.size(); ++l) {
          if (c.count[l] < 2) {
            refuse_term(label, "cannot be fitted: level \"" + shown_text(c.levels[l]) + "\" of " +
                                   shown_text(v.name) +
                                   " has one specimen; every level needs two or more.");
          }
        }
        // Contrasts when the term without this factor is already in the model.
        ModelTerm margin;
        for (const TermPart& q : term.parts)
          if (!(q == part)) margin.parts.push_back(q);
        const bool contrasts = margin.parts.empty() || earlier.count(term_key(margin)) > 0;
        pc.factor = &c;
        pc.from = contrasts ? 1 : 0;
        pc.name = v.name;
      }
      parts.push_back(std::move(pc));
    }
    // The columns are counted from the levels before any is built.
    double width = 1;
    for (const PartPlan& pc : parts) width *= static_cast<double>(pc.columns());
    const double p = static_cast<double>(columns.size()) + width;
    if (p >= static_cast<double>(n)) {
      refuse_term(label, "brings the model to " + message_number(p) +
                             " columns (the intercept included) for " + std::to_string(n) +
                             " specimens; a model needs fewer columns than specimens.");
    }
    const double work = static_cast<double>(n) * p * p;
    if (work > kModelWork) {
      refuse_term(label, "brings the model to " + message_number(p) + " columns for " +
                             std::to_string(n) + " specimens: fitting it takes about " +
                             rough_number(work) + " multiply-adds (specimens × columns²), " +
                             "more than the " + rough_number(kModelWork) + " a model may take.");
    }
    Eigen::MatrixXd block;
    std::vector<std::string> names;
    term_columns(parts, n, block, names);
    for (Eigen::Index c = 0; c < block.cols(); ++c) {
      Eigen::Index at = 0;
      const double largest = block.col(c).cwiseAbs().maxCoeff(&at);
      const std::string& name = names[static_cast<std::size_t>(c)];
      if (largest > kLargestModelValue) {
        refuse_term(label, "cannot be fitted: " + shown_text(name) + " is " +
                               message_number(block(at, c)) + " for specimen " +
                               std::to_string(at + 1) + ", beyond " +
                               message_number(kLargestModelValue) +
                               " in magnitude, where its squares overflow; rescale it.");
      }
      if (largest > 0 && largest < 1 / kLargestModelValue) {
        refuse_term(label, "cannot be fitted: " + shown_text(name) + " is at most " +
                               message_number(largest) + " in magnitude (specimen " +
                               std::to_string(at + 1) + "), below " +
                               message_number(1 / kLargestModelValue) +
                               ", where its squares underflow; rescale it.");
      }
    }
    // What is left of the term's columns outside the terms before it, twice
    // projected out for accuracy; a column of that rest below kRankTolerance
    // (of unit length) depends on them.
    Eigen::MatrixXd rest(n, block.cols());
    for (Eigen::Index c = 0; c < block.cols(); ++c) rest.col(c) = block.col(c).normalized();
    for (int pass = 0; pass < 2; ++pass) rest -= basis * (basis.transpose() * rest);
    Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(rest);
    const Eigen::Index diagonal = std::min(n, block.cols());
    Eigen::Index rank = 0;
    while (rank < diagonal && std::abs(qr.matrixQR()(rank, rank)) > kRankTolerance) ++rank;
    if (rank < block.cols()) {
      const Eigen::Index depend = block.cols() - rank;
      refuse_term(label, "cannot be fitted: " + std::to_string(depend) + " of its " +
                             std::to_string(block.cols()) +
                             (block.cols() == 1 ? " column depends" : " columns depend") +
                             " on the terms before it (collinear, or a combination of levels "
                             "without specimens).");
    }
    const Eigen::MatrixXd q = qr.householderQ() * Eigen::MatrixXd::Identity(n, block.cols());
    Eigen::MatrixXd grown(n, basis.cols() + q.cols());
    grown << basis, q;
    basis = std::move(grown);
    earlier.insert(term_key(term));
    d.terms.push_back(term);
    d.term_labels.push_back(label);
    d.first.push_back(static_cast<Eigen::Index>(columns.size()));
    d.df.push_back(block.cols());
    for (Eigen::Index c = 0; c < block.cols(); ++c) columns.push_back(block.col(c));
    d.column_names.insert(d.column_names.end(), names.begin(), names.end());
  }
  d.matrix.resize(n, static_cast<Eigen::Index>(columns.size()));
  for (std::size_t c = 0; c < columns.size(); ++c)
    d.matrix.col(static_cast<Eigen::Index>(c)) = columns[c];
  return d;
}

}  // namespace velmora::stats
