#pragma once

#include <Eigen/Core>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/error.hpp"
#include "analysis/models.hpp"
#include "analysis/operations.hpp"
#include "analysis/regressor.hpp"
#include "analysis/superimposition.hpp"
#include "analysis/surface.hpp"
#include "core/notify.hpp"
#include "io/imported_sample.hpp"
#include "shape/types.hpp"

namespace velmora::analysis {

/// A landmark sample as loaded.
struct Sample {
  std::string file_name;           ///< the chosen file's name, as the window shows it
  Eigen::MatrixXd rows;            ///< n×(3k+1) as read: x1 y1 z1 … xk yk zk, centroid size
  std::vector<std::string> names;  ///< one a specimen, as the file gave them
  std::vector<io::SpecimenLabel> labels;  ///< values the file gives every specimen

  Eigen::Index specimens() const { return rows.rows(); }
  Eigen::Index landmarks() const { return (rows.cols() - 1) / 3; }
  /// The last column of the file: each specimen's centroid size.
  Eigen::VectorXd centroid_sizes() const { return rows.col(rows.cols() - 1); }
  /// The raw configurations, k×3 each.
  shape::Stack raw() const;
};

/// What an operation needs before it can run; checked in this order, and the
/// first missing one refused with its text.
enum Need : unsigned {
  kNeedNothing = 0,
  kNeedSample = 1,
  kNeedX = 2,
  kNeedScores = 4,  ///< the scores among the results (Load X List or Do Regression)
  kNeedRegression = 8,
  // 16 is the application's own (its 3-D window).
  kNeedSurface = 32,  ///< a surface of a specimen (Load Surface)
};

/// One analysis: the sample, its superimposition, X and the scale, the
/// wireframe, and the results.  Every operation checks what it needs
/// (require) and returns its report, or throws Error and changes nothing.
/// Computed parts are kept with what they were computed from: the basis,
/// scores, tangent coordinates and principal components with the
/// superimposition they describe; the regression and the scores' place among
/// the results with the superimposition (and X) current when they were made.
/// A new sample, superimposition, orientation or X therefore leaves nothing
/// stale behind, with nothing to drop.
class Session {
 public:
  /// Where long computations say what they are about to do (the basis of a
  /// dense reference); empty: nowhere.
  Notify note;

  // --- the model -------------------------------------------------------------
  bool has_sample() const { return sample_.has_value(); }
  const Sample& sample() const;  ///< requires has_sample()
  std::shared_ptr<const Superimposition> superimposition() const { return fit_; }
  Method method() const { return method_; }
  std::shared_ptr<const XVariable> x() const { return x_; }
  Scale scale() const { return scale_; }
  const std::optional<Eigen::MatrixXd>& wires() const { return wires_; }
  /// The scores, when they are among the results of the current
  /// superimposition (X loaded from a file or a label, or the regression run).
  std::shared_ptr<const Eigen::MatrixXd> scores() const;
  /// The regression of the current superimposition and X, if it was run.
  std::shared_ptr<const Regression> regression() const;
  /// The largest landmark number the wireframe joins (0 without one).
  Eigen::Index wire_landmarks_needed() const;
  /// How many principal components the sample has; nullopt without a sample
  /// or when it has none to analyse.
  std::optional<long long> component_count() const;

  /// The text of the first of `needs` missing, or empty.
  std::string missing(unsigned needs) const;
  /// @throws Error{Refused} with the text of the first of `needs` missing
  void require(unsigned needs) const;

  /// The semilandmarks of the sample's landmark scheme, and how they slide.
  const tps::Semilandmarks& semilandmarks() const { return semi_; }
  SlidingChoice sliding_choice() const { return sliding_choice_; }
  /// 0: the convergent default; K: K plain passes.
  int sliding_passes() const { return sliding_passes_; }
  /// The settings changed since the sample was last superimposed: the next
  /// settle_sliding superimposes it again.
  bool slide_pending() const { return slide_pending_; }
  /// The counts of fixed landmarks, curve sliders and surface points.
  SemilandmarkReport semilandmark_counts() const;

  /// The model, the factor, the sums of squares and the PCA's shapes chosen.
  const ModelChoice& choices() const { return choices_; }

  // --- operations on the model -------------------------------------------------
  /// Superimposes a new sample, replacing the old one with its X, results
  /// and scale (back to linear); removes the wireframe when it needs more
  /// landmarks than the sample has, or was loaded for a sample of another
  /// landmark count (a wireframe belongs to its landmark scheme).
  LoadSampleReport load_sample(LoadSampleParams params);
  /// Chooses the method; superimposes the loaded sample again when it
  /// changes.
  SuperimposeReport superimpose(const SuperimposeParams& params);
  /// A quarter turn of the reference and the sample.
  RotateReport rotate(const RotateParams& params);
  /// Checks a wireframe against the loaded sample, then keeps it without
  /// repeated wires and wires that join a landmark to itself.
  WireframeReport set_wireframe(const WireframeParams& params);
  /// Makes X the independent variable; from a file or a label after the
  /// count is checked and the scores are computed.  A sample of three
  /// landmarks has no spline basis and so no scores, but its X serves the
  /// analyses that need none; those that do refuse with the reason.
  SetXReport set_x(SetXParams params);
  /// What may be chosen as X: the names of the sample's numeric and text
  /// labels (a text label is refused when chosen), then the specimen
  /// table's columns of numbers.
  /// @throws Error{Refused} when there is no sample or it offers none
  std::vector<std::string> label_names() const;
  void set_scale(Scale scale) { scale_ = scale; }
  /// Forgets the sample, its specimen table, X and results, and the scale
  /// goes back to linear; the wireframe, the semilandmarks and the method
  /// stay.
  void clear();

  /// Makes the curve sliders of `file` (read by io::load_curve_file) the
  /// sample's; nothing slides yet (settle_sliding does).
  /// @throws Error{Refused} without a sample, or naming `label` and the
  ///   line: a slider that is also a surface point, a slider whose
  ///   neighbours coincide in the consensus
  SemilandmarkReport set_curves(const io::CurveFile& file, const std::string& label);
  /// The same for surface points (io::load_surface_point_file).
  SemilandmarkReport set_surface_points(const io::SurfacePointFile& file, const std::string& label);
  void set_sliding(SlidingChoice choice);
  /// @param passes 0 (the default) or 1 to 1000 plain passes
  void set_sliding_passes(int passes);
  /// Superimposes the sample again with its semilandmarks slid as the
  /// settings say, when they changed since the last superimposition; a
  /// failure changes nothing (the settings stay, still pending).
  SettleReport settle_sliding();

  /// Reads the scans `paths` (PLY, OBJ, STL, OFF), each the scan of the
  /// specimen named as its file's stem, and keeps them with the sample
  /// (replacing a specimen's earlier scan).  A projection set on slides
  /// again when next needed.
  /// @throws Error{Refused} naming the file whose stem names no specimen, or
  ///   two files of one specimen; Error naming the file that cannot be read.
  ///   Nothing is kept then.
  LoadScansReport load_scans(const std::vector<std::string>& paths);
  /// Projects the semilandmarks onto the scans as they slide (from the next
  /// slide on; it needs a scan of every specimen then).
  void set_sliding_projection(bool on);
  bool sliding_projection() const { return projection_; }
  /// Specimens with a scan.
  Eigen::Index scan_count() const;
  /// Spreads `count` points evenly over the template specimen's scan
  /// (farthest-point sampling of its vertices, away from its landmarks),
  /// carries them to every other specimen by the thin-plate spline of the
  /// fixed landmarks, projects them onto that specimen's scan, and adds them
  /// to the sample as surface points, after its landmarks.
  /// @throws Error{Refused} without a scan of every specimen, with fewer
  ///   than 4 fixed landmarks, or more points than the template has
  ///   vertices; nothing changes then
  PlaceSemilandmarksReport place_semilandmarks(const PlaceSemilandmarksParams& params);

  // --- analyses ----------------------------------------------------------------
  // Each statistic checks, in this order: what it needs (require), the
  // specimen count, X (count, ln scale, variation), then the shape variation
  // of the sample (shape::require_shape_variation), and last what is
  // particular to it.
  RegressionReport regression(const RegressionParams& params);
  DistanceTestReport distance_test(const DistanceTestParams& params) const;
  WilksReport wilks(const WilksParams& params) const;
  PermutationReport permutation_test(const PermutationParams& params) const;
  PcaReport pca(const PcaParams& params) const;
  ComponentShapeReport component_shape(const ComponentShapeParams& params) const;
  RegressionShapeReport regression_shape(const RegressionShapeParams& params) const;

  // --- surfaces (surface.cpp) ---------------------------------------------------
  /// Loads the surface of one specimen and carries it onto the consensus.
  LoadSurfaceReport load_surface(LoadSurfaceParams params);
  /// The mean surface carried to a target shape, in the specimen's units.
  SurfaceWarpReport warp_surface(const SurfaceWarpParams& params) const;
  std::shared_ptr<const SpecimenSurface> surface() const { return surface_; }

  // --- groups and linear models (analysis/models.cpp) ---------------------------
  SpecimenTableReport load_specimen_table(const SpecimenTableParams& params);
  /// The specimen table of the loaded sample, or null.
  std::shared_ptr<const io::SpecimenTable> specimen_table() const;
  /// What a model may name: CS, X (when set), the table's columns, the labels.
  std::vector<stats::ModelVariable> model_variables() const;
  AnovaReport procrustes_anova(const AnovaParams& params) const;
  PairwiseReport pairwise_groups(const PairwiseParams& params) const;
  SizeCorrectionReport size_corrected_shapes(const SizeCorrectionParams& params) const;
  CvaReport canonical_variates(const CvaParams& params) const;
  /// The consensus moved along one canonical variate, both ways.
  CvShapeReport cv_shape(const CvShapeParams& params) const;
  /// The model formula chosen.
  /// @throws Error{Refused} when none is set
  const std::string& chosen_formula() const;
  /// The name of the factor chosen for the groups.
  /// @throws Error{Refused} when none is chosen
  const std::string& chosen_factor_name() const;
  /// The factor chosen for the groups, checked against the sample loaded now.
  /// @throws Error{Refused} when none is chosen, or the sample has no such
  ///         factor now
  stats::ModelVariable chosen_factor() const;
  /// The model whose residuals the PCA analyses when the PCA of
  /// size-corrected shapes is chosen; "" when it analyses the shapes as
  /// superimposed.
  /// @throws Error{Refused} when the size-corrected shapes are chosen but no
  ///         model is set
  std::string pca_correction() const;
  /// Checks `formula` against the sample loaded (its names, and terms that
  /// the specimens can estimate) and keeps it, written as parsed, as the
  /// model; the labels of its terms.
  /// @throws Error{Refused} naming what is wrong; the model before stays
  std::vector<std::string> choose_model(const std::string& formula);
  /// Keeps `name` as the factor; "" forgets it.
  void set_factor(std::string name) { choices_.factor = std::move(name); }
  void set_sums_of_squares(stats::SumsOfSquares sums) { choices_.sums = sums; }
  void set_pca_corrected(bool corrected) { choices_.pca_corrected = corrected; }

  // --- bilateral symmetry and repeatability (analysis/symmetry_session.cpp) ------
  // Bilateral symmetry and repeatability.
  /// Keeps the landmark pairs read (io::load_landmark_pairs) for the
  /// sample's landmarks; the symmetry analysis run before is forgotten.
  LandmarkPairsReport set_landmark_pairs(const io::LandmarkPairs& pairs, const std::string& label);
  /// The landmark pairs kept, or null.
  const io::LandmarkPairs* landmark_pairs() const { return pairs_ ? &*pairs_ : nullptr; }
  const std::string& landmark_pairs_label() const { return pairs_label_; }
  /// Superimposes the sample with its reflections (object symmetry, which
  /// needs the landmark pairs) or its second side reflected (matching
  /// symmetry), runs the symmetry ANOVA and keeps the result for the
  /// components, their PCA and the directional asymmetry.
  /// @throws Error{Refused} without the pairs (object symmetry), naming a
  ///   column that is no factor; Error{Numeric} as the library refuses
  SymmetryReport symmetry_anova(const SymmetryParams& params);
  /// The symmetry analysis run last on this sample, or null.
  std::shared_ptr<const SymmetryReport> symmetry() const { return symmetry_; }
  SymmetryComponentReport symmetry_component(const SymmetryComponentParams& params) const;
  DirectionalAsymmetryReport directional_asymmetry(const DirectionalAsymmetryParams& params) const;
  /// The ANOVA of shape ~ individual and the repeatability of the replicates.
  RepeatabilityReport repeatability(const RepeatabilityParams& params) const;
  /// Makes the PCA analyse a component of the symmetry analysis run last
  /// (None: the shapes, or the size-corrected ones, as chosen before).
  /// @throws Error{Refused} when no symmetry analysis was run
  void set_pca_symmetry(SymmetryPart part);
  SymmetryPart pca_symmetry() const { return pca_part_; }
  // --- integration, modularity and disparity (analysis/integration_session.cpp)
  // Integration, modularity and disparity.
  /// Reads a partition file (io::load_partition_file) for the sample's
  /// landmarks and keeps it, replacing the one before; it stays with later
  /// samples of the same landmark count and goes when one of another count
  /// loads.
  /// @throws Error{Refused} without a sample; Error{Numeric} naming the file
  ///   and the line; nothing changes then
  PartitionReport load_partition(const std::string& path);
  /// The partition kept for the sample loaded now, or null.
  std::shared_ptr<const io::Partition> partition() const;
  PlsFit pls_fit() const { return pls_fit_; }
  void set_pls_fit(PlsFit fit) { pls_fit_ = fit; }
  /// Two-block PLS between the first two blocks of the partition (after
  /// the joint or separate superimposition chosen), or between shape and
  /// covariates, with the permutation test of r-PLS.
  PlsReport two_block_pls(const PlsParams& params) const;
  /// The covariance ratio of the partition's blocks and its test.
  ModularityReport modularity_test(const ModularityParams& params) const;
  /// The two-block PLS of the first two blocks in each group of a factor,
  /// and the pairwise z of their effect sizes.
  IntegrationComparisonReport compare_integration(const IntegrationComparisonParams& params) const;
  /// Procrustes variances of the groups of a factor and their pairwise
  /// differences; on the residuals of the chosen model when one is set.
  DisparityReport disparity(const DisparityParams& params) const;

 private:
  std::shared_ptr<const io::SpecimenTable> table_;
  /// The specimens the table was matched to: their names and landmarks.
  std::vector<std::string> table_names_;
  Eigen::MatrixXd table_rows_;
  /// The group of every specimen under the factor `name`.
  /// @throws Error{Refused} when the sample has no such factor
  std::vector<std::string> factor_groups(const std::string& name) const;
  /// The factor `name` among `variables` (model_variables()).
  /// @throws Error{Refused} when there is no text variable of that name
  static const stats::ModelVariable& factor_named(
      const std::vector<stats::ModelVariable>& variables, const std::string& name);
  /// The regressor centred on each group's mean.
  /// @throws Error{Refused} when X does not vary within any group
  static Eigen::VectorXd within_group_x(const Regressor& x, const std::vector<std::string>& groups,
                                        const std::string& factor);
  /// X as the regressor of `test`, checked for the scale.
  Regressor regressor(std::string_view test) const;
  /// @throws Error{Numeric} shape::kNoShapeVariationText when the
  ///         superimposed specimens do not differ beyond rounding
  void require_shape_variation() const;

  /// Forgets the choices that name the sample's variables.
  void forget_sample_choices();

  /// Semilandmarks are set and not turned off: a superimposition slides.
  bool slides() const { return !semi_.empty() && sliding_choice_ != SlidingChoice::None; }
  /// The semilandmarks after a new sample `in` was loaded (reported in
  /// `r`): a curve markup's own; else those already set, kept for a sample
  /// of their landmark count (a landmark scheme's), removed otherwise.
  /// Either way the sample slides when an action first needs it.
  void semilandmarks_for_new_sample(const io::ImportedSample& in, LoadSampleReport& r);
  /// Makes the definitions of a file (`label`, an entry's line each) the
  /// sample's, to slide when next needed.
  SemilandmarkReport adopt_semilandmarks(std::string& label_member, const std::string& label,
                                         std::vector<std::size_t>& lines_member,
                                         const std::vector<std::size_t>& lines);
  /// The superimposition of `raw` with the semilandmarks slid as set.
  std::shared_ptr<const Superimposition> fit_with_sliding(shape::Stack raw, Method method,
                                                          std::vector<std::string>& notes,
                                                          tps::SlidingResult* slid) const;
  /// The line of the definition file that made `landmark` (0-based) a
  /// semilandmark, as messages name it: "\"curves.txt\" line 3".
  std::string semilandmark_source(Eigen::Index landmark) const;

  tps::Semilandmarks semi_;
  /// The landmark count the definitions were loaded for, their files and
  /// each entry's line.
  Eigen::Index semi_landmarks_ = 0;
  std::string curve_label_, surface_label_;
  std::vector<std::size_t> curve_lines_, surface_lines_;
  SlidingChoice sliding_choice_ = SlidingChoice::Default;
  int sliding_passes_ = 0;
  /// One a specimen of the sample (null: none), and whether the slide
  /// projects onto them.
  struct Scan;
  std::vector<std::shared_ptr<const Scan>> scans_;
  bool projection_ = false;
  /// The projection onto the scans, when set on (a scan of every specimen).
  /// @throws Error{Refused} when a specimen has none
  std::shared_ptr<const tps::SurfaceProjection> projection_of(const shape::Stack& raw) const;
  bool slide_pending_ = false;

  ModelChoice choices_;
  std::optional<Sample> sample_;
  std::shared_ptr<const Superimposition> fit_;
  Method method_ = Method::Optimal;
  std::shared_ptr<const XVariable> x_;
  Scale scale_ = Scale::Linear;
  std::optional<Eigen::MatrixXd> wires_;
  /// The landmark count of the sample the wireframe was loaded with (0: none).
  Eigen::Index wire_landmarks_ = 0;
  /// The superimposition whose scores are among the results (0: none).
  std::uint64_t scores_of_ = 0;
  /// The regression and the superimposition and X it was computed from.
  std::shared_ptr<const Regression> regression_;
  std::uint64_t regression_fit_ = 0;
  std::uint64_t regression_x_ = 0;
  /// The loaded surface, and its mean surface for the latest superimposition.
  std::shared_ptr<const SpecimenSurface> surface_;
  mutable std::shared_ptr<const MeanSurface> mean_surface_;
  std::shared_ptr<const MeanSurface> mean_surface() const;

  // Bilateral symmetry and repeatability.
  std::optional<io::LandmarkPairs> pairs_;
  std::string pairs_label_;
  Eigen::Index pairs_landmarks_ = 0;  ///< the landmark count the pairs were loaded for
  std::shared_ptr<const SymmetryReport> symmetry_;
  SymmetryPart pca_part_ = SymmetryPart::None;
  /// After a new sample (reported in `r`): the symmetry analysis is
  /// forgotten, the pairs kept for a sample of their landmark count.
  void pairs_for_new_sample(LoadSampleReport& r);
  /// The PCA of the component chosen by set_pca_symmetry, and the shape it
  /// is drawn around.
  std::shared_ptr<const shape::ShapePca> symmetry_pca() const;
  const shape::Config& pca_reference() const;
  // Integration, modularity and disparity.
  std::shared_ptr<const io::Partition> partition_;
  std::string partition_label_;           ///< the partition's file, as messages name it
  Eigen::Index partition_landmarks_ = 0;  ///< the landmark count it was read for
  PlsFit pls_fit_ = PlsFit::Joint;
  /// The two blocks of a PLS: the first two of the partition, as fitted.
  /// @throws Error{Refused} without a partition
  std::pair<Eigen::MatrixXd, Eigen::MatrixXd> pls_blocks(std::string& left,
                                                         std::string& right) const;
};

}  // namespace velmora::analysis
