#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "gui/window_placement.hpp"
#include "platform/graphics/graphics.hpp"

namespace velmora::app {

/// How a child of the main window follows the window's size.
enum class Anchor {
  kTopLeft,   ///< keeps its size and its distance from the top-left corner
  kPlot,      ///< keeps its left and top margins, takes most of the new space
  kLog,       ///< keeps its left and bottom margins, takes the rest of the height
  kBottom,    ///< stays along the bottom edge and widens with the window
  kSplitter,  ///< the grip on the log's top edge, between the log and the plot
};

/// The anchor of a child by its tag: "axes1" the plot, "ResultsLog" the
/// log, "StatusBar" the bottom line, "LogSplitter" the grip between the log
/// and the plot; every other child keeps its place.
Anchor anchor_of(std::string_view tag);

/// Share of the extra height that goes to the plot; the log takes the rest.
inline constexpr double kPlotShareOfHeight = 0.7;

/// Where a child goes when the window's inner area is `size` pixels (width,
/// height) instead of the `design` size the layout was drawn for.  A window
/// smaller than the design keeps the design (the window then scrolls).
/// `log_shift` pixels more go from the plot to the log (fewer when
/// negative): where the user dragged the grip between them.
/// @param rect [left bottom width height] in pixels at the design size
/// @return [left bottom width height] in pixels in the window of `size`
std::array<double, 4> laid_out(const std::array<double, 4>& rect, Anchor anchor,
                               const std::array<double, 2>& design,
                               const std::array<double, 2>& size, double log_shift = 0);

/// The results log is never lower than this, nor the plot's box, in pixels,
/// whatever the grip between them.
inline constexpr double kLeastLogPx = 48, kLeastPlotPx = 150;

/// Remembers the main window's layout as drawn and lays its children out
/// again whenever the window changes size (its "SizeChangedFcn") or the
/// grip between the log and the plot is let go (its "Callback": the grip's
/// "Value" is its new bottom, in pixels).
void install_main_layout(gfx::Handle fig);

/// Lays the children of `fig` out for its present size.
void lay_out_main_window(gfx::Handle fig);

/// The grip between the log and the plot was let go at its "Value": the
/// log's top and the plot's bottom move there, each keeping its least
/// height, and stay there as the window changes size.
void log_splitter_moved(gfx::Handle grip);

/// The part of the main window `fig` that holds no controls – the plot with
/// its labels and the results log – on the screen, in pixels; empty when
/// the window has no plot.
std::optional<gui::ScreenRect> open_area(gfx::Handle fig);

/// Outer rectangle, on the screen in pixels, for a new figure window of
/// outer size `want` next to the main window `fig` (see gui::place_beside).
gui::ScreenRect beside_main_window(gfx::Handle fig, const std::array<double, 2>& want);

}  // namespace velmora::app
