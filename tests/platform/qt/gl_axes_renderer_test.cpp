#include "platform/qt/gl_axes_renderer.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <array>
#include <cmath>
#include <memory>
#include <string>

#include "platform/qt/axes_view.hpp"
#include "platform/render/line_geometry.hpp"
#include "platform/render/projection.hpp"

namespace velmora::qt::testing {
namespace {

using render::AxesScene;
using render::LineStyle;
using render::Marker;
using render::SceneLine;

TEST(RendererChoice, SettingAndSoftwareRasterizers) {
  EXPECT_EQ(renderer_setting("cairo"), RendererSetting::Cairo);
  EXPECT_EQ(renderer_setting("Cairo"), RendererSetting::Cairo);
  EXPECT_EQ(renderer_setting("OPENGL"), RendererSetting::OpenGl);
  EXPECT_EQ(renderer_setting(""), RendererSetting::Automatic);
  EXPECT_EQ(renderer_setting("vulkan"), RendererSetting::Automatic);
  EXPECT_TRUE(is_software_renderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
  EXPECT_TRUE(is_software_renderer("Software Rasterizer"));
  EXPECT_TRUE(is_software_renderer("softpipe"));
  EXPECT_FALSE(is_software_renderer("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
  EXPECT_FALSE(is_software_renderer("NVIDIA GeForce RTX 3060/PCIe/SSE2"));
}

const QRect kView(0, 0, 400, 300);
const render::Rect kPlot{50, 40, 300, 220};
constexpr double kFigureHeight = 300;

// A 3-D axes without axis decorations, fixed limits -1..1 on every axis.
AxesScene bare_scene() {
  AxesScene a;
  a.axis_visible = false;
  a.auto_x = a.auto_y = a.auto_z = false;
  a.xlim = a.ylim = a.zlim = {-1, 1};
  a.azimuth_deg = -30;
  a.elevation_deg = 25;
  return a;
}

SceneLine line(std::vector<double> x, std::vector<double> y, std::vector<double> z) {
  SceneLine l;
  l.x = std::move(x);
  l.y = std::move(y);
  l.z = std::move(z);
  return l;
}

int alpha(const QImage& im, int x, int y) {
  if (x < 0 || y < 0 || x >= im.width() || y >= im.height()) return 0;
  return qAlpha(reinterpret_cast<const QRgb*>(im.constScanLine(y))[x]);
}

// The alpha-weighted centre of the ink within `radius` pixels of `at`, and
// the ink there.
struct Blob {
  double x = 0, y = 0, ink = 0;
};
Blob blob(const QImage& im, std::array<double, 2> at, int radius) {
  Blob b;
  for (int y = static_cast<int>(at[1]) - radius; y <= static_cast<int>(at[1]) + radius; ++y)
    for (int x = static_cast<int>(at[0]) - radius; x <= static_cast<int>(at[0]) + radius; ++x) {
      double a = alpha(im, x, y);
      b.x += a * (x + 0.5);
      b.y += a * (y + 0.5);
      b.ink += a;
    }
  if (b.ink > 0) b.x /= b.ink, b.y /= b.ink;
  return b;
}

// The first and last pixel along a (dominant) direction whose alpha passes
// half coverage, scanning the row or column through the middle of a line.
std::array<int, 2> inked_extent(const QImage& im, bool along_x, int across) {
  int first = -1, last = -1;
  int n = along_x ? im.width() : im.height();
  for (int i = 0; i < n; ++i) {
    int a = along_x ? alpha(im, i, across) : alpha(im, across, i);
    if (a >= 128) {
      if (first < 0) first = i;
      last = i;
    }
  }
  return {first, last};
}

// Sums of alpha over the two images and of their differences.
struct InkDiff {
  double ink_a = 0, ink_b = 0, diff = 0;
};
InkDiff ink_diff(const QImage& a, const QImage& b) {
  InkDiff d;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      d.ink_a += alpha(a, x, y);
      d.ink_b += alpha(b, x, y);
      d.diff += std::abs(alpha(a, x, y) - alpha(b, x, y));
    }
  return d;
}

class GlAxesRendererTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gl_ = GlAxesRenderer::create(why_).release(); }
  static void TearDownTestSuite() {
    delete gl_;
    gl_ = nullptr;
  }
  void SetUp() override {
    if (!gl_)
      GTEST_SKIP() << "no OpenGL 3.3 context (" << why_
                   << "); run under an X server with GLX to compare the renderers";
  }

  // The scene drawn both ways at a device pixel ratio.
  std::array<QImage, 2> both(const AxesScene& a, double dpr = 1) {
    return {render_axes(a, kView, kPlot, kFigureHeight, dpr),
            gl_->render(a, kView, kPlot, kFigureHeight, dpr)};
  }

  static GlAxesRenderer* gl_;
  static std::string why_;
};
GlAxesRenderer* GlAxesRendererTest::gl_ = nullptr;
std::string GlAxesRendererTest::why_;

TEST_F(GlAxesRendererTest, MarkersLandOnCairosPixels) {
  AxesScene a = bare_scene();
  const Marker kinds[] = {Marker::Circle,       Marker::Star5,    Marker::Square,
                          Marker::Diamond,      Marker::Plus,     Marker::Point,
                          Marker::Cross,        Marker::Asterisk, Marker::TriangleUp,
                          Marker::TriangleDown, Marker::Hexagram};
  int i = 0;
  for (Marker m : kinds)
    for (bool filled : {false, true}) {
      // Spread on a grid at sub-pixel positions.
      double x = -0.9 + 0.33 * (i % 6) + 0.0123 * i, y = -0.9 + 0.45 * (i / 6);
      SceneLine l = line({x}, {y}, {0.1 * (i % 3)});
      l.style = LineStyle::None;
      l.marker = m;
      l.marker_size_pt = 5 + i % 4;
      l.color = {0.8, 0.1 * (i % 5), 0.3};
      if (filled) l.marker_face = render::Rgb{0.1, 0.6, 0.9};
      a.lines.push_back(l);
      ++i;
    }
  // Stamped on the processor (software rasterizers) or drawn as points.
  const bool default_stamping = gl_->stamps_markers();
  for (bool stamp : {true, false})
    for (double dpr : {1.0, 2.0}) {
      SCOPED_TRACE(stamp ? "stamped" : "points");
      gl_->set_stamps_markers(stamp);
      auto [cairo, gl] = both(a, dpr);
      ASSERT_EQ(gl.size(), cairo.size());
      EXPECT_EQ(gl.devicePixelRatio(), dpr);
      render::Projection proj(a, kPlot, kFigureHeight);
      for (const SceneLine& l : a.lines) {
        auto p = proj.to_pixel(l.x[0], l.y[0], l.z[0]);
        std::array<double, 2> at{(p[0] - kView.x()) * dpr, (p[1] - kView.y()) * dpr};
        Blob c = blob(cairo, at, static_cast<int>(12 * dpr)),
             g = blob(gl, at, static_cast<int>(12 * dpr));
        ASSERT_GT(c.ink, 0);
        EXPECT_NEAR(g.x, c.x, 0.05) << render::marker_name(l.marker);
        EXPECT_NEAR(g.y, c.y, 0.05) << render::marker_name(l.marker);
        EXPECT_NEAR(g.ink, c.ink, 0.01 * c.ink) << render::marker_name(l.marker);
      }
      // Every pixel: the same marker images on the same pixels, blended alike.
      int worst = 0;
      for (int y = 0; y < gl.height(); ++y)
        for (int x = 0; x < gl.width(); ++x)
          worst = std::max(worst, std::abs(alpha(gl, x, y) - alpha(cairo, x, y)));
      EXPECT_LE(worst, stamp ? 0 : 2);
    }
  gl_->set_stamps_markers(default_stamping);
}

TEST_F(GlAxesRendererTest, StampedMarkersAndOpenGlLinesKeepTheirOrder) {
  // Blue hollow circles, a wide red line over them, filled green squares
  // over the line, then a black line over everything: each covers the one
  // before where they cross, as in Cairo's picture.
  AxesScene a = bare_scene();
  a.three_d = false;
  a.azimuth_deg = 0;
  a.elevation_deg = 90;
  std::vector<double> xs, ys, zs;
  for (int i = 0; i < 15; ++i) {
    xs.push_back(-0.84 + 0.12 * i + 0.0071 * i);
    ys.push_back(0.013 * i);
    zs.push_back(0);
  }
  SceneLine rings = line(xs, ys, zs), squares = line(xs, ys, zs);
  rings.style = squares.style = LineStyle::None;
  rings.marker = Marker::Circle;
  rings.marker_size_pt = 9;
  rings.color = {0, 0, 1};
  squares.marker = Marker::Square;
  squares.marker_size_pt = 5;
  squares.color = {0, 0.5, 0};
  squares.marker_face = render::Rgb{0.2, 0.9, 0.2};
  SceneLine red = line({-0.9, 0.9}, {0.09, 0.09}, {0, 0});
  red.color = {1, 0, 0};
  red.line_width_pt = 4;
  SceneLine black = line({-0.5, -0.5}, {-0.5, 0.5}, {0, 0});
  black.line_width_pt = 3;
  a.lines = {rings, red, squares, black};
  const bool default_stamping = gl_->stamps_markers();
  for (bool stamp : {true, false}) {
    SCOPED_TRACE(stamp ? "stamped" : "points");
    gl_->set_stamps_markers(stamp);
    auto [cairo, gl] = both(a);
    // Every channel of every pixel, and the square's face over the red line.
    double ink = 0, diff = 0;
    for (int y = 0; y < gl.height(); ++y)
      for (int x = 0; x < gl.width(); ++x) {
        const QRgb c = cairo.pixel(x, y), g = gl.pixel(x, y);
        ink += qAlpha(c);
        diff += std::abs(qRed(c) - qRed(g)) + std::abs(qGreen(c) - qGreen(g)) +
                std::abs(qBlue(c) - qBlue(g)) + std::abs(qAlpha(c) - qAlpha(g));
      }
    EXPECT_LT(diff, 0.05 * ink);
    render::Projection proj(a, kPlot, kFigureHeight);
    for (std::size_t i = 0; i < xs.size(); ++i) {
      auto p = proj.to_pixel(xs[i], ys[i], 0);
      const int x = static_cast<int>(p[0]), y = static_cast<int>(p[1]);
      const QRgb c = cairo.pixel(x, y), g = gl.pixel(x, y);
      EXPECT_NEAR(qRed(g), qRed(c), 2) << i;
      EXPECT_NEAR(qGreen(g), qGreen(c), 2) << i;
      EXPECT_NEAR(qBlue(g), qBlue(c), 2) << i;
    }
  }
  gl_->set_stamps_markers(default_stamping);
}

TEST_F(GlAxesRendererTest, ManyStampedMarkersAreCairosPixelsTurnedAndZoomed) {
  // Enough markers to be stamped by two threads, in two bands of rows, in
  // a cloud crossing the middle of the view: six lines of markers in three
  // colours, hollow and filled, stamped one over the other.
  AxesScene a = bare_scene();
  for (int part = 0; part < 6; ++part) {
    SceneLine cloud;
    for (int i = 0; i < 5000; ++i) {
      const double t = 0.001 * (i + 5000 * part), r = 0.05 + 0.6 * std::fmod(0.618 * i, 1.0);
      cloud.x.push_back(r * std::cos(7 * t));
      cloud.y.push_back(r * std::sin(7 * t));
      cloud.z.push_back(0.8 * std::sin(3 * t));
    }
    cloud.style = LineStyle::None;
    cloud.marker = Marker::Circle;
    cloud.marker_size_pt = 4;
    cloud.color = {0.4 * (part % 3), 0.2, 1 - 0.4 * (part % 3)};
    if (part == 4) cloud.marker_face = render::Rgb{0.9, 0.8, 0.1};
    a.lines.push_back(cloud);
  }
  a.lines.push_back(line({-0.6, 0, 0.6}, {0, 0.5, 0}, {0, 0.3, 0}));
  const bool default_stamping = gl_->stamps_markers();
  gl_->set_stamps_markers(true);
  for (double zoom : {1.0, 2.5}) {
    a.zoom = zoom;
    a.azimuth_deg += 23;
    AxesScene markers_only = a;
    markers_only.lines.pop_back();
    auto [cairo, gl] = both(markers_only);
    EXPECT_TRUE(gl == cairo) << "zoom " << zoom;
    // With the wire over them, from OpenGL.
    auto [cairo_w, gl_w] = both(a);
    InkDiff d = ink_diff(cairo_w, gl_w);
    EXPECT_NEAR(d.ink_b, d.ink_a, 0.01 * d.ink_a) << "zoom " << zoom;
    EXPECT_LT(d.diff, 0.01 * d.ink_a) << "zoom " << zoom;
  }
  gl_->set_stamps_markers(default_stamping);
}

TEST_F(GlAxesRendererTest, LineEndsWidthsAndStylesMatchCairo) {
  AxesScene a = bare_scene();
  a.three_d = false;
  a.azimuth_deg = 0;
  a.elevation_deg = 90;
  // Horizontal and vertical pieces with butt ends, one wide, one thin.
  SceneLine wide = line({-0.8, 0.3}, {0.6, 0.6}, {0, 0});
  wide.line_width_pt = 4;
  SceneLine thin = line({-0.5, -0.5}, {-0.7, 0.4}, {0, 0});
  thin.line_width_pt = 1;
  // A bent line (a round join), and one cut by the limits and by NaN.
  SceneLine bent = line({0.2, 0.8, 0.8}, {-0.8, -0.8, 0.2}, {0, 0, 0});
  bent.line_width_pt = 3;
  SceneLine cut = line({-0.9, -0.2, NAN, 0.1, 1.6}, {0.2, 0.2, 0.2, 0.2, 0.2}, {0, 0, 0, 0, 0});
  cut.line_width_pt = 2;
  a.lines = {wide, thin, bent, cut};
  auto [cairo, gl] = both(a);
  render::Projection proj(a, kPlot, kFigureHeight);
  auto pixel = [&](double x, double y) { return proj.to_pixel(x, y, 0); };
  // The wide and the cut line along their rows, the thin one down its column.
  for (double y : {0.6, 0.2}) {
    int row = static_cast<int>(pixel(0, y)[1]);
    auto c = inked_extent(cairo, true, row), g = inked_extent(gl, true, row);
    EXPECT_NEAR(g[0], c[0], 1) << "row " << row;
    EXPECT_NEAR(g[1], c[1], 1) << "row " << row;
  }
  int column = static_cast<int>(pixel(-0.5, 0)[0]);
  auto c = inked_extent(cairo, false, column), g = inked_extent(gl, false, column);
  EXPECT_NEAR(g[0], c[0], 1);
  EXPECT_NEAR(g[1], c[1], 1);
  // The NaN gap and the limit cut: no ink in the gap, none past the box.
  int row = static_cast<int>(pixel(0, 0.2)[1]);
  EXPECT_EQ(alpha(gl, static_cast<int>(pixel(-0.05, 0)[0]), row), 0);
  EXPECT_EQ(alpha(gl, static_cast<int>(pixel(1.2, 0)[0]), row), 0);
  // Overall: the same ink within a few per cent, and at most a trace of
  // difference at the round join.
  double ink_c = 0, ink_g = 0, diff = 0;
  for (int y = 0; y < gl.height(); ++y)
    for (int x = 0; x < gl.width(); ++x) {
      ink_c += alpha(cairo, x, y);
      ink_g += alpha(gl, x, y);
      diff += std::abs(alpha(cairo, x, y) - alpha(gl, x, y));
    }
  EXPECT_NEAR(ink_g, ink_c, 0.03 * ink_c);
  EXPECT_LT(diff, 0.06 * ink_c);
}

TEST_F(GlAxesRendererTest, DashPatternsCoverLikeCairo) {
  AxesScene a = bare_scene();
  a.three_d = false;
  a.azimuth_deg = 0;
  a.elevation_deg = 90;
  double y = -0.8;
  for (LineStyle s : {LineStyle::Dashed, LineStyle::Dotted, LineStyle::DashDot})
    for (double width : {0.5, 2.0}) {
      SceneLine l = line({-0.9, 0.1, 0.9}, {y, y, y + 0.1}, {0, 0, 0});
      l.style = s;
      l.line_width_pt = width;
      a.lines.push_back(l);
      y += 0.3;
    }
  auto [cairo, gl] = both(a);
  render::Projection proj(a, kPlot, kFigureHeight);
  // Each line's ink, and where its dashes start and stop along the first
  // (horizontal) piece.
  for (const SceneLine& l : a.lines) {
    auto p0 = proj.to_pixel(l.x[0], l.y[0], 0), p1 = proj.to_pixel(l.x[1], l.y[1], 0);
    int row = static_cast<int>(p0[1]);
    double ink_c = 0, ink_g = 0;
    int edges_c = 0, edges_g = 0;
    bool on_c = false, on_g = false;
    for (int x = static_cast<int>(p0[0]) - 2; x <= static_cast<int>(p1[0]); ++x) {
      double ac = 0, ag = 0;
      for (int dy = -3; dy <= 3; ++dy)
        ac += alpha(cairo, x, row + dy), ag += alpha(gl, x, row + dy);
      ink_c += ac;
      ink_g += ag;
      edges_c += (ac > 60) != on_c, on_c = ac > 60;
      edges_g += (ag > 60) != on_g, on_g = ag > 60;
    }
    std::string what =
        std::string(render::line_style_name(l.style)) + " " + std::to_string(l.line_width_pt);
    EXPECT_NEAR(ink_g, ink_c, 0.08 * ink_c) << what;
    EXPECT_NEAR(edges_g, edges_c, 2) << what;
  }
}

TEST_F(GlAxesRendererTest, KeptDataFollowsEveryChangeOfSceneAndView) {
  // Data far from the origin, so single precision on the graphics
  // processor must not lose the sub-pixel positions.
  AxesScene a = bare_scene();
  a.xlim = {999, 1001};
  a.ylim = {-2001, -1999};
  a.zlim = {49, 51};
  SceneLine cloud;
  for (int i = 0; i < 60; ++i) {
    cloud.x.push_back(1000 + 0.8 * std::cos(0.37 * i) * std::sin(0.11 * i));
    cloud.y.push_back(-2000 + 0.8 * std::sin(0.37 * i) * std::sin(0.11 * i));
    cloud.z.push_back(50 + 0.8 * std::cos(0.11 * i));
  }
  cloud.style = LineStyle::None;
  cloud.marker = Marker::Circle;
  cloud.marker_face = render::Rgb{0.1, 0.3, 0.9};
  SceneLine dashed = line({999.2, 1000.1, 1000.8}, {-2000.5, -1999.4, -2000.2}, {49.5, 50, 50.6});
  dashed.style = LineStyle::Dashed;
  dashed.line_width_pt = 1.5;
  SceneLine solid = line({999.1, 1000.9}, {-2000.9, -1999.1}, {50.9, 49.1});
  a.lines = {cloud, dashed, solid};

  // Each step changes one thing; the renderer that drew the frames before
  // must draw what a renderer that rebuilds everything draws, and both what
  // Cairo draws.
  std::string why;
  std::unique_ptr<GlAxesRenderer> rebuilt = GlAxesRenderer::create(why);
  ASSERT_TRUE(rebuilt) << why;
  rebuilt->set_stamps_markers(gl_->stamps_markers());
  const AxesScene nothing = bare_scene();
  auto check = [&](const AxesScene& s, double dpr, const std::string& step) {
    QImage kept = gl_->render(s, kView, kPlot, kFigureHeight, dpr);
    rebuilt->render(nothing, kView, kPlot, kFigureHeight, dpr);
    QImage fresh = rebuilt->render(s, kView, kPlot, kFigureHeight, dpr);
    ASSERT_EQ(kept.size(), fresh.size()) << step;
    EXPECT_TRUE(kept == fresh) << step;
    InkDiff d = ink_diff(render_axes(s, kView, kPlot, kFigureHeight, dpr), kept);
    EXPECT_GT(d.ink_a, 0) << step;
    EXPECT_NEAR(d.ink_b, d.ink_a, 0.03 * d.ink_a) << step;
    EXPECT_LT(d.diff, 0.06 * d.ink_a) << step;
  };
  check(a, 1, "first frame");
  a.azimuth_deg = 71;
  a.elevation_deg = -12;
  check(a, 1, "turned");
  a.zoom = 1.7;
  check(a, 1, "zoomed");
  a.lines[0].x[7] += 0.3;
  check(a, 1, "a point moved");
  a.lines[1].color = {0.9, 0.2, 0.1};
  check(a, 1, "a colour changed");
  a.lines[2].style = LineStyle::DashDot;
  check(a, 1, "a line style changed");
  a.lines[0].marker = Marker::Square;
  check(a, 1, "a marker changed");
  a.zlim = {49.5, 50.5};
  check(a, 1, "limits narrowed");
  check(a, 2, "twice the pixels");
  a.lines.pop_back();
  check(a, 2, "a line removed");
}

TEST_F(GlAxesRendererTest, DecorationsComeFromCairoAndZoomStaysInsideThePlot) {
  AxesScene a = bare_scene();
  a.axis_visible = true;
  a.box = true;
  a.xgrid = a.ygrid = a.zgrid = true;
  a.xlabel = "length";
  a.title = "Procrustes fit";
  SceneLine l = line({-0.9, 0.9}, {0, 0}, {0, 0});
  l.marker = Marker::Circle;
  l.color = {0, 0, 1};
  a.lines.push_back(l);
  auto [cairo, gl] = both(a);
  // Away from the data, every pixel (background, grid, box, ticks, labels,
  // title) is Cairo's own.
  render::Projection proj(a, kPlot, kFigureHeight);
  int differing = 0;
  for (int y = 0; y < gl.height(); ++y)
    for (int x = 0; x < gl.width(); ++x) {
      bool near_data = false;
      for (double t = 0; t <= 1 && !near_data; t += 0.01) {
        auto p = proj.to_pixel(-0.9 + 1.8 * t, 0, 0);
        near_data = std::hypot(p[0] - x, p[1] - y) < 8;
      }
      if (!near_data && gl.pixel(x, y) != cairo.pixel(x, y)) ++differing;
    }
  EXPECT_EQ(differing, 0);

  // Zoomed in, the data stays inside the plot rectangle.
  a.zoom = 4;
  a.axis_visible = false;
  auto [cz, gz] = both(a);
  const QRect inside(kPlot.left, kFigureHeight - kPlot.bottom - kPlot.height, kPlot.width,
                     kPlot.height);
  int outside_ink = 0;
  for (int y = 0; y < gz.height(); ++y)
    for (int x = 0; x < gz.width(); ++x)
      if (!inside.adjusted(-1, -1, 1, 1).contains(x, y)) outside_ink += alpha(gz, x, y) > 0;
  EXPECT_EQ(outside_ink, 0);
  EXPECT_GT(blob(gz, {200, 150}, 150).ink, 0);
}

}  // namespace
}  // namespace velmora::qt::testing
