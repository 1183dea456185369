#pragma once

#include <cairo.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/render/projection.hpp"
#include "platform/render/scene.hpp"

namespace velmora::render {

/// Pixels per point at scale 1: 96 screen pixels per inch, 72 points per inch.
inline constexpr double kPxPerPt = 96.0 / 72.0;

/// Draws a figure into a Cairo context whose user units are figure pixels
/// with the origin at the top-left corner (scale the context for other
/// resolutions): the figure colour, every axes, and the controls when
/// include_controls is set.
void draw_figure(cairo_t* cr, const FigureScene& figure, bool include_controls);

/// The layers of an axes drawing, bottom to top: everything under the data
/// (background, grid, images, box, ticks and labels), the data (lines in
/// order, each with its markers), everything over the data (texts, title).
/// A view that draws the data itself asks for the other two around it.
/// kSurface: the axes' shaded surface, drawn with kUnderData by the CPU
/// rasterizer (an OpenGL renderer leaves it out and draws it itself).
enum AxesLayer : unsigned {
  kUnderData = 1,
  kData = 2,
  kOverData = 4,
  kSurface = 8,
  kAllLayers = 15
};

/// Draws one axes into `rect` (pixels from the figure's bottom-left corner)
/// of a figure `figure_height_px` pixels high: the `layers` asked for (an
/// AxesLayer mask), the limits and layout always those of the whole scene.
/// A hidden axis (axis_visible false) draws no background, grid, box, ticks
/// or axis labels; the data and the title stay.  On ARGB32/RGB24 image
/// surfaces markers are stamped from pre-rendered images; on other surfaces
/// they are paths.
void draw_axes(cairo_t* cr, const AxesScene& axes, const Rect& rect, double figure_height_px,
               unsigned layers = kAllLayers);

/// The part of an axes rectangle that the data, box and ticks use: all of
/// it, less a band on the right for the colour bar when the scene has one.
/// Every view of the scene (Cairo or another) projects into this rectangle.
Rect data_rect(const AxesScene& axes, const Rect& rect);

/// The axes rectangle `rect` (pixels from the bottom-left corner of a
/// figure `figure_width_px` × `figure_height_px`) as drawn: `rect` itself
/// when every text about the plot (text_boxes) lies inside the figure,
/// else `rect` shrunk just enough, side by side, that they do, as when the
/// fonts keep their size in points on a smaller figure.  It shrinks to no
/// less than a quarter of its width and height.
Rect fit_axes_rect(cairo_t* cr, const AxesScene& axes, const Rect& rect, double figure_width_px,
                   double figure_height_px);

/// The rectangles [left top right bottom] in device pixels (rows growing
/// downwards) of every text draw_axes draws about the plot: tick labels,
/// axis labels, the title and the colour bar with its scale and label.
std::vector<std::array<double, 4>> text_boxes(cairo_t* cr, const AxesScene& axes, const Rect& rect,
                                              double figure_height_px);

/// The rectangles [left top right bottom] in device pixels (rows growing
/// downwards) of the tick labels draw_axes draws for `axes`.  No two
/// overlap: where axes meet, a label that would overlap one of an axis
/// drawn before is left out.
std::vector<std::array<double, 4>> tick_label_boxes(cairo_t* cr, const AxesScene& axes,
                                                    const Rect& rect, double figure_height_px);

/// The rectangle [left top right bottom] in device pixels of the colour
/// bar's label, as draw_axes draws it; nothing without a colour bar or a
/// label.  It lies in the colour bar's band, within the axes rectangle's
/// height.
std::optional<std::array<double, 4>> colorbar_label_box(cairo_t* cr, const AxesScene& axes,
                                                        const Rect& rect, double figure_height_px);

/// Draws one control (button, check box, pop-up menu, text, edit box ...) as
/// a flat picture of itself, in figure pixels.
void draw_control(cairo_t* cr, const SceneControl& control, double figure_height_px);

struct Ink;
/// draw_figure, draw_axes (all layers) and draw_control onto an Ink, which
/// may write SVG elements rather than draw.
void draw_figure(const Ink& ink, const FigureScene& figure, bool include_controls);
void draw_axes(const Ink& ink, const AxesScene& axes, const Rect& rect, double figure_height_px);
void draw_control(const Ink& ink, const SceneControl& control, double figure_height_px);

/// A Cairo ARGB32 raster: premultiplied, native-endian 32-bit pixels, rows
/// `stride` bytes apart, top row first.
struct Image {
  int width = 0, height = 0, stride = 0;
  std::vector<unsigned char> bytes;  ///< height * stride
};

/// Renders the figure at `scale` device pixels per figure pixel into an
/// image of round(width_px * scale) × round(height_px * scale) pixels.
Image to_image(const FigureScene& figure, double scale, bool include_controls);

/// The most pixels one raster picture may hold.  A figure sized in pixels,
/// in centimetres or inches at a resolution, a surface or an animation
/// frame: every picture of a given size is checked by check_pixel_budget
/// before any memory is taken for it.
inline constexpr double kPixelBudget = 100e6;

/// Refuses a picture of `width` × `height` device pixels above
/// kPixelBudget.
/// @throws DataRefusal `The picture would be W × H pixels (M megapixels);
///   pictures are capped at 100 megapixels. Make the figure smaller or use
///   a lower resolution.`
void check_pixel_budget(double width, double height);

/// The figure as PNG file bytes at `scale` device pixels per figure pixel.
/// The file states its resolution in a pHYs chunk: `dpi` when given, else
/// 96 × scale (figure pixels are 96 to the inch).
std::string to_png(const FigureScene& figure, double scale, bool include_controls, double dpi = 0);

/// PNG bytes with a pHYs chunk saying `dpi` dots per inch (rounded to dots
/// per metre) put right after the header chunk, in place of any earlier
/// one.  Bytes that are no PNG come back unchanged.
std::string with_resolution(std::string png, double dpi);

/// The figure as an SVG document, 0.75 pt per figure pixel.
std::string to_svg(const FigureScene& figure, bool include_controls);

/// The figure as a one-page PDF document, 0.75 pt per figure pixel.
std::string to_pdf(const FigureScene& figure, bool include_controls);

/// The figure as colour Encapsulated PostScript (level 2) whose bounding box
/// is the figure; text stays text.
std::string to_eps(const FigureScene& figure, bool include_controls);

/// Writers.  Each renders first, then writes with write_file_safely
/// (platform/runtime/safe_file.hpp): the target must be a regular file or
/// absent, and a failed write leaves no half file and no temporary file.
/// @throws RuntimeError `Cannot write the file "<path>": <reason>.`
void write_png(const FigureScene& figure, const std::string& path, double scale,
               bool include_controls, double dpi = 0);
void write_svg(const FigureScene& figure, const std::string& path, bool include_controls);
void write_pdf(const FigureScene& figure, const std::string& path, bool include_controls);
void write_eps(const FigureScene& figure, const std::string& path, bool include_controls);

}  // namespace velmora::render
