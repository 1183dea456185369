#include "view/main_layout.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "app/inputs.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "gui/message_box.hpp"

namespace velmora::app {
namespace {

using Rect = std::array<double, 4>;

// The distances of a rectangle from the top-left corner of a window `h` high.
std::array<double, 2> from_top_left(const Rect& r, double h) {
  return {r[0], h - r[1] - r[3]};
}

class MainLayoutTest : public AppTest {
 protected:
  Rect rect(gfx::Handle h) const { return g->object(h).pos_px; }
  Rect rect(const std::string& tag) const { return rect(g->find_tag(tag)); }
  gfx::Handle button(const std::string& label) const {
    for (gfx::Handle c : g->children(main))
      if (g->type(c) == gfx::Type::UiControl && g->get_text(c, "String") == label) return c;
    ADD_FAILURE() << "no control \"" << label << "\"";
    return -1;
  }
  void resize(double w, double h) {
    Rect f = rect(main);
    g->set(main, "Position", Value::row({f[0], f[1], w, h}));
  }
};

// The window as drawn fits a 1024×768 screen with its menu bar and a
// window manager's frame, and starts in the top-left corner.
TEST_F(MainLayoutTest, FitsALaptopScreenWithItsFrame) {
  const Rect f = rect(main);
  constexpr double kMenuBarPx = 26, kTitleBarPx = 30, kBorderPx = 6;
  EXPECT_LE(f[2] + 2 * kBorderPx, 1024);
  EXPECT_LE(f[3] + kMenuBarPx + kTitleBarPx + kBorderPx, 768);
  EXPECT_EQ(f[0], 0);
  EXPECT_EQ(f[1] + f[3] + 24, 1080);  // the headless screen, its title bar included
  // Every child lies inside the window.
  for (gfx::Handle c : g->children(main)) {
    if (g->type(c) != gfx::Type::UiControl && g->type(c) != gfx::Type::Axes) continue;
    const Rect r = rect(c);
    EXPECT_GE(r[0], 0);
    EXPECT_GE(r[1], 0);
    EXPECT_LE(r[0] + r[2], f[2]);
    EXPECT_LE(r[1] + r[3], f[3]);
  }
}

TEST_F(MainLayoutTest, GrowingKeepsTheControlsInPlaceAndGivesTheRoomToThePlotAndLog) {
  const Rect f = rect(main);
  const Rect plot = rect("axes1"), log = rect("ResultsLog"), status = rect("StatusBar");
  const gfx::Handle load = button("Load Landmarks…"), perm = button("Permutation Test");
  const Rect load_at = rect(load), perm_at = rect(perm);
  for (auto [w, h] : {std::array<double, 2>{1600, 940}, {1200, 700}, {1000, 1000}}) {
    resize(w, h);
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const double dw = w - f[2], dh = h - f[3];
    // Controls keep their distance from the top-left corner and their size.
    for (auto [c, was] : {std::pair{load, load_at}, std::pair{perm, perm_at}}) {
      EXPECT_EQ(from_top_left(rect(c), h), from_top_left(was, f[3]));
      EXPECT_EQ(rect(c)[2], was[2]);
    }
    // The plot and the log take the new width and all the new height.
    const Rect p = rect("axes1"), l = rect("ResultsLog"), s = rect("StatusBar");
    EXPECT_DOUBLE_EQ(p[2], plot[2] + dw);
    EXPECT_DOUBLE_EQ(l[2], log[2] + dw);
    EXPECT_DOUBLE_EQ(s[2], status[2] + dw);
    EXPECT_DOUBLE_EQ((p[3] - plot[3]) + (l[3] - log[3]), dh);
    EXPECT_GT(p[3] - plot[3], l[3] - log[3]);
    EXPECT_EQ(from_top_left(p, h), from_top_left(plot, f[3]));  // the same top margin
    EXPECT_EQ(s[1], status[1]);                                 // the status line at the bottom
    EXPECT_DOUBLE_EQ(l[1] + l[3] + (plot[1] - log[1] - log[3]), p[1]);  // the same gap
  }
  // Back to the drawn size: back to the drawn layout.
  resize(f[2], f[3]);
  EXPECT_EQ(rect("axes1"), plot);
  EXPECT_EQ(rect(load), load_at);
}

// Smaller than drawn, the layout stays as drawn and the window scrolls: no
// control moves below the window's bottom edge or shrinks.
TEST_F(MainLayoutTest, SmallerThanDrawnKeepsTheDrawnLayout) {
  const Rect f = rect(main);
  const Rect load_at = rect(button("Load Landmarks…")), plot = rect("axes1");
  resize(600, 400);
  EXPECT_EQ(rect(button("Load Landmarks…")), load_at);
  EXPECT_EQ(rect("axes1"), plot);
  for (gfx::Handle c : g->children(main))
    if (g->type(c) == gfx::Type::UiControl) {
      EXPECT_GE(rect(c)[1], 0);
    }
  resize(1400, 400);  // wider but lower: only the width grows
  EXPECT_EQ(rect("axes1")[2], plot[2] + 1400 - f[2]);
  EXPECT_EQ(rect("axes1")[3], plot[3]);
}

TEST(MainLayout, LaidOutByAnchor) {
  const std::array<double, 2> design{1000, 600}, size{1200, 700};
  const Rect r{10, 20, 100, 50};
  EXPECT_EQ(laid_out(r, Anchor::kTopLeft, design, size), (Rect{10, 120, 100, 50}));
  EXPECT_EQ(laid_out(r, Anchor::kPlot, design, size), (Rect{10, 50, 300, 120}));
  EXPECT_EQ(laid_out(r, Anchor::kLog, design, size), (Rect{10, 20, 300, 80}));
  EXPECT_EQ(laid_out(r, Anchor::kBottom, design, size), (Rect{10, 20, 300, 50}));
  for (Anchor a : {Anchor::kTopLeft, Anchor::kPlot, Anchor::kLog, Anchor::kBottom})
    EXPECT_EQ(laid_out(r, a, design, {500, 300}), r);
  EXPECT_EQ(anchor_of("axes1"), Anchor::kPlot);
  EXPECT_EQ(anchor_of("ResultsLog"), Anchor::kLog);
  EXPECT_EQ(anchor_of("StatusBar"), Anchor::kBottom);
  EXPECT_EQ(anchor_of("FileBox"), Anchor::kTopLeft);
}

// Every control a user can act on, and every one that shows state, says
// what it does; the actions that need earlier steps name them.
TEST_F(MainLayoutTest, EveryControlHasATooltip) {
  int needs = 0;
  for (gfx::Handle c : g->children(main)) {
    if (g->type(c) != gfx::Type::UiControl) continue;
    const std::string style = g->get_text(c, "Style");
    if (style == "frame" || (style == "text" && g->get_text(c, "Tag").empty())) continue;
    const std::string tip = g->get_text(c, "TooltipString");
    EXPECT_GE(tip.size(), 10u) << g->get_text(c, "String") << g->get_text(c, "Tag");
    needs += tip.find("Needs ") != std::string::npos;
  }
  EXPECT_GE(needs, 15);
  EXPECT_NE(
      g->get_text(button("Do Regression"), "TooltipString").find("Needs landmarks and an X list"),
      std::string::npos);
}

// The results log and the status line the window fills: a read-only text
// of several lines and one line along the bottom.
TEST_F(MainLayoutTest, ResultsLogAndStatusBar) {
  gfx::Handle log = g->find_tag("ResultsLog"), status = g->find_tag("StatusBar");
  EXPECT_EQ(g->get_text(log, "Style"), "edit");
  EXPECT_EQ(g->get_number(log, "Max"), 2);
  EXPECT_EQ(g->get_text(log, "Enable"), "inactive");
  EXPECT_GE(rect(log)[3], 5 * 15);                               // five lines or more
  EXPECT_EQ(g->get_text(log, "FontName"), gui::kTableFontName);  // its tables line up
  EXPECT_EQ(g->get_text(status, "Style"), "text");
  EXPECT_LE(rect(status)[1], 10);
  EXPECT_GE(rect(status)[2], 0.9 * rect(main)[2]);
}

// The grip between the plot and the log gives the log room for twelve
// lines or more, never so much that the plot goes, and the split stays as
// the window grows.
TEST_F(MainLayoutTest, TheGripBetweenPlotAndLogMovesTheirBoundary) {
  const gfx::Handle grip = g->find_tag("LogSplitter");
  EXPECT_EQ(g->get_text(grip, "Style"), "splitter");
  const Rect plot = rect("axes1"), log = rect("ResultsLog");
  const double gap = plot[1] - (log[1] + log[3]);
  auto drag_to = [&](double bottom) {
    g->set(grip, "Value", bottom);
    g->run_callback(grip, "Callback");
  };
  drag_to(rect(grip)[1] + 100);
  EXPECT_DOUBLE_EQ(rect("ResultsLog")[3], log[3] + 100);
  EXPECT_GE(rect("ResultsLog")[3], 12 * 15);  // twelve lines of the log's 9 pt
  EXPECT_DOUBLE_EQ(rect("axes1")[3], plot[3] - 100);
  EXPECT_DOUBLE_EQ(rect("axes1")[1] - (rect("ResultsLog")[1] + rect("ResultsLog")[3]), gap);
  EXPECT_DOUBLE_EQ(rect(grip)[1], rect("ResultsLog")[1] + rect("ResultsLog")[3]);
  drag_to(5000);  // as far as the plot's least height
  EXPECT_DOUBLE_EQ(rect("axes1")[3], kLeastPlotPx);
  drag_to(-5000);  // as far as the log's least height
  EXPECT_DOUBLE_EQ(rect("ResultsLog")[3], kLeastLogPx);
  drag_to(rect(grip)[1] + (log[3] - kLeastLogPx) + 60);
  resize(rect(main)[2] + 200, rect(main)[3] + 100);
  EXPECT_DOUBLE_EQ(rect("ResultsLog")[3], log[3] + 60 + 100 * (1 - kPlotShareOfHeight));
}

// The 3D window opens beside the main window where the screen has room,
// else over the plot, never over the controls, and is then shown in a tab
// of the main window (Dock 3-D View), which the user may undo.
TEST_F(MainLayoutTest, The3DWindowDoesNotCoverTheControls) {
  for (auto [sw, sh] : {std::array<double, 2>{1920, 1080}, {1024, 768}}) {
    hb->set_screen_size_px(sw, sh);
    workspace().window.dock3d.reset();
    gui::movegui(main, std::string("northwest"));
    load_examples(false);
    gfx::Handle fig = var("h3dfig").to_scalar();
    Value o = g->get(fig, "OuterPosition");
    const Rect r{o(0), o(1), o(2), o(3)};
    const Rect m = rect(main);
    const Rect controls{m[0], m[1], 410, m[3]};  // the left column
    SCOPED_TRACE(std::to_string(sw));
    EXPECT_GE(r[0], controls[0] + controls[2]);
    EXPECT_LE(r[0] + r[2], sw);
    EXPECT_GE(r[1], 0);
    EXPECT_LE(r[1] + r[3], sh);
    if (sw == 1920) {
      EXPECT_GE(r[0], m[0] + m[2]);  // beside, not over
      EXPECT_FALSE(hb->docked_in(fig).has_value());
    } else {
      EXPECT_EQ(hb->docked_in(fig), main);
      EXPECT_EQ(g->get_text(g->find_tag("Dock3DCheck"), "Checked"), "on");
      workspace().recorder.start_recording(workspace().session.method());
      ASSERT_EQ(run("DockView").outcome, Outcome::Done);
      EXPECT_FALSE(hb->docked_in(fig).has_value());
      EXPECT_EQ(o, g->get(fig, "OuterPosition"));  // the figure stays as it was
      EXPECT_NE(workspace().recorder.script().find("\nDockView off\n"), std::string::npos);
      ASSERT_EQ(run("DockView", Value("on")).outcome, Outcome::Done);
      EXPECT_EQ(hb->docked_in(fig), main);
      EXPECT_EQ(run("DockView", Value("tab")).message, "DockView takes on or off.");
    }
    g->destroy(fig);
  }
}

// The committed layout file is what tools/make_layout.py writes from the
// input table, so a control's kind and starting value are written once.
TEST(LayoutFileTest, IsWhatTheGeneratorWritesFromTheInputTable) {
  const std::string python = "/usr/bin/python3";
  if (!std::filesystem::exists(python)) GTEST_SKIP() << "no " << python;
  const std::string source = VELMORA_SOURCE_DIR;
  const std::filesystem::path out =
      std::filesystem::temp_directory_path() / ("velmora-layout-" + std::to_string(getpid()));
  const std::string command =
      python + " '" + source + "/tools/make_layout.py' '" + out.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  auto bytes = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  };
  const std::string made = bytes(out);
  std::filesystem::remove(out);
  EXPECT_FALSE(made.empty());
  EXPECT_TRUE(made == bytes(source + "/src/app/Velmora.fig"))
      << "src/app/Velmora.fig differs from what tools/make_layout.py writes; run it";
}

// Each input control of the window is of its table kind, and the pop-up's
// bound is its number of entries, one a deformation code.
TEST_F(MainLayoutTest, InputControlsAreOfTheirTableKindAndBounds) {
  const std::map<InputKind, std::string> style = {
      {InputKind::Edit, "edit"}, {InputKind::Popup, "popupmenu"}, {InputKind::Check, "checkbox"}};
  for (const InputControl& c : input_controls()) {
    SCOPED_TRACE(std::string(c.tag));
    const gfx::Handle h = g->find_tag(c.tag);
    EXPECT_EQ(g->get_text(h, "Style"), style.at(c.kind));
    EXPECT_LE(c.lo, c.start);
    EXPECT_LE(c.start, c.hi);
    if (c.kind == InputKind::Popup) {
      EXPECT_EQ(c.hi, static_cast<double>(g->get(h, "String").numel()));
      EXPECT_EQ(c.hi, static_cast<double>(deformation_codes().size()));
    }
  }
}

}  // namespace
}  // namespace velmora::app
