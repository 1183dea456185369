#include "app/batch.hpp"

#include <sstream>

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

TEST(BatchParse, MalformedLinesNameTheLine) {
  auto message = [](const std::string& text) {
    try {
      parse(text);
    } catch (const std::invalid_argument& e) {
      return std::string(e.what());
    }
    return std::string("parsed");
  };
  EXPECT_EQ(message("LoadData\nopen\n"), "line 2: \"open\" needs a file path");
  EXPECT_EQ(message("SetPlotDensity 10 20\n"), "line 1: an action takes at most one argument");
  EXPECT_EQ(message("3D\n"), "line 1: \"3D\" is not an action name");
  EXPECT_EQ(message("call f 'open\n"), "line 1: unterminated quoted text");
  EXPECT_EQ(message("cancel now\n"), "line 1: \"cancel\" takes nothing after it");
}

class BatchRun : public AppTest {};

TEST_F(BatchRun, FallThroughAndExitStatuses) {
  ConsoleCapture cap;
  EXPECT_EQ(run_batch(parse("ClearData\nNoSuchAction\n")), kBatchOk);
  EXPECT_NE(cap.text().find("Fell through Case, dang! \n "), std::string::npos);
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

TEST_F(BatchRun, DisabledControlsRefuseTheirAction) {
  std::string script = "open " + example("skulls.txt") + "\nLoadData\nopen " +
                       example("age.txt") + "\nLoadXList\nRotateRefX\n";
  ConsoleCapture cap;
  EXPECT_EQ(run_batch(parse(script)), kBatchRefused);
  EXPECT_NE(cap.text().find("The control for RotateRefX is disabled"), std::string::npos);
}

TEST_F(BatchRun, ARecordedSessionReplaysToTheSameState) {
  session().start_recording();
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
  const AppState recorded = state();
  std::string script = session().script();
  EXPECT_NE(script.find("open " + example("skulls.txt") + "\nLoadData\n"), std::string::npos);
  EXPECT_NE(script.find("SetPlotDensity 30\n"), std::string::npos);
  EXPECT_NE(script.find("cancel\nSaveRef\n"), std::string::npos);

  reset_state();
  ASSERT_EQ(run_batch(parse(script)), kBatchOk);
  for (auto [name, v] : state().named()) {
    if (name == "h3dfig" || name == "h2dfig") continue;
    const Value* before = nullptr;
    for (auto [n2, v2] : recorded.named())
      if (n2 == name) before = v2;
    EXPECT_EQ(*v, *before) << name;
  }
}

}  // namespace
}  // namespace velmora::app
