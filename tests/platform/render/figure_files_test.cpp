// The figure files of our own making: SVG written element by element and
// checked against Cairo's picture of the same scene, markers defined once in
// PDF and EPS, and the resolution PNG files carry.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "platform/render/projection.hpp"
#include "platform/render/renderer.hpp"
#include "platform/render/screen_geometry.hpp"

namespace velmora::render {
namespace {

struct Px {
  int r, g, b;
};

Px pixel(const Image& im, double x, double y) {
  const int c = static_cast<int>(std::floor(x)), r = static_cast<int>(std::floor(y));
  std::uint32_t w;
  std::memcpy(&w, &im.bytes[static_cast<std::size_t>(r) * im.stride + 4 * c], 4);
  return {static_cast<int>((w >> 16) & 255), static_cast<int>((w >> 8) & 255),
          static_cast<int>(w & 255)};
}

// A 2-D plot: `n` pseudo-random markers (some outside the limits), a
// wire, texts that need escaping, a small image and a legend.
FigureScene plot(int n) {
  FigureScene f;
  f.width_px = 400;
  f.height_px = 300;
  f.color = {1, 1, 1};
  FigureScene::Placed p;
  p.rect_px = {40, 30, 340, 250};
  AxesScene& a = p.axes;
  a.three_d = false;
  a.azimuth_deg = 0;
  a.elevation_deg = 90;
  a.auto_x = a.auto_y = a.auto_z = false;
  a.xlim = a.ylim = {0, 10};
  a.title = "Scores & <names>";
  a.xlabel = "PC1 \"x\"";
  SceneLine dots;
  dots.style = LineStyle::None;
  dots.marker = Marker::Circle;
  dots.marker_size_pt = 6;
  dots.color = {0, 0, 1};
  dots.marker_face = Rgb{0, 0, 1};
  for (int i = 0; i < n; ++i) {
    dots.x.push_back(std::fmod(i * 7.31, 11.0) - 0.5);
    dots.y.push_back(std::fmod(i * 3.17, 10.0));
    dots.z.push_back(0);
  }
  a.lines.push_back(dots);
  SceneLine wire;
  wire.x = {1, 9};
  wire.y = {1, 1};
  wire.z = {0, 0};
  wire.color = {1, 0, 0};
  wire.line_width_pt = 3;
  a.lines.push_back(wire);
  SceneText t;
  t.x = 5;
  t.y = 9;
  t.text = "a<b & c\nline two";
  a.texts.push_back(t);
  SceneLine sample = dots;
  sample.marker_size_pt = 4;
  a.legend.push_back({"Specimens", sample});
  f.axes.push_back(p);
  return f;
}

// The axes rectangle as drawn: the plot gives room to the title that
// would stick out above the figure.
Rect drawn_rect(const FigureScene& f) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  const Rect r = fit_axes_rect(cr, f.axes[0].axes, f.axes[0].rect_px, f.width_px, f.height_px);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return r;
}

std::vector<std::array<double, 2>> uses(const std::string& svg) {
  std::vector<std::array<double, 2>> out;
  static const std::regex use("<use xlink:href=\"#m0\" x=\"([-0-9.]+)\" y=\"([-0-9.]+)\"/>");
  for (std::sregex_iterator it(svg.begin(), svg.end(), use), end; it != end; ++it)
    out.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
  return out;
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Every marker the SVG places is where the scene puts it, and Cairo's
// picture of the same scene shows a marker there; the wire's stroke is the
// scene's.  The legend's marker is the second look (smaller), its own
// symbol.
TEST(SvgFile, MarkersAndLinesAreWhereCairoDrawsThem) {
  const FigureScene f = plot(60);
  const std::string svg = to_svg(f, true);
  const AxesScene& a = f.axes[0].axes;
  const Projection proj(a, data_rect(a, drawn_rect(f)), f.height_px);
  std::vector<std::array<double, 2>> want;
  for (std::size_t i = 0; i < a.lines[0].x.size(); ++i)
    if (a.lines[0].x[i] >= 0 && a.lines[0].x[i] <= 10)
      want.push_back(proj.to_pixel(a.lines[0].x[i], a.lines[0].y[i], 0));
  const auto got = uses(svg);
  ASSERT_EQ(got.size(), want.size());
  const double scale = 2;
  const Image im = to_image(f, scale, true);
  // Cairo's marker is there: blue, unless the wire, the legend or a text
  // drawn later covers it, and never the white background.
  std::size_t blue = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i][0], want[i][0], 0.005);
    EXPECT_NEAR(got[i][1], want[i][1], 0.005);
    const Px p = pixel(im, got[i][0] * scale, got[i][1] * scale);
    EXPECT_FALSE(p.r == 255 && p.g == 255 && p.b == 255)
        << "no marker in Cairo's picture at " << got[i][0] << ", " << got[i][1];
    blue += p.r < 60 && p.g < 60 && p.b > 200;
  }
  EXPECT_GE(blue, got.size() * 8 / 10);
  EXPECT_EQ(count(svg, "<symbol "), 2u);  // the plot's marker and the legend's
  EXPECT_EQ(count(svg, "<use "), want.size() + 1);
  // The wire: one stroke from (1, 1) to (9, 1), 4 px wide, red.
  const auto a0 = proj.to_pixel(1, 1, 0), a1 = proj.to_pixel(9, 1, 0);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(
      svg, m,
      std::regex("<path fill=\"none\" stroke=\"#ff0000\" stroke-width=\"4\"[^>]* d=\"M([-0-9.]+) "
                 "([-0-9.]+) L([-0-9.]+) ([-0-9.]+)\"/>")));
  // Cairo keeps a path's points to 1/256 pixel.
  constexpr double kPathTolerance = 1.0 / 256;
  EXPECT_NEAR(std::stod(m[1]), a0[0], kPathTolerance);
  EXPECT_NEAR(std::stod(m[2]), a0[1], kPathTolerance);
  EXPECT_NEAR(std::stod(m[3]), a1[0], kPathTolerance);
  EXPECT_NEAR(std::stod(m[4]), a1[1], kPathTolerance);
  const Px mid = pixel(im, scale * 0.5 * (a0[0] + a1[0]), scale * a0[1]);
  EXPECT_GT(mid.r, 200);
  EXPECT_LT(mid.g, 60);
  // Well nested, and the page is the figure at 0.75 pt a pixel.
  EXPECT_EQ(count(svg, "<g"), count(svg, "</g>"));
  EXPECT_NE(svg.find("width=\"300pt\" height=\"225pt\" viewBox=\"0 0 400 300\""),
            std::string::npos);
}

// Text stays text, escaped for XML, one <text> a line, in the figure's
// font; no glyph outlines.
TEST(SvgFile, TextStaysEditableText) {
  const std::string svg = to_svg(plot(3), true);
  for (const char* line :
       {">a&lt;b &amp; c</text>", ">line two</text>", ">Scores &amp; &lt;names&gt;</text>",
        ">PC1 &quot;x&quot;</text>", ">Specimens</text>"})
    EXPECT_NE(svg.find(line), std::string::npos) << line;
  EXPECT_NE(svg.find("font-family=\"DejaVu Sans\""), std::string::npos);
  EXPECT_EQ(svg.find("glyph"), std::string::npos);
}

// A marker costs a few dozen bytes in every vector format: its outline is
// written once.
TEST(VectorFiles, EachMarkerIsDefinedOnce) {
  const FigureScene few = plot(100), many = plot(10100);
  auto per_marker = [&](auto write) {
    return (static_cast<double>(write(many).size()) - static_cast<double>(write(few).size())) /
           10000;
  };
  EXPECT_LT(per_marker([](const FigureScene& f) { return to_svg(f, true); }), 45);
  EXPECT_LT(per_marker([](const FigureScene& f) { return to_eps(f, true); }), 45);
  EXPECT_LT(per_marker([](const FigureScene& f) { return to_pdf(f, true); }), 25);
}

// The PNG states its resolution in a pHYs chunk right after the header,
// with the chunk's CRC (the values are zlib's crc32 of the chunk).
TEST(PngFile, CarriesItsResolution) {
  const FigureScene f = plot(3);
  const std::string at300 = to_png(f, 300.0 / 96, true);
  const std::string chunk300("\0\0\0\x09pHYs\0\0\x2e\x23\0\0\x2e\x23\x01\x78\xa5\x3f\x76", 21);
  EXPECT_EQ(at300.substr(33, 21), chunk300);
  // A stated resolution wins over the scale; the chunk is replaced, not added.
  const std::string at96 = with_resolution(at300, 96);
  const std::string chunk96("\0\0\0\x09pHYs\0\0\x0e\xc4\0\0\x0e\xc4\x01\x95\x2b\x0e\x1b", 21);
  EXPECT_EQ(at96.substr(33, 21), chunk96);
  EXPECT_EQ(at96.size(), at300.size());
  EXPECT_EQ(count(at96, "pHYs"), 1u);
  EXPECT_EQ(with_resolution("not a picture", 300), "not a picture");
}

// Labels set off from their points take the asked corner while it is free,
// then the other corners, and never sit on their point.
TEST(LabelPlacement, LabelsAvoidEachOtherAndTheirPoint) {
  std::vector<ScreenBox> taken;
  std::vector<std::pair<HAlign, VAlign>> got;
  for (int i = 0; i < 5; ++i)
    got.push_back(place_label({100, 100}, 4, {20, 10}, HAlign::Left, VAlign::Bottom, taken));
  const std::vector<std::pair<HAlign, VAlign>> want{{HAlign::Left, VAlign::Bottom},
                                                    {HAlign::Right, VAlign::Bottom},
                                                    {HAlign::Left, VAlign::Top},
                                                    {HAlign::Right, VAlign::Top},
                                                    {HAlign::Left, VAlign::Bottom}};
  EXPECT_EQ(got, want);
  for (const ScreenBox& b : taken) {
    EXPECT_FALSE(b[0] < 100 && 100 < b[2] && b[1] < 100 && 100 < b[3]);
    EXPECT_GE(std::min(std::fabs(b[0] - 100), std::fabs(b[2] - 100)), 4);
  }
  // A label far from the others keeps its corner.
  EXPECT_EQ(place_label({300, 300}, 4, {20, 10}, HAlign::Left, VAlign::Bottom, taken),
            std::pair(HAlign::Left, VAlign::Bottom));
  // One that would leave its plot's box takes a corner inside it.
  std::vector<ScreenBox> none;
  const ScreenBox plot_box{0, 0, 110, 200};
  EXPECT_EQ(place_label({100, 100}, 4, {20, 10}, HAlign::Left, VAlign::Bottom, none, &plot_box),
            std::pair(HAlign::Right, VAlign::Bottom));
}

// A legend goes into the first corner clear of what it must not cover, or
// the one it covers least.
TEST(LabelPlacement, LegendCornersAvoidTickLabels) {
  const ScreenBox area{0, 0, 200, 100};
  EXPECT_EQ(free_corner(area, {50, 20}, 8, {}), (ScreenBox{142, 8, 192, 28}));
  const std::vector<ScreenBox> right_ticks{{150, 0, 200, 40}, {0, 90, 200, 100}};
  EXPECT_EQ(free_corner(area, {50, 20}, 8, right_ticks), (ScreenBox{8, 8, 58, 28}));
  const std::vector<ScreenBox> everywhere{{0, 0, 200, 100}, {0, 0, 60, 30}};
  EXPECT_EQ(free_corner(area, {50, 20}, 8, everywhere), (ScreenBox{142, 8, 192, 28}));
  // The marks along a box's edges cover its corners and the edges between.
  const std::vector<ScreenBox> marks = box_edge_marks(
      {{0, 0}, {100, 0}, {0, 100}, {100, 100}, {0, 0}, {100, 0}, {0, 100}, {100, 100}});
  EXPECT_EQ(marks.size(), 12u * 21u);
  EXPECT_EQ(free_corner({-50, -50, 150, 150}, {20, 20}, 0, marks), (ScreenBox{130, -50, 150, -30}));
}

// Two landmark numbers at nearly the same point are drawn apart: Cairo's
// picture has ink in two corners around the point.
TEST(LabelPlacement, CloseNumbersAreDrawnApart) {
  FigureScene f = plot(0);
  f.axes[0].axes.axis_visible = false;
  f.axes[0].axes.texts.clear();
  f.axes[0].axes.title.clear();
  f.axes[0].axes.legend.clear();
  for (const char* n : {"10", "12"}) {
    SceneText t;
    t.x = 5;
    t.y = 5;
    t.text = n;
    t.halign = HAlign::Left;
    t.valign = VAlign::Bottom;
    t.margin_px = 5;
    f.axes[0].axes.texts.push_back(t);
  }
  const std::string svg = to_svg(f, true);
  std::vector<double> xs;
  static const std::regex label(
      "<g transform=\"translate\\(([-0-9.]+) ([-0-9.]+)\\)\"[^>]*>\n"
      "<text xml:space=\"preserve\" x=\"([-0-9.]+)\"[^>]*>1[02]<");
  for (std::sregex_iterator it(svg.begin(), svg.end(), label), end; it != end; ++it)
    xs.push_back(std::stod((*it)[1]) + std::stod((*it)[3]));
  ASSERT_EQ(xs.size(), 2u);
  const AxesScene& a = f.axes[0].axes;
  const double px =
      Projection(a, data_rect(a, f.axes[0].rect_px), f.height_px).to_pixel(5, 5, 0)[0];
  EXPECT_NEAR(xs[0], px + 5, 0.01);  // right of the point
  EXPECT_LT(xs[1], px - 5 - 5);      // left of it, ending 5 px before it
}

}  // namespace
}  // namespace velmora::render
