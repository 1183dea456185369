#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <tuple>

#include "app/script_recorder.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "platform/graphics/scene.hpp"
#include "platform/render/renderer.hpp"
#include "view/display_style.hpp"
#include "view/figure3d.hpp"

namespace velmora::app {
namespace {

std::string checked(gfx::Graphics& g, const char* tag) {
  return g.get_text(g.find_tag(tag), "Checked");
}

class DisplaySettingsTest : public AppTest {
 protected:
  gfx::Handle axes3d() const { return g->get(var("h3dfig").to_scalar(), "CurrentAxes")(0); }
  std::vector<gfx::Handle> kids(gfx::Handle ax, gfx::Type type) const {
    std::vector<gfx::Handle> out;
    for (gfx::Handle c : g->children(ax))
      if (g->type(c) == type) out.push_back(c);
    return out;
  }
  std::vector<gfx::Handle> with_role(std::string_view role) const {
    std::vector<gfx::Handle> out;
    for (gfx::Handle c : g->children(axes3d()))
      if (g->get_text(c, "Tag") == role) out.push_back(c);
    return out;
  }
  /// Every property the Display menu could change, of an axes and its lines.
  std::string look(gfx::Handle ax) const {
    std::string out;
    for (const char* p : {"XGrid", "YGrid", "ZGrid", "Visible"}) out += g->get_text(ax, p) + " ";
    for (const char* p : {"XLabel", "YLabel", "ZLabel"})
      out += g->get_text(g->get(ax, p)(0), "String") + " ";
    for (gfx::Handle c : g->children(ax)) {
      if (g->type(c) != gfx::Type::Line) continue;
      out += format_number(g->get_number(c, "LineWidth")) + " " +
             format_number(g->get_number(c, "MarkerSize")) + " " +
             g->get(c, "MarkerFaceColor").text_or_empty() + " " + g->get_text(c, "LineStyle") + ";";
    }
    return out + std::to_string(g->children(ax).size());
  }
};

// The Line Width menu ticks the width drawn, from the start; Thicker and
// Thinner Lines move the tick; at the thinnest width Thinner Lines is greyed
// out and, asked all the same, changes nothing and fails nothing.
TEST_F(DisplaySettingsTest, LineWidthTickFollowsTheWidthDrawn) {
  auto ticked = [&] {
    std::string out;
    for (const char* t : {"Weight5", "Weight10", "Weight15", "Weight20", "Weight25"})
      out += checked(*g, t) == "on" ? '1' : '0';
    return out;
  };
  auto thinner_enabled = [&] { return g->get_text(g->find_tag("ThinnerLines"), "Enable"); };
  EXPECT_EQ(ticked(), "10000");
  EXPECT_EQ(thinner_enabled(), "off");
  load_examples(false, true);
  ASSERT_EQ(run("ShowMean").outcome, Outcome::Done);  // the reference with its wireframe
  auto widths = [&] {
    std::set<double> out;
    for (gfx::Handle h : kids(axes3d(), gfx::Type::Line))
      if (g->get_text(h, "LineStyle") != "none") out.insert(g->get_number(h, "LineWidth"));
    return out;
  };
  EXPECT_EQ(widths(), std::set<double>{0.5});
  struct Step {
    const char* action;
    const char* ticks;
    double width;
    const char* thinner;
  };
  for (Step s :
       {Step{"LineThicknessUp", "00100", 1.5, "on"}, Step{"LineThicknessUp", "00001", 2.5, "on"},
        Step{"LineThicknessDown", "00100", 1.5, "on"},
        Step{"LineThicknessDown", "10000", 0.5, "off"},
        Step{"LineThicknessDown", "10000", 0.5, "off"}}) {
    ASSERT_EQ(run(s.action).outcome, Outcome::Done) << workspace().last_action.message;
    EXPECT_EQ(ticked(), s.ticks) << s.action;
    EXPECT_EQ(widths(), std::set<double>{s.width}) << s.action;
    EXPECT_EQ(thinner_enabled(), s.thinner) << s.action;
  }
  run("SetLineWidth", 20.0);
  EXPECT_EQ(ticked(), "00010");
  EXPECT_EQ(widths(), std::set<double>{2.0});
  ActionReport r = run("SetLineWidth", 2.0);
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message,
            "The line width must be a number in tenths of a point from 5 (0.5 points) up, such as "
            "15 for 1.5 points.");
  EXPECT_EQ(var("vlinewidth").to_scalar(), 2.0);
}

// Every on/off item of the Display menu carries a check mark that follows
// the setting, and LoadData starts the settings afresh.
TEST_F(DisplaySettingsTest, CheckMarksFollowEveryToggle) {
  load_examples();
  const std::vector<std::pair<const char*, const char*>> toggles = {
      {"TurnGridOn", "GridCheck"},
      {"LabelAxis", "AxisLabelsCheck"},
      {"LabelLandmarks", "LandmarkNumbersCheck"},
      {"ToggleLegend", "LegendCheck"},
      {"ToggleDots", "DotCheck"},
      {"ColourByX", "ColourByXCheck"}};
  for (auto [action, tag] : toggles) {
    const std::string before = checked(*g, tag);
    ASSERT_EQ(run(action).outcome, Outcome::Done)
        << action << ": " << workspace().last_action.message;
    EXPECT_NE(checked(*g, tag), before) << action;
    run(action);
    EXPECT_EQ(checked(*g, tag), before) << action;
  }
  const std::vector<std::tuple<const char*, const char*, const char*>> pairs = {
      {"SymbolEmpty", "SymbolEmptyCheck", "SymbolFillCheck"},
      {"SymbolFill", "SymbolFillCheck", "SymbolEmptyCheck"},
      {"DAxisOff", "AxesOffCheck", "AxesOnCheck"},
      {"DAxisOn", "AxesOnCheck", "AxesOffCheck"},
      {"NoArrowHeads", "NoArrowHeads", "ArrowHeads"},
      {"ArrowHeads", "ArrowHeads", "NoArrowHeads"}};
  for (auto [action, on, off] : pairs) {
    run(action);
    EXPECT_EQ(checked(*g, on), "on") << action;
    EXPECT_EQ(checked(*g, off), "off") << action;
  }
  run("TurnGridOn");
  run("SetPlotDensity", 40.0);  // no entry of the menu: none ticked
  for (const char* t : {"Density10", "Density20", "Density30", "Density50"})
    EXPECT_EQ(checked(*g, t), "off") << t;
  load_examples(false);
  EXPECT_EQ(checked(*g, "GridCheck"), "off");
  EXPECT_EQ(checked(*g, "Density20"), "on");
}

// The settings survive every redraw of the 3D figure, and the Display menu
// never restyles the main window's plot.
TEST_F(DisplaySettingsTest, SettingsPersistIn3DRedrawsAndSpareThe2DPlot) {
  load_examples(true, true);
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done) << workspace().last_action.message;
  const gfx::Handle plot2d = g->find_tag("axes1");
  const std::string before = look(plot2d);
  for (const char* action : {"LineThicknessUp", "SymbolSizeUp", "SymbolEmpty", "TurnGridOn",
                             "LabelAxis", "LabelLandmarks", "ToggleDots", "DAxisOff", "DAxisOn"}) {
    ASSERT_EQ(run(action).outcome, Outcome::Done)
        << action << ": " << workspace().last_action.message;
  }
  const gfx::Handle format = g->find_tag("DeFormat");
  struct Redraw {
    const char* action;
    double type;
  };
  for (Redraw r : {Redraw{"ShowProcrustes", 1}, Redraw{"ShowMean", 1}, Redraw{"ShowRegression", 1},
                   Redraw{"ShowRegression", 2}, Redraw{"ShowRegression", 3},
                   Redraw{"ShowRegression", 4}, Redraw{"RotateRefX", 1}, Redraw{"ShowPCA", 2}}) {
    // Show PCA draws its own plot in the main window; before it, that plot
    // is as it was.
    if (std::string(r.action) == "ShowPCA") {
      EXPECT_EQ(look(plot2d), before);
    }
    g->set(format, "Value", r.type);
    ASSERT_EQ(run(r.action).outcome, Outcome::Done)
        << r.action << ": " << workspace().last_action.message;
    const std::string what = std::string(r.action) + " " + std::to_string(r.type);
    const gfx::Handle ax = axes3d();
    EXPECT_EQ(g->get_text(ax, "XGrid"), "on") << what;
    EXPECT_EQ(g->get_text(g->get(ax, "ZLabel")(0), "String"), "z") << what;
    EXPECT_EQ(with_role(role::kLandmarkNumber).size(), 12u) << what;
    for (gfx::Handle h : kids(ax, gfx::Type::Line)) {
      if (g->get_text(h, "LineStyle") != "none" && g->get_text(h, "Tag") != role::kMean) {
        EXPECT_EQ(g->get_number(h, "LineWidth"), 1.5) << what;
      }
      if (g->get_text(h, "Marker") != "none") {
        EXPECT_EQ(g->get_text(h, "MarkerFaceColor"), "none") << what;
      }
    }
    for (gfx::Handle h : with_role(role::kTargetWire))
      EXPECT_EQ(g->get_text(h, "LineStyle"), "-.") << what;
  }
}

// Displacement vectors end in arrowheads in the drawn scene while Arrow
// Heads is on; the legend names what the figure shows.
TEST_F(DisplaySettingsTest, ArrowheadsAndLegendAreInTheScene) {
  load_examples();
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  g->set(g->find_tag("DeFormat"), "Value", 3.0);
  ASSERT_EQ(run("ShowRegression").outcome, Outcome::Done) << workspace().last_action.message;
  auto heads_in_scene = [&] {
    std::size_t barbs = 0;
    for (const render::SceneLine& l : gfx::axes_scene(*g, axes3d()).lines)
      if (l.marker == render::Marker::None && l.x.size() % 8 == 0 && l.x.size() > 8 &&
          std::isnan(l.x[3]))
        barbs += l.x.size() / 8;
    return barbs;
  };
  EXPECT_EQ(heads_in_scene(), 12u);  // one head a landmark
  const render::AxesScene scene = gfx::axes_scene(*g, axes3d());
  std::vector<std::string> names;
  for (const render::LegendEntry& e : scene.legend) names.push_back(e.label);
  EXPECT_EQ(names, (std::vector<std::string>{"Mean shape (reference)",
                                             "Displacement: change over the range of age, ×3"}));
  run("NoArrowHeads");
  EXPECT_EQ(heads_in_scene(), 0u);
  run("ArrowHeads");
  EXPECT_EQ(heads_in_scene(), 12u);
  run("ToggleLegend");
  EXPECT_TRUE(gfx::axes_scene(*g, axes3d()).legend.empty());
}

// The legend is part of every export: its box is in the SVG while it is on,
// and gone when it is switched off.
TEST_F(DisplaySettingsTest, LegendAppearsInTheSvgExport) {
  load_examples(false);
  ASSERT_EQ(run("ShowProcrustes").outcome, Outcome::Done);
  auto exported = [&](const std::string& name) {
    hb->queue_path(temp(name));
    EXPECT_EQ(run("ExportFigure").outcome, Outcome::Done) << workspace().last_action.message;
    std::ifstream in(temp(name));
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string with = exported("with.svg");
  run("ToggleLegend");
  const std::string without = exported("without.svg");
  const std::string legend_box = "fill-opacity=\"0.88\"";
  EXPECT_NE(with.find(legend_box), std::string::npos);
  EXPECT_EQ(without.find(legend_box), std::string::npos);
}

// Colour by X is refused without X and changes nothing then; with X the
// specimens run from blue (smallest X) to red (largest) and a colour bar
// spans the values.
TEST_F(DisplaySettingsTest, ColourByXNeedsXAndAddsAColourBar) {
  load_examples(false);
  ASSERT_EQ(run("ShowProcrustes").outcome, Outcome::Done);
  ActionReport r = run("ColourByX");
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message,
            "Colouring the specimens by X needs the independent variable: load it first (Load X "
            "List), or use centroid size as X (Use CS).");
  EXPECT_EQ(checked(*g, "ColourByXCheck"), "off");
  EXPECT_FALSE(gfx::axes_scene(*g, axes3d()).colorbar);

  ASSERT_EQ(run("UseCS").outcome, Outcome::Done);
  ASSERT_EQ(run("ColourByX").outcome, Outcome::Done) << workspace().last_action.message;
  const Eigen::VectorXd x = workspace().session.x()->values;
  Eigen::Index lo, hi;
  x.minCoeff(&lo);
  x.maxCoeff(&hi);
  auto colour_of = [&](Eigen::Index i) {
    for (gfx::Handle h : with_role(role::kSpecimen))
      if (g->get(h, "UserData").to_scalar() == static_cast<double>(i)) return g->get(h, "Color");
    return Value();
  };
  const render::Rgb blue = render::blue_red(0), red = render::blue_red(1);
  EXPECT_EQ(colour_of(lo), Value::row({blue.r, blue.g, blue.b}));
  EXPECT_EQ(colour_of(hi), Value::row({red.r, red.g, red.b}));
  const auto bar = gfx::axes_scene(*g, axes3d()).colorbar;
  ASSERT_TRUE(bar);
  EXPECT_EQ(bar->lo, x.minCoeff());
  EXPECT_EQ(bar->hi, x.maxCoeff());
  EXPECT_EQ(bar->label, "Centroid size");  // the bar names what X is
  run("ColourByX");
  EXPECT_FALSE(gfx::axes_scene(*g, axes3d()).colorbar);
  EXPECT_EQ(colour_of(lo), colour_of(hi));
}

// Show Procrustes Fit draws the mean last, over the specimens, in a face
// none of them has; the specimens' symbols are smaller than the mean's.
// Landmark numbers sit beside their symbols, never on them.
TEST_F(DisplaySettingsTest, MeanOnTopAndNumbersBesideTheSymbols) {
  load_examples(false);
  ASSERT_EQ(run("ShowProcrustes").outcome, Outcome::Done);
  const auto lines = kids(axes3d(), gfx::Type::Line);
  const gfx::Handle mean = lines.back();
  EXPECT_EQ(g->get_text(mean, "Tag"), role::kMean);
  const auto specimens = with_role(role::kSpecimen);
  ASSERT_EQ(specimens.size(), 80u);
  for (gfx::Handle h : specimens) {
    EXPECT_NE(g->get(h, "MarkerFaceColor"), g->get(mean, "MarkerFaceColor"));
    EXPECT_LT(g->get_number(h, "MarkerSize"), g->get_number(mean, "MarkerSize"));
  }
  ASSERT_EQ(run("LabelLandmarks").outcome, Outcome::Done);
  const auto numbers = with_role(role::kLandmarkNumber);
  ASSERT_EQ(numbers.size(), 12u);
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    const Value pos = g->get(numbers[i], "Position");
    EXPECT_EQ(g->get_text(numbers[i], "String"), std::to_string(i + 1));
    EXPECT_EQ(pos, Value::row({g->get(mean, "XData")(i), g->get(mean, "YData")(i),
                               g->get(mean, "ZData")(i)}));
    EXPECT_GT(g->get_number(numbers[i], "Margin"), 0.5 * g->get_number(mean, "MarkerSize"));
    EXPECT_EQ(g->get_text(numbers[i], "HorizontalAlignment"), "left");
  }
  run("LabelLandmarks");
  EXPECT_TRUE(with_role(role::kLandmarkNumber).empty());
}

// The chosen symbol sizes depend on the shape's size on screen, not on its
// size in data units; more specimens get smaller symbols, never larger than
// the reference's.
TEST(TalkSymbolSizes, FollowTheScreenAndTheNumberOfSpecimens) {
  shape::Config ref = shape::Config::Random(12, 3);
  auto sample = [&](Eigen::Index n, double scale) {
    shape::Stack s(12, n);
    std::mt19937 r(7);
    std::normal_distribution<double> e(0, 0.02);
    for (Eigen::Index i = 0; i < n; ++i)
      s.slice(i) = scale * ref + shape::Config::NullaryExpr(12, 3, [&] { return scale * e(r); });
    return s;
  };
  for (double px : {300.0, 600.0}) {
    const shape::Stack s80 = sample(80, 1), s80big = sample(80, 40), s10 = sample(10, 1);
    const SymbolSizes a = talk_symbol_sizes(ref, &s80, px);
    const SymbolSizes b = talk_symbol_sizes(40 * ref, &s80big, px);
    EXPECT_NEAR(a.reference, b.reference, 1e-9);
    EXPECT_NEAR(a.specimen, b.specimen, 1e-9);
    const SymbolSizes few = talk_symbol_sizes(ref, &s10, px);
    EXPECT_LE(a.specimen, few.specimen);
    EXPECT_LE(a.specimen, a.reference);
    EXPECT_GE(a.specimen, 2);
  }
}

}  // namespace
}  // namespace velmora::app

namespace velmora::app {
namespace {

// Export Plot writes the main window's plot through the figure exporter:
// refused while there is none; the principal component scatter is a map
// with equal units and a colour bar named after X; a size and resolution
// give the picture's pixels; a distance plot drawn next has neither.
TEST_F(DisplaySettingsTest, ExportPlotWritesTheScatterAsAMap) {
  workspace().recorder.start_recording(workspace().session.method());
  load_examples(true);
  const gfx::Handle ax = control("axes1");
  ActionReport r = run("ExportPlot");
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message,
            "There is no plot to export: draw one first (Plot Procrustes Distance or Show PCA).");
  ASSERT_EQ(run("ShowPCA").outcome, Outcome::Done) << workspace().last_action.message;
  const render::AxesScene scene = gfx::axes_scene(*g, ax);
  EXPECT_TRUE(scene.equal);
  ASSERT_TRUE(scene.colorbar.has_value());
  EXPECT_EQ(scene.colorbar->label, "age");
  EXPECT_LT(scene.colorbar->lo, scene.colorbar->hi);

  hb->queue_path(temp("pca.svg"));
  ASSERT_EQ(run("ExportPlot").outcome, Outcome::Done) << workspace().last_action.message;
  std::ifstream in(temp("pca.svg"));
  const std::string svg(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(svg.find(">age</text>"), std::string::npos);
  EXPECT_NE(svg.find(">PC1 ("), std::string::npos);

  hb->queue_path(temp("pca.png"));
  ASSERT_EQ(run("ExportPlot", Value(std::string("10x8cm,100dpi"))).outcome, Outcome::Done)
      << workspace().last_action.message;
  std::ifstream png(temp("pca.png"), std::ios::binary);
  std::string head(24, '\0');
  png.read(head.data(), 24);
  auto be32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(head[at + i]);
    return v;
  };
  EXPECT_EQ(be32(16), 394u);  // 10 cm at 100 dpi
  EXPECT_EQ(be32(20), 315u);
  // The plot is put back as it was drawn.
  EXPECT_TRUE(gfx::axes_scene(*g, ax).equal);

  hb->queue_path(temp("bad.png"));
  r = run("ExportPlot", Value(std::string("10x8")));
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(
      r.message,
      "\"10x8\" is neither a size (\"17x12cm\", \"6.5x5in\", at most 100 cm a side, or "
      "\"talk\"), a resolution (\"300dpi\", from 10 to 2400) nor a text size (\"8pt\", from 4 "
      "to 48).");

  // The session script says how big the picture was, in one word a replay
  // reads back.
  const std::string script = workspace().recorder.script();
  EXPECT_NE(script.find("save \"" + temp("pca.png") + "\"\nExportPlot 10x8cm,100dpi\n"),
            std::string::npos)
      << script;

  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_FALSE(gfx::axes_scene(*g, ax).equal);
  EXPECT_FALSE(gfx::axes_scene(*g, ax).colorbar.has_value());
}

// Specimen names on the principal component scatter: hidden until asked
// for, then one a specimen beside its point and in the exported picture; the
// menu entry switches them and the session records the state it chose.
TEST_F(DisplaySettingsTest, SpecimenLabelsOnThePcaScatterOnDemand) {
  workspace().recorder.start_recording(workspace().session.method());
  load_examples(true);
  const gfx::Handle ax = control("axes1");
  ASSERT_EQ(run("ShowPCA").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_TRUE(gfx::axes_scene(*g, ax).texts.empty());
  ASSERT_EQ(run("SetSpecimenLabels").outcome, Outcome::Done);
  const render::AxesScene scene = gfx::axes_scene(*g, ax);
  const std::vector<std::string>& names = workspace().session.sample().names;
  ASSERT_EQ(scene.texts.size(), names.size());
  EXPECT_EQ(scene.texts.front().text, names.front());
  EXPECT_GT(scene.texts.front().margin_px, 0);
  EXPECT_TRUE(g->get_text(g->find_tag("SpecimenLabelsCheck"), "Checked") == "on");
  hb->queue_path(temp("named.svg"));
  ASSERT_EQ(run("ExportPlot").outcome, Outcome::Done) << workspace().last_action.message;
  std::ifstream in(temp("named.svg"));
  const std::string svg(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(svg.find(">" + names.back() + "</text>"), std::string::npos);
  // A redraw keeps them; "off" hides them.
  ASSERT_EQ(run("ShowPCA").outcome, Outcome::Done);
  EXPECT_EQ(gfx::axes_scene(*g, ax).texts.size(), names.size());
  ASSERT_EQ(run("SetSpecimenLabels", Value("off")).outcome, Outcome::Done);
  EXPECT_TRUE(gfx::axes_scene(*g, ax).texts.empty());
  const ActionReport r = run("SetSpecimenLabels", Value("yes"));
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message, "SetSpecimenLabels takes on or off.");
  const std::string script = workspace().recorder.script();
  EXPECT_NE(script.find("SetSpecimenLabels on\n"), std::string::npos) << script;
  EXPECT_NE(script.find("SetSpecimenLabels off\n"), std::string::npos) << script;
}

}  // namespace
}  // namespace velmora::app
