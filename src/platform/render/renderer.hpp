#pragma once

#include <array>
#include <string>
#include <vector>

#include <cairo.h>

#include "platform/render/scene.hpp"

namespace velmora::render {

/// Pixels per point at scale 1: 96 screen pixels per inch, 72 points per inch.
inline constexpr double kPxPerPt = 96.0 / 72.0;

/// Draws a figure into a Cairo context whose user units are figure pixels
/// with the origin at the top-left corner (scale the context for other
/// resolutions).  Controls are drawn only when include_controls is set.
void draw_figure(cairo_t* cr, const FigureScene& figure, bool include_controls);

/// Draws one axes into `rect` (pixels from the figure's bottom-left corner)
/// of a figure `figure_height_px` pixels high.
void draw_axes(cairo_t* cr, const AxesScene& axes, const Rect& rect, double figure_height_px);

/// A Cairo ARGB32 raster (premultiplied, native-endian 32-bit pixels).
struct Image {
  int width = 0, height = 0, stride = 0;
  std::vector<unsigned char> bytes;  ///< height*stride
};

/// Renders the figure at `scale` device pixels per figure pixel.
Image to_image(const FigureScene& figure, double scale, bool include_controls);

/// The figure as PNG file bytes.
std::string to_png(const FigureScene& figure, double scale, bool include_controls);

/// The figure as an SVG document (size in points).
std::string to_svg(const FigureScene& figure, bool include_controls);

/// Writers; a file that cannot be created throws RuntimeError naming the path
/// and the reason.
void write_png(const FigureScene& figure, const std::string& path, double scale,
               bool include_controls);
void write_svg(const FigureScene& figure, const std::string& path, bool include_controls);
void write_pdf(const FigureScene& figure, const std::string& path, bool include_controls);
/// Colour Encapsulated PostScript whose bounding box is the figure.
void write_eps(const FigureScene& figure, const std::string& path, bool include_controls);

/// The limits an axes actually shows: its fixed limits or nice round limits
/// around its data.
struct Limits {
  std::array<double, 2> x, y, z;
};

/// Resolves the auto limits of an axes from its data.
Limits resolve_limits(const AxesScene& axes);

/// Maps data points of an axes to figure pixels (origin top-left, y down),
/// the same mapping draw_axes uses.  The Qt view uses it to pick points.
class Projection {
 public:
  /// rect: the axes rectangle from the figure's bottom-left corner.
  Projection(const AxesScene& axes, const Rect& rect, double figure_height_px);

  /// Pixel position of a data point.
  std::array<double, 2> to_pixel(double x, double y, double z) const;
  /// Depth of a data point along the viewing direction (larger = nearer).
  double depth(double x, double y, double z) const;

  const Limits& limits() const { return limits_; }

 private:
  friend class AxesPainter;
  Limits limits_;
  // Normalised data coordinates u = (p - centre) * scale_, then the rotation
  // rows, then the pixel transform.
  std::array<double, 3> centre_{}, scale_{};
  std::array<double, 3> right_{}, up_{}, toward_{};
  double px_per_unit_ = 1, cx_ = 0, cy_ = 0;
};

}  // namespace velmora::render
