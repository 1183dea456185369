#pragma once

// The parameters and reports of the session's operations: every analysis
// takes a …Params and returns a …Report (or throws analysis::Error).

#include <Eigen/Core>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/regressor.hpp"
#include "analysis/superimposition.hpp"
#include "io/imported_sample.hpp"
// Bilateral symmetry and repeatability.
#include "io/pair_files.hpp"
#include "io/semilandmark_files.hpp"
#include "io/text_matrix.hpp"
#include "shape/principal_components.hpp"
#include "shape/types.hpp"
#include "stats/distance_test.hpp"
#include "stats/permutation_test.hpp"
// Bilateral symmetry and repeatability.
#include "stats/repeatability.hpp"
#include "stats/symmetry.hpp"
#include "stats/wilks.hpp"

namespace velmora::analysis {

/// The regression of every score column on X (or ln X).
struct Regression {
  Eigen::RowVectorXd slopes;    ///< one slope per score column, the last uniform score included
  Eigen::RowVectorXd delta;     ///< slopes times the regressor's observed range
  Scale scale = Scale::Linear;  ///< the scale it was computed on
  double x_mean = 0;            ///< mean of the regressor (X or ln X), where the lines pass
                                ///< through the mean scores
  double x_range = 0;           ///< the regressor's observed range: max − min, or
                                ///< ln(max) − ln(min)
  /// The factor whose groups were each centred on their own mean, in the
  /// scores and in X, before the slopes were taken (the pooled within-group
  /// regression); empty: one regression over all specimens.
  std::string within = {};
};

// --- the sample ---------------------------------------------------------------

struct LoadSampleParams {
  io::ImportedSample imported;  ///< as an importer read it
  std::string file_name;        ///< the chosen file(s) as the window names them
};
struct LoadSampleReport {
  Eigen::Index specimens = 0;
  Eigen::Index landmarks = 0;
  /// Console lines in order: the superimposition's (not converged, mirror
  /// images), then the importer's.
  std::vector<std::string> notes;
  /// Not empty when the wireframe was removed: it needed more landmarks
  /// than the sample has ("The wireframe needs 14 landmarks; …"), or it was
  /// loaded for samples of another landmark count ("The wireframe was
  /// loaded for samples of 12 landmarks; …").
  std::string wire_note;
  /// Not empty when the semilandmarks were removed (they were loaded for
  /// samples of another landmark count), or when a curve markup brought
  /// its own curve sliders.
  std::string semilandmark_note;
  /// Not empty when the landmark pairs were removed: they were loaded for
  /// samples of another landmark count.
  std::string pairs_note = {};
};

struct SuperimposeParams {
  Method method = Method::Optimal;
};
struct SuperimposeReport {
  /// The loaded sample was superimposed again (the method changed and a
  /// sample is loaded); its scores and regression are gone.
  bool redone = false;
  std::vector<std::string> notes;  ///< as LoadSampleReport::notes, when redone
  std::string message;             ///< the console line saying so, when redone
};

/// Which of the two quarter turns of the reference.
enum class Axis { X, Z };
struct RotateParams {
  Axis axis = Axis::X;
};
struct RotateReport {
  std::shared_ptr<const Superimposition> superimposition;
};

struct WireframeParams {
  io::TextMatrix wires;   ///< as io::load_wire_list read it
  std::string label;      ///< the file, for messages
  std::string name = {};  ///< the file as the note names it (label when empty)
};
struct WireframeReport {
  std::size_t wires = 0;  ///< the wires kept
  /// Not empty when repeated wires, or wires that join a landmark to
  /// itself, were left out: "Wireframe \"w.txt\": left out 2 repeated wires
  /// and 1 that join a landmark to itself; 14 wires remain."
  std::string note;
};

// --- X ----------------------------------------------------------------------------

struct SetXParams {
  XSource source = XSource::File;
  Eigen::VectorXd values;   ///< File: the values read
  std::string name;         ///< File: what axes call X (the file's stem)
  std::string source_text;  ///< File: what the X slot shows (the file's name)
  std::size_t label = 0;    ///< Label: which of the sample's labels, 0-based
};
struct SetXReport {
  std::shared_ptr<const XVariable> x;
  /// The scores, computed now (kept from before when the sample has not
  /// changed); none for a sample of three landmarks (no spline basis).
  std::shared_ptr<const Eigen::MatrixXd> scores;
  bool scores_new = false;  ///< the scores were not among the results before
};

// --- regression and tests -----------------------------------------------------------

struct RegressionParams {
  /// A factor: the pooled within-group regression of its groups; empty:
  /// the regression over all specimens.
  std::string factor;
};
struct RegressionReport {
  std::shared_ptr<const Regression> regression;
  std::shared_ptr<const Eigen::MatrixXd> scores;
  bool scores_new = false;  ///< the scores were not among the results before
  Eigen::Index x_count = 0;
};

struct DistanceTestParams {
  /// A factor: each group is first centred on its own mean shape and mean
  /// regressor, then moved to the grand mean (the distances within groups);
  /// empty: the specimens as superimposed.
  std::string factor;
};
struct DistanceTestReport {
  stats::DistanceTest test;
  Eigen::VectorXd regressor;  ///< X or ln X, the plot's horizontal values
  Scale scale = Scale::Linear;
  std::string axis_label;  ///< "age", "ln(age)", …
  Eigen::Index specimens = 0;
  /// How many specimens the starting shape averages (test.first's size):
  /// three, or more when the third-smallest X is tied.
  Eigen::Index start_specimens = 0;
  double start_x_limit = 0;  ///< the largest X among them (as given, not ln X)
  std::string fit_note;      ///< the superimposition's note (Superimposition::note)
  std::string within = {};   ///< the factor whose groups were centred, or empty
};

struct WilksParams {};
struct WilksReport {
  stats::WilksResult wilks;
  double p = 0;            ///< upper tail of F(df1, df2)
  std::string axis_label;  ///< what the regressor is: "age", "ln(age)", …
  std::string fit_note;    ///< the superimposition's note (Superimposition::note)
};

struct PermutationParams {
  int permutations = stats::kDefaultPermutations;
  std::uint64_t seed = stats::kDefaultPermutationSeed;
  /// Optional; returning false cancels the test (Error{Cancelled}).
  stats::PermutationProgress progress;
};
struct PermutationReport {
  stats::PermutationTestResult result;
  Scale scale = Scale::Linear;
  std::string fit_note;  ///< the superimposition's note (Superimposition::note)
};

// --- principal components and shapes to draw -------------------------------------------

struct PcaParams {
  /// A model formula: the PCA of the shapes it corrects (its residuals, the
  /// size-corrected shapes); empty: the shapes as superimposed.
  std::string corrected;
};
struct PcaReport {
  std::shared_ptr<const shape::ShapePca> pca;  ///< at least two components
  std::string fit_note;        ///< the superimposition's note (Superimposition::note)
  std::string corrected = {};  ///< the model whose residuals were analysed, as read back; or empty
};

struct ComponentShapeParams {
  long long component = 1;     ///< 1-based
  double factor = 2;           ///< standard deviations along it
  std::string corrected = {};  ///< as PcaParams::corrected
};
struct ComponentShapeReport {
  std::shared_ptr<const shape::ShapePca> pca;
  shape::Config reference;
  shape::Config target;    ///< the mean shape moved along the component
  shape::Config opposite;  ///< the mean shape moved the other way, by −factor
};

struct RegressionShapeParams {
  double exaggeration = 3;  ///< factor on the regression's shape change
};
struct RegressionShapeReport {
  shape::Config reference;
  shape::Config target;  ///< the reference deformed by exaggeration × delta
  /// The shapes predicted at the smallest and largest X: the reference
  /// deformed by (X − mean X) × slopes × exaggeration on the regression's
  /// scale, with those X values (as loaded, not logged).
  shape::Config at_smallest, at_largest;
  double smallest_x = 0, largest_x = 0;
};

// --- semilandmarks ---------------------------------------------------------------------

/// How the superimposition slides its semilandmarks: by default (bending
/// energy once there are sliders), not at all, or by the criterion chosen.
enum class SlidingChoice { Default, None, BendingEnergy, ProcrustesDistance };

/// What a sample's landmarks are after a semilandmark file was loaded.
struct SemilandmarkReport {
  Eigen::Index fixed = 0, curve_sliders = 0, surface_points = 0;
  /// "12 landmarks: 4 fixed, 4 curve sliders, 4 surface points."
  std::string message;
};

/// A slide the settings asked for, done when an action first needed it.
struct SettleReport {
  bool done = false;               ///< the sample was superimposed again
  std::string message;             ///< what was slid, by what and in how many passes
  std::vector<std::string> notes;  ///< as LoadSampleReport::notes
  /// Per pass, the largest move of a specimen (the default) or of the
  /// consensus (plain passes), and the criterion summed over specimens.
  std::vector<double> moves, criterion;
};

/// Scans of the specimens loaded, for projecting their semilandmarks.
struct LoadScansReport {
  Eigen::Index loaded = 0;     ///< files read
  Eigen::Index with_scan = 0;  ///< specimens that have a scan now
  /// Warnings with their numbers: a scan far from its specimen's landmarks.
  std::vector<std::string> notes;
  /// "30 scans loaded: every specimen has one."
  std::string message;
};

struct PlaceSemilandmarksParams {
  Eigen::Index count = 0;  ///< the surface points to place, ≥ 1
  /// The specimen whose scan they are spread over (0-based); the first
  /// when absent.
  std::optional<Eigen::Index> template_specimen;
};
struct PlaceSemilandmarksReport {
  Eigen::Index placed = 0;
  Eigen::Index first = 0;  ///< 1-based number of the first new landmark
  /// The largest distance a carried point moved onto its specimen's scan,
  /// in file units, and the specimen.
  double largest_projection = 0;
  std::string largest_projection_specimen;
  std::string message;
};

// --- bilateral symmetry and repeatability ----------------------------------------------
// Bilateral symmetry and repeatability.

/// The landmark pairs kept for the sample's landmark scheme.
struct LandmarkPairsReport {
  Eigen::Index pairs = 0, midline = 0;
  /// "26 landmarks: 10 pairs, 6 on the midline."
  std::string message;
};

/// Procrustes ANOVA of bilateral symmetry: object symmetry (the loaded
/// landmark pairs) without `side`, matching symmetry with it.
struct SymmetryParams {
  std::string individual;  ///< a factor: the individual each configuration belongs to
  std::string side = {};   ///< a factor of two levels, or empty for object symmetry
  int permutations = stats::kDefaultPermutations;
  std::uint64_t seed = stats::kDefaultPermutationSeed;
  stats::PermutationProgress progress = {};
};
/// The symmetry analysis run last: its fit, table and components.
struct SymmetryReport {
  std::shared_ptr<const stats::SymmetryFit> fit;
  stats::SymmetryAnova anova;
  std::shared_ptr<const stats::SymmetryComponents> components;
  std::string individual, side;  ///< the columns named (side empty: object symmetry)
  std::string pairs_label;       ///< object symmetry: the pairs' file
  /// Lines for the log: the fit did not settle, configurations fitted as
  /// mirror images.
  std::vector<std::string> notes;
};

/// Which component of the symmetry analysis run last.
enum class SymmetryPart { None, Symmetric, Asymmetric };

struct SymmetryComponentParams {
  SymmetryPart part = SymmetryPart::Symmetric;
  bool by_individual = false;  ///< one row an individual (the mean of its specimens)
};
/// A component in the joint superimposition, one row a specimen (or an
/// individual), in the native layout: x1 y1 z1 … xk yk zk, then the raw
/// centroid size (the mean of the configurations the row stands for).
struct SymmetryComponentReport {
  Eigen::MatrixXd rows;            ///< rows × (3k + 1)
  std::vector<std::string> names;  ///< one a row
};

struct DirectionalAsymmetryParams {
  double exaggeration = 1;  ///< factor on the directional asymmetry
};
/// The consensus of the configurations and their reflections (symmetric),
/// moved by half the exaggerated directional asymmetry each way: `target`
/// the mean first side (or original), `opposite` its mirror image.
struct DirectionalAsymmetryReport {
  shape::Config reference, target, opposite;
  double size = 0;  ///< the norm of the directional asymmetry (not exaggerated)
};

struct RepeatabilityParams {
  std::string individual;  ///< a factor whose levels repeat: the replicates of each individual
  int permutations = stats::kDefaultPermutations;
  std::uint64_t seed = stats::kDefaultPermutationSeed;
  stats::PermutationProgress progress = {};
};
struct RepeatabilityReport {
  stats::Repeatability result;
  std::string fit_note;
};

}  // namespace velmora::analysis

// Integration, modularity and disparity.
#include "io/partition_files.hpp"
#include "stats/disparity.hpp"
#include "stats/integration.hpp"
#include "stats/modularity.hpp"

namespace velmora::analysis {

/// How the two blocks of a two-block PLS are superimposed: together, as one
/// configuration (the default), or each block by its own superimposition.
enum class PlsFit { Joint, Separate };

/// The landmarks divided into blocks, as Load Partition read them.
struct PartitionReport {
  std::vector<std::string> labels;   ///< the blocks, in the order the file first names them
  std::vector<Eigen::Index> counts;  ///< landmarks in each block
  /// "26 landmarks in 2 blocks: face 12, braincase 14."
  std::string message;
};

struct PlsParams {
  /// Names of covariates (`age`, `log(CS)`): the PLS of shape against
  /// them; empty: between the first two blocks of the partition.
  std::vector<std::string> covariates;
  int permutations = stats::kDefaultPermutations;
  std::uint64_t seed = stats::kDefaultPermutationSeed;
  /// Optional; returning false cancels the test (Error{Cancelled}).
  stats::PermutationProgress progress;
  /// Standard deviations of the first pair of scores the shape change
  /// moves each block.
  double shape_factor = 2;
};
struct PlsReport {
  stats::TwoBlockPls pls;
  std::string left, right;  ///< what each block is: "face (12 landmarks)", "age, weight"
  PlsFit fit = PlsFit::Joint;
  bool covariates = false;  ///< the right block is table columns
  std::string fit_note;
  /// The mean shape, and the mean shape with each shape block moved along
  /// its first PLS axis by shape_factor standard deviations of its scores
  /// (the two together, as they covary); only after the joint
  /// superimposition, where both blocks share the mean shape's frame.
  bool shape_change = false;
  shape::Config reference, target;
};

struct ModularityParams {
  int permutations = stats::kDefaultPermutations;
  std::uint64_t seed = stats::kDefaultPermutationSeed;
  stats::PermutationProgress progress;
};
struct ModularityReport {
  stats::ModularityTest test;
  std::vector<std::string> labels;  ///< the blocks
  std::string fit_note;
};

struct IntegrationComparisonParams {
  std::string factor;
  int permutations = stats::kDefaultPermutations;
  std::uint64_t seed = stats::kDefaultPermutationSeed;
};
struct IntegrationComparisonReport {
  stats::IntegrationComparison comparison;
  std::string left, right;  ///< the two blocks, as PlsReport names them
  PlsFit fit = PlsFit::Joint;
  std::string fit_note;
};

struct DisparityParams {
  std::string factor;
  int permutations = stats::kDefaultPermutations;
  std::uint64_t seed = stats::kDefaultPermutationSeed;
};
struct DisparityReport {
  stats::Disparity disparity;
  /// The model whose residuals were analysed, as read back; empty: the
  /// residuals of the group means.
  std::string model;
  std::string fit_note;
};

}  // namespace velmora::analysis
