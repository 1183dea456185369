#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/render/renderer.hpp"

namespace velmora::render {
namespace {

// A figure of `w` × `h` pixels with one axes at a new figure's usual place,
// x and y labelled: a flat plot with a colour bar, or a 3-D view.
FigureScene labelled_figure(double w, double h, bool three_d) {
  FigureScene f;
  f.width_px = w;
  f.height_px = h;
  FigureScene::Placed p;
  p.rect_px = {0.13 * w, 0.11 * h, 0.775 * w, 0.815 * h};
  AxesScene& a = p.axes;
  a.auto_x = a.auto_y = a.auto_z = false;
  a.xlim = {-0.02, 0.08};
  a.ylim = {-0.04, 0.04};
  a.zlim = {-1, 1};
  a.xlabel = "PC1 (50.9 %)";
  a.ylabel = "PC2 (4.3 %)";
  a.three_d = three_d;
  if (three_d) {
    a.zlabel = "PC3 (3.8 %)";
  } else {
    a.azimuth_deg = 0;
    a.elevation_deg = 90;
    a.colorbar = ColorBar{2, 19, "age"};
  }
  f.axes.push_back(p);
  return f;
}

struct Scratch {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
  cairo_t* cr = cairo_create(s);
  ~Scratch() {
    cairo_destroy(cr);
    cairo_surface_destroy(s);
  }
};

bool inside(const std::array<double, 4>& b, double w, double h) {
  return b[0] >= 0 && b[1] >= 0 && b[2] <= w && b[3] <= h;
}

// Exported at 8 × 6 cm and 150 dpi, the texts that would fall off the
// figure move in with the plot; the axis labels are drawn where the layout
// puts them.
TEST(AxesFit, TextsOfASmallFigureStayInsideIt) {
  Scratch sc;
  const double w = 8 / 2.54 * 96, h = 6 / 2.54 * 96, scale = 150.0 / 96;
  for (bool three_d : {false, true}) {
    const FigureScene f = labelled_figure(w, h, three_d);
    const auto& [axes, rect] = f.axes[0];
    bool spilled = false;
    for (const auto& b : text_boxes(sc.cr, axes, rect, h)) spilled = spilled || !inside(b, w, h);
    EXPECT_TRUE(spilled) << "the plain layout fits: nothing is tested";
    const Rect fit = fit_axes_rect(sc.cr, axes, rect, w, h);
    EXPECT_GE(fit.left, rect.left);
    EXPECT_GE(fit.bottom, rect.bottom);
    EXPECT_LE(fit.left + fit.width, rect.left + rect.width + 1e-9);
    EXPECT_LE(fit.bottom + fit.height, rect.bottom + rect.height + 1e-9);
    const auto boxes = text_boxes(sc.cr, axes, fit, h);
    for (const auto& b : boxes)
      EXPECT_TRUE(inside(b, w, h))
          << three_d << ": " << b[0] << " " << b[1] << " " << b[2] << " " << b[3];
    if (three_d) continue;
    // The leftmost box is the y label, the lowest the x label: each holds ink.
    const Image im = to_image(f, scale, false);
    auto inked = [&](const std::array<double, 4>& b) {
      auto at = [&](double v, int n) { return std::clamp(static_cast<int>(v * scale), 0, n); };
      for (int y = at(b[1], im.height); y < at(b[3], im.height); ++y)
        for (int x = at(b[0], im.width); x < at(b[2], im.width); ++x)
          if (im.bytes[static_cast<std::size_t>(y) * im.stride + 4 * x + 1] < 100) return true;
      return false;
    };
    auto leftmost = boxes.front(), lowest = boxes.front();
    for (const auto& b : boxes) {
      if (b[0] < leftmost[0]) leftmost = b;
      if (b[3] > lowest[3]) lowest = b;
    }
    EXPECT_TRUE(inked(leftmost));
    EXPECT_TRUE(inked(lowest));
  }
}

// A figure whose texts fit keeps its rectangle and draws exactly as the
// axes drawn straight into it.
TEST(AxesFit, FiguresWhoseTextsFitDrawAsBefore) {
  Scratch sc;
  for (bool three_d : {false, true}) {
    const FigureScene f = labelled_figure(560, 420, three_d);
    const auto& [axes, rect] = f.axes[0];
    const Rect fit = fit_axes_rect(sc.cr, axes, rect, f.width_px, f.height_px);
    EXPECT_EQ(fit.left, rect.left);
    EXPECT_EQ(fit.bottom, rect.bottom);
    EXPECT_EQ(fit.width, rect.width);
    EXPECT_EQ(fit.height, rect.height);
    const Image im = to_image(f, 1, false);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 560, 420);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, f.color.r, f.color.g, f.color.b);
    cairo_paint(cr);
    draw_axes(cr, axes, rect, f.height_px);
    cairo_surface_flush(s);
    const unsigned char* d = cairo_image_surface_get_data(s);
    EXPECT_TRUE(std::vector<unsigned char>(d, d + im.bytes.size()) == im.bytes) << three_d;
    cairo_destroy(cr);
    cairo_surface_destroy(s);
  }
}

}  // namespace
}  // namespace velmora::render
