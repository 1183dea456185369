#include "platform/render/surface_raster.hpp"

#include <Eigen/Geometry>
#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "platform/render/scene.hpp"
#include "platform/render/svg_writer.hpp"

namespace velmora::render {

SurfaceCamera camera_of(const Projection& projection) {
  SurfaceCamera c;
  for (int i = 0; i < 2; ++i) {
    const auto r = projection.row(i);
    c.to_pixel.row(i) << r[0], r[1], r[2], r[3];
  }
  const auto t = projection.toward();
  c.toward = Eigen::Vector3d(t[0], t[1], t[2]).normalized();
  // Screen rows grow downward: up is against the row's data direction,
  // without its part along the line of sight.
  Eigen::Vector3d down = c.to_pixel.row(1).head<3>().transpose();
  down -= down.dot(c.toward) * c.toward;
  if (down.norm() > 0) c.up = -down.normalized();
  return c;
}

SurfaceCamera camera_from_angles(double azimuth_deg, double elevation_deg,
                                 const Eigen::Vector3d& centre, double pixels_per_unit, int width,
                                 int height) {
  const double az = azimuth_deg * M_PI / 180, el = elevation_deg * M_PI / 180;
  SurfaceCamera c;
  c.toward = {std::sin(az) * std::cos(el), -std::cos(az) * std::cos(el), std::sin(el)};
  const Eigen::Vector3d right(std::cos(az), std::sin(az), 0);
  c.up = c.toward.cross(right);
  c.to_pixel.row(0).head<3>() = pixels_per_unit * right.transpose();
  c.to_pixel.row(1).head<3>() = -pixels_per_unit * c.up.transpose();
  c.to_pixel(0, 3) = width / 2.0 - c.to_pixel.row(0).head<3>().dot(centre);
  c.to_pixel(1, 3) = height / 2.0 - c.to_pixel.row(1).head<3>().dot(centre);
  return c;
}

SurfaceRaster rasterize_surface(
    const Eigen::Ref<const Eigen::Matrix<double, Eigen::Dynamic, 3>>& vertices,
    const Eigen::Ref<const Eigen::Matrix<std::int32_t, Eigen::Dynamic, 3>>& triangles,
    const Eigen::Ref<const Eigen::Matrix<double, Eigen::Dynamic, 3>>& normals,
    std::span<const Rgb> colours, const SurfaceCamera& camera, int width, int height,
    const SurfaceStyle& style) {
  const Eigen::Index n = vertices.rows();
  if (normals.rows() != n || (!colours.empty() && static_cast<Eigen::Index>(colours.size()) != n))
    throw std::invalid_argument("rasterize_surface: " + std::to_string(n) + " vertices, " +
                                std::to_string(normals.rows()) + " normals and " +
                                std::to_string(colours.size()) + " colours.");
  if (width < 0 || height < 0) throw std::invalid_argument("rasterize_surface: negative size.");
  check_pixel_budget(width, height);
  SurfaceRaster out;
  out.width = width;
  out.height = height;
  const std::size_t pixels = std::size_t(width) * std::size_t(height);
  out.rgba.assign(4 * pixels, 0);
  out.depth.assign(pixels, -std::numeric_limits<float>::infinity());

  // Each vertex in the picture: column, row, depth toward the viewer.
  Eigen::Matrix<double, Eigen::Dynamic, 3> screen(n, 3);
  screen.leftCols<2>() = (vertices * camera.to_pixel.leftCols<3>().transpose()).rowwise() +
                         camera.to_pixel.col(3).transpose();
  screen.col(2) = vertices * camera.toward;
  const Eigen::Vector3d right = camera.up.cross(camera.toward);
  const Eigen::Vector3d fill =
      (camera.toward + 0.7 * camera.up - 0.6 * right).normalized();  // above left

  for (Eigen::Index t = 0; t < triangles.rows(); ++t) {
    const std::int32_t i0 = triangles(t, 0), i1 = triangles(t, 1), i2 = triangles(t, 2);
    if (i0 < 0 || i1 < 0 || i2 < 0 || i0 >= n || i1 >= n || i2 >= n)
      throw std::invalid_argument("rasterize_surface: triangle " + std::to_string(t) +
                                  " names a vertex out of range.");
    const double x0 = screen(i0, 0), y0 = screen(i0, 1), x1 = screen(i1, 0), y1 = screen(i1, 1),
                 x2 = screen(i2, 0), y2 = screen(i2, 1);
    const double area = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
    if (!(std::abs(area) > 0)) continue;  // seen edge-on, or not finite
    // Front or back by the triangle's own normal, whichever way the
    // picture's rows run.
    const Eigen::Vector3d a = vertices.row(i0), b = vertices.row(i1), c = vertices.row(i2);
    const bool back = (b - a).cross(c - a).dot(camera.toward) < 0;
    const int cmin = std::max(0, static_cast<int>(std::ceil(std::min({x0, x1, x2}) - 0.5)));
    const int cmax =
        std::min(width - 1, static_cast<int>(std::floor(std::max({x0, x1, x2}) - 0.5)));
    const int rmin = std::max(0, static_cast<int>(std::ceil(std::min({y0, y1, y2}) - 0.5)));
    const int rmax =
        std::min(height - 1, static_cast<int>(std::floor(std::max({y0, y1, y2}) - 0.5)));
    if (cmin > cmax || rmin > rmax) continue;
    const double inv = 1 / area;
    const Rgb c0 = colours.empty() ? style.colour : colours[i0];
    const Rgb c1 = colours.empty() ? style.colour : colours[i1];
    const Rgb c2 = colours.empty() ? style.colour : colours[i2];
    const Eigen::Vector3d n0 = normals.row(i0), n1 = normals.row(i1), n2 = normals.row(i2);
    for (int r = rmin; r <= rmax; ++r) {
      const double py = r + 0.5;
      for (int col = cmin; col <= cmax; ++col) {
        const double px = col + 0.5;
        // Barycentric weights of the pixel centre; all ≥ 0 inside.
        const double w0 = ((x1 - px) * (y2 - py) - (x2 - px) * (y1 - py)) * inv;
        const double w1 = ((x2 - px) * (y0 - py) - (x0 - px) * (y2 - py)) * inv;
        const double w2 = 1 - w0 - w1;
        if (w0 < 0 || w1 < 0 || w2 < 0) continue;
        const std::size_t at = std::size_t(r) * width + col;
        const double z = w0 * screen(i0, 2) + w1 * screen(i1, 2) + w2 * screen(i2, 2);
        if (!(z > out.depth[at])) continue;
        out.depth[at] = static_cast<float>(z);
        Eigen::Vector3d nv = w0 * n0 + w1 * n1 + w2 * n2;
        const double len = nv.norm();
        if (len > 0) nv /= len;
        if (back) nv = -nv;
        const double head = std::max(0.0, nv.dot(camera.toward));
        double light = style.ambient + style.head * head +
                       style.fill * std::max(0.0, nv.dot(fill)) +
                       style.specular * std::pow(head, style.shininess);
        if (back) light *= style.back;
        const double rgb[3] = {w0 * c0.r + w1 * c1.r + w2 * c2.r, w0 * c0.g + w1 * c1.g + w2 * c2.g,
                               w0 * c0.b + w1 * c1.b + w2 * c2.b};
        std::uint8_t* p = &out.rgba[4 * at];
        for (int k = 0; k < 3; ++k)
          p[k] = static_cast<std::uint8_t>(std::clamp(std::lround(255 * rgb[k] * light), 0L, 255L));
        p[3] = 255;
      }
    }
  }
  return out;
}

std::vector<Rgb> heat_colours(const Eigen::Ref<const Eigen::VectorXd>& values, double lo,
                              double hi) {
  std::vector<Rgb> out(static_cast<std::size_t>(values.size()));
  const double span = hi - lo;
  for (Eigen::Index i = 0; i < values.size(); ++i)
    out[static_cast<std::size_t>(i)] = blue_red(span > 0 ? (values(i) - lo) / span : 0.0);
  return out;
}

Image to_cairo_image(const SurfaceRaster& raster) {
  Image img;
  img.width = raster.width;
  img.height = raster.height;
  img.stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, raster.width);
  img.bytes.assign(std::size_t(img.stride) * raster.height, 0);
  for (int y = 0; y < raster.height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(img.bytes.data() + std::size_t(y) * img.stride);
    for (int x = 0; x < raster.width; ++x) {
      const std::uint8_t* p = &raster.rgba[4 * (std::size_t(y) * raster.width + x)];
      const std::uint32_t a = p[3];
      auto pre = [a](std::uint32_t v) { return (v * a + 127) / 255; };
      row[x] = a << 24 | pre(p[0]) << 16 | pre(p[1]) << 8 | pre(p[2]);
    }
  }
  return img;
}

namespace {

/// The raster as a Cairo image surface that owns its pixels (PDF, SVG and
/// EPS surfaces may read a source only when the page is finished), or
/// nullptr where Cairo gave no memory for it.
cairo_surface_t* owned_image_surface(const SurfaceRaster& raster) {
  const Image img = to_cairo_image(raster);
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, img.width, img.height);
  cairo_surface_flush(s);
  unsigned char* dst = cairo_image_surface_get_data(s);
  if (!dst) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  const int stride = cairo_image_surface_get_stride(s);
  for (int row = 0; row < img.height; ++row)
    std::copy_n(img.bytes.data() + std::size_t(row) * img.stride, 4 * std::size_t(img.width),
                dst + std::size_t(row) * stride);
  cairo_surface_mark_dirty(s);
  return s;
}

}  // namespace

void paint_surface_layer(cairo_t* cr, const SurfaceRaster& raster, double x, double y) {
  if (raster.width == 0 || raster.height == 0) return;
  cairo_surface_t* s = owned_image_surface(raster);
  if (!s) return;
  cairo_save(cr);
  cairo_set_source_surface(cr, s, x, y);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_surface_destroy(s);
}

void paint_surface(const SceneSurface& surface, const Ink& ink, const Projection& projection) {
  cairo_t* cr = ink.cr;
  const SceneSurface& s =
      surface.coarse && cairo_get_antialias(cr) == CAIRO_ANTIALIAS_NONE ? *surface.coarse : surface;
  if (s.vertices.rows() == 0 || s.triangles.rows() == 0) return;
  SurfaceCamera camera = camera_of(projection);
  const Eigen::Matrix<double, Eigen::Dynamic, 2> at =
      (s.vertices * camera.to_pixel.leftCols<3>().transpose()).rowwise() +
      camera.to_pixel.col(3).transpose();
  double cx0 = 0, cy0 = 0, cx1 = 0, cy1 = 0;
  if (ink.svg) {
    // The SVG writer's Cairo context only measures: no clip to go by.
    cx0 = cy0 = -1e5;
    cx1 = cy1 = 1e5;
  } else {
    cairo_clip_extents(cr, &cx0, &cy0, &cx1, &cy1);
  }
  const double x0 = std::floor(std::max(cx0, at.col(0).minCoeff()));
  const double y0 = std::floor(std::max(cy0, at.col(1).minCoeff()));
  const double x1 = std::ceil(std::min(cx1, at.col(0).maxCoeff()));
  const double y1 = std::ceil(std::min(cy1, at.col(1).maxCoeff()));
  if (!(x1 > x0 && y1 > y0)) return;
  double dx = 1, dy = 0;
  cairo_user_to_device_distance(cr, &dx, &dy);
  double scale = std::hypot(dx, dy);
  if (cairo_surface_get_type(cairo_get_target(cr)) != CAIRO_SURFACE_TYPE_IMAGE)
    scale = std::max(scale, 3.0);
  // Within the pixel budget, with room to spare for the depth buffer.
  scale = std::min(
      {std::max(scale, 0.05), 16.0, std::sqrt(0.25 * kPixelBudget / ((x1 - x0) * (y1 - y0)))});
  const int w = static_cast<int>(std::ceil((x1 - x0) * scale));
  const int h = static_cast<int>(std::ceil((y1 - y0) * scale));
  camera.to_pixel *= scale;
  camera.to_pixel(0, 3) -= x0 * scale;
  camera.to_pixel(1, 3) -= y0 * scale;
  const SurfaceRaster raster =
      rasterize_surface(s.vertices, s.triangles, s.normals, s.colours, camera, w, h);
  if (!ink.svg) {
    cairo_save(cr);
    cairo_translate(cr, x0, y0);
    cairo_scale(cr, 1 / scale, 1 / scale);
    paint_surface_layer(cr, raster, 0, 0);
    cairo_restore(cr);
    return;
  }
  // An SVG document takes an image as the fill of its own rectangle.
  cairo_surface_t* layer = owned_image_surface(raster);
  if (!layer) return;
  ink.save();
  cairo_translate(cr, x0, y0);
  cairo_scale(cr, 1 / scale, 1 / scale);
  cairo_set_source_surface(cr, layer, 0, 0);
  cairo_rectangle(cr, 0, 0, raster.width, raster.height);
  ink.fill();
  ink.restore();
  cairo_surface_destroy(layer);
}

}  // namespace velmora::render
