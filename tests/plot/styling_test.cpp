#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "plot/primitives.hpp"
#include "plot_fixture.hpp"

namespace velmora::plot {
namespace {

class Styling : public PlotTest {
 protected:
  // Axes holding, oldest first: a marker-only line, a text label, a solid
  // line and a dash-dot line of three colours.
  void SetUp() override {
    PlotTest::SetUp();
    g->hold(ax, true);
    markers_ = g->plot(ax, {0, 1}, {0, 1}, {0, 1}, "bo", true);
    label_ = g->text(ax, 0, 0, 0, Value("label"));
    solid_ = g->plot(ax, {0, 1}, {1, 0}, {0, 1}, "r-", true);
    dashdot_ = g->plot(ax, {1, 1}, {1, 0}, {0, 0}, "k-.", true);
    g->set(markers_, "LineWidth", 1.0);
    g->set(solid_, "LineWidth", 2.0);
    g->set(dashdot_, "LineWidth", 3.0);
    g->set(markers_, "MarkerSize", 4.0);
    g->set(solid_, "MarkerSize", 5.0);
    g->set(dashdot_, "MarkerSize", 6.0);
    label_props_ = snapshot(label_);
  }
  std::vector<std::pair<std::string, Value>> snapshot(gfx::Handle h) const {
    std::vector<std::pair<std::string, Value>> out;
    for (const auto& [name, value] : g->object(h).props) out.emplace_back(name, value);
    return out;
  }
  std::vector<double> widths() const {
    return {g->get_number(markers_, "LineWidth"), g->get_number(solid_, "LineWidth"),
            g->get_number(dashdot_, "LineWidth")};
  }
  std::vector<double> sizes() const {
    return {g->get_number(markers_, "MarkerSize"), g->get_number(solid_, "MarkerSize"),
            g->get_number(dashdot_, "MarkerSize")};
  }
  void TearDown() override { EXPECT_EQ(snapshot(label_), label_props_) << "the text changed"; }

  gfx::Handle markers_ = -1, label_ = -1, solid_ = -1, dashdot_ = -1;
  std::vector<std::pair<std::string, Value>> label_props_;
};

TEST_F(Styling, SymbolFillTakesEachLinesOwnColour) {
  setsymbolfill(ax, 1);
  EXPECT_EQ(g->get(markers_, "MarkerFaceColor"), rgb('b'));
  EXPECT_EQ(g->get(solid_, "MarkerFaceColor"), rgb('r'));
  EXPECT_EQ(g->get(dashdot_, "MarkerFaceColor"), rgb('k'));
  // Any flag but 0 fills; 0 empties every line's markers.
  g->set(solid_, "Color", Value::row({0.25, 0.5, 0.75}));
  setsymbolfill(ax, -3.5);
  EXPECT_EQ(g->get(solid_, "MarkerFaceColor"), Value::row({0.25, 0.5, 0.75}));
  setsymbolfill(ax, 0);
  for (gfx::Handle h : {markers_, solid_, dashdot_})
    EXPECT_EQ(g->get_text(h, "MarkerFaceColor"), "none");
}

TEST_F(Styling, LineWidthsAndSymbolSizes) {
  // Lines drawn with style "none" keep their width; every child's type is
  // shown on the console, newest first.
  ConsoleCapture cap;
  incrementlinethickness(ax, 0.5);
  EXPECT_EQ(widths(), (std::vector<double>{1.0, 2.5, 3.5}));
  EXPECT_EQ(cap.text(),
            named_display("stemp", Value("line")) + named_display("stemp", Value("line")) +
                named_display("stemp", Value("text")) + named_display("stemp", Value("line")));
  incrementsymbolsize(ax, 1.5);
  EXPECT_EQ(sizes(), (std::vector<double>{5.5, 6.5, 7.5}));
  incrementsymbolsize(ax, -0.5);
  EXPECT_EQ(sizes(), (std::vector<double>{5.0, 6.0, 7.0}));
  setlinethickness(ax, 2.5);
  EXPECT_EQ(widths(), (std::vector<double>{2.5, 2.5, 2.5}));
  // Only the present objects change: a line drawn later keeps the default.
  gfx::Handle later = g->plot(ax, {0}, {0}, {0}, "g-", true);
  EXPECT_EQ(g->get_number(later, "LineWidth"), 0.5);
}

TEST_F(Styling, ARefusedSizeStopsAtThatLine) {
  // The newest line (width 3) reaches 0.5, the next (width 2) would reach
  // -0.5: the graphics layer refuses it there, the newest keeps its change
  // and the marker-only line is never reached.
  ConsoleCapture quiet;
  EXPECT_EQ(message_of<RuntimeError>([&] { incrementlinethickness(ax, -2.5); }),
            "Bad value for the \"LineWidth\" property: it must be a number greater than 0, not "
            "-0.5.");
  EXPECT_EQ(widths(), (std::vector<double>{1.0, 2.0, 0.5}));
  EXPECT_EQ(message_of<RuntimeError>([&] { incrementsymbolsize(ax, -6); }),
            "Bad value for the \"MarkerSize\" property: it must be a number greater than 0, not "
            "0.");
  EXPECT_EQ(sizes(), (std::vector<double>{4.0, 5.0, 6.0}));
  EXPECT_EQ(message_of<RuntimeError>([&] { setlinethickness(ax, 0); }),
            "Bad value for the \"LineWidth\" property: it must be a number greater than 0, not "
            "0.");
  EXPECT_EQ(widths(), (std::vector<double>{1.0, 2.0, 0.5}));
}

}  // namespace
}  // namespace velmora::plot
