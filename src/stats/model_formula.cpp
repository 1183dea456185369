#include "stats/model_formula.hpp"

#include <Eigen/QR>
#include <algorithm>
#include <cmath>
#include <map>

#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "core/tolerances.hpp"
#include "shape/decompositions.hpp"

namespace velmora::stats {

namespace {

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
    do {
      for (ModelTerm& t : product()) add(terms, std::move(t));
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
  static void add(std::vector<ModelTerm>& terms, ModelTerm t) {
    for (const ModelTerm& o : terms)
      if (o.within(t) && t.within(o)) return;
    terms.push_back(std::move(t));
  }

  // a*b*c: every non-empty combination of the `:` groups.
  std::vector<ModelTerm> product() {
    std::vector<ModelTerm> groups{interaction()};
    while (take('*')) groups.push_back(interaction());
    std::vector<ModelTerm> out;
    const std::size_t g = groups.size();
    if (g > 10) fail("too many factors joined by *");
    for (std::size_t size = 1; size <= g; ++size) {
      for (unsigned mask = 1; mask < (1u << g); ++mask) {
        if (static_cast<std::size_t>(__builtin_popcount(mask)) != size) continue;
        ModelTerm t;
        for (std::size_t i = 0; i < g; ++i)
          if (mask & (1u << i))
            for (const TermPart& p : groups[i].parts) join(t, p);
        add(out, std::move(t));
      }
    }
    return out;
  }

  static void join(ModelTerm& t, const TermPart& p) {
    if (std::find(t.parts.begin(), t.parts.end(), p) == t.parts.end()) t.parts.push_back(p);
  }

  ModelTerm interaction() {
    ModelTerm t;
    join(t, part());
    while (take(':')) join(t, part());
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

// The columns one part contributes to a term.
struct PartColumns {
  Eigen::MatrixXd columns;
  std::vector<std::string> names;
};

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

ModelDesign model_design(const ModelFormula& formula, const std::vector<ModelVariable>& variables,
                         Eigen::Index n) {
  if (formula.terms.empty())
    throw NumericError("The model \"" + shown_text(formula.text) + "\" has no term.");
  ModelDesign d;
  std::vector<Eigen::VectorXd> columns{Eigen::VectorXd::Ones(n)};
  d.column_names.push_back("(Intercept)");
  auto find = [&](const std::string& term, const std::string& name) -> const ModelVariable& {
    for (const ModelVariable& v : variables)
      if (v.name == name) return v;
    std::string known;
    for (const ModelVariable& v : variables)
      known += (known.empty() ? "" : ", ") + shown_text(v.name);
    refuse_term(term, "names \"" + shown_text(name) +
                          "\", which is neither a covariate nor a factor of the sample (" +
                          (known.empty() ? "it has none" : "known: " + known) + ").");
  };
  for (std::size_t t = 0; t < formula.terms.size(); ++t) {
    const ModelTerm& term = formula.terms[t];
    const std::string label = term.label();
    std::vector<PartColumns> parts;
    for (const TermPart& part : term.parts) {
      const ModelVariable& v = find(label, part.variable);
      PartColumns pc;
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
        pc.columns = x;
        pc.names = {part.text()};
      } else {
        if (part.log)
          refuse_term(label, "takes the logarithm of the factor " + shown_text(v.name) + ".");
        if (static_cast<Eigen::Index>(v.levels.size()) != n)
          refuse_term(label, "has the wrong number of values.");
        const std::vector<std::string> levels = factor_levels(v.levels);
        if (levels.size() < 2) {
          refuse_term(label, "cannot be fitted: the factor " + shown_text(v.name) +
                                 " has one level (\"" + shown_text(levels.front()) +
                                 "\") for every specimen.");
        }
        for (const std::string& l : levels) {
          if (std::count(v.levels.begin(), v.levels.end(), l) < 2) {
            refuse_term(label, "cannot be fitted: level \"" + shown_text(l) + "\" of " +
                                   shown_text(v.name) +
                                   " has one specimen; every level needs two or more.");
          }
        }
        // Contrasts when the term without this factor is already in the model.
        ModelTerm margin;
        for (const TermPart& q : term.parts)
          if (!(q == part)) margin.parts.push_back(q);
        bool contrasts = margin.parts.empty();
        for (std::size_t u = 0; u < t && !contrasts; ++u)
          contrasts = formula.terms[u].within(margin) && margin.within(formula.terms[u]);
        const std::size_t from = contrasts ? 1 : 0;
        pc.columns = Eigen::MatrixXd::Zero(n, static_cast<Eigen::Index>(levels.size() - from));
        for (std::size_t l = from; l < levels.size(); ++l) {
          pc.names.push_back(v.name + levels[l]);
          for (Eigen::Index i = 0; i < n; ++i)
            pc.columns(i, static_cast<Eigen::Index>(l - from)) =
                v.levels[static_cast<std::size_t>(i)] == levels[l] ? 1.0 : 0.0;
        }
      }
      parts.push_back(std::move(pc));
    }
    // The products of the parts' columns, the first part varying fastest.
    PartColumns product{Eigen::MatrixXd::Ones(n, 1), {""}};
    for (const PartColumns& pc : parts) {
      PartColumns next{Eigen::MatrixXd(n, product.columns.cols() * pc.columns.cols()), {}};
      Eigen::Index c = 0;
      for (Eigen::Index b = 0; b < pc.columns.cols(); ++b) {
        for (Eigen::Index a = 0; a < product.columns.cols(); ++a, ++c) {
          next.columns.col(c) = product.columns.col(a).cwiseProduct(pc.columns.col(b));
          const std::string& left = product.names[static_cast<std::size_t>(a)];
          next.names.push_back((left.empty() ? "" : left + ":") +
                               pc.names[static_cast<std::size_t>(b)]);
        }
      }
      product = std::move(next);
    }
    d.terms.push_back(term);
    d.term_labels.push_back(label);
    d.first.push_back(static_cast<Eigen::Index>(columns.size()));
    d.df.push_back(product.columns.cols());
    for (Eigen::Index c = 0; c < product.columns.cols(); ++c)
      columns.push_back(product.columns.col(c));
    d.column_names.insert(d.column_names.end(), product.names.begin(), product.names.end());
    const auto p = static_cast<Eigen::Index>(columns.size());
    if (p >= n) {
      refuse_term(label, "brings the model to " + std::to_string(p) +
                             " columns (the intercept included) for " + std::to_string(n) +
                             " specimens; a model needs fewer columns than specimens.");
    }
    // Each column scaled to unit length, so that the rank does not depend on units.
    Eigen::MatrixXd scaled(n, p);
    for (Eigen::Index c = 0; c < p; ++c)
      scaled.col(c) = columns[static_cast<std::size_t>(c)].normalized();
    Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(scaled);
    qr.setThreshold(kRankTolerance);
    const Eigen::Index now = qr.rank();
    if (now < p) {
      refuse_term(label, "cannot be fitted: " + std::to_string(p - now) + " of its " +
                             std::to_string(product.columns.cols()) +
                             (product.columns.cols() == 1 ? " column depends" : " columns depend") +
                             " on the terms before it (collinear, or a combination of levels "
                             "without specimens).");
    }
  }
  d.matrix.resize(n, static_cast<Eigen::Index>(columns.size()));
  for (std::size_t c = 0; c < columns.size(); ++c)
    d.matrix.col(static_cast<Eigen::Index>(c)) = columns[c];
  return d;
}

}  // namespace velmora::stats
