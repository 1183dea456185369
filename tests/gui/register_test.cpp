#include "gui/register.hpp"

#include <gtest/gtest.h>

#include "gui_test_support.hpp"

namespace velmora::gui {
namespace {

using testing::error_text;
using testing::GuiTest;

class Registration : public GuiTest {};

TEST_F(Registration, DeclaredCounts) {
  struct Case {
    const char* name;
    int nargin, nargout;
  };
  const Case cases[] = {{"guidata", 2, 1},   {"guihandles", 1, 1}, {"openfig", 2, 1},
                        {"cla", -1, 1},      {"clf", -1, 1},       {"grid", 2, 0},
                        {"msgboxd", -1, -1}, {"xlabel", -2, 1},    {"ylabel", -2, 1},
                        {"zlabel", -2, 1},   {"isvarname", 1, 1},  {"movegui", -1, 0},
                        {"iskeyword", 1, 1}};
  FunctionTable table;
  register_gui_functions(table);
  ASSERT_EQ(table.entries().size(), std::size(cases));
  for (const Case& c : cases) {
    const FunctionSpec* spec = table.find(c.name);
    ASSERT_NE(spec, nullptr) << c.name;
    EXPECT_EQ(spec->nargin, c.nargin) << c.name;
    EXPECT_EQ(spec->nargout, c.nargout) << c.name;
  }
  // Without an order set, the table keeps the order of registration.
  EXPECT_EQ(table.entries().front().name, "guidata");
  EXPECT_EQ(table.entries().back().name, "iskeyword");
}

TEST_F(Registration, TooManyOutputsIsRefusedBeforeTooManyInputs) {
  auto text = [](const std::string& fn, const char* what, int n) {
    return "Run-time Error: File: " + fn + " Line: 1 Column: 1 The function \"" + fn +
           "\" was called with more than the declared number of " + what + " (" +
           std::to_string(n) + ").";
  };
  struct Case {
    const char* name;
    std::size_t inputs;  // one more than declared (fixed counts only)
    int outputs;         // one more than declared
    int nargin, nargout;
  };
  const Case cases[] = {{"guidata", 3, 2, 2, 1},   {"guihandles", 2, 2, 1, 1},
                        {"openfig", 3, 2, 2, 1},   {"grid", 3, 1, 2, 0},
                        {"isvarname", 2, 2, 1, 1}, {"iskeyword", 2, 2, 1, 1}};
  for (const Case& c : cases) {
    ValueList args(c.inputs, Value("x"));
    EXPECT_EQ(error_text([&] { call(c.name, args, c.outputs); }),
              text(c.name, "outputs", c.nargout));
    EXPECT_EQ(error_text([&] { call(c.name, args, c.outputs - 1); }),
              text(c.name, "inputs", c.nargin));
  }
  for (const char* name : {"cla", "clf", "xlabel", "ylabel", "zlabel"})
    EXPECT_EQ(error_text([&] { call(name, {"x"}, 2); }), text(name, "outputs", 1));
  EXPECT_EQ(error_text([&] { call("movegui", {}, 1); }), text("movegui", "outputs", 0));
  EXPECT_TRUE(g.figures().empty());
}

TEST_F(Registration, WindowCallbacksReachTheFunctionsByName) {
  // A control whose callback names a GUI function with the handle tokens.
  gfx::Handle fig = g.new_figure();
  gfx::Handle ax = g.create(gfx::Type::Axes, fig);
  gfx::Handle button = g.create(gfx::Type::UiControl, fig,
                                {{"Callback", Value::cell_row({Value("grid"), Value("on")})}});
  g.run_callback(button, "Callback");
  EXPECT_EQ(g.get_text(ax, "YGrid"), "on");

  gfx::Handle store =
      g.create(gfx::Type::UiControl, fig,
               {{"Callback", Value::cell_row({Value("guidata"), Value("$gcbo"), Value(42.0)})}});
  g.run_callback(store, "Callback");
  EXPECT_EQ(g.appdata(fig, "UsedByGUIData_m"), Value(42.0));
}

}  // namespace
}  // namespace velmora::gui
