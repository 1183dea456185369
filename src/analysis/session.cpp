#include "analysis/session.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <utility>

#include "analysis/messages.hpp"
#include "io/landmark_file.hpp"
#include "io/list_files.hpp"
#include "io/row_layout.hpp"
#include "shape/distance.hpp"
#include "shape/principal_components.hpp"
#include "stats/distributions.hpp"
#include "stats/group_comparisons.hpp"
#include "stats/messages.hpp"
#include "stats/model_formula.hpp"
#include "stats/regression.hpp"
#include "tps/deformation.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::analysis {

shape::Stack Sample::raw() const {
  const auto n = static_cast<std::size_t>(rows.rows()), c = static_cast<std::size_t>(rows.cols());
  return shape::Stack(static_cast<Eigen::Index>(c / 3), static_cast<Eigen::Index>(n),
                      io::rows_to_stack(n, c, {rows.data(), n * c}));
}

namespace {

void check_x_count(Eigen::Index count, Eigen::Index specimens, std::string_view test) {
  if (count != specimens) refuse(x_count_text(test, count, specimens));
}

const char* const kCancelled = "The permutation test was cancelled.";

}  // namespace

// --- the model ---------------------------------------------------------------------

const Sample& Session::sample() const {
  require(kNeedSample);
  return *sample_;
}

std::shared_ptr<const Eigen::MatrixXd> Session::scores() const {
  if (!fit_ || scores_of_ != fit_->id()) return nullptr;
  return fit_->scores(note);
}

std::shared_ptr<const Regression> Session::regression() const {
  if (!regression_ || !fit_ || !x_) return nullptr;
  if (regression_fit_ != fit_->id() || regression_x_ != x_->id) return nullptr;
  return regression_;
}

Eigen::Index Session::wire_landmarks_needed() const {
  if (!wires_ || wires_->rows() == 0 || wires_->cols() < 3) return 0;
  return static_cast<Eigen::Index>(wires_->middleCols(1, 2).maxCoeff());
}

std::optional<long long> Session::component_count() const {
  if (!fit_) return std::nullopt;
  try {
    return static_cast<long long>(fit_->components()->variances.size());
  } catch (const NumericError&) {
    return std::nullopt;
  }
}

std::string Session::missing(unsigned needs) const {
  if ((needs & kNeedSample) && !sample_) return no_sample_text();
  if ((needs & kNeedX) && !x_) return no_x_text();
  if ((needs & kNeedScores) && !scores()) {
    if (sample_->landmarks() < tps::kMinBasisLandmarks) {
      return tps::too_few_basis_landmarks_text(sample_->landmarks());
    }
    return no_scores_text();
  }
  if ((needs & kNeedRegression) && !regression()) return no_regression_text();
  if ((needs & kNeedSurface) && !surface_) return no_surface_text();
  return {};
}

void Session::require(unsigned needs) const {
  const std::string text = missing(needs);
  if (!text.empty()) refuse(text);
}

Regressor Session::regressor(std::string_view test) const {
  return Regressor(x_, scale_, test);
}

void Session::require_shape_variation() const {
  guarded([&] { shape::require_shape_variation(fit_->reference(), fit_->fitted()); });
}

// --- operations on the model ---------------------------------------------------------

LoadSampleReport Session::load_sample(LoadSampleParams params) {
  return guarded([&] {
    io::ImportedSample& in = params.imported;
    if (in.rows.rows() == 0 || in.rows.cols() < 4 || in.rows.cols() % 3 != 1) {
      refuse("The sample has no specimens of landmarks to superimpose.");
    }
    const auto k = static_cast<std::size_t>(in.rows.cols() / 3);
    if (k < 3) {
      refuse("\"" + params.file_name + "\": each specimen holds " + io::too_few_landmarks_text(k));
    }
    Sample sample{std::move(params.file_name), std::move(in.rows), std::move(in.names),
                  std::move(in.labels)};
    LoadSampleReport r;
    auto fit = Superimposition::fit(sample.raw(), method_, r.notes);
    r.notes.insert(r.notes.end(), in.notes.begin(), in.notes.end());
    r.specimens = sample.specimens();
    r.landmarks = sample.landmarks();
    const Eigen::Index wires_need = wire_landmarks_needed();

    sample_ = std::move(sample);
    forget_sample_choices();
    fit_ = std::move(fit);
    x_.reset();
    scale_ = Scale::Linear;
    scores_of_ = 0;
    regression_.reset();
    surface_.reset();  // a surface belongs to a specimen of the sample it was loaded for
    if (wires_need > r.landmarks) {
      r.wire_note = "The wireframe needs " + std::to_string(wires_need) +
                    " landmarks; this sample has " + std::to_string(r.landmarks) +
                    ": wireframe removed.";
    } else if (wires_ && wire_landmarks_ != 0 && wire_landmarks_ != r.landmarks) {
      r.wire_note = "The wireframe was loaded for samples of " + std::to_string(wire_landmarks_) +
                    " landmarks; this sample has " + std::to_string(r.landmarks) +
                    ": wireframe removed.";
    }
    if (!r.wire_note.empty()) wires_.reset();
    wire_landmarks_ = wires_ ? r.landmarks : 0;
    semilandmarks_for_new_sample(in, r);
    pairs_for_new_sample(r);
    // Integration, modularity and disparity: a partition belongs to its landmark scheme.
    if (partition_ && partition_landmarks_ != r.landmarks) {
      r.notes.push_back("The partition was loaded for samples of " +
                        std::to_string(partition_landmarks_) + " landmarks; this sample has " +
                        std::to_string(r.landmarks) + ": partition removed.");
      partition_.reset();
    }
    return r;
  });
}

SuperimposeReport Session::superimpose(const SuperimposeParams& params) {
  SuperimposeReport r;
  // Superimposed again before anything changes, so that a failure leaves the
  // old method and superimposition in place.
  std::shared_ptr<const Superimposition> fit;
  if (params.method != method_ && sample_) {
    fit = guarded([&] { return Superimposition::fit(sample_->raw(), params.method, r.notes); });
  }
  method_ = params.method;
  if (!fit) return r;
  slide_pending_ = slides();
  // The scores and regression of the old superimposition are kept with it.
  fit_ = std::move(fit);
  r.redone = true;
  r.message = std::string("The sample was superimposed again ") +
              (method_ == Method::Optimal ? "with the optimal rotation, to convergence"
                                          : "with the classic three passes") +
              "; its scores and regression were cleared.";
  return r;
}

RotateReport Session::rotate(const RotateParams& params) {
  require(kNeedSample);
  Eigen::Matrix3d roto;
  if (params.axis == Axis::X) {
    roto << 1, 0, 0, 0, 0, -1, 0, 1, 0;
  } else {
    roto << 0, -1, 0, 1, 0, 0, 0, 0, 1;
  }
  fit_ = fit_->turned(roto);
  return {fit_};
}

WireframeReport Session::set_wireframe(const WireframeParams& params) {
  return guarded([&] {
    if (sample_) {
      io::check_wire_file(params.wires, static_cast<std::size_t>(sample_->landmarks()),
                          params.label);
    }
    const io::WireCleanup clean = io::without_repeated_wires(params.wires);
    WireframeReport r{clean.wires.rows, {}};
    if (clean.self + clean.repeated > 0) {
      const std::string& name = params.name.empty() ? params.label : params.name;
      r.note = "Wireframe \"" + name + "\": left out " + std::to_string(clean.repeated) +
               " repeated wires and " + std::to_string(clean.self) +
               " that join a landmark to itself; " + std::to_string(clean.wires.rows) +
               " wires remain.";
    }
    wires_ = clean.wires.matrix();
    wire_landmarks_ = sample_ ? sample_->landmarks() : 0;
    return r;
  });
}

namespace {

// The specimen table's columns of numbers, offered as X after the labels.
std::vector<const io::SpecimenColumn*> table_covariates(
    const std::shared_ptr<const io::SpecimenTable>& table) {
  std::vector<const io::SpecimenColumn*> out;
  if (table)
    for (const io::SpecimenColumn& c : table->columns)
      if (c.numeric) out.push_back(&c);
  return out;
}

}  // namespace

std::vector<std::string> Session::label_names() const {
  const Sample& s = sample();
  std::vector<std::string> names;
  for (const io::SpecimenLabel& l : s.labels) names.push_back(l.name);
  // Then the specimen table's columns of numbers.
  for (const io::SpecimenColumn* c : table_covariates(specimen_table())) names.push_back(c->name);
  if (names.empty()) {
    refuse(
        "The loaded sample has no labels to use as X: a Morphologika file gives them in its "
        "[labels] and [labelvalues] sections, a specimen table in its columns of numbers.");
  }
  return names;
}

SetXReport Session::set_x(SetXParams params) {
  const Sample& s = sample();
  SetXReport r;
  if (params.source == XSource::CentroidSize) {
    // Taken as any other X: with the scores, so that the tests can use it.
    params.values = s.centroid_sizes();
    params.name = kCentroidSizeX;
    params.source_text = kCentroidSizeX;
  }
  if (params.source == XSource::Label) {
    const std::size_t count = label_names().size();
    if (params.label >= count) {
      refuse(not_whole_number_text("label", std::to_string(params.label + 1), 1,
                                   static_cast<long long>(count)));
    }
    if (params.label >= s.labels.size()) {
      // A column of numbers of the specimen table.
      const io::SpecimenColumn& c =
          *table_covariates(specimen_table())[params.label - s.labels.size()];
      params.values = c.values;
      params.name = c.name;
      params.source_text = "column \"" + c.name + "\" of " + specimen_table()->file_name;
    }
  }
  if (params.source == XSource::Label && params.label < s.labels.size()) {
    const io::SpecimenLabel& label = s.labels[params.label];
    if (!label.numeric()) {
      refuse("The label \"" + label.name + "\" is not a number for every specimen (" +
             label.not_numeric + "), so it cannot be X.");
    }
    params.values = label.values;
    params.name = label.name;
    params.source_text = "label \"" + label.name + "\"";
  }
  if (params.values.size() != s.specimens()) {
    refuse(
        "There was a mismatch in the number of specimens and the number of independent "
        "variable values.  Recheck the files and reload (" +
        std::to_string(s.specimens()) + " specimens, " + std::to_string(params.values.size()) +
        (params.values.size() == 1 ? " X value)." : " X values)."));
  }
  // The scores are computed before anything changes; they depend on the
  // sample alone, so computed again they are the ones kept before.
  const bool spline = s.landmarks() >= tps::kMinBasisLandmarks;
  if (spline) {
    r.scores = guarded([&] { return fit_->scores(note); });
    r.scores_new = scores_of_ != fit_->id();
  }
  x_ = std::make_shared<const XVariable>(std::move(params.values), std::move(params.name),
                                         params.source, std::move(params.source_text));
  if (spline) scores_of_ = fit_->id();
  r.x = x_;
  return r;
}

void Session::forget_sample_choices() {
  choices_.formula.clear();
  choices_.factor.clear();
  choices_.pca_corrected = false;
}

void Session::clear() {
  forget_sample_choices();
  sample_.reset();
  table_.reset();
  fit_.reset();
  x_.reset();
  scale_ = Scale::Linear;
  scores_of_ = 0;
  regression_.reset();
  surface_.reset();
  scans_.clear();
  symmetry_.reset();
  pca_part_ = SymmetryPart::None;
}

// --- analyses ------------------------------------------------------------------------

RegressionReport Session::regression(const RegressionParams& params) {
  require(kNeedSample | kNeedX);
  const Regressor x = regressor("The regression");
  const std::vector<std::string> groups =
      params.factor.empty() ? std::vector<std::string>() : factor_groups(params.factor);
  require_shape_variation();
  return guarded([&] {
    RegressionReport r;
    r.scores = fit_->scores(note);
    r.scores_new = scores_of_ != fit_->id();
    r.x_count = x.x().size();
    if (r.x_count != r.scores->rows()) {
      refuse("The number of dependent and independent variables do no match.  Please Reload");
    }
    // Every score column is regressed, the last uniform score included;
    // within groups, on the scores and X each centred on its group's mean.
    Eigen::RowVectorXd slopes =
        params.factor.empty() ? stats::column_slopes(*r.scores, x.values())
                              : stats::column_slopes(stats::centre_within_groups(*r.scores, groups),
                                                     within_group_x(x, groups, params.factor));
    Eigen::RowVectorXd delta = x.range() * slopes;
    // The mean of X taken after scaling, so that X near the largest doubles
    // does not overflow its sum.
    const double x_mean = stats::scaled_deviations(x.values()).mean;
    r.regression = std::make_shared<const Regression>(
        Regression{std::move(slopes), std::move(delta), scale_, x_mean, x.range(), params.factor});
    scores_of_ = fit_->id();
    regression_ = r.regression;
    regression_fit_ = fit_->id();
    regression_x_ = x_->id;
    return r;
  });
}

DistanceTestReport Session::distance_test(const DistanceTestParams& params) const {
  constexpr std::string_view test = "The Procrustes-distance test";
  require(kNeedSample | kNeedX);
  const Eigen::Index n = sample_->specimens();
  if (n <= 3) refuse(stats::too_few_specimens_text(test, n));
  check_x_count(x_->values.size(), n, test);
  const Regressor x = regressor(test);
  const std::vector<std::string> groups =
      params.factor.empty() ? std::vector<std::string>() : factor_groups(params.factor);
  require_shape_variation();
  return guarded([&] {
    DistanceTestReport r;
    r.within = params.factor;
    Eigen::VectorXd given = x.x();
    r.regressor = x.values();
    const shape::Stack* fitted = &fit_->fitted();
    shape::Stack centred;
    if (!groups.empty()) {
      // Each group moved onto the grand mean, in shape and in the regressor,
      // so that only the variation within the groups remains.
      r.regressor = (within_group_x(x, groups, params.factor).array() + x.values().mean()).matrix();
      given = x.ln() ? Eigen::VectorXd(r.regressor.array().exp()) : r.regressor;
      centred = *fitted;
      const Eigen::MatrixXd by_specimen = centred.stacked().transpose();
      const Eigen::RowVectorXd grand = by_specimen.colwise().mean();
      centred.stacked() =
          (stats::centre_within_groups(by_specimen, groups).rowwise() + grand).transpose();
      fitted = &centred;
    }
    r.test = stats::procrustes_distance_test(*fitted, given, r.regressor);
    r.scale = scale_;
    r.axis_label = x.axis_label();
    r.specimens = fitted->n();
    r.start_specimens = static_cast<Eigen::Index>(r.test.first.size());
    r.start_x_limit = given(r.test.first.front());
    for (Eigen::Index i : r.test.first) r.start_x_limit = std::max(r.start_x_limit, given(i));
    r.fit_note = fit_->note();
    return r;
  });
}

WilksReport Session::wilks(const WilksParams&) const {
  constexpr std::string_view test = "The Wilks' lambda test";
  require(kNeedSample | kNeedX | kNeedScores);
  const std::shared_ptr<const Eigen::MatrixXd> scores = this->scores();
  check_x_count(x_->values.size(), scores->rows(), test);
  const Regressor x = regressor(test);
  require_shape_variation();
  return guarded([&] {
    // wilks_lambda leaves out its input's last column (the centroid size
    // of the score-file layout); a column of zeros in that place lets every
    // score column take part.
    Eigen::MatrixXd padded(scores->rows(), scores->cols() + 1);
    padded << *scores, Eigen::VectorXd::Zero(scores->rows());
    WilksReport r;
    r.wilks = stats::wilks_lambda(padded, x.values());
    const stats::WilksResult& w = r.wilks;
    if (w.degenerate) {
      refuse("The multivariate test cannot be computed: this sample has " + std::to_string(w.N) +
             " specimens; the test of " + std::to_string(w.p) + " score columns needs at least " +
             std::to_string(w.p + 2) + ". Load a larger sample or use fewer landmarks.");
    }
    r.p = stats::f_upper_tail(w.F, w.df1, w.df2);
    r.axis_label = x.axis_label();
    r.fit_note = fit_->note();
    return r;
  });
}

PermutationReport Session::permutation_test(const PermutationParams& params) const {
  constexpr std::string_view test = "The permutation test";
  require(kNeedSample | kNeedX);
  const Eigen::Index n = sample_->specimens();
  if (n < 4) refuse(stats::too_few_specimens_text(test, n));
  check_x_count(x_->values.size(), n, test);
  const Regressor x = regressor(test);
  require_shape_variation();
  return guarded([&] {
    auto r = stats::permutation_test(*fit_->tangent(), x.values(), params.permutations, params.seed,
                                     params.progress);
    if (!r) throw Error(ErrorKind::Cancelled, kCancelled);
    return PermutationReport{*r, scale_, fit_->note()};
  });
}

PcaReport Session::pca(const PcaParams& params) const {
  require(kNeedSample);
  require_shape_variation();
  std::string corrected;
  auto pca = guarded([&] {
    if (pca_part_ != SymmetryPart::None) return symmetry_pca();
    if (params.corrected.empty()) return fit_->components();
    // The residuals of the model: the size-corrected shapes less the consensus.
    const std::vector<stats::ModelVariable> variables = model_variables();
    const stats::ModelFormula formula = stats::parse_model_formula(params.corrected);
    const stats::ModelDesign design = stats::model_design(formula, variables, sample_->specimens());
    corrected = formula.text;
    return std::make_shared<const shape::ShapePca>(
        shape::principal_components(stats::model_residual_shapes(
            *fit_->tangent(), design.matrix, Eigen::RowVectorXd::Zero(fit_->tangent()->cols()))));
  });
  if (pca->variances.size() < 2) {
    refuse(
        "The principal component analysis needs shape variation in at least two directions; "
        "this sample has " +
        std::to_string(pca->variances.size()) + ".");
  }
  return {std::move(pca), fit_->note(), std::move(corrected)};
}

ComponentShapeReport Session::component_shape(const ComponentShapeParams& params) const {
  PcaReport components = pca({params.corrected});
  const auto r = static_cast<long long>(components.pca->variances.size());
  if (params.component < 1 || params.component > r) {
    refuse(not_whole_number_text("principal component", std::to_string(params.component), 1, r));
  }
  return guarded([&] {
    const shape::Config& reference = pca_reference();
    shape::Config target =
        shape::component_shape(reference, *components.pca, params.component - 1, params.factor);
    shape::Config opposite =
        shape::component_shape(reference, *components.pca, params.component - 1, -params.factor);
    return ComponentShapeReport{components.pca, reference, std::move(target), std::move(opposite)};
  });
}

RegressionShapeReport Session::regression_shape(const RegressionShapeParams& params) const {
  require(kNeedSample | kNeedRegression);
  return guarded([&] {
    const Regression& reg = *regression();
    const double lo = x_->values.minCoeff(), hi = x_->values.maxCoeff();
    auto scaled = [&](double v) { return reg.scale == Scale::Log ? std::log(v) : v; };
    const Eigen::MatrixXd scores = params.exaggeration * reg.delta;
    Eigen::MatrixXd ends(2, reg.slopes.size());
    ends.row(0) = params.exaggeration * (scaled(lo) - reg.x_mean) * reg.slopes;
    ends.row(1) = params.exaggeration * (scaled(hi) - reg.x_mean) * reg.slopes;
    const shape::Config& reference = fit_->reference();
    // The basis kept with the superimposition: a dense reference's takes
    // seconds to build.
    const std::shared_ptr<const tps::WarpBasis> basis = fit_->basis(note);
    shape::Stack deformed = tps::deformations_from_scores(*basis, reference, scores);
    shape::Stack predicted = tps::deformations_from_scores(*basis, reference, ends);
    return RegressionShapeReport{
        reference, deformed.slice(0), predicted.slice(0), predicted.slice(1), lo, hi};
  });
}

}  // namespace velmora::analysis
