#include "app/batch.hpp"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "app/script_text.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"

namespace velmora::app {
namespace {

std::vector<BatchCommand> parse(const std::string& text, const std::string& base = "/base/") {
  std::istringstream in(text);
  return parse_batch(in, base);
}

TEST(BatchParse, CommandsArgumentsAndPaths) {
  auto s = parse(
      "# a comment\n\nopen data/skulls.txt\nLoadData\nsave /tmp/out.txt\ncancel\n"
      "SetPlotDensity 30\nSetReferenceSymbol ks\ncall centsize3Da [0 0 0; 1 0 0] 'two words' []\n");
  ASSERT_EQ(s.size(), 7u);
  EXPECT_EQ(s[0].kind, BatchCommand::Kind::Open);
  EXPECT_EQ(s[0].name, "/base/data/skulls.txt");
  EXPECT_EQ(s[0].line, 3);
  EXPECT_EQ(s[1].kind, BatchCommand::Kind::Action);
  EXPECT_TRUE(s[1].args.empty());
  EXPECT_EQ(s[2].name, "/tmp/out.txt");
  EXPECT_EQ(s[3].kind, BatchCommand::Kind::Cancel);
  EXPECT_EQ(s[4].args.at(0).to_scalar(), 30);
  EXPECT_EQ(s[5].args.at(0).to_string(), "ks");
  ASSERT_EQ(s[6].args.size(), 3u);
  EXPECT_EQ(s[6].args[0].rows(), 2u);
  EXPECT_EQ(s[6].args[0](1, 0), 1);
  EXPECT_EQ(s[6].args[1].to_string(), "two words");
  EXPECT_TRUE(s[6].args[2].empty());
}

// The parser's message for a malformed script, or "parsed".
std::string message(const std::string& text) {
  try {
    parse(text);
  } catch (const std::invalid_argument& e) {
    return std::string(e.what());
  }
  return std::string("parsed");
}

TEST(BatchParse, MalformedLinesNameTheLine) {
  EXPECT_EQ(message("LoadData\nopen\n"), "line 2: \"open\" needs a file path");
  EXPECT_EQ(message("SetModel \"shape ~ x\"y\n"),
            "line 1: a blank must follow the closing quote of an argument");
  EXPECT_EQ(message("SetModel \"shape ~ x\n"), "line 1: the quoted text has no closing \"");
  EXPECT_EQ(message("3D\n"), "line 1: \"3D\" is not an action name");
  EXPECT_EQ(message("call f 'open\n"), "line 1: unterminated quoted text");
  EXPECT_EQ(message("cancel now\n"), "line 1: \"cancel\" takes nothing after it");
}

class BatchRun : public AppTest {};

// The replayed state equals the recorded one in every part but the window
// handles.
void expect_same_state(const Workspace& recorded) {
  const auto before = recorded.named();
  const auto after = workspace().named();
  ASSERT_EQ(before.size(), after.size());
  for (std::size_t i = 0; i < after.size(); ++i) {
    if (after[i].first == "h3dfig" || after[i].first == "h2dfig") continue;
    EXPECT_EQ(after[i].second, before[i].second) << after[i].first;
  }
}

TEST_F(BatchRun, ExitStatuses) {
  ConsoleCapture cap;
  // A refused action does not stop the script but sets status 3.
  EXPECT_EQ(run_batch(parse("ShowMean\nClearData\n")), kBatchRefused);
  EXPECT_NE(cap.text().find("msgbox:\nLoad a landmark file first (Load Landmarks).\n"),
            std::string::npos);
  // A run-time error stops with status 1.
  EXPECT_EQ(run_batch(parse("call centsize3Da 'x'\nClearData\n")), kBatchError);
  EXPECT_NE(cap.errors().find("batch line 1:"), std::string::npos);
}

TEST_F(BatchRun, XEqualUpToRoundingEndsWithStatus3) {
  // 80 ages of 7, one of them a rounding step above.
  std::string ages;
  for (int i = 0; i < 80; ++i) ages += i == 40 ? "7.000000000000001\n" : "7\n";
  const std::string script = "open " + example("skulls.txt") + "\nLoadData\nopen " +
                             write("ages.txt", ages) + "\nLoadXList\nSetFullPrecision on\n";
  for (const char* action : {"DoRegression", "PlotPDistance", "GetWilks"}) {
    ConsoleCapture cap;
    EXPECT_EQ(run_batch(parse(script + action + "\n")), kBatchRefused) << action;
    EXPECT_NE(cap.text().find("msgbox:\nAll X values are equal (7), so the regression slope is "
                              "undefined. Load an independent variable that varies.\n"),
              std::string::npos)
        << action;
  }
}

TEST_F(BatchRun, CallShowsExactNumbersAndCall0AsksForNoOutput) {
  ConsoleCapture cap;
  ASSERT_EQ(run_batch(parse("call centsize3Da [0 0 0; 1 0 0; 0 1 0]\n")), kBatchOk);
  const std::string shown = cap.text().substr(cap.text().find("ans =\n") + 9);
  Value triangle = Value::zeros(3, 3);
  triangle(1, 0) = 1, triangle(2, 1) = 1;
  const double size = function_table().call("centsize3Da", {triangle}, 1).at(0).to_scalar();
  EXPECT_EQ(std::stod(shown), size) << shown;  // reads back to the same double
  cap.clear();
  // A setter form that returns nothing is reachable only without outputs.
  EXPECT_EQ(run_batch(parse("call guidata 1 7\n")), kBatchError);
  ASSERT_EQ(run_batch(parse("call0 guidata 1 7\ncall guidata 1\n")), kBatchOk) << cap.errors();
  EXPECT_NE(cap.text().find("ans =\n   7\n"), std::string::npos) << cap.text();
}

TEST_F(BatchRun, DisabledControlsRefuseTheirAction) {
  std::string script = "open " + example("skulls.txt") + "\nLoadData\nopen " + example("age.txt") +
                       "\nLoadXList\nRotateRefX\n";
  ConsoleCapture cap;
  EXPECT_EQ(run_batch(parse(script)), kBatchRefused);
  EXPECT_NE(cap.text().find("The control for RotateRefX is disabled"), std::string::npos);
}

TEST_F(BatchRun, ARecordedSessionReplaysToTheSameState) {
  workspace().recorder.start_recording(workspace().session.method());
  hb->queue_path(example("skulls.txt"));
  run("LoadData");
  hb->queue_path(example("skull_wires.txt"));
  run("LoadWireFrame");
  run("LnDown");
  hb->queue_path(example("age.txt"));
  run("LoadXList");
  run("DoRegression");
  run("SetPlotDensity", 30.0);
  hb->queue_cancel();
  run("SaveRef");
  const Workspace recorded = workspace();
  std::string script = workspace().recorder.script();
  EXPECT_NE(script.find("open \"" + example("skulls.txt") + "\"\nLoadData\n"), std::string::npos);
  EXPECT_NE(script.find("SetPlotDensity 30\n"), std::string::npos);
  EXPECT_NE(script.find("cancel\nSaveRef\n"), std::string::npos);

  workspace().reset();
  ASSERT_EQ(run_batch(parse(script)), kBatchOk);
  expect_same_state(recorded);
}

// A script run against files in a temporary folder: every input file must
// come out byte for byte as it went in.
class BatchAnswers : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    for (const char* name : {"skulls.txt", "age.txt", "skull_wires.txt"}) {
      std::ifstream in(example(name), std::ios::binary);
      std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      originals_[name] = bytes;
      write(name, bytes);
    }
  }
  int run_script(const std::string& text) {
    cap_.clear();
    workspace().reset();
    std::istringstream in(text);
    return run_batch(parse_batch(in, temp("")));
  }
  void expect_inputs_intact() const {
    for (const auto& [name, bytes] : originals_) {
      std::ifstream in(temp(name), std::ios::binary);
      std::string now{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      EXPECT_EQ(now, bytes) << name << " was changed";
    }
  }
  std::string errors() const { return cap_.errors(); }

  ConsoleCapture cap_;
  std::map<std::string, std::string> originals_;
};

TEST_F(BatchAnswers, AnAnswerOnlyFitsItsKindOfDialog) {
  EXPECT_EQ(run_script("open skulls.txt\nLoadData\nopen skulls.txt\nSaveRef\n"), kBatchMalformed);
  EXPECT_NE(errors().find("batch line 4: SaveRef asked the save dialog \"File Name for "
                          "Reference\", but the answer on line 3 (open \"" +
                          temp("skulls.txt") + "\") is for a open dialog; nothing was written."),
            std::string::npos)
      << errors();
  expect_inputs_intact();
  EXPECT_EQ(run_script("open skulls.txt\nLoadData\nopen skull_wires.txt\nCopyDEPS\n"),
            kBatchMalformed);
  expect_inputs_intact();
  EXPECT_EQ(run_script("save skulls.txt\nLoadData\n"), kBatchMalformed);
  EXPECT_NE(errors().find("batch line 2: LoadData asked the open dialog \"Enter file to Load?\""),
            std::string::npos);
}

TEST_F(BatchAnswers, AnswersBelongToTheActionThatFollowsThem) {
  // Refused before its dialog: the answer is not handed on to a later save.
  EXPECT_EQ(run_script("open age.txt\nLoadXList\nsave session.txt\nSaveSessionScript\n"),
            kBatchMalformed);
  EXPECT_NE(errors().find("batch line 2: LoadXList did not use the answer on line 1 (open \"" +
                          temp("age.txt") + "\"); the script stops here."),
            std::string::npos)
      << errors();
  EXPECT_FALSE(std::filesystem::exists(temp("session.txt")));
  EXPECT_EQ(run_script("open skulls.txt\nLoadData\nsave vector.txt\nSaveVector\nopen age.txt\n"
                       "LoadXList\nDoRegression\nsave ref.txt\nSaveRef\n"),
            kBatchMalformed);
  EXPECT_NE(errors().find("batch line 4: SaveVector did not use the answer on line 3"),
            std::string::npos);
  // Left over at the end, and a dialog with no answer at all.
  EXPECT_EQ(run_script("ClearData\nopen age.txt\n"), kBatchMalformed);
  EXPECT_NE(errors().find("batch line 2: the answer open \"" + temp("age.txt") +
                          "\" is not followed by an action that uses it."),
            std::string::npos);
  EXPECT_EQ(run_script("open skulls.txt\nLoadData\nSaveRef\n"), kBatchMalformed);
  EXPECT_NE(errors().find("batch line 3: SaveRef asked the save dialog \"File Name for "
                          "Reference\" but no answer was given for it"),
            std::string::npos);
  expect_inputs_intact();
  // A cancel answers either kind of dialog.
  EXPECT_EQ(run_script("open skulls.txt\nLoadData\ncancel\nSaveRef\ncancel\nLoadXList\n"),
            kBatchOk);
}

TEST_F(BatchAnswers, UnknownNamesStopTheScriptBeforeAnyLineRuns) {
  EXPECT_EQ(run_script("open skulls.txt\nLoadData\nopen age.txt\nLoadXlist\nsave ref.txt\n"
                       "SaveRef\n"),
            kBatchMalformed);
  EXPECT_NE(errors().find("batch line 4: \"LoadXlist\" is not an action of Velmora (did you "
                          "mean LoadXList?); nothing was run."),
            std::string::npos)
      << errors();
  EXPECT_EQ(cap_.text().find("Specimens"), std::string::npos);
  EXPECT_EQ(run_script("ClearData\ncall nosuchfunction 1\n"), kBatchMalformed);
  EXPECT_NE(errors().find("batch line 2: there is no function \"nosuchfunction\" to call"),
            std::string::npos);
  expect_inputs_intact();
}

TEST_F(BatchAnswers, CallVelmoraswRunsAsTheBareAction) {
  const std::string load = "open skulls.txt\nLoadData\nopen age.txt\nLoadXList\n";
  EXPECT_EQ(run_script(load + "call velmorasw RotateRefX\n"), kBatchRefused);
  EXPECT_NE(cap_.text().find("The control for RotateRefX is disabled"), std::string::npos);
  EXPECT_EQ(run_script("call velmorasw ShowMean\n"), kBatchRefused);
  EXPECT_EQ(run_script("call velmorasw SetPlotDensity 30\n"), kBatchOk);
  EXPECT_EQ(run_script("open skulls.txt\ncall velmorasw LoadData\nopen age.txt\n"
                       "call velmorasw 'LoadXList'\nsave ref.txt\ncall velmorasw SaveRef\n"),
            kBatchOk);
  EXPECT_TRUE(std::filesystem::exists(temp("ref.txt")));
  EXPECT_EQ(run_script("call velmorasw Loaddata\n"), kBatchMalformed);
  // The grammar reads several arguments; an action that takes one refuses
  // more before anything runs.
  cap_.clear();
  EXPECT_EQ(run_script("SetPlotDensity 30\nSetPlotDensity 10 \"2 0\"\n"), kBatchMalformed);
  EXPECT_EQ(errors(),
            "batch line 2: SetPlotDensity takes at most 1 argument; the line gives 2; "
            "nothing was run.\n");
  // No action name at all is a script error too, found before anything runs.
  cap_.clear();
  EXPECT_EQ(run_script("call velmorasw ShowMean 1 2\n"), kBatchMalformed);
  EXPECT_EQ(errors(),
            "batch line 1: ShowMean takes at most 1 argument; the line gives 2; "
            "nothing was run.\n");
  for (const char* call : {"call velmorasw 5", "call velmorasw", "call0 velmorasw [1 2]"}) {
    cap_.clear();
    EXPECT_EQ(run_script("SetPlotDensity 30\n" + std::string(call) + "\n"), kBatchMalformed)
        << call;
    EXPECT_EQ(errors(),
              "batch line 2: \"call velmorasw\" takes the name of an action and its arguments, "
              "as in \"call velmorasw SetPlotDensity 30\"; nothing was run.\n")
        << call;
    EXPECT_EQ(cap_.text().find("Fell through"), std::string::npos);
  }
}

// From the command line: a function that declares no outputs is asked for
// none, and an error ends the program with exit status 1.
TEST(CommandLine, CallsExitWithTheStatusOfTheirOutcome) {
  const auto dir = std::filesystem::temp_directory_path();
  auto [status, out] = run_program(dir, "nosuchfunction");
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("Undefined function or variable \"nosuchfunction\"."), std::string::npos)
      << out;
  std::tie(status, out) = run_program(dir, "velmorasw ToggleDots");
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("declared number of outputs"), std::string::npos) << out;
  std::tie(status, out) = run_program(dir, "centsize3Da");
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("centsize3Da"), std::string::npos) << out;
}

TEST_F(BatchAnswers, SaveSessionScriptWritesWhatRanAndReplaysIt) {
  ASSERT_EQ(run_script("open skulls.txt\nLoadData\nShowMean\ncancel\nSaveRef\nopen age.txt\n"
                       "LoadXList\nLnDown\nsave session.txt\nSaveSessionScript\n"),
            kBatchOk)
      << errors();
  std::ifstream in(temp("session.txt"));
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_NE(text.find("open \"" + temp("skulls.txt") +
                      "\"\nLoadData\nShowMean\ncancel\n"
                      "SaveRef\nopen \"" +
                      temp("age.txt") + "\"\nLoadXList\nLnDown\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("session.txt"), std::string::npos);
  const Value scores = var("pwscores");
  EXPECT_EQ(run_script(text), kBatchOk) << errors();
  EXPECT_EQ(var("pwscores"), scores);
  expect_inputs_intact();
}

TEST_F(BatchAnswers, LineEndsAndControlBytesInScripts) {
  // Lone carriage returns end lines as line feeds do.
  EXPECT_EQ(run_script("open skulls.txt\rLoadData\ropen age.txt\r\nLoadXList\r"), kBatchOk)
      << errors();
  EXPECT_EQ(var("pwscores").rows(), 80u);
  // A NUL byte is shown, not taken for the end of the message.
  try {
    parse(std::string("ClearData\nLoad\0Data now\n", 22));
    ADD_FAILURE() << "parsed";
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()), "line 2: \"Load\\x00Data\" is not an action name");
  }
}

TEST_F(BatchAnswers, ConsecutiveMarkupFilesAnswerOneOpenDialog) {
  const std::string f = example("formats/");
  const std::string three =
      "open " + f + "skull02.fcsv\nopen '" + f + "skull03.mrk.json'\nopen " + f + "skull01.fcsv\n";
  ASSERT_EQ(run_script(three + "LoadData\nsave names.csv\nSaveSpecimenNames\n"), kBatchOk)
      << errors();
  EXPECT_EQ(workspace().session.sample().names,
            (std::vector<std::string>{"skull02", "skull03", "skull01"}));
  std::ifstream names(temp("names.csv"));
  std::string line;
  std::vector<std::string> firsts;
  while (std::getline(names, line)) firsts.push_back(line.substr(0, line.find(',')));
  EXPECT_EQ(firsts, (std::vector<std::string>{"specimen", "skull02", "skull03", "skull01"}));

  // A run with a markup file is one choice: mixed with another format it is
  // refused by the action, and nothing is loaded.
  EXPECT_EQ(run_script("open skulls.txt\nopen " + f + "skull01.fcsv\nLoadData\n"), kBatchRefused);
  EXPECT_NE(cap_.text().find("msgbox:\n\"" + temp("skulls.txt") +
                             "\": only markup files (.fcsv, .mrk.json) can be loaded several at a "
                             "time, one specimen a file; load this file on its own.\n"),
            std::string::npos)
      << cap_.text();
  EXPECT_FALSE(workspace().session.has_sample());
  // Without a markup file the dialog takes one answer, as any other.
  EXPECT_EQ(run_script("open skulls.txt\nopen age.txt\nLoadData\n"), kBatchMalformed);
  EXPECT_NE(errors().find("batch line 3: LoadData did not use the answer on line 2 (open \"" +
                          temp("age.txt") + "\"); the script stops here."),
            std::string::npos)
      << errors();
  // A cancel is the whole answer; a one-file dialog takes one file.
  EXPECT_EQ(run_script("cancel\n" + three + "LoadData\n"), kBatchMalformed);
  EXPECT_NE(errors().find("LoadData did not use the answer on line 2"), std::string::npos);
  EXPECT_EQ(run_script("open skulls.txt\nLoadData\n" + three + "LoadXList\n"), kBatchMalformed);
  expect_inputs_intact();
}

TEST_F(BatchAnswers, ChooseAnswersTheListDialogOfUseLabelAsX) {
  write("labelled.txt", labelled_skulls());
  const std::string load = "open labelled.txt\nLoadData\n";
  ASSERT_EQ(run_script(load + "choose Weight\nUseLabelAsX\n"), kBatchOk) << errors();
  EXPECT_EQ(var("XVariable")(79), 179.0);
  EXPECT_EQ(run_script(load + "choose \"Age\"\nUseLabelAsX\ncancel\nUseLabelAsX\n"), kBatchOk)
      << errors();
  EXPECT_EQ(var("XVariable")(0), 12.5);
  EXPECT_EQ(run_script(load + "choose Sex\nUseLabelAsX\n"), kBatchRefused);
  EXPECT_NE(cap_.text().find("The label \"Sex\" is not a number for every specimen"),
            std::string::npos);

  const struct {
    std::string script;
    std::string error;
  } stops[] = {
      {load + "choose Height\nUseLabelAsX\n",
       "batch line 4: UseLabelAsX asked the list dialog \"Use Label as X\", but the answer on "
       "line 3 (choose \"Height\") is none of its items: \"Age\", \"Sex\", \"Weight\"."},
      {load + "open age.txt\nUseLabelAsX\n",
       "batch line 4: UseLabelAsX asked the list dialog \"Use Label as X\", but the answer on "
       "line 3 (open \"" +
           temp("age.txt") + "\") is for a open dialog; nothing was written."},
      {load + "UseLabelAsX\n",
       "batch line 3: UseLabelAsX asked the list dialog \"Use Label as X\" but no answer was "
       "given for it: put a \"choose ITEM\" or \"cancel\" line before it."},
      {"choose Age\nLoadData\n",
       "batch line 2: LoadData asked the open dialog \"Enter file to Load?\", but the answer on "
       "line 1 (choose \"Age\") is for a list dialog; nothing was written."},
      {"open skulls.txt\nLoadData\nchoose Age\nUseLabelAsX\n",
       "batch line 4: UseLabelAsX did not use the answer on line 3 (choose \"Age\")"},
  };
  for (const auto& c : stops) {
    EXPECT_EQ(run_script(c.script), kBatchMalformed) << c.script;
    EXPECT_NE(errors().find(c.error), std::string::npos) << errors();
  }
  EXPECT_EQ(message("choose\n"), "line 1: \"choose\" needs the text of the item to pick");
  EXPECT_EQ(message("choose \"\"\n"), "line 1: the quoted item is empty");
  expect_inputs_intact();
}

TEST_F(BatchRun, SeveralFilesAndAChosenLabelAreRecordedAndReplayed) {
  workspace().recorder.start_recording(workspace().session.method());
  const std::string f = example("formats/");
  const std::vector<std::string> files = {f + "skull03.fcsv", f + "skull02.mrk.json",
                                          f + "skull01.fcsv"};
  hb->queue_paths(files);
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  const Value markup_rows = var("DATA");
  hb->queue_path(write("labelled.txt", labelled_skulls()));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  hb->queue_choice("Weight");
  ASSERT_EQ(run("UseLabelAsX").outcome, Outcome::Done) << workspace().last_action.message;
  hb->queue_choice("Sex");
  EXPECT_EQ(run("UseLabelAsX").outcome, Outcome::Refused);
  const Workspace recorded = workspace();
  const std::string script = workspace().recorder.script();
  EXPECT_NE(script.find("open \"" + files[0] + "\"\nopen \"" + files[1] + "\"\nopen \"" + files[2] +
                        "\"\nLoadData\n"),
            std::string::npos)
      << script;
  EXPECT_NE(script.find("choose \"Weight\"\nUseLabelAsX\n"), std::string::npos) << script;
  EXPECT_EQ(script.find("Sex"), std::string::npos) << script;

  workspace().reset();
  const std::string head = script.substr(0, script.find("open \"" + temp("labelled.txt")));
  ASSERT_EQ(run_batch(parse(head)), kBatchOk);
  EXPECT_EQ(var("DATA"), markup_rows);
  EXPECT_EQ(workspace().session.sample().names,
            (std::vector<std::string>{"skull03", "skull02", "skull01"}));
  workspace().reset();
  ASSERT_EQ(run_batch(parse(script)), kBatchOk);
  expect_same_state(recorded);
}

TEST(ScriptText, QuotedPathsAndTheirMistakes) {
  auto s = parse("open \"a \\\"b\\\"\\\\c\\n\\td\\x41 \"\nsave 'x y.txt'\nopen plain name.txt  \n",
                 "/b/");
  EXPECT_EQ(s[0].name, "/b/a \"b\"\\c\n\tdA ");
  EXPECT_EQ(s[1].name, "/b/x y.txt");
  EXPECT_EQ(s[2].name, "/b/plain name.txt");
  EXPECT_EQ(message("open \"a\\qb\"\n"),
            "line 1: unknown escape \\q in quoted text (use \\\\, \\\", \\n, \\t or \\xNN)");
  EXPECT_EQ(message("open \"a\\x4\"\n"), "line 1: \\x must be followed by two hexadecimal digits");
  EXPECT_EQ(message("open \"abc\n"), "line 1: the quoted text has no closing \"");
  EXPECT_EQ(message("open \"a\" b\n"), "line 1: nothing may follow the closing quote of a path");
  EXPECT_EQ(quote_script_text("Schädel \x01\xff.txt"), "\"Schädel \\x01\\xFF.txt\"");
}

}  // namespace
}  // namespace velmora::app
