#pragma once

#include <cairo.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/render/line_spec.hpp"

namespace velmora::render {

/// How one line's markers look, in user units (figure pixels).
struct MarkerStyle {
  Marker marker = Marker::None;
  double size_px = 8;        ///< nominal diameter (the marker size)
  double line_width_px = 1;  ///< edge width
  Rgb edge{0, 0, 0};
  std::optional<Rgb> face;  ///< nullopt: hollow
};

/// dst = src OVER dst for premultiplied 8-bit ARGB pixels, rounded as
/// Cairo rounds; the marker stamper composites its images with it.
inline std::uint32_t premultiplied_over(std::uint32_t src, std::uint32_t dst) {
  const std::uint32_t ia = 255 - (src >> 24);
  std::uint32_t rb = (dst & 0xFF00FFu) * ia;
  std::uint32_t ag = ((dst >> 8) & 0xFF00FFu) * ia;
  rb = ((rb + ((rb >> 8) & 0xFF00FFu) + 0x800080u) >> 8) & 0xFF00FFu;
  ag = (ag + ((ag >> 8) & 0xFF00FFu) + 0x800080u) & 0xFF00FF00u;
  return src + rb + ag;
}

/// Adds the outline of one marker centred at (x, y) to the current path.
/// Plus, cross and asterisk are open strokes; the others closed shapes.
void add_marker_path(cairo_t* cr, Marker marker, double x, double y, double size_px);

/// Draws markers at the given user-space points as vector paths (for SVG,
/// PDF and PostScript, or any surface).
void draw_markers_vector(cairo_t* cr, const MarkerStyle& style,
                         const std::vector<std::array<double, 2>>& points);

/// Draws markers on raster targets by stamping small pre-rendered images of
/// each marker (one per quarter-pixel offset) straight into the pixels,
/// which is far faster than building and stroking a path per marker.  It
/// works when the context draws onto an ARGB32 or RGB24 image surface with
/// an axis-aligned transform and the marker is at most 96 device pixels
/// across; otherwise it falls back to vector paths.
/// Keep one stamper per frame so the marker images are made once.
class MarkerStamper {
 public:
  MarkerStamper();
  ~MarkerStamper();
  MarkerStamper(const MarkerStamper&) = delete;
  MarkerStamper& operator=(const MarkerStamper&) = delete;

  /// Draws markers at user-space points, honouring the current clip box.
  void draw(cairo_t* cr, const MarkerStyle& style,
            const std::vector<std::array<double, 2>>& points);

  struct Sprite {
    int size = 0;                       ///< width = height in device pixels
    int centre = 0;                     ///< pixel column/row of the marker centre at offset 0
    std::vector<std::uint32_t> pixels;  ///< premultiplied ARGB, row-major
    /// Runs of inked pixels: row, first column, one past the last column.
    std::vector<std::array<int, 3>> runs;
  };

 private:
  struct Entry;
  const Sprite& sprite(Entry& e, int fx, int fy);
  Entry& entry(const MarkerStyle& style, double device_scale);
  std::vector<std::unique_ptr<Entry>> entries_;
};

}  // namespace velmora::render
