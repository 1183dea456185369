#include <algorithm>
#include <map>
#include <unordered_set>

#include "analysis/messages.hpp"
#include "analysis/session.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "core/tolerances.hpp"
#include "stats/group_comparisons.hpp"
#include "stats/model_formula.hpp"

// The session's groups and linear models: the specimen table and the
// analyses that use its factors and covariates.

namespace velmora::analysis {

namespace {

constexpr const char* kModelCancelled = "The Procrustes ANOVA was cancelled.";

std::string column_line(const io::SpecimenColumn& c) {
  if (c.numeric) {
    return shown_text(c.name) + ": covariate, " + message_number(c.values.minCoeff()) + " to " +
           message_number(c.values.maxCoeff());
  }
  std::map<std::string, int> counts;
  for (const std::string& l : c.levels) ++counts[l];
  std::string s = shown_text(c.name) + ": factor, " + std::to_string(counts.size()) +
                  (counts.size() == 1 ? " level (" : " levels (");
  bool first = true;
  for (const auto& [level, count] : counts) {
    s += (first ? "" : ", ") + shown_text(level) + " " + std::to_string(count);
    first = false;
  }
  return s + ")";
}

/// A term's variable as a vector of values: `log(CS)` or `age`.
Eigen::VectorXd covariate_values(const std::vector<stats::ModelVariable>& variables,
                                 const std::string& text) {
  const stats::ModelTerm term = [&] {
    const stats::ModelFormula f = stats::parse_model_formula("shape ~ " + text);
    if (f.terms.size() != 1 || f.terms[0].parts.size() != 1)
      refuse("The covariate \"" + shown_text(text) + "\" must be one variable, or log(NAME).");
    return f.terms[0];
  }();
  const stats::TermPart& part = term.parts[0];
  for (const stats::ModelVariable& v : variables) {
    if (v.name != part.variable) continue;
    if (!v.numeric) refuse("\"" + shown_text(v.name) + "\" is a factor, not a covariate.");
    if (part.log && !(v.values.minCoeff() > 0))
      refuse("log(" + shown_text(v.name) + ") needs positive values of " + shown_text(v.name) +
             ".");
    return part.log ? Eigen::VectorXd(v.values.array().log()) : v.values;
  }
  refuse("The sample has no covariate \"" + shown_text(part.variable) + "\".");
}

}  // namespace

const stats::ModelVariable& Session::factor_named(
    const std::vector<stats::ModelVariable>& variables, const std::string& name) {
  for (const stats::ModelVariable& v : variables)
    if (v.name == name && !v.numeric) return v;
  refuse("The sample has no factor \"" + shown_text(name) +
         "\"; load a specimen table with a text column of that name.");
}

SpecimenTableReport Session::load_specimen_table(const SpecimenTableParams& params) {
  require(kNeedSample);
  std::vector<std::string> label_names;
  for (const io::SpecimenLabel& l : sample_->labels) label_names.push_back(l.name);
  auto table =
      guarded([&] { return io::read_specimen_table(params.path, sample_->names, label_names); });
  SpecimenTableReport r;
  r.file_name = table.file_name;
  r.rows_in_order = table.name_column.empty();
  for (const io::SpecimenColumn& c : table.columns) {
    (c.numeric ? r.covariates : r.factors) += 1;
    r.lines.push_back(column_line(c));
  }
  table_ = std::make_shared<const io::SpecimenTable>(std::move(table));
  table_names_ = sample_->names;
  table_rows_ = sample_->rows;
  return r;
}

std::shared_ptr<const io::SpecimenTable> Session::specimen_table() const {
  if (!sample_ || !table_ || table_names_ != sample_->names || table_rows_ != sample_->rows)
    return nullptr;
  return table_;
}

std::vector<std::string> Session::choose_model(const std::string& formula) {
  require(kNeedSample);
  std::vector<std::string> labels;
  std::string text;
  guarded([&] {
    const stats::ModelFormula f = stats::parse_model_formula(formula);
    labels = stats::model_design(f, model_variables(), sample_->specimens()).term_labels;
    text = f.text;
  });
  choices_.formula = std::move(text);
  return labels;
}

const std::string& Session::chosen_formula() const {
  if (choices_.formula.empty())
    refuse(
        "No model is set: choose Groups > Set Model first (in batch: SetModel \"shape ~ log(CS) * "
        "population\").");
  return choices_.formula;
}

const std::string& Session::chosen_factor_name() const {
  if (choices_.factor.empty())
    refuse("No factor is chosen: choose Groups > Set Factor first (in batch: SetFactor NAME).");
  return choices_.factor;
}

stats::ModelVariable Session::chosen_factor() const {
  const std::string& name = chosen_factor_name();
  for (stats::ModelVariable& v : model_variables())
    if (!v.numeric && v.name == name) return v;
  refuse("The sample has no factor \"" + shown_text(name) +
         "\" now; load its specimen table or choose another.");
}

std::string Session::pca_correction() const {
  if (!choices_.pca_corrected) return {};
  if (choices_.formula.empty())
    refuse(
        "The PCA of size-corrected shapes needs a model: choose Groups > Set Model first (in "
        "batch: SetModel \"shape ~ log(CS)\"), or go back to SetPCAShapes raw.");
  return choices_.formula;
}

std::vector<stats::ModelVariable> Session::model_variables() const {
  std::vector<stats::ModelVariable> out;
  if (!sample_) return out;
  // The first of each name.
  std::unordered_set<std::string> names;
  auto add = [&](stats::ModelVariable v) {
    if (names.insert(v.name).second) out.push_back(std::move(v));
  };
  add({"CS", true, sample_->centroid_sizes(), {}});
  if (x_ && x_->values.size() == sample_->specimens()) add({"X", true, x_->values, {}});
  if (auto table = specimen_table())
    for (const io::SpecimenColumn& c : table->columns) add({c.name, c.numeric, c.values, c.levels});
  for (const io::SpecimenColumn& c : io::label_columns(sample_->labels))
    if (c.numeric || c.levels.size() == static_cast<std::size_t>(sample_->specimens()))
      add({c.name, c.numeric, c.values, c.levels});
  return out;
}

AnovaReport Session::procrustes_anova(const AnovaParams& params) const {
  require(kNeedSample);
  require_shape_variation();
  const std::vector<stats::ModelVariable> variables = model_variables();
  return guarded([&] {
    const stats::ModelFormula formula = stats::parse_model_formula(params.formula);
    const stats::ModelDesign design = stats::model_design(formula, variables, sample_->specimens());
    auto anova = stats::procrustes_anova(*fit_->tangent(), design, params.type, params.permutations,
                                         params.seed, params.progress);
    if (!anova) throw Error(ErrorKind::Cancelled, kModelCancelled);
    AnovaReport r;
    r.anova = std::move(*anova);
    r.formula = "shape ~";
    for (std::size_t t = 0; t < design.term_labels.size(); ++t)
      r.formula += (t ? " + " : " ") + shown_text(design.term_labels[t]);
    if (auto table = specimen_table()) r.table_source = table->file_name;
    r.fit_note = fit_->note();
    // The slopes model: a covariate, one factor and their interaction last.
    const stats::ModelTerm& last = design.terms.back();
    if (design.terms.size() >= 3 && last.parts.size() == 2) {
      const stats::AnovaLine& line = r.anova.terms.back();
      r.verdict =
          line.p <= 0.05
              ? "The slopes differ between the groups (" + shown_text(line.term) +
                    ", p = " + message_number(line.p) + "): the groups do not share one allometry."
              : "No evidence that the slopes differ between the groups (" + shown_text(line.term) +
                    ", p = " + message_number(line.p) + "): a common slope fits.";
    }
    return r;
  });
}

PairwiseReport Session::pairwise_groups(const PairwiseParams& params) const {
  require(kNeedSample);
  require_shape_variation();
  const std::vector<stats::ModelVariable> variables = model_variables();
  const stats::ModelVariable* factor = &factor_named(variables, params.factor);
  Eigen::VectorXd covariate;
  if (!params.covariate.empty())
    covariate = guarded([&] { return covariate_values(variables, params.covariate); });
  return guarded([&] {
    const stats::GroupComparison c =
        stats::compare_groups(*fit_->tangent(), factor->levels, covariate, params.permutations,
                              params.seed, params.covariate);
    PairwiseReport r;
    r.slopes = covariate.size() > 0;
    r.permutations = params.permutations;
    r.fit_note = fit_->note();
    const auto g = static_cast<Eigen::Index>(c.levels.size());
    for (Eigen::Index i = 0; i < g; ++i) {
      for (Eigen::Index j = i + 1; j < g; ++j) {
        GroupPair p{c.levels[static_cast<std::size_t>(i)],
                    c.levels[static_cast<std::size_t>(j)],
                    c.distance(i, j),
                    c.distance_p(i, j),
                    0,
                    0,
                    0,
                    0};
        if (r.slopes) {
          p.angle = c.angle(i, j);
          p.angle_p = c.angle_p(i, j);
          p.length_difference = c.length(i, j);
          p.length_p = c.length_p(i, j);
        }
        r.pairs.push_back(p);
      }
    }
    return r;
  });
}

CvaReport Session::canonical_variates(const CvaParams& params) const {
  require(kNeedSample);
  require_shape_variation();
  const std::vector<stats::ModelVariable> variables = model_variables();
  const stats::ModelVariable& factor = factor_named(variables, params.factor);
  return guarded([&] {
    CvaReport r;
    r.cva = stats::canonical_variates(*fit_->tangent(), factor.levels, params.permutations,
                                      params.seed);
    const auto g = static_cast<Eigen::Index>(r.cva.levels.size());
    r.components_text = std::to_string(r.cva.components) + " principal components (those above " +
                        message_number(stats::kCvaComponentShare) +
                        " of the total variance, at most n − g − 1 = " +
                        std::to_string(sample_->specimens() - g - 1) + ")";
    r.fit_note = fit_->note();
    return r;
  });
}

SizeCorrectionReport Session::size_corrected_shapes(const SizeCorrectionParams& params) const {
  require(kNeedSample);
  require_shape_variation();
  const std::vector<stats::ModelVariable> variables = model_variables();
  return guarded([&] {
    const stats::ModelFormula formula = stats::parse_model_formula(params.formula);
    const stats::ModelDesign design = stats::model_design(formula, variables, sample_->specimens());
    // Tangent coordinates are stacked: all x, then all y, then all z.
    const Eigen::RowVectorXd consensus = shape::stacked_of_config(fit_->reference());
    const Eigen::MatrixXd stacked =
        stats::model_residual_shapes(*fit_->tangent(), design.matrix, consensus);
    SizeCorrectionReport r;
    r.formula = formula.text;
    r.shapes = shape::interleaved_of_stacked(stacked);
    return r;
  });
}

std::vector<std::string> Session::factor_groups(const std::string& name) const {
  for (const stats::ModelVariable& v : model_variables())
    if (v.name == name && !v.numeric) return v.levels;
  refuse("The sample has no factor \"" + shown_text(name) +
         "\" now: load its specimen table, or choose another factor or none (Groups > Set "
         "Factor).");
}

Eigen::VectorXd Session::within_group_x(const Regressor& x, const std::vector<std::string>& groups,
                                        const std::string& factor) {
  Eigen::VectorXd centred = stats::centre_within_groups(x.values(), groups);
  // As for X over all specimens: a spread of rounding noise is no variation.
  if (!(centred.maxCoeff() - centred.minCoeff() >
        kEqualXTolerance * x.values().cwiseAbs().maxCoeff()))
    refuse(x.axis_label() + " does not vary within the groups of " + shown_text(factor) +
           ", so the pooled within-group regression has no slope.");
  return centred;
}

CvShapeReport Session::cv_shape(const CvShapeParams& params) const {
  require(kNeedSample);
  require_shape_variation();
  const std::vector<std::string> groups = factor_groups(params.factor);
  return guarded([&] {
    // One permutation: only the axes are wanted here.
    const stats::CanonicalVariates cva = stats::canonical_variates(*fit_->tangent(), groups, 1);
    CvShapeReport r;
    r.variates = static_cast<long long>(cva.shape_axes.cols());
    if (params.variate < 1 || params.variate > r.variates)
      refuse(not_whole_number_text("canonical variate", std::to_string(params.variate), 1,
                                   r.variates));
    // From the mean shape, as the principal components move; tangent
    // coordinates are stacked: all x, then all y, then all z.
    const shape::Config axis =
        shape::config_of_stacked(cva.shape_axes.col(params.variate - 1).transpose());
    const Eigen::RowVectorXd mean = fit_->tangent()->colwise().mean();
    r.reference = fit_->reference() + shape::config_of_stacked(mean);
    r.target = r.reference + params.score * axis;
    r.opposite = r.reference - params.score * axis;
    return r;
  });
}

}  // namespace velmora::analysis
