#include "gui/message_box.hpp"

#include <gtest/gtest.h>

#include <set>

#include "gui/message_icons.hpp"
#include "gui/window_placement.hpp"
#include "gui_test_support.hpp"
#include "platform/runtime/console.hpp"

namespace velmora::gui {
namespace {

using testing::error_text;
using testing::GuiTest;

// Positions pass through pixels, so points come back within rounding.
void expect_rect(const Value& got, std::array<double, 4> want) {
  ASSERT_EQ(got.numel(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got(i), want[i], 1e-9) << "entry " << i;
}

TEST(MessageBoxForms, EveryInputForm) {
  struct Case {
    ValueList args;
    std::string title, icon, mode;
  };
  const Value data = Value::zeros(32, 32), map = Value::zeros(2, 3);
  const Case cases[] = {
      {{"m"}, " ", "none", "non-modal"},
      {{"m", "Result"}, "Result", "none", "non-modal"},
      {{"m", "modal"}, " ", "none", "modal"},
      {{"m", "Replace"}, " ", "none", "replace"},
      {{"m", "Result", "warn"}, "Result", "warn", "non-modal"},
      {{"m", "Result", "HELP"}, "Result", "help", "non-modal"},
      {{"m", "Result", "replace"}, "Result", "none", "replace"},
      {{"m", "Result", "error", "modal"}, "Result", "error", "modal"},
      {{"m", "Result", "custom", data, map}, "Result", "custom", "non-modal"},
      {{"m", "Result", "custom", data, map, "replace"}, "Result", "custom", "replace"},
      {{"m", "Result", "warn", data, map, "non-modal"}, "Result", "warn", "non-modal"},
  };
  for (const Case& c : cases) {
    MessageBoxSetup s = resolve_message_box_args(c.args);
    EXPECT_EQ(s.title, c.title) << c.args.size() << " inputs";
    EXPECT_EQ(s.icon, c.icon) << c.args.size() << " inputs";
    EXPECT_EQ(s.mode, c.mode) << c.args.size() << " inputs";
    EXPECT_EQ(s.interpreter, "none");
  }
}

TEST(MessageBoxForms, ARecordGivesTheModeAndTheInterpreter) {
  Value mode = Value::record();
  mode.set_field("WindowStyle", Value("modal"));
  mode.set_field("Interpreter", Value("tex"));
  MessageBoxSetup s = resolve_message_box_args({"m", "T", mode});
  EXPECT_EQ(s.mode, "modal");
  EXPECT_EQ(s.icon, "none");
  EXPECT_EQ(s.interpreter, "tex");
  MessageBoxSetup only = resolve_message_box_args({"m", mode});
  EXPECT_EQ(only.title, " ");
  EXPECT_EQ(only.mode, "modal");
}

TEST(MessageBoxForms, WarningsFallBackToTheDefaults) {
  ConsoleCapture out;
  MessageBoxSetup icon = resolve_message_box_args({"m", "T", "smiley"});
  EXPECT_EQ(icon.icon, "none");
  EXPECT_EQ(out.text(), "Warning: Invalid string for Icon in MSGBOX.\n");
  out.clear();
  MessageBoxSetup mode = resolve_message_box_args({"m", "T", "help", "sometimes"});
  EXPECT_EQ(mode.icon, "help");
  EXPECT_EQ(mode.mode, "non-modal");
  EXPECT_EQ(out.text(), "Warning: Invalid string for CreateMode in MSGBOX.\n");
  out.clear();
  MessageBoxSetup forced =
      resolve_message_box_args({"m", "T", "warn", Value::zeros(32, 32), Value::zeros(2, 3)});
  EXPECT_EQ(forced.icon, "custom");
  EXPECT_EQ(out.text(), "Warning: Icon must be 'custom' when specifying icon data in MSGBOX\n");
}

TEST(MessageBoxForms, Refusals) {
  EXPECT_EQ(error_text([] {
              resolve_message_box_args({"m", "T", "custom", Value::zeros(2, 2), "modal"});
            }),
            "A Colormap must be specified when calling MSGBOX with 5 input arguments.");
  EXPECT_EQ(error_text([] { resolve_message_box_args({}); }), "Not enough input arguments.");
  EXPECT_EQ(error_text([] { resolve_message_box_args(ValueList(7, Value("m"))); }),
            "Too many input arguments.");
  EXPECT_EQ(error_text([] {
              resolve_message_box_args({"m", Value(3.0)});
            }),
            "The title of a message box must be text.");
}

TEST(MessageBoxWrap, LinesBreakAtBlanksWithinSeventyFiveColumns) {
  std::string words = "word0";
  for (int i = 1; i < 40; ++i) words += " word" + std::to_string(i);
  auto lines = wrap_message(Value(words));
  ASSERT_GT(lines.size(), 1u);
  std::u16string rejoined;
  for (const auto& l : lines) {
    EXPECT_LE(l.size(), 75u);
    EXPECT_NE(l.front(), u' ');
    EXPECT_NE(l.back(), u' ');
    rejoined += (rejoined.empty() ? u"" : u" ") + l;
  }
  EXPECT_EQ(u16_to_utf8(rejoined), words);
  // A word longer than a line is cut; line feeds and cell entries start lines.
  auto cut = wrap_message(Value(std::string(80, 'x')));
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[0].size(), 75u);
  EXPECT_EQ(cut[1].size(), 5u);
  EXPECT_EQ(wrap_message(Value("one\ntwo")).size(), 2u);
  EXPECT_EQ(wrap_message(Value::cell_row({Value("a"), Value("b"), Value("c")})).size(), 3u);
}

class MessageBox : public GuiTest {
 protected:
  Value points(gfx::Handle fig) {
    g.set(fig, "Units", "points");
    return g.get(fig, "Position");
  }
  gfx::Handle only_child_tagged(gfx::Handle fig, const std::string& tag) {
    std::vector<gfx::Handle> found;
    for (gfx::Handle h : g.all_objects(fig))
      if (g.get_text(h, "Tag") == tag) found.push_back(h);
    EXPECT_EQ(found.size(), 1u) << tag;
    return found.empty() ? -1 : found.front();
  }
};

TEST_F(MessageBox, AShortMessageGivesAWindowTwoHundredTenPointsWide) {
  gfx::Handle fig = msgboxd(Value("Done."), resolve_message_box_args({"Done.", "Result"}));
  // One line of 14-point text is 17.5 points high in the headless font
  // metrics; the window is centred on the 1440×810-point screen.
  const double height = 7 + 7 + 20 + 17.5 + 7;
  expect_rect(points(fig), {(1440 - 210) / 2.0, (810 - height) / 2, 210, height});

  gfx::Handle ok = only_child_tagged(fig, "OKButton");
  g.set(ok, "Units", "points");
  expect_rect(g.get(ok, "Position"), {85, 7, 40, 20});
  EXPECT_EQ(g.get_text(ok, "String"), "OK");

  gfx::Handle text = only_child_tagged(fig, "MessageBox");
  EXPECT_EQ(g.type(text), gfx::Type::Text);
  EXPECT_EQ(g.get(text, "Position"), Value::row({7, 34 + 5, 0}));
  EXPECT_EQ(g.get_text(text, "Interpreter"), "none");
  EXPECT_EQ(g.get_text(g.parent(text), "Visible"), "off");

  EXPECT_EQ(g.get_text(fig, "Name"), "Result");
  EXPECT_EQ(g.get_text(fig, "Tag"), "Result");
  EXPECT_EQ(g.get_text(fig, "Visible"), "on");
  EXPECT_EQ(g.get_text(fig, "HandleVisibility"), "callback");
  EXPECT_EQ(g.get_text(fig, "WindowStyle"), "normal");
  EXPECT_EQ(g.get_text(fig, "Pointer"), "arrow");
  EXPECT_EQ(g.get_text(fig, "ToolBar"), "none");
}

TEST_F(MessageBox, ALongMessageIsWrappedAndTheWindowGrows) {
  std::string words;
  for (int i = 0; i < 30; ++i) words += "slope" + std::to_string(i) + " ";
  words += "\nlast line";
  gfx::Handle fig = msgboxd(Value(words), resolve_message_box_args({words, "Long"}));
  gfx::Handle text = only_child_tagged(fig, "MessageBox");
  Value lines = g.get(text, "String");
  ASSERT_TRUE(lines.is_cell());
  std::size_t longest = 0;
  for (const Value& l : lines.items()) longest = std::max(longest, l.chars().size());
  EXPECT_LE(longest, 75u);
  Value pos = points(fig);
  EXPECT_NEAR(pos(2), 7 + longest * 0.55 * 14 + 7, 1e-9);
  EXPECT_NEAR(pos(3), 34 + lines.numel() * 1.25 * 14 + 7, 1e-9);
  // The backend hears of the window with the text as given.
  ASSERT_EQ(backend().messages().size(), 1u);
  EXPECT_EQ(backend().messages()[0].title, "Long");
  EXPECT_EQ(backend().messages()[0].text, words);
  EXPECT_TRUE(backend().messages()[0].window);
}

TEST_F(MessageBox, ATableKeepsItsLinesInAFixedWidthFieldThatNeverPassesTheScreen) {
  const std::string row(90, 'x');
  MessageBoxSetup setup;
  setup.title = "Procrustes ANOVA";
  setup.table = true;
  gfx::Handle fig = msgboxd(Value("Df  SS\n" + row), setup);
  gfx::Handle field = only_child_tagged(fig, "MessageBox");
  Value lines = g.get(field, "String");
  ASSERT_EQ(lines.numel(), 2u);
  EXPECT_EQ(lines.at(1).to_string(), row);  // never wrapped
  EXPECT_EQ(g.get_text(field, "FontName"), kTableFontName);
  // A read-only field of several lines: selectable and copyable.
  EXPECT_EQ(g.get_text(field, "Style"), "edit");
  EXPECT_EQ(g.get_text(field, "Enable"), "inactive");
  EXPECT_NEAR(points(fig)(2), 7 + 90 * 0.55 * 14 + MessageBoxLayout::kTableFieldPad + 7, 1e-9);

  // A table larger than the screen scrolls in a window that fits on it.
  std::string big;
  for (int i = 0; i < 300; ++i) big += (i ? "\n" : "") + std::string(400, 'y');
  gfx::Handle huge = msgboxd(Value(big), setup);
  const auto [sw, sh] = screen_size("points");
  Value pos = points(huge);
  EXPECT_GE(pos(0), 0);
  EXPECT_GE(pos(1), 0);
  EXPECT_LE(pos(2), sw * MessageBoxLayout::kTableScreenShare + 1e-9);
  EXPECT_LE(pos(3), sh * MessageBoxLayout::kTableScreenShare + 1e-9);
  EXPECT_EQ(g.get(only_child_tagged(huge, "MessageBox"), "String").numel(), 300u);
}

TEST_F(MessageBox, NonModalBoxesAreSeparateAndReplaceReusesTheWindow) {
  gfx::Handle a = call("msgboxd", {"first", "Wilks"}, 1).at(0)(0);
  gfx::Handle b = call("msgboxd", {"second", "Wilks"}, 1).at(0)(0);
  EXPECT_NE(a, b);
  gfx::Handle c =
      call("msgboxd",
           {"third is a much longer message than the others were", "Wilks", "none", "replace"}, 1)
          .at(0)(0);
  // The first window of that title is kept, the others are closed.
  EXPECT_EQ(c, a);
  EXPECT_FALSE(g.valid(b));
  only_child_tagged(a, "OKButton");
  gfx::Handle text = only_child_tagged(a, "MessageBox");
  EXPECT_EQ(g.get(text, "String").at(0).to_string(),
            "third is a much longer message than the others were");
  // Another title gets a window of its own.
  gfx::Handle d = call("msgboxd", {"other", "Other", "modal"}, 1).at(0)(0);
  EXPECT_NE(d, a);
  EXPECT_EQ(g.get_text(d, "WindowStyle"), "modal");
  EXPECT_EQ(call("msgboxd", {"again", "Other", "modal"}, 1).at(0)(0), d);
}

TEST_F(MessageBox, ReturnsTheHandleOnlyWhenAsked) {
  EXPECT_TRUE(call("msgboxd", {"quiet"}, 0).empty());
  ValueList out = call("msgboxd", {"loud"}, 1);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(g.type(out[0](0)), gfx::Type::Figure);
  EXPECT_EQ(g.figures().size(), 2u);
}

TEST_F(MessageBox, BlankOrReturnClosesTheWindowOtherKeysDoNot) {
  for (const char* key : {" ", "\r"}) {
    gfx::Handle fig = msgboxd(Value("press"), MessageBoxSetup{});
    g.set(fig, "CurrentCharacter", Value(key));
    g.run_callback(fig, "KeyPressFcn");
    EXPECT_FALSE(g.valid(fig)) << int(key[0]);
  }
  gfx::Handle fig = msgboxd(Value("press"), MessageBoxSetup{});
  g.set(fig, "CurrentCharacter", Value("x"));
  g.run_callback(fig, "KeyPressFcn");
  EXPECT_TRUE(g.valid(fig));
  g.set(fig, "CurrentCharacter", Value(13.0));  // a character code works too
  g.run_callback(fig, "KeyPressFcn");
  EXPECT_FALSE(g.valid(fig));
}

TEST_F(MessageBox, TheKeyPressMarkerActsOnTheCurrentFigure) {
  gfx::Handle plain = g.new_figure();
  g.set(plain, "CurrentCharacter", Value("x"));
  EXPECT_TRUE(call("msgboxd", {"#FigKeyPressFcn"}, 1).empty());
  EXPECT_TRUE(g.valid(plain));
  g.set(plain, "CurrentCharacter", Value(" "));
  call("msgboxd", {"#FigKeyPressFcn"});
  EXPECT_FALSE(g.valid(plain));
  EXPECT_TRUE(backend().messages().empty());
}

TEST_F(MessageBox, TheOkButtonClosesItsWindow) {
  gfx::Handle fig = msgboxd(Value("ok?"), MessageBoxSetup{});
  gfx::Handle other = g.new_figure();
  g.run_callback(only_child_tagged(fig, "OKButton"), "Callback");
  EXPECT_FALSE(g.valid(fig));
  EXPECT_TRUE(g.valid(other));
}

TEST_F(MessageBox, StockIconsAreTwoColourPicturesBesideTheText) {
  std::set<std::vector<double>> pictures;
  for (const char* icon : {"warn", "help", "error"}) {
    gfx::Handle fig = msgboxd(Value("Careful."), resolve_message_box_args({"Careful.", "T", icon}));
    gfx::Handle ax = only_child_tagged(fig, "IconAxes");
    g.set(ax, "Units", "points");
    // The icon is the taller part; the text is centred on it.
    expect_rect(g.get(ax, "Position"), {7, 34, 32, 32});
    EXPECT_EQ(g.get(ax, "XLim"), Value::row({0.5, 32.5}));
    ASSERT_EQ(g.children(ax).size(), 5u);  // four label texts and the image
    gfx::Handle image = g.children(ax).back();
    EXPECT_EQ(g.type(image), gfx::Type::Image);
    Value cdata = g.get(image, "CData");
    ASSERT_EQ(cdata.rows(), 32u);
    ASSERT_EQ(cdata.cols(), 32u);
    std::set<double> entries(cdata.data().begin(), cdata.data().end());
    EXPECT_EQ(entries, (std::set<double>{1, 2})) << icon;
    pictures.insert(cdata.data());

    Value map = g.get(fig, "Colormap");
    Value color = g.get(fig, "Color");
    ASSERT_EQ(map.rows(), 2u);
    EXPECT_EQ(map(0, 0) + map(0, 1) + map(0, 2), 0);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(map(1, k), color(k));

    gfx::Handle text = only_child_tagged(fig, "MessageBox");
    Value tp = g.get(text, "Position");
    EXPECT_EQ(tp(0), 7 + 32 + 7);
    EXPECT_DOUBLE_EQ(tp(1), 34 + (32 - 17.5) / 2 + 5);
    // The initial 190 less margins and icon leaves a 144-point text box.
    EXPECT_NEAR(points(fig)(2), 7 + 32 + 7 + 144 + 7, 1e-9);
    EXPECT_NEAR(points(fig)(3), 34 + 32 + 7, 1e-9);
  }
  EXPECT_EQ(pictures.size(), 3u);
}

TEST_F(MessageBox, ACustomIconBringsItsOwnPicture) {
  Value picture = Value::zeros(4, 6);
  for (double& x : picture.data()) x = 1;
  Value map = Value::matrix(Eigen::MatrixXd::Identity(3, 3));
  gfx::Handle fig =
      msgboxd(Value("mine"), resolve_message_box_args({"mine", "T", "custom", picture, map}));
  gfx::Handle ax = only_child_tagged(fig, "IconAxes");
  EXPECT_EQ(g.get(g.children(ax).back(), "CData"), picture);
  EXPECT_EQ(g.get(ax, "YLim"), Value::row({0.5, 4.5}));
  EXPECT_EQ(g.get(fig, "Colormap"), map);
  EXPECT_EQ(
      error_text([&] {
        msgboxd(Value("m"), resolve_message_box_args({"m", "T", "custom", picture, Value()}));
      }),
      "A custom icon in MSGBOX needs icon data (an image) and a colour map of three columns.");
}

}  // namespace
}  // namespace velmora::gui
