#include "gui/window_placement.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "gui_test_support.hpp"

namespace velmora::gui {
namespace {

using testing::error_text;
using testing::GuiTest;

// The headless screen is 1920×1080 pixels; a figure's frame adds a 24-pixel
// title bar above its inner area.
class MoveGui : public GuiTest {
 protected:
  gfx::Handle figure(double left, double bottom, double width, double inner_height) {
    return g.new_figure({{"Position", Value::row({left, bottom, width, inner_height})}});
  }
  Value outer(gfx::Handle fig) {
    Value units = g.get(fig, "Units");
    g.set(fig, "Units", "pixels");
    Value o = g.get(fig, "OuterPosition");
    g.set(fig, "Units", units);
    return o;
  }
};

TEST_F(MoveGui, EveryCompassName) {
  struct Case {
    const char* name;
    double left, bottom;
  };
  // A 400×300 frame: centred left 760, centred bottom 390, right 1520, top 780.
  const Case cases[] = {{"north", 760, 780},   {"south", 760, 0},        {"east", 1520, 390},
                        {"west", 0, 390},      {"northeast", 1520, 780}, {"southeast", 1520, 0},
                        {"northwest", 0, 780}, {"southwest", 0, 0},      {"center", 760, 390}};
  for (const Case& c : cases) {
    gfx::Handle fig = figure(123, 45, 400, 276);
    movegui(fig, std::string(c.name));
    EXPECT_EQ(outer(fig), Value::row({c.left, c.bottom, 400, 300})) << c.name;
  }
}

TEST_F(MoveGui, OnscreenMovesOnlyAsFarAsNeeded) {
  gfx::Handle inside = figure(100, 200, 400, 276);
  movegui(inside);
  EXPECT_EQ(outer(inside), Value::row({100, 200, 400, 300}));

  gfx::Handle past_right = figure(1800, 200, 400, 276);
  movegui(past_right, std::string("onscreen"));
  EXPECT_EQ(outer(past_right), Value::row({1520, 200, 400, 300}));

  gfx::Handle below_left = figure(-50, -20, 400, 276);
  movegui(below_left);
  EXPECT_EQ(outer(below_left), Value::row({0, 0, 400, 300}));
}

TEST_F(MoveGui, AWindowLargerThanTheScreenIsShrunkAndPlacedAtTheOrigin) {
  gfx::Handle big = figure(300, 300, 2500, 1476);
  movegui(big);
  EXPECT_EQ(outer(big), Value::row({0, 0, 1920, 1080}));
}

TEST_F(MoveGui, ExplicitCornersCountFromTheFarEdgesWhenNegative) {
  gfx::Handle fig = figure(0, 0, 400, 276);
  movegui(fig, std::array<double, 2>{-10, -10});
  EXPECT_EQ(outer(fig), Value::row({1920 - 400 - 10, 1080 - 300 - 10, 400, 300}));
  movegui(fig, std::array<double, 2>{25, 35});
  EXPECT_EQ(outer(fig), Value::row({25, 35, 400, 300}));
}

TEST_F(MoveGui, UnitsAndActivePositionPropertyAreKept) {
  gfx::Handle fig = figure(1800, 200, 400, 276);
  g.set(fig, "Units", "points");
  g.set(fig, "ActivePositionProperty", "position");
  movegui(fig, std::string("west"));
  EXPECT_EQ(g.get_text(fig, "Units"), "points");
  EXPECT_EQ(g.get_text(fig, "ActivePositionProperty"), "position");
  EXPECT_EQ(outer(fig), Value::row({0, 390, 400, 300}));
  // The screen size is read in pixels whatever the root's units are.
  g.set(gfx::kRoot, "Units", "inches");
  movegui(fig, std::string("east"));
  EXPECT_EQ(outer(fig), Value::row({1520, 390, 400, 300}));
  EXPECT_EQ(g.get_text(gfx::kRoot, "Units"), "inches");
}

TEST_F(MoveGui, ArgumentsInAnyOrder) {
  gfx::Handle fig = figure(500, 500, 400, 276);
  gfx::Handle button = g.create(gfx::Type::UiControl, fig);
  g.new_figure();  // the current figure is another one
  movegui(ValueList{Value("southwest"), Value(button)});
  EXPECT_EQ(outer(fig), Value::row({0, 0, 400, 300}));
  movegui(ValueList{Value(fig), Value::row({-10, -10})});
  EXPECT_EQ(outer(fig), Value::row({1510, 770, 400, 300}));

  // Without a handle: the current figure, and "onscreen" by default.
  gfx::Handle current = figure(1900, 10, 400, 276);
  movegui(ValueList{});
  EXPECT_EQ(outer(current), Value::row({1520, 10, 400, 300}));
}

TEST_F(MoveGui, Refusals) {
  gfx::Handle fig = figure(0, 0, 400, 276);
  EXPECT_EQ(error_text([] { movegui(ValueList{Value("middle")}); }), "unrecognized position");
  EXPECT_EQ(error_text([] { movegui(ValueList{Value("North")}); }), "unrecognized position");
  EXPECT_EQ(error_text([&] { movegui(fig, std::string("up")); }), "unrecognized position");
  EXPECT_EQ(error_text([] { movegui(ValueList{Value(gfx::kRoot)}); }),
            "handle of figure or descendant required");
  EXPECT_EQ(error_text([] {
              movegui(ValueList{Value::row({1, 2, 3})});
            }),
            "unrecognized input argument");
  EXPECT_EQ(error_text([] { movegui(ValueList{Value(12345.5)}); }), "unrecognized input argument");
  EXPECT_EQ(error_text([&] {
              movegui(ValueList{Value(fig), Value("north"), Value(), Value()});
            }),
            "Too many input arguments.");
  EXPECT_EQ(outer(fig), Value::row({0, 0, 400, 300}));
}

TEST_F(MoveGui, DuringACallbackTheFirstArgumentMayBeAnything) {
  gfx::Handle fig = figure(700, 100, 400, 276);
  gfx::Handle button = g.create(gfx::Type::UiControl, fig);
  g.new_figure();
  {
    gfx::Graphics::CallbackScope scope(g, button);
    // Event data first, as a callback passes it; the callback's figure moves.
    movegui(ValueList{Value::record(), Value("north")});
    EXPECT_EQ(outer(fig), Value::row({760, 780, 400, 300}));
    // Only the first argument is skipped.
    EXPECT_EQ(error_text([] {
                movegui(ValueList{Value("north"), Value::record()});
              }),
              "unrecognized input argument");
  }
  EXPECT_EQ(error_text([] {
              movegui(ValueList{Value::record(), Value("north")});
            }),
            "unrecognized input argument");
}

TEST_F(MoveGui, ByName) {
  gfx::Handle fig = figure(1800, 200, 400, 276);
  EXPECT_TRUE(call("movegui", {Value(fig), "center"}, 0).empty());
  EXPECT_EQ(outer(fig), Value::row({760, 390, 400, 300}));
  EXPECT_EQ(error_text([&] { call("movegui", {Value(fig)}, 1); }),
            "Run-time Error: File: movegui Line: 1 Column: 1 The function \"movegui\" was "
            "called with more than the declared number of outputs (0).");
}

// A new window beside another: every screen size and main window place
// gives a rectangle on the screen that overlaps the main window only inside
// its open part.
TEST(PlaceBeside, OnTheScreenAndNeverOverTheControls) {
  auto overlap = [](const ScreenRect& a, const ScreenRect& b) {
    double w = std::min(a[0] + a[2], b[0] + b[2]) - std::max(a[0], b[0]);
    double h = std::min(a[1] + a[3], b[1] + b[3]) - std::max(a[1], b[1]);
    return std::max(0.0, w) * std::max(0.0, h);
  };
  const std::array<double, 2> want{720, 644};
  for (double sw : {800.0, 1024.0, 1280.0, 1600.0, 1920.0, 2560.0})
    for (double sh : {600.0, 768.0, 1000.0, 1440.0})
      for (double left : {0.0, 100.0, 500.0, 1500.0}) {
        if (left + 1000 > sw) continue;
        const ScreenRect main{left, sh - 718, 1000, 718};
        const ScreenRect open{left + 420, main[1] + 30, 580, 540};
        const ScreenRect r = place_beside(main, open, want, {sw, sh});
        SCOPED_TRACE(std::to_string(sw) + "x" + std::to_string(sh) + " at " + std::to_string(left));
        EXPECT_GE(r[0], 0);
        EXPECT_GE(r[1], 0);
        EXPECT_LE(r[0] + r[2], sw + 1e-9);
        EXPECT_LE(r[1] + r[3], sh + 1e-9);
        EXPECT_GT(r[2], 0);
        EXPECT_GT(r[3], 0);
        // What it covers of the main window lies in the open part.
        EXPECT_NEAR(overlap(r, main), overlap(r, open), 1e-6);
      }
}

TEST(PlaceBeside, RightThenLeftThenInsideTheOpenPart) {
  const std::array<double, 2> want{720, 644};
  // Room on the right: beside it, top level with the main window's top.
  EXPECT_EQ(place_beside({0, 282, 1000, 718}, {420, 300, 580, 540}, want, {1920, 1000}),
            (ScreenRect{1000, 356, 720, 644}));
  // 600 free on the right: narrowed to fit.
  EXPECT_EQ(place_beside({0, 282, 1000, 718}, {420, 300, 580, 540}, want, {1600, 1000}),
            (ScreenRect{1000, 356, 600, 644}));
  // No room on the right, room on the left.
  EXPECT_EQ(place_beside({600, 282, 1000, 718}, {1020, 300, 580, 540}, want, {1600, 1000}),
            (ScreenRect{0, 356, 600, 644}));
  // A laptop screen: over the plot, at the open part's top-right corner.
  EXPECT_EQ(place_beside({0, 50, 1000, 718}, {420, 80, 580, 540}, want, {1024, 768}),
            (ScreenRect{420, 80, 580, 540}));
  // A small window fits in the open part at its top-right corner.
  EXPECT_EQ(place_beside({0, 50, 1000, 718}, {420, 80, 580, 540}, {300, 200}, {1024, 768}),
            (ScreenRect{700, 420, 300, 200}));
}

}  // namespace
}  // namespace velmora::gui
