// The session as the main window tells it: the X slot, the results log,
// the status line, quitting, recent files and the Help menu.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>

#include "app/actions.hpp"
#include "app/batch.hpp"
#include "app/velmora.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "view/main_window.hpp"
#include "view/recent_files.hpp"
#include "view/results_log.hpp"

namespace velmora::app {
namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The lines a list-of-lines String holds.
std::vector<std::string> string_lines(const Value& v) {
  std::vector<std::string> out;
  if (v.is_cell())
    for (std::size_t i = 0; i < v.numel(); ++i) out.push_back(v.at(i).to_string());
  return out;
}

class WindowTest : public AppTest {
 protected:
  std::string status() const { return text_of("StatusBar"); }
  std::string recent_file() const { return temp("config") + "/velmora/recent"; }
  std::vector<std::string> menu_paths() const {
    std::vector<std::string> out;
    for (std::size_t i = 1; i <= kRecentFiles; ++i) {
      const gfx::Handle h = g->find_tag("RecentFile" + std::to_string(i));
      if (g->get_text(h, "Visible") == "on") out.push_back(g->get(h, "UserData").to_string());
    }
    return out;
  }
  // A copy of the example skulls under `name`.
  std::string skulls_as(const std::string& name) const {
    return write(name, read_file(example("skulls.txt")));
  }
};

TEST_F(WindowTest, TheXSlotTellsWhereXCameFrom) {
  EXPECT_EQ(text_of("GroupBox"), "No File Loaded");
  load_examples();
  EXPECT_EQ(text_of("GroupBox"), "age.txt — 80 values");
  ASSERT_EQ(run("UseCS").outcome, Outcome::Done);
  EXPECT_EQ(text_of("GroupBox"), "Centroid size");
  // A refused X list leaves the slot as it was.
  hb->queue_path(write("short.txt", "1\n2\n3\n"));
  EXPECT_EQ(run("LoadXList").outcome, Outcome::Refused);
  EXPECT_EQ(text_of("GroupBox"), "Centroid size");
  // A new sample has no X yet.
  hb->queue_path(example("skulls.txt"));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done);
  EXPECT_EQ(text_of("GroupBox"), "No File Loaded");
  hb->queue_path(write("five.txt", "1\n2\n3\n4\n5\n"));
  EXPECT_EQ(run("LoadXList").outcome, Outcome::Refused);
  EXPECT_EQ(text_of("GroupBox"), "No File Loaded");
  hb->queue_path(example("age.txt"));
  ASSERT_EQ(run("LoadXList").outcome, Outcome::Done);
  ASSERT_EQ(run("ClearData").outcome, Outcome::Done);
  EXPECT_EQ(text_of("GroupBox"), "No File Loaded");
}

TEST_F(WindowTest, ClearDataEmptiesThePlotAndThe3DWindowAndResetsTheRegressor) {
  load_examples();
  ASSERT_EQ(run("LnDown").outcome, Outcome::Done);
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done);
  const gfx::Handle ax = g->find_tag("axes1");
  EXPECT_EQ(g->get_text(g->get(ax, "XLabel")(0), "String"), "ln(age)");
  const gfx::Handle fig3d = var("h3dfig").to_scalar();
  const std::size_t figures = g->figures().size();
  ASSERT_EQ(run("ClearData").outcome, Outcome::Done);
  // Only the hint of how to start is left.
  ASSERT_EQ(g->get(ax, "Children").numel(), 1u);
  EXPECT_EQ(g->get_text(g->get(ax, "Children")(0), "String"), "Load landmarks to start: Ctrl+O");
  for (const char* label : {"XLabel", "YLabel", "Title"})
    EXPECT_EQ(g->get_text(g->get(ax, label)(0), "String"), "") << label;
  EXPECT_EQ(g->get_number(g->find_tag("LinearButton"), "Value"), 1);
  EXPECT_EQ(g->get_number(g->find_tag("LnButton"), "Value"), 0);
  EXPECT_EQ(var("linregress").to_scalar(), 1);
  // The 3D window stays open, without the forgotten sample's picture.
  ASSERT_TRUE(g->valid(fig3d));
  EXPECT_EQ(g->figures().size(), figures);
  for (gfx::Handle c : g->children(fig3d))
    if (g->type(c) == gfx::Type::Axes) {
      EXPECT_EQ(g->get(c, "Children").numel(), 0u);
    }
}

TEST_F(WindowTest, EveryReportIsLoggedWithItsDataAndSettingsAndShownInThePanel) {
  load_examples();
  g->set(g->find_tag("PermBox"), "String", "19");
  const std::size_t boxes = hb->messages().size();
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done);
  ASSERT_EQ(run("LnDown").outcome, Outcome::Done);
  ASSERT_EQ(run("GetWilks").outcome, Outcome::Done);
  ASSERT_EQ(run("UseCS").outcome, Outcome::Done);
  ASSERT_EQ(run("LinearDown").outcome, Outcome::Done);
  ASSERT_EQ(run("PermutationTest").outcome, Outcome::Done);
  ASSERT_EQ(run("SetSuperimposition", Value("classic")).outcome, Outcome::Done);
  ASSERT_EQ(run("ShowPCA").outcome, Outcome::Done);
  // The message windows stay as they were, one a test but PCA's.
  ASSERT_EQ(hb->messages().size(), boxes + 3);

  const std::vector<LogEntry>& log = workspace().window.log.entries();
  ASSERT_EQ(log.size(), 4u);
  const std::regex time(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
  const struct {
    const char* title;
    const char* x;
    const char* settings;
  } want[] = {
      {"Regression of Procrustes Distance from reference on X", "age.txt",
       "regress on X, optimal superimposition"},
      {"Multivariate regression of shape on ln(age) (Wilks' lambda)", "age.txt",
       "regress on ln X, optimal superimposition"},
      {"Permutation Test of Shape on X", "Centroid size", "regress on X, optimal superimposition"},
      {"Principal components of shape", "Centroid size", "regress on X, classic superimposition"},
  };
  for (std::size_t i = 0; i < log.size(); ++i) {
    EXPECT_TRUE(std::regex_match(log[i].time, time)) << log[i].time;
    EXPECT_EQ(log[i].data_file, "skulls.txt");
    EXPECT_EQ(log[i].title, want[i].title);
    EXPECT_EQ(log[i].x_file, want[i].x);
    EXPECT_EQ(log[i].settings, want[i].settings);
    // The report is the message window's text (Wilks' names 1 − Λ
    // otherwise in the log).
    if (i == 0 || i == 2) {
      EXPECT_EQ(log[i].text, hb->messages()[boxes + i].text);
    }
  }
  EXPECT_EQ(log[3].text.rfind("Principal components of shape (share of the variance):\n  PC1", 0),
            0u);
  // The panel shows the log line for line.
  EXPECT_EQ(string_lines(g->get(g->find_tag("ResultsLog"), "String")),
            workspace().window.log.lines());
  // Loading another sample keeps the log.
  hb->queue_path(example("skulls.txt"));
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done);
  EXPECT_EQ(workspace().window.log.entries().size(), 4u);
  // A refused test adds nothing.
  EXPECT_EQ(run("PlotPDistance").outcome, Outcome::Refused);
  EXPECT_EQ(workspace().window.log.entries().size(), 4u);
}

TEST_F(WindowTest, SaveResultsLogWritesTextOrMarkdownByTheExtension) {
  EXPECT_EQ(run("SaveResultsLog").message,
            "The results log is empty: its entries are the reports of Plot Procrustes Distance, "
            "Wilks' Lambda Test, Permutation Test and Show PCA.");
  EXPECT_TRUE(hb->dialogs().empty());
  load_examples();
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done);
  ASSERT_EQ(run("GetWilks").outcome, Outcome::Done);
  // A cancelled save leaves the status line as it was (the reports cleared
  // the load's line).
  g->set(g->find_tag("StatusBar"), "String", "as it was");
  hb->queue_cancel();
  ASSERT_EQ(run("SaveResultsLog").outcome, Outcome::Done);
  EXPECT_EQ(workspace().window.log.unsaved(), 2u);
  EXPECT_EQ(status(), "as it was");

  hb->queue_path(temp("log.txt"));
  ASSERT_EQ(run("SaveResultsLog").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_EQ(read_file(temp("log.txt")), workspace().window.log.plain_text());
  EXPECT_EQ(status(), "Saved results log: " + temp("log.txt") + " (2 entries)");
  EXPECT_EQ(workspace().window.log.unsaved(), 0u);
  hb->queue_path(temp("log.MD"));
  ASSERT_EQ(run("SaveResultsLog").outcome, Outcome::Done);
  EXPECT_EQ(read_file(temp("log.MD")), workspace().window.log.markdown());
  EXPECT_EQ(status(), "Saved results log: " + temp("log.MD") + " (2 entries, Markdown)");
  // A failed write names the file and leaves the log unsaved.
  ASSERT_EQ(run("PlotPDistance").outcome, Outcome::Done);
  hb->queue_path(temp("no/such/folder/log.txt"));
  const ActionReport r = run("SaveResultsLog");
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_NE(r.message.find(temp("no/such/folder/log.txt")), std::string::npos) << r.message;
  EXPECT_EQ(workspace().window.log.unsaved(), 1u);
}

TEST_F(WindowTest, TheStatusLineConfirmsEverySaveAndExportWithItsPath) {
  load_examples();
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  const struct {
    const char* action;
    const char* file;
    std::string status;  // after the path
  } saves[] = {
      {"SaveWarp", "scores.txt", " (80 × 30)"},
      {"SaveRef", "ref.txt", " (12 landmarks)"},
      {"SaveVector", "vector.txt", " (29 slopes)"},
      {"SavePCA", "pca.txt", " (80 × 29, then the variances)"},
      {"SaveSpecimenNames", "names.txt", " (80 specimens, 30 values each)"},
      {"SaveLandmarks", "landmarks.csv", " (80 specimens × 12 landmarks)"},
      {"ExportFigure", "figure.svg", ""},
      {"CopyDEPS", "figure.eps", ""},
      {"SaveSessionScript", "script.txt", ""},
  };
  const std::map<std::string, std::string> prefix = {
      {"SaveWarp", "Saved scores: "},
      {"SaveRef", "Saved reference: "},
      {"SaveVector", "Saved regression vector: "},
      {"SavePCA", "Saved principal component scores: "},
      {"SaveSpecimenNames", "Saved specimen names: "},
      {"SaveLandmarks", "Saved landmarks: "},
      {"ExportFigure", "Exported the 3D figure: "},
      {"CopyDEPS", "Saved the 3D figure as EPS: "},
      {"SaveSessionScript", "Saved session script: "}};
  for (const auto& s : saves) {
    hb->queue_path(temp(s.file));
    ASSERT_EQ(run(s.action).outcome, Outcome::Done)
        << s.action << ": " << workspace().last_action.message;
    ASSERT_TRUE(std::filesystem::exists(temp(s.file))) << s.action;
    EXPECT_EQ(status(), prefix.at(s.action) + temp(s.file) + s.status);
  }
  // The count is the file's: 80 lines of 30 numbers (and the blank the
  // writer ends a file with).
  std::istringstream scores(read_file(temp("scores.txt")));
  std::string line;
  std::size_t lines = 0;
  while (std::getline(scores, line)) {
    if (line.find_first_not_of(' ') == std::string::npos) continue;
    std::istringstream numbers(line);
    EXPECT_EQ(
        std::distance(std::istream_iterator<double>(numbers), std::istream_iterator<double>()), 30)
        << line;
    ++lines;
  }
  EXPECT_EQ(lines, 80u);
  ASSERT_EQ(run("CopyDClipboard").outcome, Outcome::Done);
  EXPECT_EQ(status(), "Copied the 3D figure to the clipboard (SVG and PNG)");
  call_by_name("CopyBigImage", {Value(1.0)}, 0);
  EXPECT_EQ(status(), "Copied the enlarged plot to the clipboard (SVG and PNG)");
  // A cancelled or failed save says nothing new.
  show_status("");
  hb->queue_cancel();
  ASSERT_EQ(run("SaveWarp").outcome, Outcome::Done);
  hb->queue_path(temp("no/such/folder/s.txt"));
  EXPECT_EQ(run("SaveWarp").outcome, Outcome::Refused);
  EXPECT_EQ(status(), "");
}

TEST_F(WindowTest, QuitAsksOnlyAboutUnsavedResultsAndClosesEveryWindow) {
  workspace().window.desktop = true;
  load_examples(false);
  const std::size_t figures = g->figures().size();
  ASSERT_GE(figures, 2u);
  {
    hb->queue_path(example("age.txt"));
    ASSERT_EQ(run("LoadXList").outcome, Outcome::Done);
    ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
    ASSERT_EQ(run("GetWilks").outcome, Outcome::Done);
    // Answered No: the session goes on as it was.
    const auto before = workspace().named();
    ASSERT_EQ(run("Quit").outcome, Outcome::Done);
    ASSERT_EQ(hb->questions().size(), 1u);
    EXPECT_EQ(hb->questions()[0].title, "Quit Velmora");
    EXPECT_EQ(hb->questions()[0].text,
              "These results are not saved: the partial warp scores, the regression vector and "
              "2 results log entries.\n\nQuit Velmora anyway?");
    EXPECT_EQ(g->figures().size(), figures + 1);  // the Wilks report
    EXPECT_EQ(workspace().named(), before);
  }
  // Closing the main window asks the same.
  g->run_callback(main, "CloseRequestFcn");
  ASSERT_EQ(hb->questions().size(), 2u);
  EXPECT_TRUE(g->valid(main));
  // Each save takes its part off the question.
  hb->queue_path(temp("scores.txt"));
  ASSERT_EQ(run("SaveWarp").outcome, Outcome::Done);
  hb->queue_path(temp("log.md"));
  ASSERT_EQ(run("SaveResultsLog").outcome, Outcome::Done);
  run("Quit");
  EXPECT_EQ(hb->questions().back().text,
            "These results are not saved: the regression vector.\n\nQuit Velmora anyway?");
  hb->queue_path(temp("vector.txt"));
  ASSERT_EQ(run("SaveVector").outcome, Outcome::Done);
  // A recomputed regression is new, with its log entry; recomputed scores
  // are the saved ones.
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  run("Quit");
  EXPECT_EQ(hb->questions().back().text,
            "These results are not saved: the regression vector and 1 results log entry.\n\nQuit "
            "Velmora anyway?");
  // Answered Yes: every window closes.
  hb->queue_yes_no(true);
  g->run_callback(main, "CloseRequestFcn");
  EXPECT_TRUE(g->figures().empty());
}

TEST_F(WindowTest, QuitWithEverythingSavedOrWithoutAPersonAsksNothing) {
  load_examples();
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  ASSERT_EQ(run("Quit").outcome, Outcome::Done);  // not at the window
  EXPECT_TRUE(hb->questions().empty());
  EXPECT_TRUE(g->figures().empty());
  // ClearData forgets the results: nothing left to save.
  AppTest::SetUp();
  workspace().window.desktop = true;
  load_examples();
  ASSERT_EQ(run("DoRegression").outcome, Outcome::Done);
  hb->queue_path(temp("log.md"));  // the regression's log entry
  ASSERT_EQ(run("SaveResultsLog").outcome, Outcome::Done);
  ASSERT_EQ(run("ClearData").outcome, Outcome::Done);
  ASSERT_EQ(run("Quit").outcome, Outcome::Done);
  EXPECT_TRUE(hb->questions().empty());
  EXPECT_TRUE(g->figures().empty());
}

TEST_F(WindowTest, QuitEndsABatchRunWithoutAQuestion) {
  ConsoleCapture cap;
  workspace().window.desktop = true;
  const std::string script = "open " + example("skulls.txt") + "\nLoadData\nopen " +
                             example("age.txt") + "\nLoadXList\nDoRegression\nQuit\n";
  std::istringstream in(script);
  EXPECT_EQ(run_batch(parse_batch(in, temp(""))), kBatchOk) << cap.errors();
  EXPECT_TRUE(gfx::graphics().figures().empty());
  EXPECT_TRUE(gfx::headless_backend()->questions().empty());
  EXPECT_FALSE(std::filesystem::exists(recent_file()));
  std::istringstream more("Quit\nClearData\n");
  EXPECT_EQ(run_batch(parse_batch(more, temp(""))), kBatchOk);
  EXPECT_NE(cap.errors().find("batch line 1: Quit closed the main window; the lines after it "
                              "were not run."),
            std::string::npos)
      << cap.errors();
}

TEST_F(WindowTest, SaveResultsLogWorksInBatch) {
  ConsoleCapture cap;
  const std::string script = "open " + example("skulls.txt") + "\nLoadData\nopen " +
                             example("age.txt") + "\nLoadXList\nPlotPDistance\nGetWilks\nsave " +
                             temp("log.md") + "\nSaveResultsLog\n";
  std::istringstream in(script);
  ASSERT_EQ(run_batch(parse_batch(in, temp(""))), kBatchOk) << cap.errors();
  const std::string md = read_file(temp("log.md"));
  EXPECT_EQ(md, workspace().window.log.markdown());
  EXPECT_EQ(md.rfind("# Velmora results log\n\n## Regression of Procrustes Distance", 0), 0u);
  EXPECT_NE(md.find("- Data: skulls.txt\n- X: age.txt\n"), std::string::npos) << md;
  EXPECT_NE(md.find("Wilks Lambda= 0.1355"), std::string::npos);
}

TEST_F(WindowTest, RecentFilesKeepTheLastEightLoadsMostRecentFirst) {
  // Without a person at the window nothing is kept.
  load_examples(false);
  EXPECT_FALSE(std::filesystem::exists(recent_file()));
  EXPECT_TRUE(menu_paths().empty());
  EXPECT_EQ(g->get_text(g->find_tag("RecentNone"), "Visible"), "on");

  workspace().window.desktop = true;
  std::vector<std::string> loaded;
  for (int i = 1; i <= 9; ++i) {
    loaded.push_back(skulls_as("s" + std::to_string(i) + ".txt"));
    hb->queue_path(loaded.back());
    ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  }
  // A file loaded again moves to the top.
  hb->queue_path(loaded[4]);
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done);
  const std::vector<std::string> want = {loaded[4], loaded[8], loaded[7], loaded[6],
                                         loaded[5], loaded[3], loaded[2], loaded[1]};
  EXPECT_EQ(read_recent_files(), want);
  EXPECT_EQ(menu_paths(), want);
  std::string lines;
  for (const std::string& p : want) lines += p + "\n";
  EXPECT_EQ(read_file(recent_file()), lines);
  EXPECT_EQ(g->get_text(g->find_tag("RecentFile1"), "Label"),
            "1  s5.txt  —  " + std::filesystem::path(loaded[4]).parent_path().string());
  EXPECT_EQ(g->get_text(g->find_tag("RecentNone"), "Visible"), "off");
  // A refused load is not remembered.
  hb->queue_path(write("bad.txt", "1 2 x\n"));
  EXPECT_EQ(run("LoadData").outcome, Outcome::Refused);
  EXPECT_EQ(read_recent_files(), want);
  // A new window shows the kept list.
  AppTest::SetUp();
  workspace().window.desktop = true;
  EXPECT_TRUE(menu_paths().empty());  // opened before the flag was set
  show_recent_files(workspace());
  EXPECT_EQ(menu_paths(), want);
}

TEST_F(WindowTest, ARecentFileOpensWithoutADialogAndAMissingOneLeavesTheList) {
  workspace().window.desktop = true;
  workspace().recorder.start_recording(workspace().session.method());
  const std::string a = skulls_as("a.txt"), b = skulls_as("b b.txt");
  for (const std::string& p : {a, b}) {
    hb->queue_path(p);
    ASSERT_EQ(run("LoadData").outcome, Outcome::Done);
  }
  workspace().recorder.clear();
  const std::size_t dialogs = hb->dialogs().size();
  ASSERT_EQ(run("OpenRecent", Value(2.0)).outcome, Outcome::Done)
      << workspace().last_action.message;
  EXPECT_EQ(hb->dialogs().size(), dialogs);
  EXPECT_EQ(text_of("FileBox"), "File: a.txt \n  80 Specimens \n  12 Landmarks");
  EXPECT_EQ(menu_paths(), (std::vector<std::string>{a, b}));
  // The session replays it as a load through the dialog.
  EXPECT_NE(workspace().recorder.script().find("open \"" + a + "\"\nLoadData\n"), std::string::npos)
      << workspace().recorder.script();

  std::filesystem::remove(b);
  const Value data = var("DATA");
  const ActionReport r = run("OpenRecent", Value(2.0));
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message, "The file \"" + b +
                           "\" is no longer there; it was taken off the recent files. Use Load "
                           "Landmarks to find it.");
  EXPECT_EQ(menu_paths(), std::vector<std::string>{a});
  EXPECT_EQ(read_recent_files(), std::vector<std::string>{a});
  EXPECT_EQ(var("DATA"), data);
  EXPECT_EQ(run("OpenRecent", Value(2.0)).message,
            "There is no recent file in place 2 of File > Recent Files.");
  EXPECT_EQ(run("OpenRecent", Value(9.0)).message,
            "There is no recent file in place 9 of File > Recent Files.");
}

TEST(RecentFiles, TheListKeepsEightAbsolutePathsOnce) {
  std::vector<std::string> list;
  for (int i = 0; i < 10; ++i) list = with_recent_file(list, "/d/" + std::to_string(i));
  ASSERT_EQ(list.size(), kRecentFiles);
  EXPECT_EQ(list.front(), "/d/9");
  EXPECT_EQ(list.back(), "/d/2");
  list = with_recent_file(list, "/d/5");
  EXPECT_EQ(list[0], "/d/5");
  EXPECT_EQ(std::count(list.begin(), list.end(), "/d/5"), 1);
  EXPECT_EQ(list.size(), kRecentFiles);
  // What one line of the file cannot hold, or a relative path, is not kept.
  EXPECT_EQ(with_recent_file(list, "/d/two\nlines"), list);
  EXPECT_EQ(with_recent_file(list, "relative.txt"), list);
  EXPECT_EQ(without_file(list, "/d/5")[0], "/d/9");
}

TEST(RecentFiles, TheFileFollowsXdgConfigHomeElseHome) {
  const char* old_config = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old_config ? old_config : "";
  const auto folder =
      std::filesystem::temp_directory_path() / ("velmora-recent-" + std::to_string(::getpid()));
  ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  EXPECT_EQ(recent_files_path(), (folder / "velmora" / "recent").string());
  write_recent_files({"/x/one.txt", "/x/two.txt"});
  EXPECT_EQ(read_file(recent_files_path()), "/x/one.txt\n/x/two.txt\n");
  // Blank, relative and repeated lines are skipped.
  std::ofstream(recent_files_path()) << "/x/one.txt\n\nrel.txt\n/x/one.txt\r\n/x/three.txt\n";
  EXPECT_EQ(read_recent_files(), (std::vector<std::string>{"/x/one.txt", "/x/three.txt"}));
  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
  const char* home = std::getenv("HOME");
  if (home && *home) {
    EXPECT_EQ(recent_files_path(), std::string(home) + "/.config/velmora/recent");
  }
  std::filesystem::remove_all(folder);
  if (old_config) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

TEST(ResultsLogText, PanelPlainTextAndMarkdown) {
  ResultsLog log;
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(log.markdown(), "# Velmora results log\n");
  log.add({"2026-12-09 16:40:12", "skulls.txt", "age.txt", "regress on X, classic superimposition",
           "Test one", "first line\nsecond line\n"});
  log.add({"2026-12-09 16:41:00", "skulls.txt", "", "regress on ln X, optimal superimposition",
           "Test ```two```", "a ``` fence"});
  EXPECT_EQ(log.unsaved(), 2u);
  const std::vector<std::string> want = {
      "2026-12-09 16:40:12  Test one",
      "Data: skulls.txt   X: age.txt   regress on X, classic superimposition",
      "first line",
      "second line",
      "",
      "2026-12-09 16:41:00  Test ```two```",
      "Data: skulls.txt   X: none   regress on ln X, optimal superimposition",
      "a ``` fence"};
  EXPECT_EQ(log.lines(), want);
  std::string plain;
  for (const std::string& l : want) plain += l + "\n";
  EXPECT_EQ(log.plain_text(), plain);
  EXPECT_EQ(log.markdown(),
            "# Velmora results log\n"
            "\n## Test one\n\n- Time: 2026-12-09 16:40:12\n- Data: skulls.txt\n- X: age.txt\n"
            "- Settings: regress on X, classic superimposition\n\n```\nfirst line\nsecond line\n"
            "```\n"
            "\n## Test ```two```\n\n- Time: 2026-12-09 16:41:00\n- Data: skulls.txt\n- X: none\n"
            "- Settings: regress on ln X, optimal superimposition\n\n````\na ``` fence\n````\n");
  log.mark_saved();
  EXPECT_EQ(log.unsaved(), 0u);
}

TEST_F(WindowTest, HelpShowsTheVersionAndTheReadmesFirstAnalysis) {
  ASSERT_EQ(run("About").outcome, Outcome::Done);
  ASSERT_FALSE(hb->messages().empty());
  EXPECT_EQ(hb->messages().back().title, "About Velmora");
  EXPECT_EQ(hb->messages().back().text.rfind(std::string("Velmora ") + VELMORA_VERSION, 0), 0u);
  // Asked again, the same window shows it.
  const std::size_t figures = g->figures().size();
  ASSERT_EQ(run("About").outcome, Outcome::Done);
  EXPECT_EQ(g->figures().size(), figures);

  ASSERT_EQ(run("UserGuide").outcome, Outcome::Done) << workspace().last_action.message;
  ASSERT_EQ(hb->documents().size(), 1u);
  const std::string& guide = hb->documents()[0].markdown;
  EXPECT_EQ(hb->documents()[0].title, "Velmora User Guide");
  EXPECT_EQ(guide.rfind("## A first analysis\n", 0), 0u) << guide.substr(0, 80);
  EXPECT_NE(guide.find("**Load Landmarks…**"), std::string::npos);
  EXPECT_EQ(guide.find("\n## ", 1), std::string::npos);
  EXPECT_EQ(guide.back(), '\n');
}

TEST(UserGuide, TheSectionRunsToTheNextHeadingOfItsLevel) {
  EXPECT_EQ(user_guide_section("# T\n\n## Setup\nx\n## A first analysis\none\n### Sub\ntwo\n"
                               "## Files\nf\n"),
            "## A first analysis\none\n### Sub\ntwo\n");
  EXPECT_EQ(user_guide_section("## A first analysis\nlast"), "## A first analysis\nlast");
  EXPECT_EQ(user_guide_section("# Only a title\n"), "# Only a title\n");
}

TEST(UserGuide, EveryPictureOfTheGuideIsFoundOrNamed) {
  std::ifstream in(std::string(VELMORA_SOURCE_DIR) + "/README.md", std::ios::binary);
  const std::string readme{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string guide =
      guide_with_pictures(user_guide_section(readme), {"/nonexistent", VELMORA_SOURCE_DIR});
  int pictures = 0;
  for (std::size_t at = guide.find("!["); at != std::string::npos; at = guide.find("![", at + 2)) {
    const std::size_t mid = guide.find("](", at), close = guide.find(')', mid);
    const std::string path = guide.substr(mid + 2, close - mid - 2);
    EXPECT_TRUE(std::filesystem::path(path).is_absolute() && std::filesystem::exists(path)) << path;
    ++pictures;
  }
  EXPECT_GT(pictures, 3);
  EXPECT_EQ(guide_with_pictures("a ![Gone](docs/none.png) b ![x\n](y) ![", {VELMORA_SOURCE_DIR}),
            "a *Gone* b ![x\n](y) ![");
}

// Files named on the command line open in the window: a landmark file
// loads as Load Landmarks would, a script runs its lines as clicks and
// answers, and a missing file or a refused line ends the opening with a
// message box; any other argument stays a function's name.
TEST_F(WindowTest, FilesFromTheCommandLineOpenInTheWindow) {
  EXPECT_TRUE(names_a_file(example("skulls.txt")));
  EXPECT_TRUE(names_a_file("not-there-yet.velmora"));
  EXPECT_FALSE(names_a_file("nosuchfunction"));
  EXPECT_FALSE(names_a_file("pushbutton4_Callback"));

  open_in_window({skulls_as("first.txt")}, main);
  EXPECT_EQ(workspace().session.sample().specimens(), 80);
  EXPECT_EQ(g->queued_answers(), 0u);
  EXPECT_TRUE(hb->dialogs().empty());  // answered ahead, no dialog asked

  const std::string script =
      write("look.velmora", "open " + example("skulls.txt") + "\nLoadData\nopen " +
                                example("age.txt") + "\nLoadXList\nDoRegression\nShowPCA\n");
  open_in_window({script}, main);
  EXPECT_TRUE(workspace().session.regression());
  EXPECT_NE(workspace().window.log.plain_text().find("Principal components of shape"),
            std::string::npos);

  hb->clear_records();
  open_in_window({temp("gone.tps"), skulls_as("second.txt")}, main);
  ASSERT_EQ(hb->messages().size(), 1u);
  EXPECT_EQ(hb->messages()[0].text,
            "Cannot open \"" + temp("gone.tps") + "\": there is no such file.");
  EXPECT_EQ(hb->messages()[0].title, "File not opened");

  // An answer no action takes stops the script, and none is left for the
  // next dialog.
  hb->clear_records();
  open_in_window({write("stray.velmora", "open " + example("age.txt") + "\nShowMean\nShowPCA\n")},
                 main);
  ASSERT_EQ(hb->messages().size(), 1u);
  EXPECT_EQ(hb->messages()[0].text,
            "script line 2: ShowMean did not use the answer before it; the script stops here.");
  EXPECT_EQ(g->queued_answers(), 0u);
  // A list dialog takes a queued item by its text; one it does not offer
  // cancels it.
  g->queue_item_answer("b");
  EXPECT_EQ(g->list_dialog("t", "p", {"a", "b"}), std::optional<std::size_t>(1));
  g->queue_item_answer("c");
  EXPECT_EQ(g->list_dialog("t", "p", {"a", "b"}), std::nullopt);
}

}  // namespace
}  // namespace velmora::app
