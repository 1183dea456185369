#pragma once

#include <Eigen/Core>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/regressor.hpp"
#include "platform/graphics/backend.hpp"
#include "platform/value/value.hpp"
#include "report/report_text.hpp"
#include "view/input_table.hpp"
#include "view/results_log.hpp"

namespace velmora::app {

/// What the X slot shows, and axes call X, after Use Centroid Size as X.
using analysis::kCentroidSizeX;

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
  bool colour_by_x = false;      ///< specimens on a blue-to-red scale of X
  bool specimen_labels = false;  ///< specimen names beside the principal component scatter
  /// The top of a surface's heat map, in specimen units, for every target
  /// and every frame of an animation; 0: each target's own largest
  /// displacement.
  double heat_scale = 0;
};

/// The codes of the deformation display types, in the order of the
/// DeFormat pop-up menu.
inline const std::vector<std::string>& deformation_codes() {
  static const std::vector<std::string> codes = {"a", "b", "c", "d", "e", "f"};
  return codes;
}

/// The values typed or chosen in the main window's input controls.  The
/// controls show these; a typed value is checked when it is entered and a
/// bad one is refused, so the actions read only valid values here.
/// One member a line of view/input_controls.def, named, typed and started
/// there (display_type is a 1-based entry of deformation_codes()).
struct Inputs {
#define VELMORA_INPUT(type, member, tag, what, example, lo, hi, start, read_by) \
  input_table::type member = static_cast<input_table::type>(start);
#include "view/input_controls.def"
#undef VELMORA_INPUT
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

/// The table of the last report that printed one, for Save Table.
struct LastTable {
  std::string title;  ///< the report's title: "Procrustes ANOVA"
  /// The rows, with six significant digits or, with full precision, the
  /// shortest text that reads back to the same double.
  std::function<report::TableRows(bool full_precision)> rows;
};

/// What the scatter plots draw around each group when they are coloured by
/// a factor.
enum class GroupOutline { None, Ellipses, Hulls };

/// What only the window has beside the analysis: its handles, display
/// settings, inputs, the 3-D view, the unsaved-work flags and the results
/// log.  Starts empty.
struct WindowState {
  bool full_precision = false;  ///< result files in shortest round-trip form
  DisplaySettings display;
  /// Around each group of a scatter: the 95 % confidence ellipse of its
  /// mean, or its convex hull.  A new sample keeps it.
  GroupOutline outline = GroupOutline::None;
  Inputs inputs;                           ///< the main window's input controls
  View3d view3d;                           ///< the 3-D window's view and size
  std::optional<gfx::Handle> figure3d;     ///< the 3D display figure
  std::optional<gfx::Handle> main_window;  ///< the figure current when LoadData began
  gfx::ExportSize export_size;             ///< the last answer of the export size dialog
  gfx::AnimationSettings animation;        ///< the last answer of the animation dialog
  /// The 3-D window shown in a tab of the main window; decided when it first
  /// opens (docked where it would cover the main window) unless chosen.
  std::optional<bool> dock3d;

  // What the main window tells of the session.
  bool scores_unsaved = false;          ///< scores computed since Save Scores last wrote them
  bool regression_unsaved = false;      ///< a regression computed since Save Vector
  bool rotation_allowed = true;         ///< no scores computed on the reference yet
  ResultsLog log;                       ///< every test report of the session
  std::optional<LastTable> last_table;  ///< the table of the last report that printed one
  /// The models set in this session, the latest first (Set Model offers
  /// them before its presets).
  std::vector<std::string> recent_models;
  bool desktop = false;  ///< a person at the window: Quit asks, recent files are kept
};

}  // namespace velmora::app
