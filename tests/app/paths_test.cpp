// Names and writes under attack: NUL bytes and control characters in file
// names, scripts that are folders or pipes, a recent-files list that is a
// pipe, refused writes and their exit status, and exports that must come
// out the same byte for byte.  Every script case checks that the input
// files are as before.
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

#include "app/batch.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"
#include "child_process.hpp"
#include "core/file_bytes.hpp"
#include "core/shown_text.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"
#include "view/recent_files.hpp"
#include "view/results_log.hpp"

namespace velmora::app {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Paths : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    for (const char* name : {"skulls.txt", "age.txt", "skull_wires.txt"}) {
      originals_[name] = bytes_of(example(name));
      write(name, originals_[name]);
    }
  }
  /// Runs `text` as a script file in the temporary folder, as
  /// `velmora --batch` does; its exit status.
  int run_script(const std::string& text) {
    cap_.clear();
    workspace().reset();
    return run_batch_file(write("script.txt", text));
  }
  void expect_inputs_intact() const {
    for (const auto& [name, bytes] : originals_) EXPECT_EQ(bytes_of(temp(name)), bytes) << name;
  }
  std::string output() const { return cap_.text() + cap_.errors(); }
  bool said(const std::string& text) const { return output().find(text) != std::string::npos; }

  ConsoleCapture cap_;
  std::map<std::string, std::string> originals_;
};

TEST_F(Paths, ANulInAPathStopsTheScriptBeforeAnythingRuns) {
  const std::string load = "open skulls.txt\nLoadData\nopen age.txt\nLoadXList\nDoRegression\n";
  const std::string nul_png = temp("skulls.txt") + "\\x00.png\"";
  const std::string reason = ": the name holds a NUL byte (\\x00), which no file name can hold\n";
  struct Case {
    std::string script, message;
  };
  const Case cases[] = {
      {load + "save \"skulls.txt\\x00.png\"\nExportFigure\n",
       "line 6: the path \"" + nul_png + " is no file name" + reason},
      {load + "save skulls.txt\0.png\nExportFigure\n"s,
       "line 6: the path \"" + nul_png + " is no file name" + reason},
      {load + "save \"age.txt\\x00\"\nSaveRef\n",
       "line 6: the path \"" + temp("age.txt") + "\\x00\" is no file name" + reason},
      {load + "save 'skulls.txt\0.txt'\nSaveSessionScript\n"s,
       "line 6: the path \"" + temp("skulls.txt") + "\\x00.txt\" is no file name" + reason},
      {"open \"sk\\x00ulls.txt\"\nLoadData\n",
       "line 1: the path \"" + temp("sk") + "\\x00ulls.txt\" is no file name" + reason},
      {load + "call dload 'skulls.txt\0'\n"s,
       "line 6: \"dload 'skulls.txt\\x00'\" holds a NUL byte (\\x00), which no script line may "
       "hold\n"}};
  write("sk", originals_["skulls.txt"]);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(run_script(c.script), kBatchMalformed);
    EXPECT_EQ(cap_.errors(), "Malformed batch script \"" + temp("script.txt") + "\", " + c.message);
    EXPECT_FALSE(workspace().session.has_sample());  // nothing ran
    expect_inputs_intact();
  }
  EXPECT_FALSE(fs::exists(temp("skulls.txt.png")));
}

TEST_F(Paths, ANulInAChosenNameIsRefusedAndNeverReachesTheSystem) {
  load_examples();
  // A dialog (of the window or a test) that gives a name with a NUL.
  const std::string cut = temp("skulls.txt");
  for (const char* action : {"ExportFigure", "SaveRef", "LoadData"}) {
    SCOPED_TRACE(action);
    hb->queue_path(cut + "\0.png"s);
    const ActionReport r = run(action);
    EXPECT_EQ(r.outcome, Outcome::Refused);
    EXPECT_EQ(r.message, "\"" + cut +
                             "\\x00.png\" is no file name: the name holds a NUL byte (\\x00), "
                             "which no file name can hold.");
  }
  expect_inputs_intact();
  // Below the dialogs, the writer and the reader refuse such a name too.
  EXPECT_THROW(write_file_safely(cut + "\0.png"s, "new"), WriteError);
  const FileBytes read = read_regular_file(cut + "\0.png"s);
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.reason, "the name holds a NUL byte (\\x00), which no file name can hold");
  expect_inputs_intact();
}

TEST_F(Paths, AScriptIsARegularFileOrAPipeNeverAFolderOrADevice) {
  write("run.txt", "open skulls.txt\nLoadData\nsave ref.txt\nSaveRef\n");
  const fs::path folder = temp("");
  auto [status, out] = run_program(folder, "--batch " + temp(""));
  EXPECT_EQ(status, kBatchMalformed);
  EXPECT_EQ(out, "Cannot read the batch script \"" + temp("") + "\": Is a directory.\n");
  std::tie(status, out) = run_program(folder, "--batch /dev/null");
  EXPECT_EQ(status, kBatchMalformed);
  EXPECT_EQ(out,
            "Cannot read the batch script \"/dev/null\": it is a character device, not a regular "
            "file.\n");
  // Pipes are read as streams: standard input, a shell's <(…), a FIFO.
  ASSERT_EQ(::mkfifo(temp("pipe").c_str(), 0600), 0);
  for (const std::string& args :
       {"--batch - < run.txt"s, "--batch /dev/fd/3 3< run.txt"s,
        "--batch pipe & cat '" + temp("run.txt") + "' > '" + temp("pipe") + "'; wait $!"}) {
    SCOPED_TRACE(args);
    fs::remove(temp("ref.txt"));
    std::tie(status, out) = run_program(folder, args);
    EXPECT_EQ(status, kBatchOk) << out;
    EXPECT_TRUE(fs::exists(temp("ref.txt")));
  }
  expect_inputs_intact();
}

TEST_F(Paths, ARecentFilesListIsReadOnlyAsTheHeadOfARegularFile) {
  const std::string list = temp("config") + "/velmora/recent";
  fs::create_directories(fs::path(list).parent_path());
  ASSERT_EQ(::mkfifo(list.c_str(), 0600), 0);
  // A pipe with no writer would block a plain read for ever.
  const int code = testing::in_child([&] {
    ::alarm(20);
    ConsoleCapture cap;
    const bool empty = read_recent_files().empty();
    return !empty ? 2
                  : testing::same_text(cap.text(), "The recent-files list \"" + list +
                                                       "\" is ignored: it is a named pipe (FIFO), "
                                                       "not a regular file.\n");
  });
  EXPECT_EQ(code, 0);
  fs::remove(list);
  // Only the head is read: the paths before one huge line, none in it.
  write_file_safely(list, "/a.txt\n/b.txt\n/" + std::string(kRecentFilesBytes, 'x') + "\n/c.txt\n");
  EXPECT_EQ(read_recent_files(), (std::vector<std::string>{"/a.txt", "/b.txt"}));
}

TEST_F(Paths, RefusedWritesOfResultsAndFiguresAllExitThree) {
  const std::string load = "open skulls.txt\nLoadData\nopen age.txt\nLoadXList\nDoRegression\n";
  ASSERT_EQ(::mkfifo(temp("pipe.png").c_str(), 0600), 0);
  write("kept.txt", "kept\n");
  ::chmod(temp("kept.txt").c_str(), 0444);
  const std::string fifo = "it is a named pipe (FIFO), not a regular file";
  const std::string read_only = "it is read-only (no write permission), so it is kept";
  struct Case {
    std::string answer, action, reason;
  };
  const Case cases[] = {{"pipe.png", "ExportFigure", fifo},
                        {"pipe.png", "CopyDEPS", fifo},
                        {"pipe.png", "SaveRef", fifo},
                        {"kept.txt", "SaveWarp", read_only},
                        {"kept.txt", "CopyDEPS", read_only}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    EXPECT_EQ(run_script(load + "save " + c.answer + "\n" + c.action + "\n"), kBatchRefused);
    EXPECT_TRUE(said("\nCannot write the file \"" + temp(c.answer) + "\": " + c.reason + ".\n"))
        << output();
  }
  EXPECT_EQ(bytes_of(temp("kept.txt")), "kept\n");
  expect_inputs_intact();

  // Past a file-size limit every writer says the same, Cairo's EPS too.
  for (const char* action : {"ExportFigure", "CopyDEPS", "SaveWarp"}) {
    SCOPED_TRACE(action);
    const int code = testing::in_child([&] {
      ignore_file_size_signal();
      const rlimit limit{500, 500};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      const std::string answer = std::string(action) == "ExportFigure" ? "big.png" : "big.eps";
      const int status = run_script(load + "save " + answer + "\n" + action + "\n");
      if (status != kBatchRefused) return 10 + status;
      return said("Cannot write the file \"" + temp(answer) + "\": File too large.\n") ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
  }
  expect_inputs_intact();
}

TEST_F(Paths, ClipboardCopiesInABatchRunSayWhereTheyWent) {
  const std::string load = "open skulls.txt\nLoadData\nopen age.txt\nLoadXList\nDoRegression\n";
  for (const std::string& copy : {"CopyDClipboard\n"s, "ShowRegression\ncall CopyBigImage\n"s}) {
    SCOPED_TRACE(copy);
    EXPECT_EQ(run_script(load + copy), kBatchOk) << output();
    EXPECT_TRUE(said("The figure was copied to the headless clipboard (SVG, ")) << output();
    EXPECT_TRUE(said(" bytes); without a desktop no other program can paste it.\n"));
    EXPECT_EQ(gfx::headless_backend()->clipboard().count("image/png"), 1u);
  }
  expect_inputs_intact();
}

TEST_F(Paths, ControlCharactersInNamesAreShownEscapedEverywhere) {
  const std::string name = "a\nData: forged.txt\n## Forged\x01.txt";
  const std::string shown = "a\\nData: forged.txt\\n## Forged\\x01.txt";
  EXPECT_EQ(shown_name(name), shown);
  EXPECT_EQ(shown_name("\t\r\x7f\0"s), "\\t\\r\\x7F\\x00");
  EXPECT_EQ(shown_name("naïve \\ name"), "naïve \\ name");  // all else as it is
  const std::string path = write(name, originals_["skulls.txt"]);
  hb->queue_path(path);
  ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
  EXPECT_NE(text_of("FileBox").find("File: " + shown + " "), std::string::npos);
  hb->queue_path(example("age.txt"));
  ASSERT_EQ(run("LoadXList").outcome, Outcome::Done);
  ASSERT_EQ(run("ShowPCA").outcome, Outcome::Done) << workspace().last_action.message;
  const std::string plain = workspace().window.log.plain_text(),
                    markdown = workspace().window.log.markdown();
  EXPECT_NE(plain.find("\nData: " + shown + "   X: "), std::string::npos) << plain;
  EXPECT_EQ(plain.find("\nData: forged"), std::string::npos);
  EXPECT_NE(markdown.find("\n- Data: " + shown + "\n"), std::string::npos);
  EXPECT_EQ(markdown.find("\n## Forged"), std::string::npos);
  // The status line and message boxes.
  hb->queue_path(temp("saved\n.txt"));
  ASSERT_EQ(run("SaveRef").outcome, Outcome::Done);
  EXPECT_EQ(text_of("StatusBar").find('\n'), std::string::npos);
  EXPECT_NE(text_of("StatusBar").find(temp("saved\\n.txt")), std::string::npos);
  const std::string bad = write("bad\n\x1b[2J.txt", "1 2 x\n");
  hb->queue_path(bad);
  EXPECT_EQ(run("LoadData").outcome, Outcome::Refused);
  EXPECT_EQ(last_message().rfind("\"" + temp("bad\\n\\x1B[2J.txt") + "\"", 0), 0u)
      << last_message();
  EXPECT_EQ(bytes_of(path), originals_["skulls.txt"]);
}

// A table's column names and levels, the formulas and the arguments a
// script gives reach the console and the logs escaped (no line of theirs
// can read as the program's own) and cut to their first 32 bytes.
TEST_F(Paths, NamesLevelsAndFormulasAreEchoedEscapedAndCut) {
  EXPECT_EQ(shown_text("a\nb\x1b[2J"), "a\\nb\\x1B[2J");
  EXPECT_EQ(shown_text(std::string(40, 'x')), std::string(32, 'x') + "...");
  EXPECT_EQ(shown_text(std::string(31, 'x') + "\xc3\xa9"), std::string(31, 'x') + "...");
  EXPECT_EQ(shown_lines("a\nb\x1b\tc\0"s), "a\nb\\x1B\tc\\x00");
  // The example's table with a forged column name and a forged level.
  std::string table = bytes_of(example("populations.csv"));
  const std::string name = "pop\nData: forged\x1b[2J", level = "coast\n2026-01-01 00:00:00  Forged";
  table.replace(table.find("population"), 10, "\"" + name + "\"");
  for (std::size_t at = 0; (at = table.find(",coast,", at)) != std::string::npos; at += 10)
    table.replace(at, 7, ",\"" + level + "\",");
  write("populations.csv", table);
  write("populations.txt", bytes_of(example("populations.txt")));
  const std::string script =
      "open populations.txt\nLoadData\nopen populations.csv\nLoadSpecimenTable\n"
      "set PermBox 9\nSetModel \"shape ~ `pop\\nData: forged\\x1B[2J`\"\n"
      "SetFactor \"pop\\nData: forged\\x1B[2J\"\nProcrustesANOVA\n";
  ASSERT_EQ(run_script(script), kBatchOk) << output();
  const std::string shown_column = "pop\\nData: forged\\x1B[2J";
  EXPECT_TRUE(said("\n  " + shown_column +
                   ": factor, 2 levels (coast\\n2026-01-01 00:00:00  Fo"
                   "rge... 40, inland 40)\n"))
      << output();
  EXPECT_TRUE(said("\nModel: shape ~ " + shown_column + "\nFactor: " + shown_column + "\n"));
  EXPECT_TRUE(said("\n" + shown_column + "  "));  // the ANOVA table's row
  const std::string plain = workspace().window.log.plain_text(),
                    markdown = workspace().window.log.markdown();
  EXPECT_NE(markdown.find("\n- Settings: regress on X, optimal superimposition, specimen table "
                          "populations.csv, model shape ~ `" +
                          shown_column + "`, groups by " + shown_column + "\n\n```\n"),
            std::string::npos)
      << markdown;
  for (const std::string& text : {output(), plain, markdown}) {
    EXPECT_EQ(text.find("\nData: forged"), std::string::npos);
    EXPECT_EQ(text.find("\n2026-01-01 00:00:00  Forged"), std::string::npos);
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
  }
  // Long values are cut: a formula of 200,000 brackets, a column name of
  // 100,000 bytes.
  ASSERT_EQ(run_script("open populations.txt\nLoadData\nSetModel \"shape ~ " +
                       std::string(200000, '(') + "\"\n"),
            kBatchRefused);
  EXPECT_TRUE(said("\nThe model \"shape ~ " + std::string(24, '(') +
                   "...\" cannot be read: expected a name at \"" + std::string(24, '(') + "\".\n"))
      << output().substr(0, 2000);
  EXPECT_LT(output().size(), 2000u);
  table.replace(table.find("age"), 3, std::string(100000, 'a'));
  write("populations.csv", table);
  ASSERT_EQ(run_script("open populations.txt\nLoadData\nopen populations.csv\nLoadSpecimenTable\n"),
            kBatchOk);
  EXPECT_TRUE(said("\n  " + std::string(32, 'a') + "...: covariate, ")) << output().substr(0, 400);
  EXPECT_LT(output().size(), 2000u);
}

TEST_F(Paths, PdfAndEpsExportsAreTheSameBytesWhenMadeAgain) {
  load_examples();
  // The date in a PDF's document information; Cairo 1.16 leaves out the
  // optional "D:" before it.
  const auto pdf_date = [](const std::string& pdf, const std::string& key) {
    std::size_t at = pdf.find("/" + key + " (");
    if (at == std::string::npos) return std::string();
    at += key.size() + 3;
    if (pdf.compare(at, 2, "D:") == 0) at += 2;
    return pdf.substr(at, pdf.find(')', at) - at);
  };
  const auto exported = [&](const std::string& name) {
    hb->queue_path(temp(name));
    EXPECT_EQ(run("ExportFigure").outcome, Outcome::Done) << workspace().last_action.message;
    return bytes_of(temp(name));
  };
  ::unsetenv("SOURCE_DATE_EPOCH");
  const std::string pdf = exported("a.pdf"), eps = exported("a.eps");
  EXPECT_EQ(pdf_date(pdf, "CreationDate"), "20000101000000Z");
  EXPECT_NE(eps.find("\n%%CreationDate: Sat Jan  1 00:00:00 2000\n"), std::string::npos);
  // A second later the clock differs, the files do not.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(exported("b.pdf"), pdf);
  EXPECT_EQ(exported("b.eps"), eps);
  ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);  // 2023-11-14 22:13:20 UTC
  const std::string dated_pdf = exported("c.pdf"), dated_eps = exported("c.eps");
  ::unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_EQ(pdf_date(dated_pdf, "CreationDate"), "20231114221320Z");
  EXPECT_EQ(pdf_date(dated_pdf, "ModDate"), "20231114221320Z");
  EXPECT_NE(dated_eps.find("\n%%CreationDate: Tue Nov 14 22:13:20 2023\n"), std::string::npos);
}

}  // namespace
}  // namespace velmora::app

namespace velmora::app {
namespace {

// A save into a folder named relative to the working folder enters that
// folder once: the next save into the same relative name goes where the
// dialog's answer now points, with no warning about a folder out/out/.
TEST_F(Paths, TheWorkingFolderAfterASaveIsTheSavedFilesFolder) {
  load_examples(false);
  const fs::path before = fs::current_path();
  fs::create_directories(temp("out/out"));
  fs::current_path(temp(""));
  ConsoleCapture cap;
  hb->queue_path("out/ref1.txt");
  EXPECT_EQ(run("SaveRef").outcome, Outcome::Done) << workspace().last_action.message;
  const fs::path after_first = fs::current_path();
  hb->queue_path("ref2.txt");
  EXPECT_EQ(run("SaveRef").outcome, Outcome::Done) << workspace().last_action.message;
  const fs::path after_second = fs::current_path();
  fs::current_path(before);
  EXPECT_EQ(after_first, fs::path(temp("out")));
  EXPECT_EQ(after_second, fs::path(temp("out")));
  EXPECT_TRUE(fs::is_regular_file(temp("out/ref1.txt")));
  EXPECT_TRUE(fs::is_regular_file(temp("out/ref2.txt")));
  EXPECT_FALSE(fs::exists(temp("out/out/ref1.txt")));
  EXPECT_EQ(cap.errors().find("the working folder"), std::string::npos) << cap.errors();
}

}  // namespace
}  // namespace velmora::app
