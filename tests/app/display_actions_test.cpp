#include <cairo.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <set>
#include <utility>

#include "app_fixture.hpp"
#include "platform/runtime/function_table.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::app {
namespace {

std::vector<std::string> checked(gfx::Graphics& g, std::initializer_list<const char*> tags) {
  std::vector<std::string> out;
  for (const char* t : tags) out.push_back(g.get_text(g.find_tag(t), "Checked"));
  return out;
}

TEST_F(AppTest, CheckMarkMenus) {
  run("SetPlotDensity", 30.0);
  EXPECT_EQ(checked(*g, {"Density10", "Density20", "Density30", "Density50"}),
            (std::vector<std::string>{"off", "off", "on", "off"}));
  run("SetPlotDensity", 40.0);
  EXPECT_EQ(checked(*g, {"Density30"}), (std::vector<std::string>{"off"}));
  EXPECT_EQ(var("vplotdensity").to_scalar(), 40);
  run("SetLineWidth", 25.0);
  EXPECT_EQ(checked(*g, {"Weight5", "Weight10", "Weight15", "Weight20", "Weight25"}),
            (std::vector<std::string>{"off", "off", "off", "off", "on"}));
  EXPECT_EQ(var("vlinewidth").to_scalar(), 2.5);
  run("SetLineWidth", 12.0);
  EXPECT_EQ(checked(*g, {"Weight5", "Weight10", "Weight15", "Weight20", "Weight25"}),
            (std::vector<std::string>(5, "off")));
  EXPECT_EQ(var("vlinewidth").to_scalar(), 1.2);
  ConsoleCapture cap;
  run("SetLineFormat1", "k:");
  EXPECT_EQ(checked(*g, {"Line1Red", "Line1Black", "Line1Dotted"}),
            (std::vector<std::string>{"off", "off", "on"}));
  EXPECT_EQ(cap.text(), "vlineformat1 =\n   'k:'\n\n");
  run("SetReferenceSymbol", "ks");
  EXPECT_EQ(var("vrefsymbol").to_string(), "ks");
  // Styles the 3D figure could not draw as symbols are refused and not kept.
  EXPECT_EQ(run("SetReferenceSymbol", "k-").message,
            "SetReferenceSymbol: \"k-\" has no symbol; use a colour letter and a marker, such as "
            "\"ks\".");
  EXPECT_EQ(run("SetLineFormat1", "zz").message,
            "SetLineFormat1: \"zz\" is not a plot style; use a colour letter, a marker and a line "
            "style, such as \"ko\" or \"k-\".");
  EXPECT_EQ(var("vrefsymbol").to_string(), "ks");
  EXPECT_EQ(var("vlineformat1").to_string(), "k:");
  run("NoArrowHeads");
  EXPECT_EQ(checked(*g, {"ArrowHeads", "NoArrowHeads"}), (std::vector<std::string>{"off", "on"}));
  EXPECT_EQ(var("vaheads").to_scalar(), 0);
}

TEST_F(AppTest, ToggleDotsTwiceRestores) {
  std::string before = g->get_text(g->find_tag("DotCheck"), "Checked");
  run("ToggleDots");
  EXPECT_NE(g->get_text(g->find_tag("DotCheck"), "Checked"), before);
  run("ToggleDots");
  EXPECT_EQ(g->get_text(g->find_tag("DotCheck"), "Checked"), before);
}

TEST_F(AppTest, SymbolSizesStepWithoutFailing) {
  load_examples(false);
  run("ShowMean");
  gfx::Handle ax3 = g->current_axes();
  auto mean_size = [&] { return g->get_number(g->children(ax3).back(), "MarkerSize"); };
  const double chosen = mean_size();
  run("SymbolSizeUp");
  EXPECT_EQ(mean_size(), chosen + 1);
  // Smaller Symbols stops at a visible size instead of failing.
  for (int i = 0; i < 40; ++i) ASSERT_EQ(run("SymbolSizeDown").outcome, Outcome::Done);
  EXPECT_GE(mean_size(), 1);
}

TEST_F(AppTest, LabelsAxesVisibilityAndClearing) {
  load_examples(false);
  ASSERT_EQ(run("LabelLandmarks").outcome, Outcome::Done);
  gfx::Handle ax3 = g->current_axes();
  Value kids = g->get(ax3, "Children");
  ASSERT_EQ(kids.numel(), 1u + 12);
  const Value& ref = var("reference");
  gfx::Handle first = kids(11);  // the oldest text is landmark 1
  EXPECT_EQ(g->get_text(first, "String"), "1");
  EXPECT_EQ(g->get(first, "Position"), Value::row({ref(0, 0), ref(0, 1), ref(0, 2)}));
  EXPECT_EQ(g->get_text(kids(0), "String"), "12");
  run("LabelAxis");
  EXPECT_EQ(g->get_text(g->get(ax3, "ZLabel")(0), "String"), "z");
  run("DAxisOff");
  EXPECT_EQ(g->get_text(ax3, "Visible"), "off");
  EXPECT_EQ(g->current_figure(), main);
  run("DAxisOn");
  EXPECT_EQ(g->get_text(ax3, "Visible"), "on");
  run("TurnGridOn");
  EXPECT_EQ(g->get_text(ax3, "XGrid"), "on");
  ConsoleCapture cap;
  run("DFigureClear");
  EXPECT_FALSE(g->valid(ax3));
  EXPECT_EQ(g->current_figure(), main);
  EXPECT_NE(cap.text().find("ans ="), std::string::npos);
}

// Every display draws its own subject on an empty axes: nothing of the one
// before stays in the figure or its legend, and the view, the window's size
// and the display settings do.
TEST_F(AppTest, EachDisplayShowsOnlyItsOwnSubject) {
  load_examples(true, true);
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  run("TurnGridOn");
  type_into("DeFormat", Value(2.0));  // symbols and wireframes
  auto axes3d = [&] { return g->get(*workspace().window.figure3d, "CurrentAxes").to_scalar(); };
  // The roles of the drawn lines, and the legend's names, in drawing order.
  auto drawn = [&] {
    std::set<std::string> roles, names;
    for (gfx::Handle h : g->children(axes3d())) {
      if (g->type(h) != gfx::Type::Line) continue;
      roles.insert(g->get_text(h, "Tag"));
      if (!g->get_text(h, "DisplayName").empty()) names.insert(g->get_text(h, "DisplayName"));
    }
    return std::make_pair(roles, names);
  };
  using Set = std::set<std::string>;
  struct Case {
    const char* before;
    const char* action;
    Set roles, names;
  };
  for (const Case& c :
       {Case{"ShowPCA", "ShowProcrustes", Set{"Specimen", "Mean", "ReferenceWire"},
             Set{"Specimens (n = 80)", "Mean shape"}},
        Case{"ShowRegression", "ShowMean", Set{"Mean", "ReferenceWire"}, Set{"Mean shape"}},
        // Two configurations: the pair at both ends.
        Case{"ShowProcrustes", "ShowPCA", Set{"Low", "LowWire", "High", "HighWire"},
             Set{"PC1 \u22125 SD", "PC1 +5 SD"}},
        Case{"ShowPCA", "ShowRegression", Set{"Low", "LowWire", "High", "HighWire"},
             Set{"age = 1.6 (×3)", "age = 19.5 (×3)"}}}) {
    ASSERT_EQ(run(c.before).outcome, Outcome::Done) << workspace().last_action.message;
    g->set(axes3d(), "View", Value::row({-120, 10}));
    const auto size = g->object(*workspace().window.figure3d).pos_px;
    ASSERT_EQ(run(c.action).outcome, Outcome::Done) << workspace().last_action.message;
    const auto [roles, names] = drawn();
    EXPECT_EQ(roles, c.roles) << c.before << " then " << c.action;
    EXPECT_EQ(names, c.names) << c.before << " then " << c.action;
    EXPECT_EQ(g->get(axes3d(), "View"), Value::row({-120, 10})) << c.action;
    EXPECT_EQ(g->object(*workspace().window.figure3d).pos_px, size) << c.action;
    EXPECT_EQ(g->get_text(axes3d(), "XGrid"), "on") << c.action;
  }
}

TEST_F(AppTest, ExportsOfThe3DFigure) {
  load_examples(false);
  ASSERT_EQ(run("CopyDClipboard").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(hb->clipboard().count("image/svg+xml"), 1u);
  EXPECT_EQ(hb->clipboard().count("image/png"), 1u);
  EXPECT_EQ(g->current_figure(), main);
  hb->queue_cancel();
  g->make_current(var("h3dfig").to_scalar());
  EXPECT_EQ(run_action(workspace(), Value("CopyDEPS"), Value()).outcome, Outcome::Done);
  EXPECT_EQ(g->current_figure(), main);
  EXPECT_EQ(hb->dialogs().back().title, "Save File Name for EPS file");
  hb->queue_path(temp("figure"));  // no extension is added
  ASSERT_EQ(run("CopyDEPS").outcome, Outcome::Done) << workspace().last_action.message;
  std::ifstream eps(temp("figure"));
  std::string head;
  std::getline(eps, head);
  EXPECT_EQ(head, "%!PS-Adobe-3.0 EPSF-3.0");
  hb->queue_path(temp("figure.png"));
  ASSERT_EQ(run("ExportFigure").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_TRUE(std::filesystem::exists(temp("figure.png")));
  hb->queue_path(temp("figure.bmp"));
  EXPECT_EQ(run("ExportFigure").outcome, Outcome::Refused);
}

// Records where the current axes are at the moment the figure is copied.
class ObservingBackend : public gfx::HeadlessBackend {
 public:
  void set_clipboard(const std::map<std::string, std::string>& data) override {
    auto& g = gfx::graphics();
    gfx::Handle ax = g.current_axes_or_none();
    seen_units = g.get_text(ax, "Units");
    seen_position = g.get(ax, "Position");
    seen_color = g.get(g.current_figure(), "Color");
    if (fail) throw RuntimeError("The clipboard is not available.");
    HeadlessBackend::set_clipboard(data);
  }
  bool fail = false;
  std::string seen_units;
  Value seen_position;
  Value seen_color;
};

TEST(CopyBigImage, PlacesTheAxesInsideTheFigureWhereverItIsAndRestores) {
  auto backend = std::make_unique<ObservingBackend>();
  ObservingBackend* ob = backend.get();
  gfx::Graphics& g = gfx::install_graphics(std::move(backend));
  register_all_functions();
  for (double left : {0.0, 100.0}) {
    gfx::Handle fig = g.new_figure({{"Position", Value::row({left, left * 2, 800, 600})}});
    gfx::Handle ax = g.create(gfx::Type::Axes, fig);
    g.plot(ax, {1, 2, 3}, {4, 0, 5}, {}, "ko", false);
    g.set(ax, "XLim", Value::row({1.5, 2.5}));
    Value before = g.get(ax, "Position"), color = g.get(fig, "Color");
    function_table().call("CopyBigImage", {Value(0.0)}, 0);
    // The copy: the axes fill the figure but for room for their labels, on white.
    EXPECT_EQ(ob->seen_units, "pixels");
    EXPECT_EQ(ob->seen_position, Value::row({78, 58, 800 - 78 - 24, 600 - 58 - 36})) << left;
    EXPECT_EQ(ob->seen_color, Value::row({1, 1, 1}));
    EXPECT_EQ(ob->clipboard().count("image/svg+xml"), 1u);
    // The plot on screen is as it was: place, units, limits, scaling, colour.
    EXPECT_EQ(g.get(ax, "Position"), before);
    EXPECT_EQ(g.get_text(ax, "Units"), "normalized");
    EXPECT_EQ(g.get(ax, "XLim"), Value::row({1.5, 2.5}));
    EXPECT_EQ(g.get_text(ax, "XLimMode"), "manual");
    EXPECT_EQ(g.get_text(ax, "YLimMode"), "auto");
    EXPECT_EQ(g.get_text(ax, "DataAspectRatioMode"), "auto");
    EXPECT_EQ(g.get(fig, "Color"), color);
    // A failed copy still puts the axes back, then reports the error.
    ob->fail = true;
    EXPECT_THROW(function_table().call("CopyBigImage", {Value(0.0)}, 0), RuntimeError);
    EXPECT_EQ(g.get(ax, "Position"), before);
    EXPECT_EQ(g.get_text(ax, "Units"), "normalized");
    ob->fail = false;
    g.destroy(fig);
  }
  gfx::Handle fig = g.new_figure({{"Position", Value::row({0, 0, 800, 600})}});
  gfx::Handle ax = g.create(gfx::Type::Axes, fig);
  function_table().call("CopyBigImageNA", {Value(0.0)}, 0);
  EXPECT_EQ(g.get_text(ax, "DataAspectRatioMode"), "auto");
  EXPECT_EQ(g.get_text(ax, "XLimMode"), "auto");
  EXPECT_EQ(ob->seen_color, Value::row({1, 1, 1}));
}

// The enlarged copy of the distance plot: white all round (no grey
// surround), with its tick labels and axis labels inside the picture, and
// the plot on screen untouched.
TEST_F(AppTest, CopyPlotEnlargedKeepsTheLabelsOnWhite) {
  load_examples();
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done) << workspace().last_action.message;
  const gfx::Handle ax = g->find_tag("axes1");
  const Value position = g->get(ax, "Position"), xlim = g->get(ax, "XLim");
  const std::string xmode = g->get_text(ax, "XLimMode");
  const std::string aspect = g->get_text(ax, "DataAspectRatioMode");
  // The button, as a user clicks it.
  gfx::Handle button = -1;
  for (gfx::Handle c : g->children(main))
    if (g->type(c) == gfx::Type::UiControl && g->get_text(c, "String") == "Copy Plot Enlarged")
      button = c;
  ASSERT_NE(button, -1);
  g->make_current(main);
  g->run_callback(button, "Callback");
  EXPECT_EQ(g->get(ax, "Position"), position);
  EXPECT_EQ(g->get(ax, "XLim"), xlim);
  EXPECT_EQ(g->get_text(ax, "XLimMode"), xmode);
  EXPECT_EQ(g->get_text(ax, "DataAspectRatioMode"), aspect);

  ASSERT_EQ(hb->clipboard().count("image/png"), 1u);
  struct Reader {
    const std::string& bytes;
    std::size_t at = 0;
  } reader{hb->clipboard().at("image/png")};
  cairo_surface_t* png = cairo_image_surface_create_from_png_stream(
      [](void* closure, unsigned char* data, unsigned int length) {
        auto* r = static_cast<Reader*>(closure);
        if (r->at + length > r->bytes.size()) return CAIRO_STATUS_READ_ERROR;
        std::memcpy(data, r->bytes.data() + r->at, length);
        r->at += length;
        return CAIRO_STATUS_SUCCESS;
      },
      &reader);
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  const int w = cairo_image_surface_get_width(png), h = cairo_image_surface_get_height(png);
  const int stride = cairo_image_surface_get_stride(png);
  const unsigned char* data = cairo_image_surface_get_data(png);
  auto grey = [&](int x, int y) {  // 0 black … 255 white
    const auto* p = reinterpret_cast<const std::uint32_t*>(data + y * stride) + x;
    return static_cast<int>(((*p >> 16 & 255) + (*p >> 8 & 255) + (*p & 255)) / 3);
  };
  // The border of the picture is white.
  for (int x = 0; x < w; ++x) {
    EXPECT_EQ(grey(x, 0), 255) << x;
    EXPECT_EQ(grey(x, h - 1), 255) << x;
  }
  // Ink left of the plot box (tick labels, the y label) and below it (the
  // x tick labels and label), none in the outermost pixels.
  const double scale = w / g->object(main).pos_px[2];
  auto ink = [&](int x0, int x1, int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += grey(x, y) < 128;
    return n;
  };
  EXPECT_GT(ink(2, static_cast<int>(70 * scale), 0, h), 100);
  EXPECT_GT(ink(0, w, h - static_cast<int>(55 * scale), h - 2), 100);
  EXPECT_EQ(ink(0, 2, 0, h), 0);
  cairo_surface_destroy(png);
}

}  // namespace
}  // namespace velmora::app
