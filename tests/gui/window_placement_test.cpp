#include "gui/window_placement.hpp"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace velmora::gui
