// Drawing figure scenes with Cairo (first version: data, background, files).
#include "platform/render/renderer.hpp"

#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo-svg.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "platform/runtime/runtime_error.hpp"

namespace velmora::render {

namespace {

std::array<double, 2> data_range(const AxesScene& a, int dim) {
  double lo = INFINITY, hi = -INFINITY;
  for (const SceneLine& l : a.lines) {
    const std::vector<double>& v = dim == 0 ? l.x : dim == 1 ? l.y : l.z;
    for (double d : v)
      if (std::isfinite(d)) lo = std::min(lo, d), hi = std::max(hi, d);
  }
  if (!(lo <= hi)) return {0, 1};
  if (lo == hi) return {lo - 1, hi + 1};
  return {lo, hi};
}

void set_rgb(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

}  // namespace

Limits resolve_limits(const AxesScene& a) {
  Limits l{a.xlim, a.ylim, a.zlim};
  if (a.auto_x) l.x = data_range(a, 0);
  if (a.auto_y) l.y = data_range(a, 1);
  if (a.auto_z) l.z = data_range(a, 2);
  return l;
}

Projection::Projection(const AxesScene& a, const Rect& rect, double figure_height_px)
    : limits_(resolve_limits(a)) {
  const std::array<std::array<double, 2>, 3> lim{limits_.x, limits_.y, limits_.z};
  for (int d = 0; d < 3; ++d) {
    centre_[d] = 0.5 * (lim[d][0] + lim[d][1]);
    scale_[d] = 1.0 / std::max(lim[d][1] - lim[d][0], 1e-300);
  }
  double az = a.azimuth_deg * std::numbers::pi / 180, el = a.elevation_deg * std::numbers::pi / 180;
  right_ = {std::cos(az), std::sin(az), 0};
  up_ = {-std::sin(el) * std::sin(az), std::sin(el) * std::cos(az), std::cos(el)};
  toward_ = {std::cos(el) * std::sin(az), -std::cos(el) * std::cos(az), std::sin(el)};
  px_per_unit_ = 0.8 * std::min(rect.width, rect.height) * a.zoom;
  cx_ = rect.left + 0.5 * rect.width;
  cy_ = figure_height_px - (rect.bottom + 0.5 * rect.height);
}

std::array<double, 2> Projection::to_pixel(double x, double y, double z) const {
  std::array<double, 3> u{(x - centre_[0]) * scale_[0], (y - centre_[1]) * scale_[1],
                          (z - centre_[2]) * scale_[2]};
  double h = u[0] * right_[0] + u[1] * right_[1] + u[2] * right_[2];
  double v = u[0] * up_[0] + u[1] * up_[1] + u[2] * up_[2];
  return {cx_ + h * px_per_unit_, cy_ - v * px_per_unit_};
}

double Projection::depth(double x, double y, double z) const {
  return (x - centre_[0]) * scale_[0] * toward_[0] + (y - centre_[1]) * scale_[1] * toward_[1] +
         (z - centre_[2]) * scale_[2] * toward_[2];
}

void draw_axes(cairo_t* cr, const AxesScene& a, const Rect& rect, double figure_height_px) {
  Projection proj(a, rect, figure_height_px);
  if (a.axis_visible) {
    set_rgb(cr, a.background);
    cairo_rectangle(cr, rect.left, figure_height_px - rect.bottom - rect.height, rect.width,
                    rect.height);
    cairo_fill(cr);
  }
  for (const SceneLine& l : a.lines) {
    cairo_set_line_width(cr, l.line_width_pt * kPxPerPt);
    set_rgb(cr, l.color);
    if (l.style != LineStyle::None) {
      for (std::size_t i = 0; i < l.x.size(); ++i) {
        auto p = proj.to_pixel(l.x[i], l.y[i], l.z[i]);
        if (i == 0) cairo_move_to(cr, p[0], p[1]);
        else cairo_line_to(cr, p[0], p[1]);
      }
      cairo_stroke(cr);
    }
    if (l.marker != Marker::None) {
      for (std::size_t i = 0; i < l.x.size(); ++i) {
        auto p = proj.to_pixel(l.x[i], l.y[i], l.z[i]);
        cairo_new_sub_path(cr);
        cairo_arc(cr, p[0], p[1], 0.5 * l.marker_size_pt * kPxPerPt, 0, 2 * std::numbers::pi);
      }
      cairo_stroke(cr);
    }
  }
}

void draw_figure(cairo_t* cr, const FigureScene& f, bool /*include_controls*/) {
  set_rgb(cr, f.color);
  cairo_paint(cr);
  for (const FigureScene::Placed& p : f.axes) draw_axes(cr, p.axes, p.rect_px, f.height_px);
}

namespace {

int device_size(double px, double scale) { return std::max(1, static_cast<int>(std::lround(px * scale))); }

cairo_surface_t* raster(const FigureScene& f, double scale, bool include_controls) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, device_size(f.width_px, scale),
                                                  device_size(f.height_px, scale));
  cairo_t* cr = cairo_create(s);
  cairo_scale(cr, scale, scale);
  draw_figure(cr, f, include_controls);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  return s;
}

cairo_status_t append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

void check_writable(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw RuntimeError("Cannot write \"" + path + "\": " + std::strerror(errno) + ".");
  std::fclose(f);
}

void write_bytes(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw RuntimeError("Cannot write \"" + path + "\": " + std::strerror(errno) + ".");
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) throw RuntimeError("Cannot write \"" + path + "\": " + std::strerror(errno) + ".");
}

}  // namespace

Image to_image(const FigureScene& f, double scale, bool include_controls) {
  cairo_surface_t* s = raster(f, scale, include_controls);
  Image im;
  im.width = cairo_image_surface_get_width(s);
  im.height = cairo_image_surface_get_height(s);
  im.stride = cairo_image_surface_get_stride(s);
  const unsigned char* d = cairo_image_surface_get_data(s);
  im.bytes.assign(d, d + static_cast<std::size_t>(im.stride) * im.height);
  cairo_surface_destroy(s);
  return im;
}

std::string to_png(const FigureScene& f, double scale, bool include_controls) {
  cairo_surface_t* s = raster(f, scale, include_controls);
  std::string out;
  cairo_surface_write_to_png_stream(s, append, &out);
  cairo_surface_destroy(s);
  return out;
}

std::string to_svg(const FigureScene& f, bool include_controls) {
  std::string out;
  cairo_surface_t* s =
      cairo_svg_surface_create_for_stream(append, &out, f.width_px * 0.75, f.height_px * 0.75);
  cairo_t* cr = cairo_create(s);
  cairo_scale(cr, 0.75, 0.75);
  draw_figure(cr, f, include_controls);
  cairo_destroy(cr);
  cairo_surface_finish(s);
  cairo_surface_destroy(s);
  return out;
}

void write_png(const FigureScene& f, const std::string& path, double scale, bool include_controls) {
  write_bytes(path, to_png(f, scale, include_controls));
}

void write_svg(const FigureScene& f, const std::string& path, bool include_controls) {
  write_bytes(path, to_svg(f, include_controls));
}

void write_pdf(const FigureScene& f, const std::string& path, bool include_controls) {
  check_writable(path);
  cairo_surface_t* s = cairo_pdf_surface_create(path.c_str(), f.width_px * 0.75, f.height_px * 0.75);
  cairo_t* cr = cairo_create(s);
  cairo_scale(cr, 0.75, 0.75);
  draw_figure(cr, f, include_controls);
  cairo_destroy(cr);
  cairo_surface_finish(s);
  cairo_surface_destroy(s);
}

void write_eps(const FigureScene& f, const std::string& path, bool include_controls) {
  check_writable(path);
  cairo_surface_t* s = cairo_ps_surface_create(path.c_str(), f.width_px * 0.75, f.height_px * 0.75);
  cairo_ps_surface_set_eps(s, 1);
  cairo_t* cr = cairo_create(s);
  cairo_scale(cr, 0.75, 0.75);
  draw_figure(cr, f, include_controls);
  cairo_destroy(cr);
  cairo_surface_finish(s);
  cairo_surface_destroy(s);
}

}  // namespace velmora::render
