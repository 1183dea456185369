#include "gui/open_figure.hpp"

#include <gtest/gtest.h>

#include "gui_test_support.hpp"

namespace velmora::gui {
namespace {

using testing::error_text;
using testing::GuiTest;
using testing::TempFolder;

constexpr const char* kSmallLayout = R"({
  "figure": {"Tag": "Small", "Position": [100, 100, 300, 200]},
  "children": [{"type": "uicontrol", "Tag": "OkButton", "String": "OK"}]})";

class OpenFigure : public GuiTest {
 protected:
  OpenFigure() { dir.write("Small.fig", kSmallLayout); }
  Value stored(const std::string& base) { return g.appdata(gfx::kRoot, singleton_token(base)); }
  TempFolder dir;
};

TEST_F(OpenFigure, TheTokenIsCutToThirtyOneCharacters) {
  EXPECT_EQ(singleton_token("Velmora"), "Velmora_SINGLETON_handle");
  std::string thirty(30, 'b');
  EXPECT_EQ(singleton_token(thirty), thirty + "_");
  EXPECT_EQ(singleton_token(thirty).size(), 31u);
  EXPECT_EQ(singleton_token(std::string(40, 'c')), std::string(31, 'c'));
}

TEST_F(OpenFigure, ReuseLoadsOnceUntilTheWindowIsClosed) {
  gfx::Handle first = openfig("Small", "reuse");
  gfx::Handle again = openfig("Small", "reuse");
  EXPECT_EQ(first, again);
  EXPECT_EQ(g.figures().size(), 1u);
  EXPECT_EQ(stored("Small"), Value(first));
  EXPECT_EQ(g.current_figure_or_none(), first);

  g.destroy(first);
  gfx::Handle reopened = openfig("Small", "reuse");
  EXPECT_TRUE(g.valid(reopened));
  EXPECT_EQ(g.figures().size(), 1u);
  EXPECT_EQ(stored("Small"), Value(reopened));
}

TEST_F(OpenFigure, NewAlwaysLoadsAndListsEveryWindow) {
  gfx::Handle a = openfig("Small");  // "new" is the default
  gfx::Handle b = openfig("Small.fig", "new");
  EXPECT_NE(a, b);
  EXPECT_EQ(stored("Small"), Value::row({a, b}));
  // "reuse" takes the newest window of the list.
  EXPECT_EQ(openfig("Small", "reuse"), b);
}

TEST_F(OpenFigure, ClosedWindowsArePrunedFromTheList) {
  gfx::Handle a = openfig("Small", "new");
  gfx::Handle b = openfig("Small", "new");
  gfx::Handle c = openfig("Small", "new");
  g.destroy(b);
  g.destroy(c);
  EXPECT_EQ(openfig("Small", "reuse"), a);
  EXPECT_EQ(stored("Small"), Value(a));
  // A new unrelated figure that receives a closed window's number is not
  // taken for that window.
  g.destroy(a);
  gfx::Handle stranger = g.new_figure();
  EXPECT_EQ(stranger, a);
  gfx::Handle loaded = openfig("Small", "reuse");
  EXPECT_NE(loaded, stranger);
  EXPECT_EQ(g.get_text(loaded, "Tag"), "Small");
}

TEST_F(OpenFigure, OnlyTheExactFigExtensionIsAccepted) {
  EXPECT_EQ(error_text([] { openfig("Small.FIG", "reuse"); }), "Argument must be a .fig file");
  EXPECT_EQ(error_text([] { openfig("Small.txt"); }), "Argument must be a .fig file");
  EXPECT_TRUE(g.figures().empty());
  EXPECT_TRUE(g.valid(openfig("Small.fig", "reuse")));
  EXPECT_TRUE(g.valid(openfig("Small", "reuse")));
  EXPECT_EQ(g.figures().size(), 1u);
}

TEST_F(OpenFigure, ThePolicyIsExactAndCheckedBeforeAnythingChanges) {
  EXPECT_EQ(error_text([] { openfig("Small", "Reuse"); }),
            "Second input argument must be 'new' or 'reuse'.");
  EXPECT_EQ(error_text([] { openfig("Small", "old"); }),
            "Second input argument must be 'new' or 'reuse'.");
  EXPECT_TRUE(g.figures().empty());
  EXPECT_FALSE(g.has_appdata(gfx::kRoot, singleton_token("Small")));
}

TEST_F(OpenFigure, LongNamesAgreeingInThirtyOneCharactersShareOneList) {
  std::string stem(31, 'L');
  dir.write(stem + "_one.fig", kSmallLayout);
  dir.write(stem + "_two.fig", kSmallLayout);
  gfx::Handle one = openfig(stem + "_one", "reuse");
  gfx::Handle two = openfig(stem + "_two", "reuse");
  EXPECT_EQ(one, two);
  EXPECT_EQ(g.figures().size(), 1u);
  EXPECT_EQ(g.appdata(gfx::kRoot, stem), Value(one));
}

TEST_F(OpenFigure, TheWindowIsMovedOnScreen) {
  dir.write("Wide.fig", R"({"figure": {"Position": [1800, 900, 400, 300]}, "children": []})");
  gfx::Handle fig = openfig("Wide");
  Value outer = g.get(fig, "OuterPosition");
  EXPECT_DOUBLE_EQ(outer(0), 1920 - 400);
  EXPECT_DOUBLE_EQ(outer(1), 1080 - 324);  // a 24-pixel title bar above 300
}

TEST_F(OpenFigure, AHiddenWindowIsNotMadeCurrent) {
  gfx::Handle other = g.new_figure();
  dir.write("Hidden.fig", R"({"figure": {"Visible": "off"}, "children": []})");
  gfx::Handle hidden = openfig("Hidden");
  EXPECT_EQ(g.get_text(hidden, "Visible"), "off");
  g.make_current(other);
  openfig("Hidden", "reuse");
  EXPECT_EQ(g.current_figure_or_none(), other);
}

TEST_F(OpenFigure, AMissingFileKeepsTheStoredList) {
  gfx::Handle a = openfig("Small", "new");
  std::filesystem::remove(dir.path() / "Small.fig");
  std::string text = error_text([] { openfig("Small", "new"); });
  EXPECT_NE(text.find("Small.fig"), std::string::npos) << text;
  EXPECT_EQ(stored("Small"), Value(a));
}

TEST_F(OpenFigure, ByName) {
  Value fig = call("openfig", {"Small", "reuse"}, 1).at(0);
  EXPECT_EQ(call("openfig", {"Small", "reuse"}, 1).at(0), fig);
  EXPECT_EQ(error_text([&] { call("openfig", {}, 1); }), "Not enough input arguments.");
  EXPECT_EQ(error_text([&] {
              call("openfig", {"Small", "reuse", "x"}, 1);
            }),
            "Run-time Error: File: openfig Line: 1 Column: 1 The function \"openfig\" was "
            "called with more than the declared number of inputs (2).");
  // Outputs are counted before inputs.
  EXPECT_EQ(error_text([&] {
              call("openfig", {"Small", "reuse", "x"}, 2);
            }),
            "Run-time Error: File: openfig Line: 1 Column: 1 The function \"openfig\" was "
            "called with more than the declared number of outputs (1).");
}

}  // namespace
}  // namespace velmora::gui
