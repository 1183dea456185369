#include "platform/graphics/graphics.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "platform/runtime/console.hpp"
#include "platform/runtime/function_table.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {
namespace {

class GraphicsTest : public ::testing::Test {
 protected:
  GraphicsTest() : g(install_graphics(std::make_unique<HeadlessBackend>())) {}
  Graphics& g;
};

TEST_F(GraphicsTest, FiguresTakeTheLowestFreeIntegerOthersAreDeterministic) {
  Handle f1 = g.new_figure();
  Handle f2 = g.new_figure();
  EXPECT_EQ(f1, 1);
  EXPECT_EQ(f2, 2);
  Handle ax = g.create(Type::Axes, f1);
  EXPECT_NE(ax, std::floor(ax));
  g.destroy(f1);
  EXPECT_FALSE(g.valid(ax));
  EXPECT_EQ(g.new_figure(), 1);

  // A fresh run-time repeats the same handles.
  Graphics& again = install_graphics(std::make_unique<HeadlessBackend>());
  Handle f = again.new_figure();
  EXPECT_EQ(again.create(Type::Axes, f), ax);
}

TEST_F(GraphicsTest, StaleHandlesAndUnknownPropertiesThrow) {
  Handle f = g.new_figure();
  g.destroy(f);
  EXPECT_THROW(g.get(f, "Tag"), RuntimeError);
  Handle f2 = g.new_figure();
  try {
    g.set(f2, "Colour", Value::row({1, 0, 0}));
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(), "There is no \"colour\" property of the figure object.");
  }
  EXPECT_THROW(g.set(f2, "Type", "axes"), RuntimeError);
  EXPECT_EQ(g.get_text(f2, "type"), "figure");
}

TEST_F(GraphicsTest, SwitchPropertiesReadBackLowerCase) {
  Handle f = g.new_figure();
  Handle m = g.create(Type::UiMenu, f, {{"Checked", "On"}});
  EXPECT_EQ(g.get_text(m, "checked"), "on");
  g.set(m, "CHECKED", "Off");
  EXPECT_EQ(g.get_text(m, "Checked"), "off");
  Handle b = g.create(Type::UiControl, f, {{"Enable", "OFF"}});
  EXPECT_EQ(g.get_text(b, "Enable"), "off");
}

TEST_F(GraphicsTest, PositionsConvertBetweenUnits) {
  Handle f = g.new_figure({{"Position", Value::row({0, 0, 800, 600})}});
  Handle ax =
      g.create(Type::Axes, f, {{"Units", "pixels"}, {"Position", Value::row({10, 20, 400, 300})}});
  g.set(ax, "Units", "normalized");
  Value p = g.get(ax, "Position");
  EXPECT_DOUBLE_EQ(p(0), 10.0 / 800);
  EXPECT_DOUBLE_EQ(p(3), 0.5);
  g.set(ax, "Units", "points");
  EXPECT_DOUBLE_EQ(g.get(ax, "Position")(2), 300);  // 400 px at 96 px/in = 300 pt
  g.set(0, "Units", "points");
  Value screen = g.get(0, "ScreenSize");
  EXPECT_DOUBLE_EQ(screen(2), 1440);
  EXPECT_DOUBLE_EQ(screen(3), 810);
  Value outer = g.get(f, "OuterPosition");
  EXPECT_GT(outer(3), 600);
  EXPECT_THROW(g.set(ax, "Position", Value::row({1, 2, 3})), RuntimeError);
}

// A figure's owner hears of every change of its size, whichever property or
// units set it, and of no mere move.
TEST_F(GraphicsTest, SizeChangedFcnRunsWhenTheSizeChanges) {
  Handle f = g.new_figure({{"Position", Value::row({10, 10, 400, 300})}});
  std::vector<std::array<double, 2>> seen;
  g.set_native_callback(f, "SizeChangedFcn", [&](Handle h) {
    seen.push_back({g.object(h).pos_px[2], g.object(h).pos_px[3]});
  });
  g.set(f, "Position", Value::row({50, 60, 400, 300}));
  EXPECT_TRUE(seen.empty());
  g.set(f, "Position", Value::row({50, 60, 500, 300}));
  g.set(f, "OuterPosition", Value::row({50, 60, 500, 424}));
  g.set(f, "Units", "normalized");
  g.set(f, "Position", Value::row({0, 0, 0.5, 0.5}));
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (std::array<double, 2>{500, 300}));
  EXPECT_EQ(seen[1], (std::array<double, 2>{500, 400}));
  EXPECT_EQ(seen[2], (std::array<double, 2>{960, 540}));
}

TEST_F(GraphicsTest, CurrentFigureSkipsCallbackOnlyFigures) {
  Handle main = g.new_figure();
  Handle box = g.new_figure({{"HandleVisibility", "callback"}});
  EXPECT_EQ(g.current_figure(), main);
  {
    Graphics::CallbackScope scope(g, box);
    EXPECT_EQ(g.current_figure(), box);
  }
  EXPECT_EQ(g.current_figure(), main);
  g.destroy(main);
  // No eligible figure left: a new one is made.
  Handle fresh = g.current_figure();
  EXPECT_NE(fresh, box);
  EXPECT_EQ(fresh, 1);  // the lowest free number again
  EXPECT_EQ(g.figures().size(), 2u);
}

TEST_F(GraphicsTest, CurrentAxesAndClearing) {
  Handle f = g.new_figure();
  Handle ax = g.current_axes();
  EXPECT_EQ(g.parent(ax), f);
  Handle l1 = g.plot(ax, {0, 1}, {0, 1}, {0, 1}, "ko", true);
  g.hold(ax, true);
  Handle l2 = g.plot(ax, {0, 1}, {1, 0}, {}, "r-", true);
  Handle t = g.text(ax, 0, 0, 0, "1");
  Value kids = g.get(ax, "Children");
  ASSERT_EQ(kids.numel(), 3u);
  EXPECT_EQ(kids(0), t);  // newest first
  EXPECT_EQ(kids(2), l1);
  EXPECT_EQ(g.get_text(l1, "Marker"), "o");
  EXPECT_EQ(g.get_text(l1, "LineStyle"), "none");
  EXPECT_EQ(g.get_text(l2, "LineStyle"), "-");
  EXPECT_EQ(g.get(l2, "Color"), Value::row({1, 0, 0}));
  Handle xl = g.get(ax, "XLabel")(0);
  g.set(xl, "String", "x");
  g.set_appdata(ax, "ColorBar", Value::row({1, 5}));
  g.clear_axes(ax);
  EXPECT_TRUE(g.get(ax, "Children").empty());
  EXPECT_TRUE(g.appdata(ax, "ColorBar").empty());  // the colour bar went with its points
  EXPECT_TRUE(g.valid(xl));
  EXPECT_EQ(g.get_text(xl, "String"), "x");
  g.clear_figure(f);
  EXPECT_FALSE(g.valid(ax));
  EXPECT_NE(g.current_axes(), ax);
}

TEST_F(GraphicsTest, PlotWithoutHoldReplaces) {
  Handle ax = g.current_axes();
  g.plot(ax, {0}, {0}, {0}, "gp", true);
  g.plot(ax, {1}, {1}, {1}, "bo", true);
  EXPECT_EQ(g.get(ax, "Children").numel(), 1u);
  EXPECT_EQ(g.get(ax, "View"), Value::row({-37.5, 30}));
  g.plot(ax, {1}, {1}, {}, "ko", false);
  EXPECT_EQ(g.get(ax, "View"), Value::row({0, 90}));
}

TEST_F(GraphicsTest, LineWidthAndMarkerSizeMustBePositive) {
  Handle ax = g.current_axes();
  Handle l = g.plot(ax, {0}, {0}, {0}, "ko", true);
  try {
    g.set(l, "LineWidth", 0.0);
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(),
                 "Bad value for the \"LineWidth\" property: it must be a number greater than 0, "
                 "not 0.");
  }
  EXPECT_THROW(g.set(l, "MarkerSize", -1.0), RuntimeError);
  EXPECT_DOUBLE_EQ(g.get_number(l, "LineWidth"), 0.5);
  EXPECT_DOUBLE_EQ(g.get_number(l, "MarkerSize"), 6);
}

TEST_F(GraphicsTest, FindByTagAndAppData) {
  Handle f1 = g.new_figure();
  Handle f2 = g.new_figure();
  Handle a = g.create(Type::UiControl, f1, {{"Tag", "FileBox"}});
  Handle b = g.create(Type::UiMenu, f2, {{"Tag", "FileBox"}});
  EXPECT_EQ(g.find_by_tag("FileBox"), (std::vector<Handle>{a, b}));
  EXPECT_EQ(g.find_tag("FileBox"), a);
  EXPECT_THROW(g.find_tag("filebox"), RuntimeError);
  g.set_appdata(f1, "UsedByGUIData_m", 42.0);
  EXPECT_EQ(g.appdata(f1, "UsedByGUIData_m").to_scalar(), 42);
  EXPECT_TRUE(g.appdata(f2, "UsedByGUIData_m").empty());
}

TEST_F(GraphicsTest, CallbacksRunByNameWithTokensAndReportErrors) {
  Handle f = g.new_figure();
  g.set_appdata(f, "UsedByGUIData_m", 7.0);
  ValueList seen;
  function_table().add({"probe_cb",
                        [&](const ValueList& args, int) {
                          seen = args;
                          if (args.size() > 3) throw RuntimeError("probe failed");
                          return ValueList{};
                        },
                        kAny, kAny});
  Handle b = g.create(Type::UiControl, f,
                      {{"Callback", Value::cell_row({"probe_cb", "$gcbo", Value(), "$guidata"})}});
  g.run_callback(b, "Callback");
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].to_scalar(), b);
  EXPECT_TRUE(seen[1].empty());
  EXPECT_EQ(seen[2].to_scalar(), 7);

  g.set(b, "Callback", Value::cell_row({"probe_cb", 1.0, 2.0, 3.0, 4.0}));
  ConsoleCapture cap;
  g.run_callback(b, "Callback");
  EXPECT_EQ(cap.errors(), "probe failed\n");
  EXPECT_EQ(g.callback_object(), -1);
}

TEST_F(GraphicsTest, DialogsComeFromTheQueueAndAreObserved) {
  auto* hb = headless_backend();
  hb->queue_path("/data/skulls.txt");
  std::vector<std::string> kinds;
  g.set_dialog_observer(
      [&](std::string_view kind, const std::optional<FilePick>&) { kinds.emplace_back(kind); });
  auto pick = g.open_file_dialog("*.*", "Enter file to Load?");
  ASSERT_TRUE(pick);
  EXPECT_EQ(pick->folder, "/data/");
  EXPECT_EQ(pick->name, "skulls.txt");
  EXPECT_FALSE(g.save_file_dialog("*.eps", "Save"));
  EXPECT_EQ(kinds, (std::vector<std::string>{"open", "save"}));
  ASSERT_EQ(hb->dialogs().size(), 2u);
  EXPECT_FALSE(hb->dialogs()[1].answered);
}

}  // namespace
}  // namespace velmora::gfx
