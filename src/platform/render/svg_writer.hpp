#pragma once

#include <cairo.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/render/marker.hpp"
#include "platform/render/text.hpp"

namespace velmora::render {

/// Writes an SVG document of a figure drawn by the painters, element by
/// element: strokes and fills become <path>s, clips <clipPath>s, each marker
/// look one <symbol> placed with <use>, texts <text> (editable, in the
/// figure's font), images embedded PNG <image>s.  User units are figure
/// pixels; the page is 0.75 pt a pixel, as Cairo's vector surfaces.
///
/// The painters build their paths and set their state on an ordinary Cairo
/// context (any surface: it only holds the path, the source and the line
/// state) and hand it over at each fill, stroke or clip; the writer reads
/// them from there.
class SvgWriter {
 public:
  SvgWriter(double width_px, double height_px);
  ~SvgWriter();
  SvgWriter(const SvgWriter&) = delete;
  SvgWriter& operator=(const SvgWriter&) = delete;

  void save();
  void restore();
  /// The current path of `cr`, filled and/or stroked with its source and
  /// line state.  A source that is an image surface paints that image.
  void draw_path(cairo_t* cr, bool fill, bool stroke);
  /// Fills the current clip region (the whole figure) with the source.
  void paint(cairo_t* cr);
  /// Clips what follows, up to the matching restore, to the current path.
  void clip(cairo_t* cr);
  void text(cairo_t* cr, std::string_view text, double x, double y, HAlign halign, VAlign valign,
            const TextStyle& style, double angle_rad);
  void markers(const MarkerStyle& style, const std::vector<std::array<double, 2>>& points);

  /// The whole document.
  std::string finish();

 private:
  std::string style_of(cairo_t* cr, bool fill, bool stroke);
  std::string paint_of(cairo_t* cr, const char* what);
  std::string path_data(cairo_t* cr) const;
  const std::string& symbol(const MarkerStyle& style);

  double width_, height_;
  std::string defs_, body_;
  std::vector<int> open_groups_{0};  // <g> opened since each save
  int next_id_ = 0;
  std::vector<std::pair<MarkerStyle, std::string>> symbols_;
  cairo_surface_t* scratch_surface_;
  cairo_t* scratch_;
};

/// Where the painters draw: a Cairo context and, when writing SVG, the
/// writer that turns what they draw into elements.  Paths and line state
/// always go to `cr`; painting goes through these calls.
struct Ink {
  cairo_t* cr;
  SvgWriter* svg = nullptr;

  void save() const;
  void restore() const;
  void stroke() const;
  void fill() const;
  void fill_preserve() const;
  void clip() const;
  void paint() const;
  void text(std::string_view text, double x, double y, HAlign halign, VAlign valign,
            const TextStyle& style, double angle_rad = 0) const;
  void markers(MarkerStamper& stamper, const MarkerStyle& style,
               const std::vector<std::array<double, 2>>& points) const;
};

}  // namespace velmora::render
