#include "gui/axes_helpers.hpp"

#include <gtest/gtest.h>

#include "gui_test_support.hpp"

namespace velmora::gui {
namespace {

using testing::error_text;
using testing::GuiTest;

class AxesHelpers : public GuiTest {
 protected:
  AxesHelpers() : fig(g.new_figure()), ax(g.create(gfx::Type::Axes, fig)) {}
  std::string grids() {
    return g.get_text(ax, "XGrid") + g.get_text(ax, "YGrid") + g.get_text(ax, "ZGrid");
  }
  gfx::Handle fig, ax;
};

TEST_F(AxesHelpers, GridTogglesEachAxisSeparately) {
  g.set(ax, "XGrid", "on");
  call("grid", {});
  EXPECT_EQ(grids(), "offonon");
  call("grid", {Value(ax)});
  EXPECT_EQ(grids(), "onoffoff");
}

TEST_F(AxesHelpers, GridOnAndOffInAnyLetterCase) {
  call("grid", {"on"});
  EXPECT_EQ(grids(), "ononon");
  call("grid", {"OFF"});
  EXPECT_EQ(grids(), "offoffoff");
  call("grid", {"ON"});
  EXPECT_EQ(grids(), "ononon");
  call("grid", {Value(ax), "Off"});
  EXPECT_EQ(grids(), "offoffoff");
}

TEST_F(AxesHelpers, GridWorksOnTheGivenAxesNotTheCurrentOne) {
  gfx::Handle other = g.create(gfx::Type::Axes, fig);  // now the current axes
  call("grid", {Value(ax), "on"});
  EXPECT_EQ(grids(), "ononon");
  EXPECT_EQ(g.get_text(other, "XGrid"), "off");
}

TEST_F(AxesHelpers, GridRefusals) {
  const std::string not_axes = "First argument must be an axes handle.";
  const std::string unknown = "Unknown command option.";
  EXPECT_EQ(error_text([&] { call("grid", {"maybe"}); }), unknown);
  EXPECT_EQ(error_text([&] { call("grid", {""}); }), unknown);
  EXPECT_EQ(error_text([&] { call("grid", {Value()}); }), unknown);
  EXPECT_EQ(error_text([&] { call("grid", {Value(ax), "minor"}); }), unknown);
  EXPECT_EQ(error_text([&] { call("grid", {Value(ax), Value(1.0)}); }), unknown);
  EXPECT_EQ(error_text([&] { call("grid", {"on", "off"}); }), not_axes);
  EXPECT_EQ(error_text([&] { call("grid", {Value(fig)}); }), not_axes);
  EXPECT_EQ(error_text([&] { call("grid", {Value(4242.5), "on"}); }), not_axes);
  EXPECT_EQ(error_text([&] {
              call("grid", {Value::row({ax, ax})});
            }),
            "Axes handle must be a scalar");
  EXPECT_EQ(grids(), "offoffoff");
  EXPECT_EQ(error_text([&] {
              call("grid", {Value(ax), "on", "off"});
            }),
            "Run-time Error: File: grid Line: 1 Column: 1 The function \"grid\" was called with "
            "more than the declared number of inputs (2).");
  EXPECT_EQ(error_text([&] {
              call("grid", {Value(ax), "on", "off"}, 1);
            }),
            "Run-time Error: File: grid Line: 1 Column: 1 The function \"grid\" was called with "
            "more than the declared number of outputs (0).");
}

TEST_F(AxesHelpers, LabelsCopyTheAxesFontThenApplyThePairs) {
  g.set(ax, {{"FontSize", 12.0},
             {"FontName", "DejaVu Serif"},
             {"FontAngle", "italic"},
             {"FontWeight", "bold"}});
  Value h = call("xlabel", {"Age", "FontSize", 20.0, "Color", Value::row({1, 0, 0})}, 1).at(0);
  EXPECT_EQ(h, g.get(ax, "XLabel"));
  gfx::Handle t = h(0);
  EXPECT_EQ(g.get_text(t, "String"), "Age");
  EXPECT_EQ(g.get_number(t, "FontSize"), 20);  // the pair overrides the copy
  EXPECT_EQ(g.get_text(t, "FontName"), "DejaVu Serif");
  EXPECT_EQ(g.get_text(t, "FontAngle"), "italic");
  EXPECT_EQ(g.get_text(t, "FontWeight"), "bold");
  EXPECT_EQ(g.get(t, "Color"), Value::row({1, 0, 0}));

  EXPECT_TRUE(call("ylabel", {"Y axis"}, 0).empty());
  EXPECT_EQ(g.get_text(g.get(ax, "YLabel")(0), "String"), "Y axis");
  EXPECT_EQ(g.get_number(g.get(ax, "YLabel")(0), "FontSize"), 12);
  call("zlabel", {"Z axis"});
  EXPECT_EQ(g.get_text(g.get(ax, "ZLabel")(0), "String"), "Z axis");
  EXPECT_EQ(g.get_text(t, "String"), "Age");
}

TEST_F(AxesHelpers, LabelRefusals) {
  EXPECT_EQ(error_text([&] {
              call("xlabel", {"Age", "FontSize"});
            }),
            "Incorrect number of input arguments");
  EXPECT_EQ(error_text([&] {
              call("zlabel", {"Age", "FontSize", 3.0, "Color"});
            }),
            "Incorrect number of input arguments");
  EXPECT_EQ(g.get_text(g.get(ax, "XLabel")(0), "String"), "");
  EXPECT_EQ(error_text([&] { call("ylabel", {}); }),
            "Run-time Error: File: ylabel Line: 1 Column: 1 Input argument \"string\" is "
            "undefined.");
  EXPECT_EQ(error_text([&] { call("xlabel", {"Age"}, 2); }),
            "Run-time Error: File: xlabel Line: 1 Column: 1 The function \"xlabel\" was called "
            "with more than the declared number of outputs (1).");
  // A bad further argument is found after the settings before it.
  EXPECT_EQ(error_text([&] {
              call("xlabel", {"Size", "NoSuchProperty", 1.0});
            }),
            "There is no \"nosuchproperty\" property of the text object.");
  EXPECT_EQ(g.get_text(g.get(ax, "XLabel")(0), "String"), "Size");
}

TEST_F(AxesHelpers, AnOddPairCountCreatesNoAxes) {
  g.destroy(fig);
  EXPECT_EQ(error_text([&] {
              call("xlabel", {"Age", "FontSize"});
            }),
            "Incorrect number of input arguments");
  EXPECT_TRUE(g.figures().empty());
}

TEST_F(AxesHelpers, ClaDeletesPlottedObjectsAndKeepsTheAxes) {
  g.hold(ax, true);
  g.plot(ax, {0, 1}, {0, 1}, {}, "k-", false);
  g.text(ax, 0.5, 0.5, 0, Value("mark"));
  g.set(ax, "XLim", Value::row({-2, 2}));
  call("xlabel", {"kept"});
  Value got = call("cla", {}, 1).at(0);
  EXPECT_EQ(got, Value(ax));
  EXPECT_TRUE(g.valid(ax));
  EXPECT_TRUE(g.get(ax, "Children").empty());
  EXPECT_EQ(g.get(ax, "XLim"), Value::row({-2, 2}));
  EXPECT_EQ(g.get_text(g.get(ax, "XLabel")(0), "String"), "kept");
  EXPECT_TRUE(call("cla", {}, 0).empty());
}

TEST_F(AxesHelpers, ClfDeletesTheVisibleChildrenOfTheCurrentFigure) {
  gfx::Handle button = g.create(gfx::Type::UiControl, fig);
  gfx::Handle hidden = g.create(gfx::Type::UiControl, fig, {{"HandleVisibility", "off"}});
  Value got = call("clf", {}, 1).at(0);
  EXPECT_EQ(got, Value(fig));
  EXPECT_FALSE(g.valid(ax));
  EXPECT_FALSE(g.valid(button));
  EXPECT_TRUE(g.valid(hidden));
  EXPECT_TRUE(g.valid(fig));
}

TEST_F(AxesHelpers, ClearingTakesNoOptions) {
  EXPECT_EQ(error_text([&] { call("cla", {"reset"}); }),
            "cla takes no options (the first one given is \"reset\").");
  EXPECT_EQ(error_text([&] { call("clf", {Value(1.0)}); }),
            "clf takes no options (the first one given is a value that is not text).");
  EXPECT_TRUE(g.valid(ax));
}

}  // namespace
}  // namespace velmora::gui
