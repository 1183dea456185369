#include "gui/gui_data.hpp"

#include <gtest/gtest.h>

#include "gui_test_support.hpp"

namespace velmora::gui {
namespace {

using testing::error_text;
using testing::GuiTest;

class GuiData : public GuiTest {
 protected:
  gfx::Handle control(gfx::Handle fig, const std::string& tag) {
    return g.create(gfx::Type::UiControl, fig, {{"Tag", tag}});
  }
};

TEST_F(GuiData, OneFieldPerValidTagInSearchOrder) {
  gfx::Handle fig = g.new_figure({{"Tag", "Main"}});
  gfx::Handle a = control(fig, "RotX");
  gfx::Handle menu = g.create(gfx::Type::UiMenu, fig, {{"Tag", "Display"}});
  gfx::Handle item =
      g.create(gfx::Type::UiMenu, menu, {{"Tag", "DotCheck"}, {"HandleVisibility", "off"}});
  gfx::Handle b = control(fig, "RotX");
  control(fig, "");

  Value h = guihandles(Value(fig));
  ASSERT_TRUE(h.is_struct());
  EXPECT_EQ(h.field_names(), (std::vector<std::string>{"Main", "RotX", "Display", "DotCheck"}));
  EXPECT_EQ(h.field("Main"), Value(fig));
  EXPECT_EQ(h.field("RotX"), Value::row({a, b}));  // both, in search order
  EXPECT_EQ(h.field("DotCheck"), Value(item));     // hidden objects count
}

TEST_F(GuiData, InvalidTagsGiveNoField) {
  gfx::Handle fig = g.new_figure();
  for (const char* tag : {"1st", "two words", "end", "for", "x-y"}) control(fig, tag);
  gfx::Handle ok = control(fig, "a_1");
  Value h = guihandles(Value(fig));
  ASSERT_TRUE(h.is_struct());
  EXPECT_EQ(h.field_names(), std::vector<std::string>{"a_1"});
  EXPECT_EQ(h.field("a_1"), Value(ok));

  gfx::Handle bare = g.new_figure();
  control(bare, "9lives");
  Value none = guihandles(Value(bare));
  EXPECT_TRUE(none.is_double() && none.empty());
}

TEST_F(GuiData, AnyDescendantLeadsToItsFigure) {
  gfx::Handle fig = g.new_figure({{"Tag", "Main"}});
  gfx::Handle ax = g.create(gfx::Type::Axes, fig, {{"Tag", "axes1"}});
  gfx::Handle line = g.create(gfx::Type::Line, ax);
  EXPECT_EQ(parent_figure(Value(line)), fig);
  EXPECT_EQ(guihandles(Value(line)).field("axes1"), Value(ax));
  EXPECT_EQ(parent_figure(Value(gfx::kRoot)), -1);
  EXPECT_EQ(parent_figure(Value::row({fig, fig})), -1);
  EXPECT_EQ(parent_figure(Value("Main")), -1);
}

TEST_F(GuiData, RefusesTheRootAndStaleHandles) {
  const std::string refusal = "H must be the handle to a figure or figure descendent.";
  EXPECT_EQ(error_text([] { guihandles(Value(gfx::kRoot)); }), refusal);
  gfx::Handle fig = g.new_figure();
  g.destroy(fig);
  EXPECT_EQ(error_text([&] { guihandles(Value(fig)); }), refusal);
  EXPECT_EQ(error_text([] { guidata(Value(gfx::kRoot)); }), refusal);
  EXPECT_EQ(error_text([] { guidata(Value(gfx::kRoot), Value(1.0)); }), refusal);
  EXPECT_EQ(error_text([] { guidata(Value()); }), refusal);
}

TEST_F(GuiData, DataThroughAChildBelongsToTheWindow) {
  gfx::Handle fig = g.new_figure();
  gfx::Handle button = control(fig, "OK");
  EXPECT_TRUE(guidata(Value(fig)).empty());
  Value data = Value::record();
  data.set_field("OK", Value(button));
  guidata(Value(button), data);
  EXPECT_EQ(g.appdata(fig, "UsedByGUIData_m"), data);
  EXPECT_EQ(guidata(Value(fig)), data);
  EXPECT_EQ(guidata(Value(button)), data);
}

TEST_F(GuiData, ByName) {
  gfx::Handle fig = g.new_figure({{"Tag", "Main"}});
  gfx::Handle button = control(fig, "OK");
  // Without input: the current figure.
  Value h = call("guihandles", {}, 1).at(0);
  EXPECT_EQ(h.field("OK"), Value(button));
  EXPECT_EQ(call("guihandles", {Value(button)}, 1).at(0), h);

  EXPECT_TRUE(call("guidata", {Value(button), h}, 0).empty());
  EXPECT_EQ(call("guidata", {Value(fig)}, 1).at(0), h);

  EXPECT_EQ(error_text([&] { call("guidata", {}, 1); }), "Not enough input arguments.");
  EXPECT_EQ(error_text([&] { call("guidata", {Value(fig), h}, 1); }), "Too many output arguments.");
  EXPECT_EQ(error_text([&] {
              call("guidata", {Value(fig), h, h}, 0);
            }),
            "Run-time Error: File: guidata Line: 1 Column: 1 The function \"guidata\" was "
            "called with more than the declared number of inputs (2).");
  EXPECT_EQ(error_text([&] {
              call("guidata", {Value(fig), h, h}, 2);
            }),
            "Run-time Error: File: guidata Line: 1 Column: 1 The function \"guidata\" was "
            "called with more than the declared number of outputs (1).");
  EXPECT_EQ(error_text([&] {
              call("guihandles", {Value(fig), Value(fig)}, 1);
            }),
            "Run-time Error: File: guihandles Line: 1 Column: 1 The function \"guihandles\" was "
            "called with more than the declared number of inputs (1).");
}

}  // namespace
}  // namespace velmora::gui
