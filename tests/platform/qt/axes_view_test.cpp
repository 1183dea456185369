#include "platform/qt/axes_view.hpp"

#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <chrono>
#include <cmath>
#include <ctime>

#include "qt_fixture.hpp"

namespace velmora::qt::testing {
namespace {

using gfx::Handle;
using gfx::Type;

TEST(AxesViewMath, DragsTurnTheViewAndClampTheElevation) {
  auto v = dragged_view({-37.5, 30}, 10, 0);
  EXPECT_DOUBLE_EQ(v[0], -37.5 - 10 * kDegreesPerPixel);
  EXPECT_DOUBLE_EQ(v[1], 30);
  v = dragged_view({-37.5, 30}, 0, 25);
  EXPECT_DOUBLE_EQ(v[1], 30 + 25 * kDegreesPerPixel);
  EXPECT_DOUBLE_EQ(dragged_view({0, 80}, 0, 1000)[1], 90);
  EXPECT_DOUBLE_EQ(dragged_view({0, -80}, 0, -1000)[1], -90);
  // The azimuth wraps into (-180, 180].
  EXPECT_DOUBLE_EQ(dragged_view({170, 0}, -50, 0)[0], 170 + 50 * kDegreesPerPixel - 360);
  EXPECT_DOUBLE_EQ(dragged_view({-180, 0}, 0, 0)[0], 180);
}

TEST(AxesViewMath, WheelZoomMultipliesPerNotchWithinBounds) {
  EXPECT_DOUBLE_EQ(wheel_zoom(1, 1), kZoomPerNotch);
  EXPECT_DOUBLE_EQ(wheel_zoom(2, -2), 2 / (kZoomPerNotch * kZoomPerNotch));
  EXPECT_DOUBLE_EQ(wheel_zoom(1, 1000), kMaxZoom);
  EXPECT_DOUBLE_EQ(wheel_zoom(1, -1000), kMinZoom);
  EXPECT_DOUBLE_EQ(wheel_zoom(-3, 0), 1);  // a bad stored zoom starts over
  EXPECT_FALSE(is_three_d_view(0, 90));
  EXPECT_TRUE(is_three_d_view(-37.5, 30));
  EXPECT_TRUE(is_three_d_view(0, 89));
}

TEST(AxesViewRender, DraftsAreDrawnWithoutAntialiasing) {
  render::AxesScene scene;
  scene.axis_visible = false;
  render::SceneLine line;
  line.x = {0, 1};
  line.y = {0, 0.7};
  line.z = {0, 0};
  scene.lines.push_back(line);
  scene.three_d = false;
  scene.azimuth_deg = 0;
  scene.elevation_deg = 90;
  auto partly_covered = [](const QImage& image) {
    int n = 0, inked = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        int a = qAlpha(image.pixel(x, y));
        inked += a > 0;
        n += a > 0 && a < 255;
      }
    return std::array<int, 2>{n, inked};
  };
  QRect view(0, 0, 120, 100);
  render::Rect plot{10, 10, 100, 80};
  auto smooth = partly_covered(render_axes(scene, view, plot, 100, 1));
  auto draft = partly_covered(render_axes(scene, view, plot, 100, 1, true));
  EXPECT_GT(smooth[0], 20);
  EXPECT_EQ(draft[0], 0);
  EXPECT_GT(draft[1], 50);
  // Twice the device pixels at a device pixel ratio of 2.
  QImage sharp = render_axes(scene, view, plot, 100, 2);
  EXPECT_EQ(sharp.size(), QSize(240, 200));
  EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(120, 100));
}

// Pixels of an image painted in a colour near `color`.
int pixels_near(const QImage& image, QColor color) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      QColor c = image.pixelColor(x, y);
      if (c.alpha() > 64 && std::abs(c.red() - color.red()) < 90 &&
          std::abs(c.green() - color.green()) < 90 && std::abs(c.blue() - color.blue()) < 90)
        ++n;
    }
  return n;
}

class AxesViewTest : public QtTest {
 protected:
  void SetUp() override {
    fig = figure({100, 100, 400, 300});
    ax = g().create(Type::Axes, fig,
                    {{"Units", "pixels"}, {"Position", Value::row({50, 40, 300, 220})}});
  }
  AxesView* view() { return widget<AxesView>(ax); }
  QWidget* canvas() { return view()->parentWidget(); }
  QPoint plot_centre() { return view()->plot_rect().center().toPoint(); }

  void send_mouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(at), canvas()->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(canvas(), &e);
  }

  Handle fig = -1, ax = -1;
};

TEST_F(AxesViewTest, TheViewCoversThePlotRectangleAndPaintsItsLines) {
  ASSERT_NE(view(), nullptr);
  EXPECT_EQ(view()->plot_rect(), QRectF(50, 300 - 40 - 220, 300, 220));
  // The margin for labels is cut by nothing but the canvas.
  EXPECT_EQ(view()->geometry(), QRect(50, 40, 300, 220)
                                    .adjusted(-AxesView::kMarginPx, -AxesView::kMarginPx,
                                              AxesView::kMarginPx, AxesView::kMarginPx));
  const QColor red(255, 0, 0);
  EXPECT_EQ(pixels_near(view()->grab().toImage(), red), 0);
  Handle line = g().plot(ax, {0, 1, 2}, {0, 1, 0}, {}, "r-", false);
  g().set(line, "LineWidth", 2.0);
  EXPECT_GT(pixels_near(view()->grab().toImage(), red), 200);
  g().set(line, "Color", Value::row({0, 0, 1}));
  EXPECT_EQ(pixels_near(view()->grab().toImage(), red), 0);

  // A new Position moves the plot rectangle.
  g().set(ax, "Position", Value::row({60, 40, 280, 200}));
  EXPECT_EQ(view()->plot_rect(), QRectF(60, 300 - 40 - 200, 280, 200));
}

TEST_F(AxesViewTest, ImagesInAnInvisibleAxesArePainted) {
  g().set(ax, "Visible", "off");
  // Index 2 of the colour map is green.
  g().set(fig, "Colormap", Value::array(2, 3, 1, {0, 0, 0, 1, 0, 0}));
  Value cdata = Value::array(2, 2, 1, {2, 2, 2, 2});
  g().create(Type::Image, ax,
             {{"CData", cdata}, {"XData", Value::row({1, 2})}, {"YData", Value::row({1, 2})}});
  EXPECT_GT(pixels_near(view()->grab().toImage(), QColor(0, 255, 0)), 1000);
  // A new colour map repaints the image.
  g().set(fig, "Colormap", Value::array(2, 3, 1, {0, 0, 0, 0, 0, 1}));
  QImage blue = view()->grab().toImage();
  EXPECT_EQ(pixels_near(blue, QColor(0, 255, 0)), 0);
  EXPECT_GT(pixels_near(blue, QColor(0, 0, 255)), 1000);
}

TEST_F(AxesViewTest, ClickRunsButtonDownFcnDragRotatesWheelZoomsDoubleClickResets) {
  g().plot(ax, {0, 1, 0}, {0, 0, 1}, {0, 1, 1}, "k-", true);
  g().set(ax, "ButtonDownFcn", Value::cell_row({Value("qtprobe"), Value("axes")}));
  Handle other = figure();
  ASSERT_EQ(g().current_figure_or_none(), other);

  QPoint c = plot_centre();
  send_mouse(QEvent::MouseButtonPress, c, Qt::LeftButton);
  ASSERT_EQ(probe_calls().size(), 1u);
  EXPECT_EQ(probe_calls()[0].current_figure, fig);
  EXPECT_EQ(g().current_axes_or_none(), ax);
  send_mouse(QEvent::MouseMove, c + QPoint(20, 10), Qt::LeftButton);
  send_mouse(QEvent::MouseMove, c + QPoint(40, 20), Qt::LeftButton);
  send_mouse(QEvent::MouseButtonRelease, c + QPoint(40, 20), Qt::NoButton);
  auto dragged = dragged_view(kDefaultView, 40, 20);
  EXPECT_EQ(g().get(ax, "View"), Value::row({dragged[0], dragged[1]}));
  // Moving without a button does nothing.
  send_mouse(QEvent::MouseMove, c + QPoint(90, 90), Qt::NoButton);
  EXPECT_EQ(g().get(ax, "View"), Value::row({dragged[0], dragged[1]}));

  QWheelEvent wheel(QPointF(c), canvas()->mapToGlobal(QPointF(c)), QPoint(), QPoint(0, 240),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(canvas(), &wheel);
  EXPECT_DOUBLE_EQ(g().appdata(ax, "ViewZoom").to_scalar(), wheel_zoom(1, 2));

  send_mouse(QEvent::MouseButtonDblClick, c, Qt::LeftButton);
  EXPECT_EQ(g().get(ax, "View"), Value::row({-37.5, 30}));
  EXPECT_EQ(g().appdata(ax, "ViewZoom").to_scalar(), 1);

  // A 2-D plot does not turn, and clicks outside every axes reach none.
  g().plot(ax, {0, 1}, {0, 1}, {}, "k-", false);
  send_mouse(QEvent::MouseButtonPress, c, Qt::LeftButton);
  send_mouse(QEvent::MouseMove, c + QPoint(30, 30), Qt::LeftButton);
  send_mouse(QEvent::MouseButtonRelease, c + QPoint(30, 30), Qt::NoButton);
  EXPECT_EQ(g().get(ax, "View"), Value::row({0, 90}));
  std::size_t calls = probe_calls().size();
  send_mouse(QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton);
  EXPECT_EQ(probe_calls().size(), calls);
}

// A 3-D figure of 1,000 lines with 100 markers each: the time of one
// rotation frame (set the view, re-render, paint).  Run by hand with
// --gtest_also_run_disabled_tests.
TEST_F(AxesViewTest, DISABLED_RotationFrameTime) {
  g().set(fig, "Position", Value::row({100, 100, 800, 600}));
  g().set(ax, "Position", Value::row({60, 50, 680, 500}));
  g().hold(ax, true);
  std::vector<double> x(100), y(100), z(100);
  for (int line = 0; line < 1000; ++line) {
    for (int i = 0; i < 100; ++i) {
      double t = 0.0628 * i + line;
      x[i] = std::cos(t) * (1 + 0.001 * line);
      y[i] = std::sin(t) * (1 + 0.001 * line);
      z[i] = 0.01 * i + 0.001 * line;
    }
    g().plot(ax, x, y, z, "ko-", true);
  }
  g().set(ax, "View", Value::row({-37.5, 30}));
  view()->grab();  // reads the scene once
  // Processor time of this thread, so that other busy processes count less.
  auto cpu_ms = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
  };
  auto frame_ms = [&](bool dragging) {
    view()->set_dragging(dragging);
    const int frames = 5;
    auto start = std::chrono::steady_clock::now();
    double cpu = cpu_ms();
    for (int i = 0; i < frames; ++i) {
      g().set(ax, "View", Value::row({-37.5 + 3 * i, 30}));
      view()->grab();
    }
    double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return std::array<double, 2>{wall / frames, (cpu_ms() - cpu) / frames};
  };
  auto full = frame_ms(false);
  auto drag = frame_ms(true);
  std::printf("rotation frame: full %.1f ms (%.1f ms CPU), while dragging %.1f ms (%.1f ms CPU)\n",
              full[0], full[1], drag[0], drag[1]);
  auto t0 = std::chrono::steady_clock::now();
  view()->set_dragging(false);
  view()->scene_changed();
  view()->grab();
  std::printf(
      "re-read scene and full frame: %.1f ms\n",
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
}

}  // namespace
}  // namespace velmora::qt::testing
