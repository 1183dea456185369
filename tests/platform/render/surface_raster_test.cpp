#include "platform/render/surface_raster.hpp"

#include <gtest/gtest.h>

#include "platform/render/scene.hpp"

namespace velmora::render {
namespace {

using Points = Eigen::Matrix<double, Eigen::Dynamic, 3>;
using Triangles = Eigen::Matrix<std::int32_t, Eigen::Dynamic, 3>;

// Top view, one pixel a data unit, origin at the picture's centre:
// column = 50 + x, row = 50 − y.
const SurfaceCamera kTop = camera_from_angles(0, 90, Eigen::Vector3d::Zero(), 1, 100, 100);

TEST(SurfaceRaster, CoversThePixelCentresInsideATriangleAtItsDepth) {
  Points v(3, 3);
  v << -30, -30, -3, 30, -30, 3, -30, 30, -3;  // the plane z = 0.1 x
  const Triangles t = (Triangles(1, 3) << 0, 1, 2).finished();
  const Points n = Points::Zero(3, 3).rowwise() + Eigen::RowVector3d(-0.1, 0, 1).normalized();
  const SurfaceRaster r = rasterize_surface(v, t, n, {}, kTop, 100, 100);
  int checked = 0;
  for (int row = 0; row < 100; ++row) {
    for (int col = 0; col < 100; ++col) {
      const double x = col + 0.5 - 50, y = 50 - (row + 0.5);
      const double margin = std::min({x + 30, y + 30, -(x + y)});
      if (std::abs(margin) < 1e-6) continue;  // on an edge: either way
      ASSERT_EQ(r.covered(col, row), margin > 0) << col << " " << row;
      if (margin > 0) {
        EXPECT_NEAR(r.depth[std::size_t(row) * 100 + col], 0.1 * x, 1e-5);
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 1700);
}

TEST(SurfaceRaster, TheNearerTriangleWinsWhateverTheOrder) {
  Points v(6, 3);
  v << -20, -20, 1, 20, -20, 1, 0, 20, 1,   // red, nearer the viewer above
      -20, 20, -1, 0, -20, -1, 20, 20, -1;  // blue, below; drawn turned round
  const Points n = Points::Zero(6, 3).rowwise() + Eigen::RowVector3d(0, 0, 1);
  std::vector<Rgb> colours(6, Rgb{0, 0, 1});
  std::fill(colours.begin(), colours.begin() + 3, Rgb{1, 0, 0});
  Triangles red_first(2, 3), blue_first(2, 3);
  red_first << 0, 1, 2, 3, 4, 5;
  blue_first << 3, 4, 5, 0, 1, 2;
  const SurfaceRaster a = rasterize_surface(v, red_first, n, colours, kTop, 100, 100);
  const SurfaceRaster b = rasterize_surface(v, blue_first, n, colours, kTop, 100, 100);
  EXPECT_EQ(a.rgba, b.rgba);
  EXPECT_EQ(a.depth, b.depth);
  const Rgb centre = a.colour(50, 50);  // inside both
  EXPECT_GT(centre.r, 0.5);
  EXPECT_EQ(centre.b, 0.0);
  EXPECT_GT(a.colour(50 + 18, 50 - 18).b, 0.3);  // blue only
}

TEST(SurfaceRaster, BackFacesAreTheFrontsShadeDarkened) {
  Points v(3, 3);
  v << -20, -20, 0, 20, -20, 0, 0, 20, 0;
  const Points up = Points::Zero(3, 3).rowwise() + Eigen::RowVector3d(0, 0, 1);
  const SurfaceStyle style;
  const SurfaceRaster front =
      rasterize_surface(v, (Triangles(1, 3) << 0, 1, 2).finished(), up, {}, kTop, 100, 100, style);
  const SurfaceRaster back =
      rasterize_surface(v, (Triangles(1, 3) << 0, 2, 1).finished(), -up, {}, kTop, 100, 100, style);
  const Rgb f = front.colour(50, 50), b = back.colour(50, 50);
  EXPECT_NEAR(b.r, f.r * style.back, 1.0 / 255);
  EXPECT_NEAR(b.b, f.b * style.back, 1.0 / 255);
  EXPECT_NEAR(b.g, f.g * style.back, 1.0 / 255);
  // Facing the head light, fully lit: ambient + head + fill·cos + specular.
  const Eigen::Vector3d fill = Eigen::Vector3d(-0.6, 0.7, 1).normalized();
  const double light = style.ambient + style.head + style.fill * fill.z() + style.specular;
  EXPECT_NEAR(f.r, std::min(1.0, style.colour.r * light), 1.0 / 255);
}

TEST(SurfaceRaster, HeatColoursAndTheCairoLayer) {
  const Eigen::VectorXd d = (Eigen::VectorXd(3) << 0.5, 2.5, 4.5).finished();
  const std::vector<Rgb> h = heat_colours(d, 0.5, 4.5);
  EXPECT_EQ(h[0].b, blue_red(0).b);
  EXPECT_EQ(h[1].r, blue_red(0.5).r);
  EXPECT_EQ(h[2].r, blue_red(1).r);

  SurfaceRaster r;
  r.width = 2, r.height = 1;
  r.rgba = {200, 100, 50, 255, 0, 0, 0, 0};
  r.depth = {0, -1};
  const Image img = to_cairo_image(r);
  std::uint32_t px;
  std::memcpy(&px, img.bytes.data(), 4);
  EXPECT_EQ(px, 0xFFC86432u);
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 3);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  paint_surface_layer(cr, r, 1, 2);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  std::uint32_t at, beside;
  std::memcpy(&at, data + 2 * stride + 4, 4);
  std::memcpy(&beside, data + 2 * stride + 8, 4);
  EXPECT_EQ(at, 0xFFC86432u);
  EXPECT_EQ(beside, 0xFFFFFFFFu);  // transparent where no triangle is
  cairo_surface_destroy(s);
}

}  // namespace
}  // namespace velmora::render
