// The session's bilateral symmetry and repeatability: the landmark pairs of
// the sample's landmark scheme, the symmetry ANOVA with its components kept
// for their PCA and the directional asymmetry, and the repeatability of
// replicated configurations.
#include <span>

#include "analysis/session.hpp"
#include "core/shown_text.hpp"
#include "io/row_layout.hpp"
#include "shape/principal_components.hpp"

namespace velmora::analysis {

namespace {

constexpr const char* kSymmetryCancelled = "The symmetry ANOVA was cancelled.";
constexpr const char* kRepeatabilityCancelled = "The repeatability ANOVA was cancelled.";

constexpr const char* kNoSymmetry =
    "No symmetry analysis has been run on this sample: run Symmetry ANOVA first (in batch: "
    "SymmetryANOVA INDIVIDUAL for object symmetry, SymmetryANOVA INDIVIDUAL SIDE for matching "
    "symmetry).";

std::string counted(Eigen::Index n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

void Session::pairs_for_new_sample(LoadSampleReport& r) {
  symmetry_.reset();
  pca_part_ = SymmetryPart::None;
  if (pairs_ && pairs_landmarks_ != r.landmarks) {
    r.pairs_note = "The landmark pairs were loaded for samples of " +
                   std::to_string(pairs_landmarks_) + " landmarks; this sample has " +
                   std::to_string(r.landmarks) + ": landmark pairs removed.";
    pairs_.reset();
    pairs_label_.clear();
    pairs_landmarks_ = 0;
  }
}

LandmarkPairsReport Session::set_landmark_pairs(const io::LandmarkPairs& pairs,
                                                const std::string& label) {
  require(kNeedSample);
  const Eigen::Index k = sample_->landmarks();
  // The relabelling checks that every pair names a landmark of this sample.
  guarded([&] { io::reflection_relabelling(pairs, static_cast<std::size_t>(k)); });
  LandmarkPairsReport r;
  r.pairs = static_cast<Eigen::Index>(pairs.pairs.size());
  r.midline = k - 2 * r.pairs;
  r.message = counted(k, "landmark", "landmarks") + ": " + counted(r.pairs, "pair", "pairs") +
              ", " + std::to_string(r.midline) + " on the midline.";
  pairs_ = pairs;
  pairs_label_ = label;
  pairs_landmarks_ = k;
  symmetry_.reset();
  pca_part_ = SymmetryPart::None;
  return r;
}

SymmetryReport Session::symmetry_anova(const SymmetryParams& params) {
  require(kNeedSample);
  const bool object = params.side.empty();
  if (object && !pairs_)
    refuse(
        "Object symmetry needs the landmark pairs: load them first (File > Load Landmark Pairs; "
        "in batch: LoadLandmarkPairs), or name the column of the sides for matching symmetry "
        "(SymmetryANOVA INDIVIDUAL SIDE).");
  const std::vector<std::string> individuals = factor_groups(params.individual);
  const std::vector<std::string> sides =
      object ? std::vector<std::string>() : factor_groups(params.side);
  const bool converged = method_ == Method::Optimal;
  auto report = guarded([&] {
    auto r = std::make_shared<SymmetryReport>();
    const shape::Stack raw = sample_->raw();
    r->fit = std::make_shared<const stats::SymmetryFit>(
        object ? stats::object_symmetry_fit(
                     raw, io::reflection_relabelling(*pairs_, static_cast<std::size_t>(raw.k())),
                     individuals, converged)
               : stats::matching_symmetry_fit(raw, individuals, sides, converged));
    auto anova = stats::symmetry_anova(*r->fit, params.individual, params.permutations, params.seed,
                                       params.progress);
    if (!anova) throw Error(ErrorKind::Cancelled, kSymmetryCancelled);
    r->anova = std::move(*anova);
    r->components =
        std::make_shared<const stats::SymmetryComponents>(stats::symmetry_components(*r->fit));
    r->individual = params.individual;
    r->side = params.side;
    if (object) r->pairs_label = pairs_label_;
    if (!r->fit->converged)
      r->notes.push_back(
          "The superimposition of the configurations and their reflections did not settle in "
          "its passes; the table describes its last pass.");
    if (!r->fit->mirrored.empty()) {
      std::string rows;
      for (std::size_t i = 0; i < r->fit->mirrored.size() && i < 10; ++i)
        rows += (i ? ", " : "") + std::to_string(r->fit->mirrored[i] + 1);
      if (r->fit->mirrored.size() > 10) rows += ", …";
      r->notes.push_back(counted(static_cast<Eigen::Index>(r->fit->mirrored.size()),
                                 "configuration", "configurations") +
                         " of the fit fitted best as mirror images (rows " + rows +
                         "): check their landmark order.");
    }
    return r;
  });
  symmetry_ = report;
  return *report;
}

SymmetryComponentReport Session::symmetry_component(const SymmetryComponentParams& params) const {
  require(kNeedSample);
  if (!symmetry_) refuse(kNoSymmetry);
  const stats::SymmetryFit& fit = *symmetry_->fit;
  const stats::SymmetryComponents& c = *symmetry_->components;
  if (params.part == SymmetryPart::None)
    refuse("Choose the symmetric or the asymmetric component.");
  const bool symmetric = params.part == SymmetryPart::Symmetric;
  if (!params.by_individual && !c.unpaired.empty())
    refuse(c.unpaired + " Save the components of the individuals instead (argument individual).");
  const Eigen::MatrixXd& stacked =
      params.by_individual ? (symmetric ? c.symmetric_individual : c.asymmetric_individual)
                           : (symmetric ? c.symmetric : c.asymmetric);
  const Eigen::VectorXd cs = sample_->centroid_sizes();
  const Eigen::Index k = fit.fitted.k(), n = stacked.rows();
  // The raw centroid size a row stands for: the mean over its configurations.
  Eigen::VectorXd size = Eigen::VectorXd::Zero(n), count = Eigen::VectorXd::Zero(n);
  SymmetryComponentReport r;
  if (params.by_individual) {
    r.names = fit.individuals;
    for (std::size_t row = 0; row < fit.individual.size(); ++row) {
      size(fit.individual[row]) += cs(fit.specimen[row]);
      count(fit.individual[row]) += 1;
    }
  } else {
    for (Eigen::Index s = 0; s < n; ++s) {
      const auto [a, b] = c.specimen_rows[static_cast<std::size_t>(s)];
      const Eigen::Index sa = fit.specimen[static_cast<std::size_t>(a)],
                         sb = fit.specimen[static_cast<std::size_t>(b)];
      r.names.push_back(sa == sb ? sample_->names[static_cast<std::size_t>(sa)]
                                 : sample_->names[static_cast<std::size_t>(sa)] + "/" +
                                       sample_->names[static_cast<std::size_t>(sb)]);
      size(s) = cs(sa) + cs(sb);
      count(s) = 2;
    }
  }
  r.rows.resize(n, 3 * k + 1);
  for (Eigen::Index i = 0; i < n; ++i) {
    const shape::Config config = shape::config_of_stacked(stacked.row(i));
    const std::vector<double> row =
        io::config_to_row({config.data(), static_cast<std::size_t>(config.size())},
                          static_cast<std::size_t>(k), size(i) / count(i));
    r.rows.row(i) =
        Eigen::Map<const Eigen::RowVectorXd>(row.data(), static_cast<Eigen::Index>(row.size()));
  }
  return r;
}

DirectionalAsymmetryReport Session::directional_asymmetry(
    const DirectionalAsymmetryParams& params) const {
  require(kNeedSample);
  if (!symmetry_) refuse(kNoSymmetry);
  const shape::Config& da = symmetry_->components->directional;
  const shape::Config& reference = symmetry_->fit->reference;
  // A configuration is its symmetric component plus half its asymmetry.
  return {reference, reference + 0.5 * params.exaggeration * da,
          reference - 0.5 * params.exaggeration * da, da.norm()};
}

RepeatabilityReport Session::repeatability(const RepeatabilityParams& params) const {
  require(kNeedSample);
  require_shape_variation();
  const std::vector<std::string> individuals = factor_groups(params.individual);
  return guarded([&] {
    auto r = stats::repeatability(*fit_->tangent(), individuals, params.individual,
                                  params.permutations, params.seed, params.progress);
    if (!r) throw Error(ErrorKind::Cancelled, kRepeatabilityCancelled);
    return RepeatabilityReport{std::move(*r), fit_->note()};
  });
}

void Session::set_pca_symmetry(SymmetryPart part) {
  if (part != SymmetryPart::None && !symmetry_) refuse(kNoSymmetry);
  pca_part_ = part;
  if (part != SymmetryPart::None) choices_.pca_corrected = false;
}

std::shared_ptr<const shape::ShapePca> Session::symmetry_pca() const {
  const stats::SymmetryComponents& c = *symmetry_->components;
  // Matching symmetry with unequal sides a specimen: the individuals' components.
  const bool specimens = c.unpaired.empty();
  if (pca_part_ == SymmetryPart::Asymmetric)
    return std::make_shared<const shape::ShapePca>(
        shape::principal_components(specimens ? c.asymmetric : c.asymmetric_individual));
  // Deviations from the consensus, so that the shapes drawn are the
  // consensus moved along a component.
  const Eigen::RowVectorXd reference = shape::stacked_of_config(symmetry_->fit->reference);
  const Eigen::MatrixXd& symmetric = specimens ? c.symmetric : c.symmetric_individual;
  return std::make_shared<const shape::ShapePca>(
      shape::principal_components(symmetric.rowwise() - reference));
}

const shape::Config& Session::pca_reference() const {
  return pca_part_ != SymmetryPart::None && symmetry_ ? symmetry_->fit->reference
                                                      : fit_->reference();
}

}  // namespace velmora::analysis
