// Large drawings at bounded cost: a line broken by NaN points (a whole
// wireframe as one object) draws exactly as its pieces would as separate
// lines, and no picture is made beyond the pixel budget.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <regex>
#include <string>

#include "platform/render/renderer.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::render {
namespace {

// A white figure with one 3-D axes over most of it, limits -1..1.
FigureScene figure(double width, double height) {
  FigureScene f;
  f.width_px = width;
  f.height_px = height;
  f.color = {1, 1, 1};
  FigureScene::Placed p;
  p.rect_px = {10, 10, width - 20, height - 20};
  p.axes.three_d = true;
  p.axes.azimuth_deg = -37.5;
  p.axes.elevation_deg = 30;
  p.axes.auto_x = p.axes.auto_y = p.axes.auto_z = false;
  p.axes.xlim = p.axes.ylim = p.axes.zlim = {-1, 1};
  p.axes.axis_visible = false;
  f.axes.push_back(p);
  return f;
}

TEST(BrokenLines, DrawTheSamePicturesAsTheirPiecesApart) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> u(-1.3, 1.3);  // some pieces cross the limits
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (LineStyle style : {LineStyle::Solid, LineStyle::DashDot}) {
    // Wires that share their ends, as a wireframe's do, some repeated.
    std::vector<std::array<double, 3>> ends(8);
    for (auto& e : ends) e = {u(rng), u(rng), u(rng)};
    FigureScene apart = figure(160, 120), joined = apart;
    SceneLine one;
    one.color = {0.2, 0.1, 0};
    one.line_width_pt = 1.5;
    one.style = style;
    for (int w = 0; w < 30; ++w) {
      const auto& a = ends[rng() % ends.size()];
      const auto& b = ends[rng() % ends.size()];
      SceneLine piece = one;
      piece.x = {a[0], b[0]};
      piece.y = {a[1], b[1]};
      piece.z = {a[2], b[2]};
      apart.axes[0].axes.lines.push_back(piece);
      if (w > 0) {
        one.x.push_back(nan);
        one.y.push_back(nan);
        one.z.push_back(nan);
      }
      one.x.insert(one.x.end(), {a[0], b[0]});
      one.y.insert(one.y.end(), {a[1], b[1]});
      one.z.insert(one.z.end(), {a[2], b[2]});
    }
    joined.axes[0].axes.lines.push_back(one);
    const Image a = to_image(apart, 1.5, true), b = to_image(joined, 1.5, true);
    EXPECT_TRUE(a.bytes == b.bytes) << static_cast<int>(style);
    // The same document but for Cairo's count of surfaces made so far.
    auto svg = [](const FigureScene& f) {
      return std::regex_replace(to_svg(f, true), std::regex("surface[0-9]+"), "surface");
    };
    EXPECT_EQ(svg(apart), svg(joined));
  }
}

TEST(PixelBudget, APictureBeyondAHundredMegapixelsIsRefusedBeforeItIsMade) {
  EXPECT_NO_THROW(check_pixel_budget(10000, 10000));
  auto message = [](auto&& f) -> std::string {
    try {
      f();
    } catch (const DataRefusal& e) {
      EXPECT_EQ(e.title(), "Picture too large");
      return e.what();
    }
    return "accepted";
  };
  EXPECT_EQ(message([] { check_pixel_budget(10001, 10000); }),
            "The picture would be 10001 × 10000 pixels (100.0 megapixels); pictures are capped "
            "at 100 megapixels. Make the figure smaller or use a lower resolution.");
  // A 10000-pixel figure at 300 dpi: every raster export goes through it.
  const FigureScene f = figure(10000, 10000);
  const std::string huge =
      "The picture would be 31250 × 31250 pixels (976.6 megapixels); pictures are capped at 100 "
      "megapixels. Make the figure smaller or use a lower resolution.";
  EXPECT_EQ(message([&] { to_png(f, 300.0 / 96, true); }), huge);
  EXPECT_EQ(message([&] { to_image(f, 300.0 / 96, false); }), huge);
  // The same figure at the screen's resolution is within the budget.
  EXPECT_EQ(to_image(figure(400, 300), 1, true).width, 400);
}

}  // namespace
}  // namespace velmora::render
