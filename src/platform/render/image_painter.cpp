// Raster images placed in an axes' data coordinates.
#include "platform/render/image_painter.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace velmora::render {

void paint_image(const Ink& ink, const Projection& proj, const SceneImage& im) {
  using P2 = std::array<double, 2>;
  if (im.width <= 0 || im.height <= 0 ||
      im.pixels.size() != static_cast<std::size_t>(im.width) * im.height)
    return;
  cairo_t* cr = ink.cr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, im.width, im.height);
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  auto byte = [](double v) {
    return static_cast<std::uint32_t>(
        std::lround(std::clamp(std::isfinite(v) ? v : 0.0, 0.0, 1.0) * 255));
  };
  for (int r = 0; r < im.height; ++r) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(r) * stride);
    for (int c = 0; c < im.width; ++c) {
      const Rgb& p = im.pixels[static_cast<std::size_t>(r) * im.width + c];
      row[c] = 0xFF000000u | byte(p.r) << 16 | byte(p.g) << 8 | byte(p.b);
    }
  }
  cairo_surface_mark_dirty(s);
  // Column c, row r covers x0 + c*dx, y1 - r*dy in the z = 0 plane: the top
  // row is drawn at the high y end.
  const double dx = (im.x1 - im.x0) / im.width, dy = (im.y1 - im.y0) / im.height;
  const P2 o = proj.to_pixel(im.x0, im.y1, 0);
  const P2 ex = proj.to_pixel(im.x0 + dx, im.y1, 0), ey = proj.to_pixel(im.x0, im.y1 - dy, 0);
  cairo_matrix_t m;
  cairo_matrix_init(&m, ex[0] - o[0], ex[1] - o[1], ey[0] - o[0], ey[1] - o[1], o[0], o[1]);
  ink.save();
  cairo_transform(cr, &m);
  cairo_set_source_surface(cr, s, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, 0, 0, im.width, im.height);
  ink.fill();
  ink.restore();
  cairo_surface_destroy(s);
}

}  // namespace velmora::render
