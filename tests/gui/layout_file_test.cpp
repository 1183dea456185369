#include "gui/layout_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "gui_test_support.hpp"

namespace velmora::gui {
namespace {

using Json = nlohmann::ordered_json;
using testing::error_text;
using testing::GuiTest;
using testing::TempFolder;

TEST(JsonToValue, NumbersTextAndEmpty) {
  EXPECT_EQ(json_to_value(Json::parse("2.5")), Value(2.5));
  EXPECT_EQ(json_to_value(Json::parse("7")), Value(7.0));
  EXPECT_EQ(json_to_value(Json::parse("\"LoadData\"")), Value("LoadData"));
  EXPECT_EQ(json_to_value(Json::parse("true")), Value(1.0));
  Value empty = json_to_value(Json::parse("[]"));
  EXPECT_TRUE(empty.is_double() && empty.empty());
  EXPECT_TRUE(json_to_value(Json::parse("null")).empty());
}

TEST(JsonToValue, ArraysOfNumbersBecomeRowsAndMatrices) {
  EXPECT_EQ(json_to_value(Json::parse("[80, 80, 1000, 660]")), Value::row({80, 80, 1000, 660}));
  Value m = json_to_value(Json::parse("[[1, 2, 3], [4, 5, 6]]"));
  ASSERT_EQ(m.rows(), 2u);
  ASSERT_EQ(m.cols(), 3u);
  EXPECT_EQ(m(0, 2), 3);
  EXPECT_EQ(m(1, 0), 4);
  // Rows of unequal length are no matrix: a cell row of rows.
  Value ragged = json_to_value(Json::parse("[[1, 2], [3]]"));
  ASSERT_TRUE(ragged.is_cell());
  EXPECT_EQ(ragged.at(1), Value::row({3}));
}

TEST(JsonToValue, ArraysHoldingTextBecomeCellRows) {
  Value popup = json_to_value(Json::parse(R"(["Deformed", "Vectors", "Both", "Grid"])"));
  ASSERT_TRUE(popup.is_cell());
  EXPECT_EQ(popup.rows(), 1u);
  EXPECT_EQ(popup.cols(), 4u);
  EXPECT_EQ(popup.at(3), Value("Grid"));

  Value density = json_to_value(Json::parse(R"(["velmorasw", "SetPlotDensity", 10])"));
  ASSERT_EQ(density.numel(), 3u);
  EXPECT_EQ(density.at(1), Value("SetPlotDensity"));
  EXPECT_EQ(density.at(2), Value(10.0));

  Value cb =
      json_to_value(Json::parse(R"(["Velmora", "pushbutton4_Callback", "$gcbo", [], "$guidata"])"));
  ASSERT_EQ(cb.numel(), 5u);
  EXPECT_TRUE(cb.at(3).is_double() && cb.at(3).empty());
  EXPECT_EQ(cb.at(4), Value("$guidata"));
}

TEST(JsonToValue, AnObjectIsNoPropertyValue) {
  EXPECT_EQ(error_text([] { json_to_value(Json::parse(R"({"a": 1})")); }),
            "A property value cannot be a JSON object or binary data.");
}

constexpr const char* kLayout = R"({
  "figure": {"Tag": "Main", "Name": "Test window", "Position": [100, 100, 400, 300]},
  "children": [
    {"type": "uimenu", "Label": "File", "Tag": "FileMenu", "children": [
      {"type": "uimenu", "Label": "Open", "Tag": "OpenItem",
       "Callback": ["velmorasw", "LoadData"]},
      {"type": "uimenu", "Label": "Density", "children": [
        {"type": "uimenu", "Label": "10", "Tag": "Density10",
         "Callback": ["velmorasw", "SetPlotDensity", 10]}]}]},
    {"type": "uicontrol", "Style": "popupmenu", "Tag": "DeFormat",
     "String": ["Deformed", "Vectors", "Both", "Grid"], "Value": 2},
    {"type": "uicontrol", "Style": "text", "Tag": "FileBox",
     "Position": [10, 20, 30, 40], "Units": "points"},
    {"type": "axes", "Tag": "axes1", "Units": "pixels", "Position": [50, 50, 200, 150]}
  ]})";

class LayoutFile : public GuiTest {};

TEST_F(LayoutFile, ChildrenFollowTheFileOrderAndMenusNest) {
  TempFolder dir;
  std::string path = dir.write("main.fig", kLayout);
  gfx::Handle fig = load_layout(path);
  EXPECT_EQ(g.type(fig), gfx::Type::Figure);
  EXPECT_EQ(g.get_text(fig, "Tag"), "Main");
  EXPECT_EQ(g.get_text(fig, "Visible"), "on");
  EXPECT_EQ(g.get_text(fig, "FileName"), path);

  const auto& kids = g.children(fig);
  ASSERT_EQ(kids.size(), 4u);
  EXPECT_EQ(g.get_text(kids[0], "Tag"), "FileMenu");
  EXPECT_EQ(g.get_text(kids[1], "Tag"), "DeFormat");
  EXPECT_EQ(g.get_text(kids[2], "Tag"), "FileBox");
  EXPECT_EQ(g.get_text(kids[3], "Tag"), "axes1");

  gfx::Handle density10 = g.find_tag("Density10");
  gfx::Handle density_menu = g.parent(density10);
  EXPECT_EQ(g.get_text(density_menu, "Label"), "Density");
  EXPECT_EQ(g.parent(density_menu), kids[0]);
  Value cb = g.get(density10, "Callback");
  ASSERT_TRUE(cb.is_cell());
  EXPECT_EQ(cb.at(2), Value(10.0));

  EXPECT_EQ(g.get(kids[1], "Value"), Value(2.0));
  EXPECT_EQ(g.get(kids[1], "String").numel(), 4u);
}

TEST_F(LayoutFile, UnitsAreAppliedBeforeThePosition) {
  TempFolder dir;
  gfx::Handle fig = load_layout(dir.write("main.fig", kLayout));
  gfx::Handle box = g.find_tag("FileBox");
  EXPECT_EQ(g.get_text(box, "Units"), "points");
  EXPECT_EQ(g.get(box, "Position"), Value::row({10, 20, 30, 40}));
  g.set(box, "Units", "pixels");
  EXPECT_DOUBLE_EQ(g.get(box, "Position")(2), 40);  // 30 pt at 96 px/inch
  EXPECT_EQ(g.get(fig, "Position"), Value::row({100, 100, 400, 300}));
}

// Records whether the figure was visible while each child was created.
class VisibilityProbe : public gfx::HeadlessBackend {
 public:
  void object_created(gfx::Handle h, gfx::Handle figure) override {
    if (figure >= 0 && h != figure)
      shown_while_building.push_back(gfx::graphics().get_text(figure, "Visible") == "on");
  }
  std::vector<bool> shown_while_building;
};

TEST_F(LayoutFile, TheFigureStaysHiddenUntilEveryChildExists) {
  TempFolder dir;
  auto* probe = new VisibilityProbe();
  gfx::Graphics& gr = gfx::install_graphics(std::unique_ptr<gfx::Backend>(probe));
  gfx::Handle fig = load_layout(dir.write("main.fig", kLayout));
  EXPECT_EQ(probe->shown_while_building.size(), 7u);  // four menus, two controls, axes
  for (bool shown : probe->shown_while_building) EXPECT_FALSE(shown);
  EXPECT_EQ(gr.get_text(fig, "Visible"), "on");
}

TEST_F(LayoutFile, TheFileDecidesTheFinalVisibility) {
  TempFolder dir;
  gfx::Handle fig = load_layout(
      dir.write("hidden.fig", R"({"figure": {"Visible": "off", "Name": "H"}, "children": []})"));
  EXPECT_EQ(g.get_text(fig, "Visible"), "off");
  EXPECT_EQ(g.get_text(fig, "Name"), "H");
  // A file without children and without figure properties is a plain window.
  gfx::Handle plain = load_layout(dir.write("plain.fig", "{}"));
  EXPECT_EQ(g.get_text(plain, "Visible"), "on");
  EXPECT_TRUE(g.children(plain).empty());
}

TEST_F(LayoutFile, FailuresNameTheFileAndLeaveNoWindow) {
  TempFolder dir;
  std::string missing = (dir.path() / "missing.fig").string();
  EXPECT_EQ(error_text([&] { load_layout(missing); }),
            "Cannot open the layout file \"" + missing + "\": No such file or directory.");

  std::string bad = dir.write("bad.fig", "{\n  \"figure\": {\"Tag\": \"x\",}\n}");
  std::string text = error_text([&] { load_layout(bad); });
  EXPECT_EQ(text.rfind("Layout file \"" + bad + "\": not valid JSON (", 0), 0u) << text;
  EXPECT_NE(text.find("line 2"), std::string::npos) << text;

  std::string unknown = dir.write(
      "unknown.fig",
      R"({"children": [{"type": "uicontrol", "Tag": "A"}, {"type": "uicontrol", "Colour": [1, 0, 0]}]})");
  EXPECT_EQ(
      error_text([&] { load_layout(unknown); }),
      "Layout file \"" + unknown + "\": There is no \"colour\" property of the uicontrol object.");

  std::string no_type = dir.write("notype.fig", R"({"children": [{"Tag": "A"}]})");
  EXPECT_EQ(error_text([&] { load_layout(no_type); }),
            "Layout file \"" + no_type +
                "\": every child needs a \"type\" (\"uicontrol\", \"uimenu\" or \"axes\").");

  std::string wrong_type = dir.write("line.fig", R"({"children": [{"type": "line"}]})");
  EXPECT_EQ(
      error_text([&] { load_layout(wrong_type); }),
      "Layout file \"" + wrong_type +
          "\": unknown object type \"line\" (expected \"uicontrol\", \"uimenu\" or \"axes\").");

  std::string top = dir.write("array.fig", "[1, 2]");
  EXPECT_EQ(error_text([&] { load_layout(top); }),
            "Layout file \"" + top + "\": the top level must be a JSON object.");

  EXPECT_TRUE(g.figures().empty());
}

TEST(ResolveLayout, WorkingFolderFirstThenBesideTheExecutable) {
  namespace fs = std::filesystem;
  TempFolder dir;
  fs::path exe_folder = fs::read_symlink("/proc/self/exe").parent_path();
  const std::string name = "velmora_resolve_test_layout.fig";
  { std::ofstream(exe_folder / name) << "{}"; }
  EXPECT_EQ(resolve_layout(name), (exe_folder / name).string());
  dir.write(name, "{}");
  EXPECT_EQ(resolve_layout(name), name);  // the working folder wins
  fs::remove(exe_folder / name);
  fs::remove(dir.path() / name);
  EXPECT_EQ(resolve_layout(name), name);  // nowhere: as given
  EXPECT_EQ(resolve_layout("/no/such/folder/x.fig"), "/no/such/folder/x.fig");
}

}  // namespace
}  // namespace velmora::gui
