#pragma once

#include <Eigen/Core>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "shape/types.hpp"

namespace velmora::app {

struct Document;

/// What a line object in the 3D figure shows; kept in its "Tag" so that the
/// display settings can restyle every part by its role.
namespace role {
inline constexpr std::string_view kReference = "Reference";  ///< reference as loaded
inline constexpr std::string_view kMean = "Mean";            ///< mean shape over the sample
inline constexpr std::string_view kSpecimen = "Specimen";    ///< one superimposed specimen
inline constexpr std::string_view kTarget = "Target";        ///< a deformed configuration
inline constexpr std::string_view kReferenceWire = "ReferenceWire";
inline constexpr std::string_view kTargetWire = "TargetWire";
inline constexpr std::string_view kVector = "Vector";                  ///< a displacement vector
inline constexpr std::string_view kArrowHead = "ArrowHead";            ///< heads of the vectors
inline constexpr std::string_view kLandmarkNumber = "LandmarkNumber";  ///< a text
/// The mean's semilandmarks, smaller than its fixed landmarks, and the
/// curves they slide on.
inline constexpr std::string_view kSemilandmark = "Semilandmark";
inline constexpr std::string_view kCurve = "Curve";
/// The lines of a transformation grid: thin and grey, under the landmarks.
inline constexpr std::string_view kGrid = "Grid";
/// The landmarks on a heat-mapped surface: in a colour off the heat scale.
inline constexpr std::string_view kSurfaceLandmark = "SurfaceLandmark";
/// A pair of shapes shown side by side: the low end (−SD, smallest X) in
/// blue, the high end in red, each with its wireframe.
inline constexpr std::string_view kLow = "Low";
inline constexpr std::string_view kHigh = "High";
inline constexpr std::string_view kLowWire = "LowWire";
inline constexpr std::string_view kHighWire = "HighWire";
}  // namespace role

/// Gives the line objects `lines` their role and their name in the legend
/// (empty: not in the legend; only the first of several gets the name).
void assign_role(const std::vector<gfx::Handle>& lines, std::string_view role,
                 std::string_view legend_name);

/// Symbol sizes in points chosen for a figure.
struct SymbolSizes {
  double reference = 6;  ///< the reference and target symbols
  double mean = 6;       ///< the mean's, over the specimens
  double specimen = 3;   ///< each superimposed specimen's symbols
};

/// Symbol sizes that keep the figure readable: the reference symbols about
/// a quarter of the typical distance between neighbouring landmarks on
/// screen; the specimens so small that the n symbols around a landmark cover
/// about a third of the area they spread over, and never larger than the
/// reference; the mean over the specimens a little larger than one specimen,
/// so that it marks the centre of their cloud without hiding it.
/// @param ref        k×3 reference
/// @param fitted     n superimposed specimens (empty stack: none shown)
/// @param axes_px    the smaller side of the plot in pixels
SymbolSizes talk_symbol_sizes(const shape::Config& ref, const shape::Stack* fitted, double axes_px);

/// Applies the display settings to the 3D figure as it now is: line width,
/// symbol sizes and fills, colours by role (specimens by X when chosen, with
/// a colour bar), wireframe styles, arrowheads, grid, axes, labels, landmark
/// numbers and legend.  Does nothing when the 3D figure is closed or empty;
/// never touches another figure.
void style_figure3d(Document& doc);

/// Sets every checkable Display and Settings menu item (and the Enable of
/// Thinner Lines) from the display settings, and the Groups menu's sums of
/// squares, outlines and PCA shapes from its choices, so that a fresh state
/// (a replayed session, a batch script) shows in the menus too.  Items
/// missing from the layout are skipped.
void sync_display_menus(Document& doc);

/// What a plot style ("ko", "k-", "r--") says to the 3-D figure: whether it
/// can be drawn at all, and whether it draws a symbol.
struct PlotStyleCheck {
  bool valid = false;
  bool marker = false;
};
PlotStyleCheck check_plot_style(const std::string& style);

}  // namespace velmora::app
