#include "platform/render/renderer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "platform/render/marker.hpp"
#include "platform/render/text.hpp"
#include "platform/runtime/runtime_error.hpp"

// Fontconfig keeps its configuration for the life of the process; that is
// not a leak of ours.  Read by the leak checker of sanitizer builds only.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace velmora::render {
namespace {

// Cairo's font caches are released at exit so the leak checker sees only
// real leaks.
class CairoCaches : public ::testing::Environment {
 public:
  void TearDown() override { cairo_debug_reset_static_data(); }
};
const auto* const kCairoCaches = ::testing::AddGlobalTestEnvironment(new CairoCaches);

struct Px {
  int r, g, b;
};

Px pixel(const Image& im, int x, int y) {
  std::uint32_t w;
  std::memcpy(&w, &im.bytes[static_cast<std::size_t>(y) * im.stride + 4 * x], 4);
  return {static_cast<int>((w >> 16) & 255), static_cast<int>((w >> 8) & 255),
          static_cast<int>(w & 255)};
}

bool near(Px p, Px q, int tol) {
  return std::abs(p.r - q.r) <= tol && std::abs(p.g - q.g) <= tol && std::abs(p.b - q.b) <= tol;
}

const Px kWhite{255, 255, 255}, kRed{255, 0, 0};

// A 200×200 white figure with one flat axes over all of it, limits 0..10.
FigureScene flat_figure(bool axis_visible) {
  FigureScene f;
  f.width_px = f.height_px = 200;
  f.color = {1, 1, 1};
  FigureScene::Placed p;
  p.rect_px = {0, 0, 200, 200};
  p.axes.three_d = false;
  p.axes.azimuth_deg = 0;
  p.axes.elevation_deg = 90;
  p.axes.auto_x = p.axes.auto_y = p.axes.auto_z = false;
  p.axes.xlim = p.axes.ylim = {0, 10};
  p.axes.axis_visible = axis_visible;
  f.axes.push_back(p);
  return f;
}

SceneLine marker_at(double x, double y, std::optional<Rgb> face) {
  SceneLine l;
  l.x = {x};
  l.y = {y};
  l.z = {0};
  l.color = {1, 0, 0};
  l.style = LineStyle::None;
  l.marker = Marker::Circle;
  l.marker_size_pt = 15;  // 20 px across
  l.line_width_pt = 1.5;  // 2 px edge
  l.marker_face = face;
  return l;
}

TEST(Renderer, MarkerLandsAtItsDataPointHollowOrFilled) {
  FigureScene f = flat_figure(false);
  f.axes[0].axes.lines.push_back(marker_at(2, 8, std::nullopt));  // pixel (40, 40)
  f.axes[0].axes.lines.push_back(marker_at(7, 3, Rgb{1, 0, 0}));  // pixel (140, 140)
  Image im = to_image(f, 1, true);
  ASSERT_EQ(im.width, 200);
  ASSERT_EQ(im.height, 200);
  // Hollow: the ring is red, the centre shows the background.
  EXPECT_TRUE(near(pixel(im, 40, 40), kWhite, 0));
  EXPECT_TRUE(near(pixel(im, 50, 40), kRed, 40));
  EXPECT_TRUE(near(pixel(im, 40, 30), kRed, 40));
  EXPECT_TRUE(near(pixel(im, 40, 55), kWhite, 0));
  // Filled: the centre is red too.
  EXPECT_TRUE(near(pixel(im, 140, 140), kRed, 0));
  EXPECT_TRUE(near(pixel(im, 140, 160), kWhite, 0));
  // A marker too big to stamp is drawn as a path, still centred.
  FigureScene huge = flat_figure(false);
  huge.axes[0].axes.lines.push_back(marker_at(5, 5, Rgb{1, 0, 0}));
  huge.axes[0].axes.lines[0].marker_size_pt = 120;  // 160 px across
  Image h = to_image(huge, 1, true);
  EXPECT_TRUE(near(pixel(h, 100, 100), kRed, 0));
  EXPECT_TRUE(near(pixel(h, 100, 25), kRed, 0));
  EXPECT_TRUE(near(pixel(h, 100, 15), kWhite, 0));
  // At scale 2 everything doubles.
  Image big = to_image(f, 2, true);
  EXPECT_EQ(big.width, 400);
  EXPECT_TRUE(near(pixel(big, 280, 280), kRed, 0));
  EXPECT_TRUE(near(pixel(big, 80, 80), kWhite, 0));
  EXPECT_TRUE(near(pixel(big, 100, 80), kRed, 40));
}

TEST(Renderer, StampedMarkersMatchTrueMarkerPaths) {
  const Marker shapes[] = {Marker::Circle,       Marker::Star5,    Marker::Square,
                           Marker::Diamond,      Marker::Plus,     Marker::Point,
                           Marker::Cross,        Marker::Asterisk, Marker::TriangleUp,
                           Marker::TriangleDown, Marker::Hexagram};
  for (Marker m : shapes) {
    SCOPED_TRACE(static_cast<int>(m));
    MarkerStyle s;
    s.marker = m;
    s.size_px = 12;
    s.line_width_px = 1;
    s.edge = {0, 0, 0.6};
    s.face = Rgb{0, 0.8, 0};
    std::vector<std::array<double, 2>> pts{{10.3, 11.8}, {25.5, 14.25}, {14, 27}};
    auto render = [&](bool stamped) {
      cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 40);
      cairo_t* cr = cairo_create(surf);
      cairo_set_source_rgb(cr, 1, 1, 1);
      cairo_paint(cr);
      if (stamped) {
        MarkerStamper().draw(cr, s, pts);
      } else {
        draw_markers_vector(cr, s, pts);
      }
      cairo_destroy(cr);
      cairo_surface_flush(surf);
      Image im;
      im.width = im.height = 40;
      im.stride = cairo_image_surface_get_stride(surf);
      const unsigned char* d = cairo_image_surface_get_data(surf);
      im.bytes.assign(d, d + im.stride * 40);
      cairo_surface_destroy(surf);
      return im;
    };
    Image a = render(true), b = render(false);
    long total = 0;
    int worst = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        Px p = pixel(a, x, y), q = pixel(b, x, y);
        int d = std::max({std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
        worst = std::max(worst, d);
        total += d;
      }
    // A quarter-pixel snap moves edges by at most 1/8 px.
    EXPECT_LT(worst, 110);
    EXPECT_LT(total, 40 * 40 * 4);
    EXPECT_TRUE(near(pixel(a, 14, 27), pixel(b, 14, 27), 8));
  }
}

TEST(Renderer, AxisOffDrawsNoBoxAndAxisOnDoes) {
  FigureScene off = flat_figure(false);
  off.color = {0.5, 0.5, 0.5};
  off.axes[0].rect_px = {40, 40, 120, 120};
  off.axes[0].axes.box = true;
  off.axes[0].axes.xgrid = off.axes[0].axes.ygrid = true;
  off.axes[0].axes.xlabel = "x";
  Image im = to_image(off, 1, true);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 200; ++x)
      ASSERT_TRUE(near(pixel(im, x, y), {128, 128, 128}, 1)) << x << "," << y;
  // The title stays above the hidden axis.
  off.axes[0].axes.title = "Title";
  Image titled = to_image(off, 1, true);
  int ink = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x) ink += !near(pixel(titled, x, y), {128, 128, 128}, 1);
  EXPECT_GT(ink, 20);

  FigureScene on = off;
  on.axes[0].axes.axis_visible = true;
  Image im2 = to_image(on, 1, true);
  // The box spans pixel columns and rows 40..160; lines are 2/3 px wide, so
  // take the darker of the two pixels each edge straddles.
  auto dark = [&](int x0, int y0, int x1, int y1) {
    return std::min(pixel(im2, x0, y0).r, pixel(im2, x1, y1).r);
  };
  EXPECT_TRUE(near(pixel(im2, 90, 110), kWhite, 0));          // background inside, off the grid
  EXPECT_LT(dark(39, 90, 40, 90), 200);                       // left axis line
  EXPECT_LT(dark(159, 90, 160, 90), 200);                     // right edge (box on)
  EXPECT_LT(dark(90, 39, 90, 40), 200);                       // top edge (box on)
  EXPECT_LT(dark(100, 90, 99, 90), 250);                      // grid line at x = 5
  EXPECT_TRUE(near(pixel(im2, 20, 90), {128, 128, 128}, 1));  // outside: figure colour
}

TEST(Renderer, LinesAreClippedToTheLimits) {
  FigureScene f = flat_figure(false);
  f.axes[0].rect_px = {50, 50, 100, 100};
  SceneLine l;
  l.x = {-10, 20};
  l.y = {5, 5};
  l.z = {0, 0};
  l.color = {1, 0, 0};
  l.line_width_pt = 3;
  f.axes[0].axes.lines.push_back(l);
  Image im = to_image(f, 1, true);
  EXPECT_TRUE(near(pixel(im, 100, 100), kRed, 0));
  EXPECT_TRUE(near(pixel(im, 55, 100), kRed, 0));
  EXPECT_TRUE(near(pixel(im, 30, 100), kWhite, 0));
  EXPECT_TRUE(near(pixel(im, 170, 100), kWhite, 0));
}

TEST(Renderer, ImagesAndControls) {
  FigureScene f = flat_figure(false);
  SceneImage img;
  img.width = 2;
  img.height = 2;
  img.pixels = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};
  img.x0 = 0, img.x1 = 10, img.y0 = 0, img.y1 = 10;
  f.axes[0].axes.images.push_back(img);
  SceneControl c;
  c.rect_px = {150, 150, 40, 40};  // top-left pixel (150, 10)
  c.style = "pushbutton";
  c.background = {1, 1, 0};
  f.controls.push_back(c);
  Image with = to_image(f, 1, true), without = to_image(f, 1, false);
  EXPECT_TRUE(near(pixel(with, 50, 50), kRed, 0));  // top row first
  EXPECT_TRUE(near(pixel(with, 150, 50), {0, 255, 0}, 0));
  EXPECT_TRUE(near(pixel(with, 50, 150), {0, 0, 255}, 0));
  EXPECT_TRUE(near(pixel(with, 170, 30), {255, 255, 0}, 0));   // the button
  EXPECT_TRUE(near(pixel(without, 170, 30), {0, 255, 0}, 0));  // image under it
}

// Tick labels never overlap, the corner where two axes meet included, for
// flat plots and 3-D views of any limits and size.
TEST(Renderer, TickLabelsNeverOverlap) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> centre(-1000, 1000), span(-6, 4), side(60, 700),
      angle(-180, 180);
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
  cairo_t* cr = cairo_create(s);
  int labels = 0;
  for (int trial = 0; trial < 300; ++trial) {
    AxesScene a;
    a.auto_x = a.auto_y = a.auto_z = false;
    for (auto* lim : {&a.xlim, &a.ylim, &a.zlim}) {
      double c = trial % 3 == 0 ? 0 : centre(rng), w = std::pow(10.0, span(rng));
      *lim = {c - (trial % 2 ? 0 : w), c + w};  // half of them start at the corner's value
    }
    a.three_d = trial % 4 == 3;
    a.azimuth_deg = a.three_d ? angle(rng) : 0;
    a.elevation_deg = a.three_d ? angle(rng) / 2 : 90;
    const Rect rect{70, 60, side(rng), side(rng)};
    auto boxes = tick_label_boxes(cr, a, rect, rect.bottom + rect.height + 40);
    labels += static_cast<int>(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i)
      for (std::size_t j = i + 1; j < boxes.size(); ++j) {
        const auto &p = boxes[i], &q = boxes[j];
        EXPECT_FALSE(p[0] < q[2] && q[0] < p[2] && p[1] < q[3] && q[1] < p[3])
            << "trial " << trial << ": labels " << i << " and " << j;
      }
  }
  EXPECT_GT(labels, 300 * 6);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
}

// The colour bar's label stays inside the picture however small the
// figure, off the plot (and its legend), in the bar's band, within the
// axes' height (axes at the usual place of a new figure's).
// A 2-D plot's legend stands in the corner that covers the fewest of its
// points: with points in the upper right it goes elsewhere, and it never
// covers a point where a corner is free.
TEST(Renderer, APlotsLegendKeepsClearOfItsPoints) {
  for (const auto& [px, py] : {std::pair{9.0, 9.0}, {1.0, 9.0}, {9.0, 1.0}}) {
    FigureScene f = flat_figure(true);
    AxesScene& a = f.axes[0].axes;
    SceneLine points = marker_at(px, py, Rgb{1, 0, 0});
    points.x = {px, px - 0.4, px + 0.3};
    points.y = {py, py + 0.3, py - 0.4};
    points.z = {0, 0, 0};
    a.lines.push_back(points);
    a.legend.push_back({"coast (40)", points});
    const std::string svg = to_svg(f, false);
    const std::size_t at = svg.find(">coast (40)<");
    ASSERT_NE(at, std::string::npos);
    const std::size_t g = svg.rfind("<g transform=\"translate(", at);
    std::istringstream xy(svg.substr(g + 24));
    double x = 0, y = 0;
    xy >> x >> y;
    // Data x, y in [0, 10] fill the 200-pixel figure; y counts down.
    const bool right = x > 100, top = y < 100;
    EXPECT_FALSE(right == (px > 5) && top == (py > 5))
        << px << ", " << py << ": " << x << ", " << y;
  }
}

TEST(Renderer, TheColourBarLabelFitsSmallFigures) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
  cairo_t* cr = cairo_create(s);
  AxesScene a;
  a.three_d = true;
  a.colorbar = ColorBar{0, 0.0125, "Displacement (specimen units)"};
  TextStyle label;  // as axis labels are drawn
  label.size_px = 10 * kPxPerPt * 1.1;
  const double whole = text_size(cr, "Displacement (specimen units)", label)[0];
  for (auto [w, h] : {std::pair{1600.0, 1000.0}, {1024.0, 768.0}, {320.0, 240.0}, {160.0, 120.0}}) {
    const Rect rect{0.13 * w, 0.11 * h, 0.775 * w, 0.815 * h};
    const auto box = colorbar_label_box(cr, a, rect, h);
    ASSERT_TRUE(box.has_value());
    const auto& b = *box;
    // Off the plot wherever the axes are wide enough to keep a band for the
    // bar (below that, the bar itself sits on the plot).
    const Rect plot = data_rect(a, rect);
    if (plot.width < rect.width) {
      EXPECT_GE(b[0], plot.left + plot.width) << w;
    }
    EXPECT_LE(b[2], w) << w;
    EXPECT_GE(b[1], h - rect.bottom - rect.height - 1e-9) << w;
    EXPECT_LE(b[3], h - rect.bottom + 1e-9) << w;
    // Whole and at its size where it fits; never shrunk to a speck.
    if (whole <= rect.height) {
      EXPECT_NEAR(b[3] - b[1], whole, 1e-9) << w;
    }
    EXPECT_GT(b[3] - b[1], 0.5 * std::min(whole, rect.height)) << w;
  }
  a.colorbar->label.clear();
  EXPECT_FALSE(colorbar_label_box(cr, a, {10, 10, 300, 200}, 240).has_value());
  cairo_destroy(cr);
  cairo_surface_destroy(s);
}

// A printed edit box of several lines shows its newest lines, as the window
// does: the picture of a long log equals that of its last lines alone.
TEST(Renderer, AMultiLineEditPrintsItsNewestLines) {
  auto picture = [](int first, int last) {
    FigureScene f;
    f.width_px = 300;
    f.height_px = 200;
    SceneControl c;
    c.rect_px = {10, 10, 280, 120};
    c.style = "edit";
    c.multi_line = true;
    c.background = {1, 1, 1};
    for (int i = first; i <= last; ++i)
      c.text += (i == first ? "" : "\n") + std::string("entry ") + std::to_string(i);
    f.controls.push_back(c);
    return to_image(f, 1, true);
  };
  const Image all = picture(1, 40);
  // Leaving out the oldest lines changes nothing until a shown line goes.
  int first = 1;
  while (first < 40 && picture(first + 1, 40).bytes == all.bytes) ++first;
  const int shown = 40 - first + 1;
  EXPECT_GT(shown, 3);
  EXPECT_LT(shown, 40);
  EXPECT_NE(all.bytes, picture(1, shown).bytes);
}

// A 3-D figure with star markers, black wires, blue vectors and labels.
FigureScene skull_like_figure() {
  FigureScene f;
  f.width_px = 560;
  f.height_px = 420;
  FigureScene::Placed p;
  p.rect_px = {73, 46, 434, 342};
  AxesScene& a = p.axes;
  a.equal = true;
  a.xgrid = a.ygrid = a.zgrid = true;
  a.xlabel = "x";
  a.ylabel = "y";
  a.zlabel = "z";
  a.title = "Shape change";
  const double pts[6][3] = {{-0.3, -0.1, 0.05},  {0.3, -0.1, 0.0}, {0.25, 0.2, 0.1},
                            {-0.2, 0.25, -0.05}, {0.0, 0.05, 0.3}, {0.05, -0.2, -0.2}};
  SceneLine stars;
  stars.color = {0, 1, 0};
  stars.style = LineStyle::None;
  stars.marker = Marker::Star5;
  for (auto& q : pts) stars.x.push_back(q[0]), stars.y.push_back(q[1]), stars.z.push_back(q[2]);
  a.lines.push_back(stars);
  const int wires[][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 4},
                          {1, 4}, {2, 4}, {3, 4}, {5, 0}, {5, 1}};
  for (auto& w : wires) {
    SceneLine l;
    l.x = {pts[w[0]][0], pts[w[1]][0]};
    l.y = {pts[w[0]][1], pts[w[1]][1]};
    l.z = {pts[w[0]][2], pts[w[1]][2]};
    a.lines.push_back(l);
  }
  for (auto& q : pts) {
    SceneLine v;
    v.color = {0, 0, 1};
    v.x = {q[0], q[0] * 1.25};
    v.y = {q[1], q[1] * 1.25};
    v.z = {q[2], q[2] * 1.25};
    a.lines.push_back(v);
  }
  for (int i = 0; i < 6; ++i) {
    SceneText t;
    t.x = pts[i][0] + 0.01, t.y = pts[i][1] + 0.01, t.z = pts[i][2] + 0.01;
    t.text = std::to_string(i + 1);
    a.texts.push_back(t);
  }
  f.axes.push_back(p);
  return f;
}

std::filesystem::path temp_dir() {
  auto d =
      std::filesystem::temp_directory_path() /
      ("velmora_render_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(d);
  return d;
}

std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(Renderer, EpsIsEncapsulatedWithTheFigureAsBoundingBox) {
  std::string eps = to_eps(skull_like_figure(), true);
  EXPECT_EQ(eps.rfind("%!PS-Adobe-3.0 EPSF-3.0", 0), 0u);
  EXPECT_NE(eps.find("%%BoundingBox: 0 0 420 315"), std::string::npos);
  // Text stays text: the labels are set in an embedded font.
  EXPECT_NE(eps.find("DejaVu"), std::string::npos);
  auto path = temp_dir() / "figure.eps";
  write_eps(skull_like_figure(), path.string(), true);
  EXPECT_EQ(slurp(path), eps);
  // Nothing but the target is left in the folder.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(temp_dir())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
  std::filesystem::remove_all(temp_dir());
}

TEST(Renderer, SvgPdfAndPngAreWellFormed) {
  FigureScene f = skull_like_figure();
  std::string svg = to_svg(f, true);
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  std::size_t root = svg.find("<svg");
  ASSERT_NE(root, std::string::npos);
  std::size_t end = svg.find_last_not_of(" \r\n\t");
  EXPECT_EQ(svg.substr(end - 5, 6), "</svg>");
  EXPECT_NE(svg.find("width=\"420"), std::string::npos);
  EXPECT_EQ(to_pdf(f, true).rfind("%PDF-", 0), 0u);
  std::string png = to_png(f, 1, true);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

// The red share of a PNG image's pixels.
double red_share(const std::string& png_path) {
  cairo_surface_t* s = cairo_image_surface_create_from_png(png_path.c_str());
  EXPECT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS) << png_path;
  cairo_surface_flush(s);
  const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  const int stride = cairo_image_surface_get_stride(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  long red = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint32_t v;
      std::memcpy(&v, data + static_cast<std::size_t>(y) * stride + 4 * x, 4);
      red += ((v >> 16) & 255) > 200 && ((v >> 8) & 255) < 80 && (v & 255) < 80;
    }
  cairo_surface_destroy(s);
  return w > 0 && h > 0 ? static_cast<double>(red) / (static_cast<double>(w) * h) : 0;
}

// Markers of one colour are glyphs in PDF: a reader must draw each whole,
// those at the edge of the group as well as those inside it.
TEST(Renderer, PdfMarkersCoverWhatThePngsDo) {
  if (std::system("command -v pdftoppm >/dev/null 2>&1") != 0) GTEST_SKIP() << "no pdftoppm";
  FigureScene f = flat_figure(false);
  SceneLine l = marker_at(2, 2, Rgb{1, 0, 0});
  l.x = {2, 5, 8, 2, 8};
  l.y = {2, 5, 8, 8, 2};
  l.z = {0, 0, 0, 0, 0};
  f.axes[0].axes.lines.push_back(l);
  const auto dir = temp_dir();
  write_pdf(f, (dir / "m.pdf").string(), true);
  write_png(f, (dir / "m.png").string(), 1, true);
  const std::string cmd = "pdftoppm -r 72 -scale-to-x 200 -scale-to-y 200 -png -singlefile '" +
                          (dir / "m.pdf").string() + "' '" + (dir / "r").string() + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const double png = red_share((dir / "m.png").string());
  const double pdf = red_share((dir / "r.png").string());
  EXPECT_GT(png, 0.02);
  EXPECT_NEAR(pdf / png, 1.0, 0.03) << "PNG " << png << ", PDF " << pdf;
  std::filesystem::remove_all(dir);
}

TEST(Renderer, WritingIntoAMissingFolderNamesThePath) {
  const std::string path = "/nonexistent-velmora-folder/sub/figure";
  const FigureScene f = flat_figure(true);
  for (auto write : {+[](const FigureScene&s, const std::string&p) { write_eps(s, p, true); },
                     +[](const FigureScene&s, const std::string&p) { write_svg(s, p, true); },
                     +[](const FigureScene&s, const std::string&p) { write_pdf(s, p, true); },
                     +[](const FigureScene&s, const std::string&p) { write_png(s, p, 1, true); }}) {
    try {
      write(f, path);
      ADD_FAILURE() << "wrote into a missing folder";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(std::string(e.what()),
                "Cannot write the file \"" + path + "\": No such file or directory.");
    }
  }
  EXPECT_THROW(to_image(f, 0, true), RuntimeError);
  EXPECT_THROW(to_image(f, 1e6, true), RuntimeError);
}

TEST(Renderer, ThreeDFigureDrawsDataInsideItsRectangle) {
  FigureScene f = skull_like_figure();
  f.axes[0].axes.axis_visible = false;  // only the data
  f.axes[0].axes.title.clear();
  Image im = to_image(f, 1, true);
  int green = 0, blue = 0, outside = 0;
  const double l = 73, r = 73 + 434, t = 420 - 46 - 342, b = 420 - 46;
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) {
      Px p = pixel(im, x, y);
      bool ink = !near(p, {240, 240, 240}, 3);
      if (ink && (x < l - 12 || x > r + 12 || y < t - 12 || y > b + 12)) ++outside;
      if (p.g - p.r > 60 && p.g - p.b > 60) ++green;
      if (p.b - p.r > 60 && p.b - p.g > 60) ++blue;
    }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(green, 6 * 10);  // six stars
  EXPECT_GT(blue, 6 * 5);    // six vectors
}

// The three layers drawn one after another are the whole drawing, byte for
// byte, at any zoom, and each layer alone holds only its own part.
TEST(Renderer, LayersInOrderMakeTheWholeAxes) {
  FigureScene f = skull_like_figure();
  const FigureScene::Placed& p = f.axes[0];
  auto draw = [&](const AxesScene& a, std::initializer_list<unsigned> layers) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 560, 420);
    cairo_t* cr = cairo_create(s);
    for (unsigned l : layers) draw_axes(cr, a, p.rect_px, f.height_px, l);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    const unsigned char* d = cairo_image_surface_get_data(s);
    std::string bytes(reinterpret_cast<const char*>(d),
                      static_cast<std::size_t>(cairo_image_surface_get_stride(s)) * 420);
    cairo_surface_destroy(s);
    return bytes;
  };
  for (double zoom : {1.0, 3.0}) {
    AxesScene a = p.axes;
    a.zoom = zoom;
    EXPECT_EQ(draw(a, {kUnderData, kData, kOverData}), draw(a, {kAllLayers}));
    // Without lines or texts, the data and over layers draw nothing; with
    // them, the under layer is unchanged (the limits stay those of the data).
    std::string blank = draw(a, {});
    EXPECT_NE(draw(a, {kData}), blank);
    EXPECT_NE(draw(a, {kOverData}), blank);
    AxesScene decor = a;
    decor.title.clear();
    decor.texts.clear();
    EXPECT_EQ(draw(decor, {kOverData}), blank);
    EXPECT_EQ(draw(a, {kUnderData}), draw(decor, {kUnderData}));
  }
}

}  // namespace
}  // namespace velmora::render

namespace velmora::render {
namespace {

// The columns of the image where some pixel of rows [y0, y1) is close to `c`.
std::vector<int> columns_with(const Image& im, Px c, int y0, int y1, int tol) {
  std::vector<int> out;
  for (int x = 0; x < im.width; ++x)
    for (int y = y0; y < y1; ++y)
      if (near(pixel(im, x, y), c, tol)) {
        out.push_back(x);
        break;
      }
  return out;
}

// The colour bar takes a band on the right (the data move left of it) and
// runs from blue at the bottom to red at the top; the legend shows each
// named line's sample in the top-right corner of the plot.
TEST(Renderer, ColourBarBandAndLegendSample) {
  FigureScene f = flat_figure(false);
  f.width_px = 400;
  f.axes[0].rect_px = {0, 0, 400, 200};
  SceneLine dot = marker_at(10, 5, Rgb{1, 0, 0});
  dot.marker_size_pt = 8;
  f.axes[0].axes.lines.push_back(dot);
  const Image plain = to_image(f, 1, true);
  EXPECT_NEAR(columns_with(plain, kRed, 95, 105, 10).back(), 400, 8);

  f.axes[0].axes.colorbar = ColorBar{0, 1, "X"};
  const Rect data = data_rect(f.axes[0].axes, f.axes[0].rect_px);
  EXPECT_EQ(data.width, 400 - 90);
  const Image barred = to_image(f, 1, true);
  EXPECT_NEAR(columns_with(barred, kRed, 95, 105, 10).front(), data.width - 6, 8);
  const int bar_x = 400 - 90 + 12 + 7;  // the middle of the bar
  const Px top = pixel(barred, bar_x, 55), bottom = pixel(barred, bar_x, 145);
  EXPECT_GT(top.r, top.b);
  EXPECT_GT(bottom.b, bottom.r);

  // Without a legend nothing red is drawn in the top band; with one, the
  // sample of the red line is, left of the colour bar.
  EXPECT_TRUE(columns_with(barred, kRed, 0, 40, 10).empty());
  f.axes[0].axes.legend.push_back({"Red dots", dot});
  const std::vector<int> sample = columns_with(to_image(f, 1, true), kRed, 0, 40, 10);
  ASSERT_FALSE(sample.empty());
  EXPECT_LT(sample.back(), data.width);
  EXPECT_GT(sample.front(), data.width / 2);
}

// A text's margin moves it away from its anchor by that many pixels.
TEST(Renderer, TextMarginKeepsTheTextOffItsAnchor) {
  auto leftmost_ink = [](double margin) {
    FigureScene f = flat_figure(false);
    SceneText t;
    t.x = 5, t.y = 5;
    t.text = "12";
    t.color = {1, 0, 0};
    t.margin_px = margin;
    f.axes[0].axes.texts.push_back(t);
    return columns_with(to_image(f, 1, true), kRed, 0, 200, 90).front();
  };
  EXPECT_NEAR(leftmost_ink(20) - leftmost_ink(0), 20, 1);
}

}  // namespace
}  // namespace velmora::render
