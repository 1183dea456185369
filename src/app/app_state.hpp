#pragma once

#include <Eigen/Core>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/results_log.hpp"
#include "io/imported_sample.hpp"
#include "platform/graphics/backend.hpp"
#include "platform/value/value.hpp"
#include "shape/types.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::app {

/// A landmark sample as loaded and superimposed.
struct Sample {
  std::string file_name;           ///< the chosen file's name, as the window shows it
  Eigen::MatrixXd rows;            ///< n×(3k+1) as read: x1 y1 z1 … xk yk zk, centroid size
  shape::Stack fitted;             ///< n superimposed specimens, in the reference's principal axes
  shape::Config reference;         ///< k×3 consensus, centred, unit centroid size, principal axes
  std::vector<std::string> names;  ///< one name a specimen, as the file gave them
  std::vector<io::SpecimenLabel> labels;  ///< values the file gives every specimen
  /// The thin-plate spline basis of `reference` and the scores of `fitted`
  /// on it, computed on first use (Sample::scores_now) and kept while both
  /// stay as they are: whatever changes `reference` or `fitted` calls
  /// forget_scores().
  std::shared_ptr<const tps::WarpBasis> basis;
  std::shared_ptr<const Eigen::MatrixXd> scores;
  /// The superimposition's note when it did not converge (empty when it
  /// did); every test report of the sample carries it.
  std::string fit_note;

  Eigen::Index specimens() const { return rows.rows(); }
  Eigen::Index landmarks() const { return reference.rows(); }
  /// The last column of the file: each specimen's centroid size.
  Eigen::VectorXd centroid_sizes() const { return rows.col(rows.cols() - 1); }
  /// Drops the basis and scores after `reference` or `fitted` changed.
  void forget_scores() {
    basis.reset();
    scores.reset();
  }
};

/// The regression of every score column on X (or ln X).
struct Regression {
  Eigen::RowVectorXd slopes;  ///< one slope per score column
  Eigen::RowVectorXd delta;   ///< slopes times the regressor's observed range
};

/// The thinnest line the Display menu draws, in points.
inline constexpr double kThinnestLine = 0.5;

/// What the Display and Settings menus chose; LoadData resets it.  Every
/// redraw of the 3D figure applies it; nothing else is styled by it.
struct DisplaySettings {
  double plot_density = 20;
  double line_width = kThinnestLine;  ///< points, of every drawn line
  std::string line_format = "k-";     ///< colour and style of the reference's wireframe
  std::string reference_symbol = "ko";
  std::string target_symbol = "ro";
  bool arrow_heads = true;        ///< on the displacement vectors
  double symbol_size_change = 0;  ///< points added to every symbol's chosen size
  bool filled_symbols = true;
  bool grid = false;
  bool axes_shown = true;
  bool axis_labels = false;       ///< "x", "y", "z" on the axes
  bool landmark_numbers = false;  ///< beside the reference's symbols
  bool dash_dot_target = false;   ///< the target's wireframe dash-dot instead of solid
  bool legend = true;
  bool colour_by_x = false;  ///< specimens on a blue-to-red scale of X
};

/// Where X came from after Use Centroid Size as X.
inline constexpr const char* kCentroidSizeX = "Centroid size";

/// The codes of the deformation display types, in the order of the
/// DeFormat pop-up menu.
inline const std::vector<std::string>& deformation_codes() {
  static const std::vector<std::string> codes = {"a", "b", "c", "d"};
  return codes;
}

/// The values typed or chosen in the main window's input controls.  The
/// controls show these; a typed value is checked when it is entered and a
/// bad one is refused, so the actions read only valid values here.
struct Inputs {
  double exaggeration = 3;       ///< ExagerationBox: factor on the regression's shape change
  std::size_t display_type = 3;  ///< DeFormat: 1-based entry of deformation_codes()
  bool report_cs = false;        ///< CSBox: Wilks' title names X as centroid size
  long long permutations = 999;  ///< PermBox: random orderings of the permutation test
  long long seed = 1;            ///< SeedBox: seed of those orderings
  long long component = 1;       ///< PCBox: principal component drawn, 1-based
  double component_factor = 2;   ///< PCFactorBox: distance along it, in standard deviations
};

/// How the 3-D window shows its figure: taken from the window when an action
/// starts (the user may have turned, zoomed or resized it since the last
/// one) and applied to the 3-D figure after every action, so that a redraw
/// keeps it.
struct View3d {
  double azimuth = -37.5;  ///< degrees about z, from the −y axis
  double elevation = 30;   ///< degrees above the x-y plane, in [-90, 90]
  double zoom = 1;         ///< > 1 enlarges the plot around its centre
  double width = 720;      ///< the 3-D window's inner width, pixels
  double height = 620;     ///< the 3-D window's inner height, pixels
  bool operator==(const View3d&) const = default;
};

/// The running analysis: what is loaded, what was computed from it, and the
/// settings that decide how.  Starts empty; lives until the process ends.
struct AppState {
  std::optional<Sample> sample;
  std::optional<Eigen::VectorXd> x;  ///< the independent variable, one value a specimen
  std::string x_name;  ///< what X is: its file's name without extension, or "Centroid size"
  /// n×m partial warp and uniform scores, as LoadXList or DoRegression left
  /// them (shared with the sample's cache while they describe it).
  std::shared_ptr<const Eigen::MatrixXd> scores;
  std::optional<Regression> regression;
  std::optional<Eigen::MatrixXd> wires;  ///< w×c wireframe (number, landmark, landmark, …)
  /// The landmark count of the samples the wireframe was loaded with (0
  /// until one is loaded): LoadData of another count removes the wireframe.
  Eigen::Index wire_landmarks = 0;
  bool ln_scale = false;                ///< regress on ln X instead of X
  bool optimal_superimposition = true;  ///< the standard fit; false: classic three passes
  bool full_precision = false;          ///< result files in shortest round-trip form
  DisplaySettings display;
  Inputs inputs;                           ///< the main window's input controls
  View3d view3d;                           ///< the 3-D window's view and size
  std::optional<gfx::Handle> figure3d;     ///< the 3D display figure
  std::optional<gfx::Handle> main_window;  ///< the figure current when LoadData began

  // What the main window tells of the session.
  std::string x_source;             ///< the X file's name, or kCentroidSizeX
  bool scores_unsaved = false;      ///< scores computed since Save Scores last wrote them
  bool regression_unsaved = false;  ///< a regression computed since Save Vector
  ResultsLog log;                   ///< every test report of the session
  bool desktop = false;             ///< a person at the window: Quit asks, recent files are kept

  /// Every part under the name the console and the tests know it by, as a
  /// value (empty when not set), in a fixed order.
  std::vector<std::pair<std::string_view, Value>> named() const;
};

/// The switchyard's state.
AppState& state();
/// Forgets everything (a fresh start; used by tests and batch runs).
void reset_state();

}  // namespace velmora::app
