// The main window before and after data: greyed buttons that say why, the
// start hint in the empty plot, the log's placeholder, a fresh status line.
#include <sstream>

#include "app/batch.hpp"
#include "app/switchyard.hpp"
#include "app_fixture.hpp"
#include "view/main_window.hpp"

namespace velmora::app {
namespace {

enum class Stage { Empty, Sample, X, Regression };

class FirstStartTest : public AppTest {
 protected:
  bool hint_shown() const {
    int hints = 0;
    for (gfx::Handle h : g->children(g->find_tag("axes1")))
      hints += g->type(h) == gfx::Type::Text && g->get_text(h, "String") == kStartHint;
    EXPECT_LE(hints, 1);
    return hints == 1;
  }
  // Every button that runs an action is enabled exactly when what the action
  // needs is there at `stage` (the scores come with X; the reference turns
  // only before X), and a greyed one's tooltip starts with what to do first.
  void expect_buttons_at(Stage stage, const std::string& when) {
    int buttons = 0, greyed = 0;
    for (gfx::Handle h : g->children(main)) {
      if (g->type(h) != gfx::Type::UiControl) continue;
      const Value cb = g->get(h, "Callback");
      if (!cb.is_cell() || cb.at(0).text_or_empty() != "velmorasw") continue;
      const ActionSpec* spec = find_action(cb.at(1).to_string());
      ASSERT_NE(spec, nullptr);
      const unsigned n = spec->needs;
      const std::string tag = g->get_text(h, "Tag");
      const bool rotate = tag == "RotX" || tag == "RotZ";
      const char* reason = nullptr;
      if ((n & kNeedSample) && stage == Stage::Empty)
        reason = kLoadLandmarksFirst;
      else if ((n & (kNeedX | kNeedScores)) && stage < Stage::X)
        reason = kLoadXFirst;
      else if ((n & kNeedRegression) && stage < Stage::Regression)
        reason = "Run the regression first (Do Regression).";
      const bool want = !reason && !(rotate && stage >= Stage::X);
      const std::string label = when + ": " + g->get_text(h, "String");
      EXPECT_EQ(g->get_text(h, "Enable"), want ? "on" : "off") << label;
      const std::string tip = g->get_text(h, "TooltipString");
      if (reason) {
        EXPECT_EQ(tip.rfind(reason, 0), 0u) << label << "\n" << tip;
      }
      if (want) {
        EXPECT_EQ(tip.find("first ("), std::string::npos) << label << "\n" << tip;
      }
      ++buttons;
      greyed += !want;
    }
    EXPECT_GE(buttons, 20) << when;
    EXPECT_EQ(hint_shown(), stage == Stage::Empty) << when;
    if (stage == Stage::Empty) {
      EXPECT_GE(greyed, 15) << when;
    }
  }
};

TEST_F(FirstStartTest, ButtonsFollowTheDataThroughLoadsClearAndReplay) {
  expect_buttons_at(Stage::Empty, "at start");
  EXPECT_EQ(text_of("ResultsLog"), kResultsLogPlaceholder);
  load_examples(false);
  expect_buttons_at(Stage::Sample, "after the landmarks");
  hb->queue_path(example("age.txt"));
  ASSERT_EQ(run("LoadXList").outcome, Outcome::Done);
  expect_buttons_at(Stage::X, "after X");
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  expect_buttons_at(Stage::Regression, "after the regression");
  hb->queue_path(example("skulls.txt"));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done);
  expect_buttons_at(Stage::Sample, "after a new sample");
  ASSERT_EQ(run("ClearData").outcome, Outcome::Done);
  expect_buttons_at(Stage::Empty, "after Clear Data");
  // A replayed session leaves the window as the same steps by hand.
  std::istringstream script("open " + example("skulls.txt") + "\nLoadData\nUseCS\n");
  ASSERT_EQ(run_batch(parse_batch(script, temp(""))), kBatchOk);
  // The batch run starts its own run-time and main window.
  g = &gfx::graphics();
  main = g->find_tag("VelmoraMain");
  expect_buttons_at(Stage::X, "after a replay");
}

// The status line tells what the last action did: a drawing or a report
// without a line of its own clears the one before; a refusal leaves it.
TEST_F(FirstStartTest, TheStatusLineNeverTellsOfAnEarlierAction) {
  load_examples();
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  EXPECT_NE(text_of("StatusBar").find("Regressed"), std::string::npos);
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done);
  EXPECT_EQ(text_of("StatusBar"), "");
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  const std::string regressed = text_of("StatusBar");
  hb->queue_path(write("short.txt", "1\n2\n"));
  ASSERT_EQ(run("LoadXList").outcome, Outcome::Refused);
  EXPECT_EQ(text_of("StatusBar"), regressed);
  ASSERT_EQ(run("ShowRegression").outcome, Outcome::Done);
  EXPECT_EQ(text_of("StatusBar"), "");
}

}  // namespace
}  // namespace velmora::app
