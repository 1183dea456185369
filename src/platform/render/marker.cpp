// Marker shapes, and fast stamping of markers onto raster surfaces.
#include "platform/render/marker.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace velmora::render {

namespace {

constexpr int kPhases = 4;          // sub-pixel offsets per axis for stamped markers
constexpr double kMaxStampPx = 96;  // larger markers are drawn as paths
constexpr double kPi = std::numbers::pi;

bool is_open(Marker m) {
  return m == Marker::Plus || m == Marker::Cross || m == Marker::Asterisk;
}

// A closed polygon of `corners` vertices around (x, y), the first at angle
// `start`, with radii alternating between r_even and r_odd (equal radii give
// a regular polygon, unequal ones a star).
void polygon_path(cairo_t* cr, double x, double y, int corners, double start, double r_even,
                  double r_odd) {
  for (int i = 0; i < corners; ++i) {
    double a = start + 2 * kPi * i / corners;
    double r = i % 2 == 0 ? r_even : r_odd;
    double px = x + r * std::cos(a), py = y - r * std::sin(a);
    if (i == 0)
      cairo_move_to(cr, px, py);
    else
      cairo_line_to(cr, px, py);
  }
  cairo_close_path(cr);
}

void segment(cairo_t* cr, double x0, double y0, double x1, double y1) {
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
}

void set_rgb(cairo_t* cr, Rgb c) {
  cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

// One marker: face (if any) then edge; the point marker is a filled dot.
void paint_marker(cairo_t* cr, const MarkerStyle& s, double x, double y) {
  add_marker_path(cr, s.marker, x, y, s.size_px);
  if (s.marker == Marker::Point) {
    set_rgb(cr, s.edge);
    cairo_fill(cr);
    return;
  }
  if (s.face && !is_open(s.marker)) {
    set_rgb(cr, *s.face);
    cairo_fill_preserve(cr);
  }
  set_rgb(cr, s.edge);
  cairo_stroke(cr);
}

bool same(const Rgb& a, const Rgb& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

// --- markers as glyphs ----------------------------------------------------------
//
// On PDF and PostScript surfaces a marker drawn in one colour is a glyph of
// a font of our own: the document then defines its outline once (a Type 3
// glyph procedure) and places it with one short text operation a marker,
// where a path a marker would repeat the whole outline each time.

const cairo_user_data_key_t kGlyphStyleKey{};

// How far a marker glyph's ink reaches from its centre, in font units.
double glyph_reach(const MarkerStyle& s) {
  return 0.6 * s.size_px + 0.5 * s.line_width_px + 1;
}

cairo_status_t render_marker_glyph(cairo_scaled_font_t* font, unsigned long, cairo_t* cr,
                                   cairo_text_extents_t* extents) {
  const auto* s = static_cast<const MarkerStyle*>(
      cairo_font_face_get_user_data(cairo_scaled_font_get_font_face(font), &kGlyphStyleKey));
  if (!s) return CAIRO_STATUS_USER_FONT_ERROR;
  const double reach = glyph_reach(*s);
  *extents = {-reach, -reach, 2 * reach, 2 * reach, 0, 0};
  cairo_set_line_width(cr, s->line_width_px);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  add_marker_path(cr, s->marker, 0, 0, s->size_px);
  if (s->marker == Marker::Point) {
    cairo_fill(cr);
  } else if (s->face && !is_open(s->marker)) {
    cairo_fill_preserve(cr);
    cairo_stroke(cr);
  } else {
    cairo_stroke(cr);
  }
  return CAIRO_STATUS_SUCCESS;
}

// The font's extents bound every glyph's ink. Cairo's PDF and PostScript
// surfaces clip a run of glyphs to a box estimated from these extents, so
// they must reach as far as the marker itself: the default em of one unit
// would cut the markers at the run's edge to half-discs.
cairo_status_t init_marker_font(cairo_scaled_font_t* font, cairo_t*,
                                cairo_font_extents_t* extents) {
  const auto* s = static_cast<const MarkerStyle*>(
      cairo_font_face_get_user_data(cairo_scaled_font_get_font_face(font), &kGlyphStyleKey));
  if (!s) return CAIRO_STATUS_USER_FONT_ERROR;
  const double reach = glyph_reach(*s);
  *extents = {reach, reach, 2 * reach, 2 * reach, 0};
  return CAIRO_STATUS_SUCCESS;
}

// Whether the markers can be glyphs: drawn in one colour on a PDF or
// PostScript surface.
bool as_glyphs(cairo_t* cr, const MarkerStyle& s) {
  const cairo_surface_type_t t = cairo_surface_get_type(cairo_get_group_target(cr));
  if (t != CAIRO_SURFACE_TYPE_PDF && t != CAIRO_SURFACE_TYPE_PS) return false;
  return s.marker == Marker::Point || !s.face || is_open(s.marker) || same(*s.face, s.edge);
}

void draw_markers_glyphs(cairo_t* cr, const MarkerStyle& s,
                         const std::vector<std::array<double, 2>>& points) {
  cairo_font_face_t* face = cairo_user_font_face_create();
  cairo_user_font_face_set_init_func(face, init_marker_font);
  cairo_user_font_face_set_render_glyph_func(face, render_marker_glyph);
  auto* kept = new MarkerStyle(s);
  cairo_font_face_set_user_data(face, &kGlyphStyleKey, kept,
                                [](void* p) { delete static_cast<MarkerStyle*>(p); });
  cairo_save(cr);
  cairo_set_font_face(cr, face);
  cairo_set_font_size(cr, 1);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
  set_rgb(cr, s.edge);
  std::vector<cairo_glyph_t> glyphs;
  glyphs.reserve(points.size());
  for (const auto& p : points)
    if (std::isfinite(p[0]) && std::isfinite(p[1])) glyphs.push_back({1, p[0], p[1]});
  cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
  cairo_restore(cr);
  cairo_font_face_destroy(face);
}

}  // namespace

void add_marker_path(cairo_t* cr, Marker m, double x, double y, double s) {
  const double h = 0.5 * s;
  switch (m) {
    case Marker::None:
      return;
    case Marker::Circle:
      cairo_new_sub_path(cr);
      cairo_arc(cr, x, y, h, 0, 2 * kPi);
      return;
    case Marker::Point:
      cairo_new_sub_path(cr);
      cairo_arc(cr, x, y, std::max(s / 6, 0.5), 0, 2 * kPi);
      return;
    case Marker::Square:
      cairo_rectangle(cr, x - 0.85 * h, y - 0.85 * h, 1.7 * h, 1.7 * h);
      return;
    case Marker::Diamond:
      polygon_path(cr, x, y, 4, kPi / 2, 1.1 * h, 1.1 * h);
      return;
    case Marker::TriangleUp:
      polygon_path(cr, x, y, 3, kPi / 2, 1.1 * h, 1.1 * h);
      return;
    case Marker::TriangleDown:
      polygon_path(cr, x, y, 3, -kPi / 2, 1.1 * h, 1.1 * h);
      return;
    case Marker::Star5:
      polygon_path(cr, x, y, 10, kPi / 2, 1.2 * h, 1.2 * h * 0.382);
      return;
    case Marker::Hexagram:
      polygon_path(cr, x, y, 12, kPi / 2, 1.2 * h, 1.2 * h * 0.577);
      return;
    case Marker::Plus:
      segment(cr, x - h, y, x + h, y);
      segment(cr, x, y - h, x, y + h);
      return;
    case Marker::Cross: {
      double d = h * 0.8;
      segment(cr, x - d, y - d, x + d, y + d);
      segment(cr, x - d, y + d, x + d, y - d);
      return;
    }
    case Marker::Asterisk: {
      double d = h * std::numbers::sqrt2 / 2;
      segment(cr, x - h, y, x + h, y);
      segment(cr, x, y - h, x, y + h);
      segment(cr, x - d, y - d, x + d, y + d);
      segment(cr, x - d, y + d, x + d, y - d);
      return;
    }
  }
}

void draw_markers_vector(cairo_t* cr, const MarkerStyle& s,
                         const std::vector<std::array<double, 2>>& points) {
  if (s.marker == Marker::None || points.empty()) return;
  if (as_glyphs(cr, s)) return draw_markers_glyphs(cr, s, points);
  cairo_save(cr);
  cairo_set_line_width(cr, s.line_width_px);
  cairo_set_dash(cr, nullptr, 0, 0);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_new_path(cr);
  if (!s.face && s.marker != Marker::Point) {
    // Hollow markers: one path, one stroke.
    for (const auto& p : points) add_marker_path(cr, s.marker, p[0], p[1], s.size_px);
    set_rgb(cr, s.edge);
    cairo_stroke(cr);
  } else {
    for (const auto& p : points) paint_marker(cr, s, p[0], p[1]);
  }
  cairo_restore(cr);
}

// --- stamping ------------------------------------------------------------------

struct MarkerStamper::Entry {
  MarkerStyle style;  // in device pixels
  std::array<Sprite, kPhases * kPhases> sprites;
};

MarkerStamper::MarkerStamper() = default;
MarkerStamper::~MarkerStamper() = default;

MarkerStamper::Entry& MarkerStamper::entry(const MarkerStyle& s, double k) {
  MarkerStyle d = s;
  d.size_px *= k;
  d.line_width_px *= k;
  for (auto& e : entries_) {
    const MarkerStyle& o = e->style;
    if (o.marker == d.marker && o.size_px == d.size_px && o.line_width_px == d.line_width_px &&
        same(o.edge, d.edge) && o.face.has_value() == d.face.has_value() &&
        (!o.face || same(*o.face, *d.face)))
      return *e;
  }
  entries_.push_back(std::make_unique<Entry>());
  entries_.back()->style = d;
  return *entries_.back();
}

const MarkerStamper::Sprite& MarkerStamper::sprite(Entry& e, int fx, int fy) {
  Sprite& sp = e.sprites[fy * kPhases + fx];
  if (sp.size > 0) return sp;
  const MarkerStyle& s = e.style;
  int reach = static_cast<int>(std::ceil(0.6 * s.size_px + 0.5 * s.line_width_px)) + 1;
  sp.centre = reach;
  sp.size = 2 * reach + 2;
  cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, sp.size, sp.size);
  cairo_t* cr = cairo_create(surf);
  MarkerStyle one = s;
  draw_markers_vector(cr, one,
                      {{sp.centre + static_cast<double>(fx) / kPhases,
                        sp.centre + static_cast<double>(fy) / kPhases}});
  cairo_destroy(cr);
  cairo_surface_flush(surf);
  const unsigned char* data = cairo_image_surface_get_data(surf);
  int stride = cairo_image_surface_get_stride(surf);
  sp.pixels.resize(static_cast<std::size_t>(sp.size) * sp.size);
  sp.runs.clear();
  for (int r = 0; r < sp.size; ++r) {
    std::uint32_t* row = &sp.pixels[static_cast<std::size_t>(r) * sp.size];
    std::memcpy(row, data + r * stride, sizeof(std::uint32_t) * sp.size);
    for (int c = 0; c < sp.size;) {
      if (row[c] == 0) {
        ++c;
        continue;
      }
      int start = c;
      while (c < sp.size && row[c] != 0) ++c;
      sp.runs.push_back({r, start, c});
    }
  }
  cairo_surface_destroy(surf);
  return sp;
}

void MarkerStamper::draw(cairo_t* cr, const MarkerStyle& style,
                         const std::vector<std::array<double, 2>>& points) {
  if (style.marker == Marker::None || points.empty()) return;
  cairo_surface_t* target = cairo_get_target(cr);
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  double ox = 0, oy = 0;
  cairo_surface_get_device_offset(target, &ox, &oy);
  bool raster = cairo_get_group_target(cr) == target &&
                cairo_surface_get_type(target) == CAIRO_SURFACE_TYPE_IMAGE &&
                (cairo_image_surface_get_format(target) == CAIRO_FORMAT_ARGB32 ||
                 cairo_image_surface_get_format(target) == CAIRO_FORMAT_RGB24) &&
                m.xy == 0 && m.yx == 0 && m.xx > 0 && std::fabs(m.xx - m.yy) < 1e-9 * m.xx &&
                ox == 0 && oy == 0 && style.size_px * m.xx <= kMaxStampPx;
  if (!raster) {
    draw_markers_vector(cr, style, points);
    return;
  }
  const bool opaque_target = cairo_image_surface_get_format(target) == CAIRO_FORMAT_RGB24;
  Entry& e = entry(style, m.xx);

  // The clip box in device pixels, within the surface.
  double cx0, cy0, cx1, cy1;
  cairo_clip_extents(cr, &cx0, &cy0, &cx1, &cy1);
  cairo_user_to_device(cr, &cx0, &cy0);
  cairo_user_to_device(cr, &cx1, &cy1);
  const int width = cairo_image_surface_get_width(target);
  const int height = cairo_image_surface_get_height(target);
  const int clip_l = std::max(0, static_cast<int>(std::floor(cx0)));
  const int clip_t = std::max(0, static_cast<int>(std::floor(cy0)));
  const int clip_r = std::min(width, static_cast<int>(std::ceil(cx1)));
  const int clip_b = std::min(height, static_cast<int>(std::ceil(cy1)));
  if (clip_l >= clip_r || clip_t >= clip_b) return;

  cairo_surface_flush(target);
  unsigned char* data = cairo_image_surface_get_data(target);
  const int stride = cairo_image_surface_get_stride(target);
  for (const auto& p : points) {
    double dx = m.xx * p[0] + m.x0, dy = m.yy * p[1] + m.y0;
    if (!(std::fabs(dx) < 1e9 && std::fabs(dy) < 1e9)) continue;
    double fxd = std::floor(dx), fyd = std::floor(dy);
    int ix = static_cast<int>(fxd), iy = static_cast<int>(fyd);
    int fx = static_cast<int>((dx - fxd) * kPhases + 0.5);
    int fy = static_cast<int>((dy - fyd) * kPhases + 0.5);
    if (fx == kPhases) fx = 0, ++ix;
    if (fy == kPhases) fy = 0, ++iy;
    const Sprite& sp = sprite(e, fx, fy);
    int left = ix - sp.centre, top = iy - sp.centre;
    const bool whole =
        left >= clip_l && top >= clip_t && left + sp.size <= clip_r && top + sp.size <= clip_b;
    for (const auto& [r, start, end] : sp.runs) {
      int from = start, to = end;
      if (!whole) {
        if (top + r < clip_t || top + r >= clip_b) continue;
        from = std::max(from, clip_l - left);
        to = std::min(to, clip_r - left);
      }
      const std::uint32_t* src = &sp.pixels[static_cast<std::size_t>(r) * sp.size];
      auto* dst =
          reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(top + r) * stride) +
          left;
      if (opaque_target) {
        for (int c = from; c < to; ++c) dst[c] = premultiplied_over(src[c], dst[c] | 0xFF000000u);
      } else {
        for (int c = from; c < to; ++c) dst[c] = premultiplied_over(src[c], dst[c]);
      }
    }
  }
  cairo_surface_mark_dirty(target);
}

}  // namespace velmora::render
