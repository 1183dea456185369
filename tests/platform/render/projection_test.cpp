#include "platform/render/projection.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace velmora::render {
namespace {

constexpr double kFigH = 400;
const Rect kRect{100, 50, 400, 300};  // top-left pixel (100, 50), bottom-right (500, 350)

AxesScene flat(std::array<double, 2> x, std::array<double, 2> y) {
  AxesScene a;
  a.azimuth_deg = 0;
  a.elevation_deg = 90;
  a.three_d = false;
  a.xlim = x;
  a.ylim = y;
  a.auto_x = a.auto_y = a.auto_z = false;
  return a;
}

double length(std::array<double, 2> a, std::array<double, 2> b) {
  return std::hypot(a[0] - b[0], a[1] - b[1]);
}

TEST(Projection, FlatPlotFillsTheRectangleWithXRightAndYUp) {
  Projection p(flat({0, 10}, {0, 5}), kRect, kFigH);
  auto lo = p.to_pixel(0, 0, 0), hi = p.to_pixel(10, 5, 0), mid = p.to_pixel(5, 2.5, 0);
  EXPECT_NEAR(lo[0], 100, 1e-9);
  EXPECT_NEAR(lo[1], 350, 1e-9);
  EXPECT_NEAR(hi[0], 500, 1e-9);
  EXPECT_NEAR(hi[1], 50, 1e-9);
  EXPECT_NEAR(mid[0], 300, 1e-9);
  EXPECT_NEAR(mid[1], 200, 1e-9);
}

TEST(Projection, EqualUnitsGiveEqualScreenLengthsInATopView) {
  for (bool three_d : {false, true}) {
    for (bool automatic : {false, true}) {
      SCOPED_TRACE(testing::Message() << "three_d " << three_d << " auto " << automatic);
      AxesScene a = flat({0, 10}, {0, 2});
      a.three_d = three_d;
      a.equal = true;
      a.auto_x = a.auto_y = automatic;
      a.lines.push_back({});
      a.lines[0].x = {0, 10};
      a.lines[0].y = {0, 2};
      a.lines[0].z = {0, 0};
      Projection p(a, kRect, kFigH);
      auto o = p.to_pixel(1, 1, 0);
      double ux = length(o, p.to_pixel(2, 1, 0)), uy = length(o, p.to_pixel(1, 2, 0));
      EXPECT_GT(ux, 1);
      EXPECT_NEAR(ux, uy, 1e-9 * ux);
      // The data still fits into the rectangle.
      for (auto q : {p.to_pixel(0, 0, 0), p.to_pixel(10, 2, 0)}) {
        EXPECT_GE(q[0], 100 - 1e-9);
        EXPECT_LE(q[0], 500 + 1e-9);
        EXPECT_GE(q[1], 50 - 1e-9);
        EXPECT_LE(q[1], 350 + 1e-9);
      }
      if (automatic && !three_d) {
        // A flat plot with equal units widens its automatic y limits so the
        // box fills the rectangle: 400 px wide, 300 px high.
        EXPECT_NEAR(p.limits().y[1] - p.limits().y[0], 0.75 * (p.limits().x[1] - p.limits().x[0]),
                    1e-9);
      }
    }
  }
}

TEST(Projection, DefaultViewOrientation) {
  AxesScene a;  // azimuth -37.5, elevation 30, unit cube
  a.auto_x = a.auto_y = a.auto_z = false;
  Projection p(a, kRect, kFigH);
  auto o = p.to_pixel(0.5, 0.5, 0.5);
  auto x = p.to_pixel(1, 0.5, 0.5), y = p.to_pixel(0.5, 1, 0.5), z = p.to_pixel(0.5, 0.5, 1);
  EXPECT_GT(x[0], o[0]);  // x runs to the right and upwards (away)
  EXPECT_LT(x[1], o[1]);
  EXPECT_LT(y[0], o[0]);  // y runs to the left and away
  EXPECT_LT(y[1], o[1]);
  EXPECT_NEAR(z[0], o[0], 1e-9);  // z is straight up
  EXPECT_LT(z[1], o[1]);
  // The viewer sits at -x, -y, +z.
  EXPECT_GT(p.depth(0, 0, 1), p.depth(1, 1, 0));
  // The whole box fits into the rectangle and touches it on one pair of sides.
  double l = INFINITY, r = -INFINITY, t = INFINITY, b = -INFINITY;
  for (int i = 0; i < 8; ++i) {
    auto c = p.to_pixel(i & 1, (i >> 1) & 1, (i >> 2) & 1);
    l = std::min(l, c[0]), r = std::max(r, c[0]), t = std::min(t, c[1]), b = std::max(b, c[1]);
  }
  EXPECT_GE(l, 100 - 1e-9);
  EXPECT_LE(r, 500 + 1e-9);
  EXPECT_GE(t, 50 - 1e-9);
  EXPECT_LE(b, 350 + 1e-9);
  EXPECT_TRUE(std::fabs(r - l - 400) < 1e-6 || std::fabs(b - t - 300) < 1e-6);
}

TEST(Projection, SideViewAndZoom) {
  AxesScene a;
  a.azimuth_deg = 0;
  a.elevation_deg = 0;
  a.auto_x = a.auto_y = a.auto_z = false;
  Projection side(a, kRect, kFigH);
  auto o = side.to_pixel(0, 0, 0);
  EXPECT_GT(side.to_pixel(1, 0, 0)[0], o[0]);           // x to the right
  EXPECT_LT(side.to_pixel(0, 0, 1)[1], o[1]);           // z up
  EXPECT_NEAR(side.to_pixel(0, 1, 0)[0], o[0], 1e-9);   // y into the screen
  EXPECT_GT(side.depth(0, 0, 0), side.depth(0, 1, 0));  // -y is nearer

  a.zoom = 2;
  Projection zoomed(a, kRect, kFigH);
  auto centre = std::array<double, 2>{300, 200};
  EXPECT_NEAR(length(zoomed.to_pixel(1, 0, 1), centre), 2 * length(side.to_pixel(1, 0, 1), centre),
              1e-9);
}

// A flat plot zooms by its limits: the box stays in its rectangle (so its
// ticks and labels stay beside it) while the data spreads from the centre.
TEST(Projection, AZoomedFlatPlotKeepsItsBoxAndNarrowsItsLimits) {
  for (double zoom : {0.5, 2.0, 7.5}) {
    AxesScene a = flat({0, 10}, {-4, 4});
    Projection plain(a, kRect, kFigH);
    a.zoom = zoom;
    Projection zoomed(a, kRect, kFigH);
    EXPECT_NEAR(zoomed.limit(0)[1] - zoomed.limit(0)[0], 10 / zoom, 1e-12);
    EXPECT_NEAR(zoomed.limit(1)[1] - zoomed.limit(1)[0], 8 / zoom, 1e-12);
    for (int cx = 0; cx < 2; ++cx)
      for (int cy = 0; cy < 2; ++cy) {
        auto p = plain.to_pixel(plain.limit(0)[cx], plain.limit(1)[cy], 0);
        auto q = zoomed.to_pixel(zoomed.limit(0)[cx], zoomed.limit(1)[cy], 0);
        EXPECT_NEAR(p[0], q[0], 1e-9);
        EXPECT_NEAR(p[1], q[1], 1e-9);
      }
    const std::array<double, 2> centre{300, 200};
    EXPECT_NEAR(length(zoomed.to_pixel(8, 3, 0), centre),
                zoom * length(plain.to_pixel(8, 3, 0), centre), 1e-9);
  }
}

TEST(Projection, AutomaticLimitsContainAllData) {
  std::mt19937 rng(7);
  std::normal_distribution<double> n(3, 40);
  AxesScene a;
  for (int l = 0; l < 5; ++l) {
    SceneLine line;
    for (int i = 0; i < 20; ++i) {
      line.x.push_back(n(rng));
      line.y.push_back(n(rng) * 1e-3);
      line.z.push_back(n(rng) + 500);
    }
    a.lines.push_back(line);
  }
  a.lines[2].x[4] = NAN;  // a break in a line does not disturb the limits
  a.xlim = {1000, 2000};  // ignored: automatic
  a.auto_z = false;
  a.zlim = {0, 1};
  Limits lim = resolve_limits(a);
  for (const SceneLine& l : a.lines)
    for (std::size_t i = 0; i < l.x.size(); ++i) {
      if (std::isfinite(l.x[i])) {
        EXPECT_LE(lim.x[0], l.x[i]);
        EXPECT_GE(lim.x[1], l.x[i]);
      }
      EXPECT_LE(lim.y[0], l.y[i]);
      EXPECT_GE(lim.y[1], l.y[i]);
    }
  EXPECT_EQ(lim.z[0], 0);
  EXPECT_EQ(lim.z[1], 1);
  Projection p(a, kRect, kFigH);
  EXPECT_TRUE(p.inside(a.lines[0].x[0], a.lines[0].y[0], 0.5));
  EXPECT_FALSE(p.inside(a.lines[0].x[0], a.lines[0].y[0], 2));
  EXPECT_FALSE(p.inside(NAN, 0, 0.5));
}

}  // namespace
}  // namespace velmora::render
