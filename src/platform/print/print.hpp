#pragma once

#include <string>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "platform/render/renderer.hpp"

namespace velmora::gfx {

/// Prints figure `fig` of `g`: "-dmeta" to the clipboard (SVG and PNG),
/// "-depsc" "-dpsc" "-dpng" "-dsvg" "-dpdf" to `path`; "-noui" leaves
/// controls out; "-rN" sets the resolution of PNG output in dots per inch
/// (written into the file); "-sWxHcm" or "-sWxHin" prints the figure at
/// that size, its axes and controls stretched with it (an axes' plot
/// shrinks where its labels would otherwise fall off the figure), where by
/// default it has the window's size; "-tN" sets its text size in points:
/// every axes' tick labels at N (labels and title 1.1 × N), any other text
/// scaled with them and at most 1.2 × N, markers and line widths in
/// proportion.  A figure printed at a size without "-t" takes 8 pt up to
/// 9 cm wide and 10 pt above, its 3-D plots with their legend in a strip
/// under the plot; one at the window's size, or with "-t0" at any size,
/// keeps the window's texts and layout.
/// A bad figure, option, device or missing file name throws RuntimeError.
///
/// Printing draws through the Cairo renderer, so it lives in its own
/// library (velmora_print): a program that prints links it; the object
/// model itself links no drawing code.
void print_figure(Graphics& g, Handle fig, const std::vector<std::string>& options,
                  const std::string& path = {});

/// The largest side of a printed figure, in inches: a metre.
inline constexpr double kLargestSideIn = 100 / 2.54;
/// No text of a printed figure is larger than this share of its text size.
inline constexpr double kLargestTextShare = 1.2;
/// The talk preset: a 16:9 slide 25 cm wide, its text at 18 pt.
inline constexpr const char* kTalkSize = "25x14.0625cm";
inline constexpr double kTalkTextPt = 18;

/// The PNG file print_figure would write with these options ("-dpng" and
/// any of "-noui", "-rN", "-sWxHin"), as bytes.
/// @throws RuntimeError as print_figure does
std::string figure_png(Graphics& g, Handle fig, const std::vector<std::string>& options);
/// The raster figure_png would encode, as Cairo's pixels.
/// @throws RuntimeError as print_figure does
render::Image figure_image(Graphics& g, Handle fig, const std::vector<std::string>& options);

/// The print options of a figure export to a file whose extension is `ext`
/// (png, svg, pdf or eps; any case): the device, a resolution (300 dpi
/// unless `size_text` says) and the size it gives.  `size_text` is empty (the
/// window's size) or words apart by commas, with no spaces (so that a
/// session script records it as one word): a size "17x12cm" or "6.5x5in",
/// a resolution "600dpi", a text size "8pt", or "talk" (a 16:9 slide 25 cm
/// wide, 18 pt unless a text size is given).
/// @throws RuntimeError naming the extension or the word that is wrong.
std::vector<std::string> export_options(const std::string& ext, const std::string& size_text);

}  // namespace velmora::gfx
