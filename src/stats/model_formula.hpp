#pragma once

#include <Eigen/Core>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::stats {

/// A variable a linear model may name: a covariate (numbers) or a factor
/// (one text a specimen, its levels sorted as text).
struct ModelVariable {
  std::string name;
  bool numeric = false;
  Eigen::VectorXd values;           ///< n numbers (covariates)
  std::vector<std::string> levels;  ///< n texts (factors)
};

/// One variable of a term, with ln applied or not.
struct TermPart {
  std::string variable;
  bool log = false;
  /// `log(CS)` or `species`.
  std::string text() const { return log ? "log(" + variable + ")" : variable; }
  bool operator==(const TermPart& o) const { return variable == o.variable && log == o.log; }
};

/// A term of a model: one part (a main effect) or several (an interaction).
struct ModelTerm {
  std::vector<TermPart> parts;
  /// `log(CS):species`
  std::string label() const;
  /// True when every part of this term is a part of `other`.
  bool within(const ModelTerm& other) const;
};

/// `shape ~ TERMS`: its terms as R orders them, main effects first, then
/// two-way interactions and so on, each in order of appearance.
struct ModelFormula {
  std::string text;  ///< as the user wrote it, trimmed
  std::vector<ModelTerm> terms;
};

/// Reads a model formula.  The left side is `shape` (or nothing); the right
/// side joins terms with `+`; a term is variables joined by `:` (their
/// interaction) or `*` (every main effect and interaction of them: `a*b`
/// is `a + b + a:b`).  A variable is a name (letters, digits, `_` and `.`,
/// or any text in backquotes), `log(NAME)` or `ln(NAME)` (the natural
/// logarithm).  A term given twice counts once.
/// @throws NumericError `The model "…" …: expected a name at "…".`
ModelFormula parse_model_formula(std::string_view text);

/// The model matrix of a formula with treatment contrasts (R's coding).
struct ModelDesign {
  /// n×p: the intercept column, then each term's columns in term order.
  Eigen::MatrixXd matrix;
  std::vector<ModelTerm> terms;
  std::vector<std::string> term_labels;
  /// Columns [first[t], first[t] + df[t]) belong to term t.
  std::vector<Eigen::Index> first;
  std::vector<Eigen::Index> df;
  /// The column names (`(Intercept)`, `log(CS)`, `speciesB`, `log(CS):speciesB`).
  std::vector<std::string> column_names;
};

/// Builds the model matrix.  A numeric variable gives one column (ln of it
/// for `log(…)`).  A factor gives one indicator column for each level but
/// the first (treatment contrasts) when the term without it is already in
/// the model (the intercept counts), and one for every level otherwise, as R
/// codes it.  Refuses, naming the term: an unknown variable, ln of a value
/// that is not positive, a factor with one level, a level with one
/// specimen, a covariate with squares that overflow or underflow, dependent
/// columns, too many columns or too costly a fit (counted before building).
/// @param variables the variables the formula may name, each of n values
/// @throws NumericError
ModelDesign model_design(const ModelFormula& formula, const std::vector<ModelVariable>& variables,
                         Eigen::Index n);

/// The sorted distinct levels of a factor.
std::vector<std::string> factor_levels(const std::vector<std::string>& values);

}  // namespace velmora::stats
