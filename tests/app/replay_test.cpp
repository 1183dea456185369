// Figures that replay: the input controls and the 3-D view live in the
// model, batch scripts set them, and a saved session exports the same
// picture when the program replays it.
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/batch.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "view/view3d.hpp"

namespace velmora::app {
namespace {

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Runs the program on a batch script; its exit status and what it printed.
std::pair<int, std::string> replay_with_program(const std::string& script) {
  return run_program(std::filesystem::current_path(), "--batch '" + script + "'");
}

class Replay : public AppTest {
 protected:
  /// Runs a batch script in this process; the fixture then looks at the
  /// run-time the script left.
  int run_text(const std::string& text) {
    std::istringstream in(text);
    const int status = run_batch(parse_batch(in, "/"));
    g = &gfx::graphics();
    hb = gfx::headless_backend();
    return status;
  }
  int run_file(const std::string& path) {
    const int status = run_batch_file(path);
    g = &gfx::graphics();
    hb = gfx::headless_backend();
    return status;
  }
  /// The 3-D axes, as the user turns and zooms them with the mouse.
  gfx::Handle axes3d() const {
    return g->get(*workspace().window.figure3d, "CurrentAxes").to_scalar();
  }
  void turn(double azimuth, double elevation, double zoom) {
    g->set_appdata(axes3d(), "ViewZoom", zoom);
    g->set(axes3d(), "View", Value::row({azimuth, elevation}));
  }
  /// The 3-D window resized by the user, as the window set does it.
  void resize(double width, double height) {
    resize_figure(*workspace().window.figure3d, width, height);
  }
  ActionReport export_to(const std::string& name) {
    hb->queue_path(temp(name));
    return run("ExportFigure");
  }
};

TEST_F(Replay, ASavedSessionReplayedByTheProgramExportsTheSamePng) {
  workspace().recorder.start_recording(workspace().session.method());
  load_examples(true, true);
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  ASSERT_EQ(type_into("DeFormat", Value(2.0)).outcome, Outcome::Done);
  ASSERT_EQ(type_into("ExagerationBox", Value("2.5")).outcome, Outcome::Done);
  // Typed and then refused, or typed back to the start: nothing to record.
  EXPECT_EQ(type_into("PCFactorBox", Value("far")).outcome, Outcome::Refused);
  type_into("PermBox", Value("5"));
  type_into("PermBox", Value("999"));
  ASSERT_EQ(run("ShowRegression").outcome, Outcome::Done);
  for (const char* action : {"LineThicknessUp", "SymbolFill", "TurnGridOn", "LabelAxis"})
    ASSERT_EQ(run(action).outcome, Outcome::Done) << action;
  turn(21.75, 47.125, 1.6);
  resize(800, 560);
  // Two refused exports (no picture name, a pipe) are not part of the session.
  EXPECT_EQ(export_to("figure.txt").outcome, Outcome::Refused);
  ASSERT_EQ(::mkfifo(temp("pipe.png").c_str(), 0600), 0);
  EXPECT_EQ(export_to("pipe.png").outcome, Outcome::Refused);
  ASSERT_EQ(export_to("session.png").outcome, Outcome::Done) << workspace().last_action.message;
  // The view stays through a redraw and a second export needs no new lines.
  ASSERT_EQ(run("ShowRegression").outcome, Outcome::Done);
  EXPECT_EQ(g->get(axes3d(), "View"), Value::row({21.75, 47.125}));
  ASSERT_EQ(export_to("again.png").outcome, Outcome::Done);

  std::string script = workspace().recorder.script();
  for (const char* line : {"set DeFormat 2\n", "set ExagerationBox 2.5\n",
                           "view 21.75 47.125 1.6\n", "figsize 800 560\n"}) {
    EXPECT_NE(script.find(line), std::string::npos) << line << "\n" << script;
  }
  EXPECT_EQ(script.find("view ", script.find("view ") + 1), std::string::npos) << script;
  for (const char* absent : {"PCFactorBox", "PermBox", "figure.txt", "pipe.png", "set CSBox"})
    EXPECT_EQ(script.find(absent), std::string::npos) << absent << "\n" << script;

  // The replay writes beside the session's pictures.
  for (const char* name : {"session.png", "again.png"}) {
    const std::string from = "\"" + temp(name) + "\"",
                      to = "\"" + temp(std::string("re-") + name) + "\"";
    script.replace(script.find(from), from.size(), to);
  }
  const auto [status, out] = replay_with_program(write("session.txt", script));
  ASSERT_EQ(status, kBatchOk) << out;
  const std::string png = read_bytes(temp("session.png"));
  ASSERT_GT(png.size(), 1000u);
  EXPECT_TRUE(png == read_bytes(temp("re-session.png")));
  EXPECT_TRUE(read_bytes(temp("again.png")) == read_bytes(temp("re-again.png")));

  // Without its view and size the replay draws another picture.
  std::string unturned = script;
  for (const char* head : {"view ", "figsize "}) {
    const auto at = unturned.find(head);
    unturned.erase(at, unturned.find('\n', at) + 1 - at);
  }
  ASSERT_EQ(replay_with_program(write("unturned.txt", unturned)).first, kBatchOk);
  EXPECT_FALSE(png == read_bytes(temp("re-session.png")));
}

// The size and resolution chosen in the export dialog are recorded as the
// action's argument, so that the replay asks nothing and writes the same
// picture; a cancel there leaves the export out, and an action given its
// size asks nothing.
TEST_F(Replay, TheExportSizeChosenInTheDialogReplaysAsTheActionsArgument) {
  workspace().recorder.start_recording(workspace().session.method());
  load_examples(true, true);
  hb->queue_path(temp("sized.png"));
  hb->queue_export_size(gfx::ExportSize{true, 10, 8, false, 100});
  ASSERT_EQ(run("ExportFigure").outcome, Outcome::Done) << workspace().last_action.message;
  const std::string png = read_bytes(temp("sized.png"));
  ASSERT_GT(png.size(), 24u);
  auto be32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(png[at + i]);
    return v;
  };
  EXPECT_EQ(be32(16), 394u);  // 10 cm at 100 dpi
  EXPECT_EQ(be32(20), 315u);
  EXPECT_EQ(workspace().window.export_size, (gfx::ExportSize{true, 10, 8, false, 100}));

  hb->queue_path(temp("dropped.png"));
  hb->queue_export_size(std::nullopt);
  ASSERT_EQ(run("ExportFigure").outcome, Outcome::Done);
  EXPECT_FALSE(std::filesystem::exists(temp("dropped.png")));
  const std::size_t asked = hb->export_size_dialogs();
  hb->queue_path(temp("given.svg"));
  ASSERT_EQ(run("ExportFigure", Value("6.5x5in")).outcome, Outcome::Done);
  EXPECT_EQ(hb->export_size_dialogs(), asked);

  std::string script = workspace().recorder.script();
  EXPECT_NE(script.find("save \"" + temp("sized.png") + "\"\nExportFigure 10x8cm,100dpi\n"),
            std::string::npos)
      << script;
  EXPECT_NE(script.find("ExportFigure 6.5x5in\n"), std::string::npos) << script;
  EXPECT_EQ(script.find("dropped"), std::string::npos) << script;
  const std::string from = "\"" + temp("sized.png") + "\"", to = "\"" + temp("re.png") + "\"";
  script.replace(script.find(from), from.size(), to);
  ASSERT_EQ(run_text(script), kBatchOk);
  EXPECT_EQ(hb->export_size_dialogs(), 0u);
  EXPECT_TRUE(png == read_bytes(temp("re.png")));
}

TEST_F(Replay, TheModelFollowsTheWindowAndEveryRedrawShowsIt) {
  load_examples(true, true);
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  turn(-120, 10, 2);
  resize(640, 480);
  ASSERT_EQ(run("ShowRegression").outcome, Outcome::Done);  // a new axes
  EXPECT_EQ(workspace().window.view3d, (View3d{-120, 10, 2, 640, 480}));
  EXPECT_EQ(g->get(axes3d(), "View"), Value::row({-120, 10}));
  EXPECT_EQ(g->appdata(axes3d(), "ViewZoom").to_scalar(), 2);
  // A 3-D window the user closed comes back as the model says.
  g->destroy(*workspace().window.figure3d);
  ASSERT_EQ(run("ShowMean").outcome, Outcome::Done);
  const auto& px = g->object(*workspace().window.figure3d).pos_px;
  EXPECT_EQ(px[2], 640);
  EXPECT_EQ(px[3], 480);
  EXPECT_EQ(g->get(axes3d(), "View"), Value::row({-120, 10}));
}

TEST_F(Replay, SetTakesEachKindOfControlAsTheWindowDoes) {
  ASSERT_EQ(run_text("set ExagerationBox 2.5\nset DeFormat \"Target with wireframe\"\n"
                     "set CSBox on\nset PermBox ' 99 '\nset SeedBox 7\nset PCBox 2\n"
                     "set PCFactorBox -1.5e-1\nview 10 -20 0.5\nfigsize 900 700\n"),
            kBatchOk);
  const Inputs& in = workspace().window.inputs;
  EXPECT_EQ(in.exaggeration, 2.5);
  EXPECT_EQ(in.display_type, 4u);
  EXPECT_TRUE(in.report_cs);
  EXPECT_EQ(in.permutations, 99);
  EXPECT_EQ(in.seed, 7);
  EXPECT_EQ(in.component, 2);
  EXPECT_EQ(in.component_factor, -0.15);
  EXPECT_EQ(workspace().window.view3d, (View3d{10, -20, 0.5, 900, 700}));
  // The controls show what was typed or chosen.
  EXPECT_EQ(text_of("PermBox"), " 99 ");
  EXPECT_EQ(g->get_number(g->find_tag("DeFormat"), "Value"), 4);
  EXPECT_EQ(g->get_number(g->find_tag("CSBox"), "Value"), 1);
  // By number, and off again; a 3-D window opened later has the size set.
  const std::string load = "open \"" + example("skulls.txt") + "\"\nLoadData\n";
  ASSERT_EQ(run_text("set DeFormat 1\nset CSBox 0\nfigsize 500 400\n" + load), kBatchOk);
  EXPECT_EQ(workspace().window.inputs.display_type, 1u);
  EXPECT_FALSE(workspace().window.inputs.report_cs);
  EXPECT_EQ(g->object(*workspace().window.figure3d).pos_px[2], 500);
}

TEST_F(Replay, RefusedValuesEndWithStatus3AndKeepTheModel) {
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"set ExagerationBox three",
       "The exaggeration factor \"three\" is not a number. Type a number such as 3."},
      {"set ExagerationBox inf",
       "The exaggeration factor \"inf\" is not a number. Type a number such as 3."},
      {"set PermBox 0",
       "The number of permutations \"0\" is not a whole number from 1 to 10000000."},
      {"set SeedBox 1.5", "The seed \"1.5\" is not a whole number from 0 to 9007199254740992."},
      {"set PCBox -1",
       "The principal component \"-1\" is not a whole number from 1 to 2147483647."},
      {"set PCFactorBox \"\"", "The factor \"\" is not a number. Type a number such as 2."},
  };
  for (const Case& c : cases) {
    ConsoleCapture cap;
    // The script goes on after the refusal, as after a refused action.
    EXPECT_EQ(run_text(std::string(c.line) + "\nset DeFormat 1\n"), kBatchRefused) << c.line;
    EXPECT_NE(cap.text().find(std::string("msgbox:\n") + c.message + "\n"), std::string::npos)
        << c.line << "\n"
        << cap.text();
    EXPECT_EQ(workspace().window.inputs.display_type, 1u) << c.line;
    const Inputs start;
    const Inputs& in = workspace().window.inputs;
    EXPECT_TRUE(in.exaggeration == start.exaggeration && in.permutations == start.permutations &&
                in.seed == start.seed && in.component == start.component &&
                in.component_factor == start.component_factor)
        << c.line;
    // The box shows the model's value again.
    const std::string tag = std::string(c.line).substr(4, std::string(c.line).find(' ', 4) - 4);
    EXPECT_EQ(text_of(tag), input_script_value(tag, start)) << c.line;
  }
  // A pop-up can only choose its entries; a value set from outside is checked.
  const ActionReport popup = type_into("DeFormat", Value(8.0));
  EXPECT_EQ(popup.message, "The display type \"8\" is not a whole number from 1 to 6.");
  EXPECT_EQ(g->get_number(g->find_tag("DeFormat"), "Value"), 1);
  // With a sample loaded, the components it has.
  load_examples(false);
  const ActionReport r = type_into("PCBox", Value("60"));
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message.rfind("The principal component \"60\" is not a whole number from 1 to ", 0),
            0u);
}

TEST_F(Replay, BadSetViewAndFigsizeLinesStopBeforeAnythingRuns) {
  struct Case {
    const char* line;
    int status;
    const char* error;
  };
  const Case cases[] = {
      {"set FileBox x", kBatchMalformed,
       "batch line 3: \"FileBox\" is not a control that set can change (DeFormat, "
       "ExagerationBox, CSBox, PermBox, SeedBox, PCBox, PCFactorBox); nothing was run."},
      {"set DeFormat 7", kBatchMalformed,
       "batch line 3: \"7\" is not an entry of the DeFormat pop-up menu: give its number from 1 "
       "to 6 or its text (\"Reference and target symbols\", \"Symbols and wireframes\", "
       "\"Displacement vectors\", \"Target with wireframe\", \"Lollipops\", \"Transformation "
       "grid\"); "
       "nothing was run."},
      {"set CSBox maybe", kBatchMalformed,
       "batch line 3: the check box CSBox is set to 1 or 0 (on or off), not \"maybe\"; nothing "
       "was run."},
      {"set ExagerationBox", kBatchMalformed, "line 3: \"set\" needs a control tag and a value"},
      {"view 10 20", kBatchMalformed,
       "line 3: \"view\" takes three numbers: the azimuth, the elevation (from -90 to 90) and "
       "the zoom (above 0)"},
      {"view 10 91 1", kBatchMalformed, "line 3: \"view\" takes three numbers"},
      {"view 10 20 0", kBatchMalformed, "line 3: \"view\" takes three numbers"},
      {"figsize 800 600 2", kBatchMalformed,
       "line 3: \"figsize\" takes two numbers: the 3-D window's width and height in pixels, "
       "each from 1 to 10000"},
      {"figsize 800 nan", kBatchMalformed, "line 3: \"figsize\" takes two numbers"},
      {"figsize 0.5 600", kBatchMalformed, "line 3: \"figsize\" takes two numbers"},
  };
  for (const Case& c : cases) {
    const std::string script =
        write("script.txt", "save out.txt\nSaveSessionScript\n" + std::string(c.line) + "\n");
    ConsoleCapture cap;
    EXPECT_EQ(run_file(script), c.status) << c.line;
    EXPECT_NE(cap.errors().find(c.error), std::string::npos) << c.line << "\n" << cap.errors();
    EXPECT_FALSE(std::filesystem::exists(temp("out.txt"))) << c.line;
  }
}

}  // namespace
}  // namespace velmora::app
