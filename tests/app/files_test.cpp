// The program's files under attack: malformed input files, special files in
// place of data or results, input that costs without bound, and the layout
// file.  Every case checks the outcome, the exact message and that the
// input files are byte for byte as before.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app_fixture.hpp"
#include "child_process.hpp"
#include "gui/layout_file.hpp"
#include "platform/runtime/huge_pages.hpp"

namespace velmora::app {
namespace {

namespace fs = std::filesystem;

std::string bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

/// No temporary file of the writer is left in `dir`.
bool no_temporaries(const fs::path& dir) {
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().rfind(".vm-", 0) == 0) return false;
  return true;
}

class Files : public AppTest {
 protected:
  /// LoadData of `path`; the file's bytes must not change.
  ActionReport load(const std::string& action, const std::string& path) {
    const std::string before = bytes_of(path);
    hb->queue_path(path);
    ActionReport r = run(action);
    EXPECT_EQ(bytes_of(path), before) << path;
    return r;
  }
};

TEST_F(Files, MalformedLandmarkFilesAreRefusedNotGuessed) {
  const std::string skulls = bytes_of(example("skulls.txt"));
  load_examples(false);
  const Value data = var("DATA");

  const std::string commas = write("commas.txt", replaced(skulls, ".", ","));
  ActionReport r = load("LoadData", commas);
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message, "\"" + commas + "\" line 1: \"-73,146001\" uses a decimal comma.");

  std::string gap = skulls;
  std::size_t line41 = 0;
  for (int i = 0; i < 40; ++i) line41 = gap.find('\n', line41) + 1;
  gap.insert(line41, "\n");
  const std::string gapped = write("gap.txt", gap);
  r = load("LoadData", gapped);
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message,
            "\"" + gapped + "\" line 41: a blank line ends the data, but 40 more lines follow it.");
  EXPECT_EQ(var("DATA"), data);  // refusals changed nothing

  // Readable variants give the same sample as the original.
  const std::string variants[] = {
      replaced(skulls, "\n", "\r"),                                     // lone carriage returns
      "\xEF\xBB\xBF\n \r\n" + replaced(skulls, "\n", "\r\n") + "\r\n",  // mark, blank lines
      replaced(skulls, " ", ",")};                                      // commas as separators
  for (const std::string& text : variants) {
    const std::string path = write("variant.txt", text);
    r = load("LoadData", path);
    ASSERT_EQ(r.outcome, Outcome::Done) << r.message;
    EXPECT_EQ(var("DATA"), data);
  }
}

TEST_F(Files, ResultsAreNeverWrittenOntoSpecialFiles) {
  load_examples(true);
  const std::string fifo = temp("pipe.txt");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string victim = write("victim.txt", "precious\n");
  const std::string link = temp("link.txt");
  fs::create_symlink(victim, link);
  const std::string device = temp("null");
  const bool have_device = ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;

  struct Case {
    std::string action, path, reason;
  };
  std::vector<Case> cases = {
      {"SaveRef", fifo, "it is a named pipe (FIFO), not a regular file"},
      {"SaveWarp", link, "it is a symbolic link, not a regular file"},
      {"SaveSessionScript", fifo, "it is a named pipe (FIFO), not a regular file"}};
  if (have_device)
    cases.push_back({"SaveRef", device, "it is a character device, not a regular file"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action + " " + c.path);
    hb->queue_path(c.path);
    ActionReport r = run(c.action);
    EXPECT_EQ(r.outcome, Outcome::Refused);
    EXPECT_EQ(r.message, "Cannot write the file \"" + c.path + "\": " + c.reason + ".");
  }
  // Figures go through the same writer.
  hb->queue_path(fifo);
  ActionReport r = run("CopyDEPS");
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_EQ(r.message, "Cannot write the file \"" + fifo +
                           "\": it is a named pipe (FIFO), not a regular file.");

  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  if (have_device) {
    ASSERT_EQ(::lstat(device.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
  }
  EXPECT_EQ(bytes_of(victim), "precious\n");

  // A private file stays private when a figure replaces it.
  const std::string picture = write("figure.png", "old");
  ::chmod(picture.c_str(), 0600);
  hb->queue_path(picture);
  ASSERT_EQ(run("ExportFigure").outcome, Outcome::Done) << workspace().last_action.message;
  ASSERT_EQ(::stat(picture.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(bytes_of(picture).substr(1, 3), "PNG");
  EXPECT_TRUE(no_temporaries(fs::path(picture).parent_path()));
}

TEST_F(Files, SpecialFilesAreNeverRead) {
  const std::string fifo = temp("pipe.txt");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = temp("folder");
  fs::create_directory(folder);
  std::vector<std::pair<std::string, std::string>> cases = {
      {fifo, "it is a named pipe (FIFO), not a regular file"}, {folder, "Is a directory"}};
  const std::string zero = temp("zero");
  if (::mknod(zero.c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0)
    cases.push_back({zero, "it is a character device, not a regular file"});
  load_examples(false);
  for (const auto& [path, reason] : cases) {
    for (const char* action : {"LoadData", "LoadXList", "LoadWireFrame"}) {
      SCOPED_TRACE(std::string(action) + " " + path);
      hb->queue_path(path);
      ActionReport r = run(action);
      EXPECT_EQ(r.outcome, Outcome::Refused);
      EXPECT_EQ(r.message, "Cannot open the file \"" + path + "\": " + reason + ".");
    }
  }
  // load_text_matrix answers as for a file it cannot open.
  EXPECT_EQ(function_table().call("dload", {Value(fifo)}, 1).at(0), Value(-1.0));
}

TEST_F(Files, MemoryFailuresBecomeMessages) {
  if (testing::kAddressSanitizer) GTEST_SKIP() << "an address-space limit cannot work here";
  // A sample of 6,000 landmarks: its spline basis needs about 1.2 GB.
  std::string line;
  for (int j = 0; j < 6000; ++j)
    line += std::to_string(std::sin(j * 1.1) * 10) + " " + std::to_string(std::sin(j * 2.3 + 1)) +
            " " + std::to_string(std::cos(j * 0.7) * 5) + " ";
  std::string text;
  for (int i = 0; i < 3; ++i) text += line + std::to_string(1 + i) + "\n";
  const std::string big = write("big.txt", text);
  const std::string ages = write("ages.txt", "1\n2\n3\n");
  const std::string huge = write("huge.txt", "");
  ASSERT_EQ(::truncate(huge.c_str(), 1LL << 30), 0);  // sparse: no disk used
  const int code = testing::in_child([&] {
    ConsoleCapture cap;
    if (!testing::limit_address_space(512ull << 20)) return 2;
    hb->queue_path(big);
    if (run("LoadData").outcome != Outcome::Done) return 3;
    hb->queue_path(ages);
    ActionReport r = run("LoadXList");
    const std::string want = "The thin-plate spline basis of 6000 landmarks needs about 1.2 GB";
    // A basis that cannot fit is refused with a message box, as data that
    // cannot be analysed here.
    if (r.outcome != Outcome::Refused || r.message.rfind(want, 0) != 0)
      return testing::same_text(r.message, want + "...");
    // A file too large for the memory left is refused with the reason.
    hb->queue_path(huge);
    r = run("LoadData");
    return testing::same_text(r.message, "Cannot open the file \"" + huge +
                                             "\": there is not enough memory to read its "
                                             "1073741824 bytes.");
  });
  EXPECT_EQ(code, 0);
}

// --- the layout file --------------------------------------------------------

/// A working folder of its own holding `layout` as Velmora.fig (none when
/// empty), with headless graphics and every function registered.
class LayoutStart : public ::testing::Test {
 protected:
  void SetUp() override {
    gfx::install_graphics(std::make_unique<gfx::HeadlessBackend>());
    static bool registered = [] {
      register_all_functions();
      return true;
    }();
    (void)registered;
    dir_ = fs::temp_directory_path() /
           ("velmora-layout-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    old_ = fs::current_path();
    fs::current_path(dir_);
    installed_ = bytes_of(std::string(VELMORA_SOURCE_DIR) + "/src/app/Velmora.fig");
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  std::string put_layout(const std::string& text) {
    std::ofstream(dir_ / "Velmora.fig", std::ios::binary) << text;
    return "Velmora.fig";
  }
  /// The error of opening the main window, or "opened".
  std::string start_error() {
    try {
      velmora({}, 1);
    } catch (const gui::LayoutError& e) {
      EXPECT_TRUE(gfx::graphics().figures().empty()) << "a window was left";
      return e.what();
    }
    return "opened";
  }

  fs::path dir_, old_;
  std::string installed_;
};

TEST_F(LayoutStart, UnusableLayoutsNameTheFileAndWhatIsWrong) {
  put_layout("{\"figure\": {\"Name\": \"x\",}}");
  const std::string bad_json = start_error();
  EXPECT_EQ(bad_json.rfind("Layout file \"Velmora.fig\": not valid JSON (", 0), 0u) << bad_json;

  put_layout(replaced(installed_, "\"Tag\": \"FileBox\"", "\"Tag\": \"FileBocks\""));
  EXPECT_EQ(start_error(),
            "Layout file \"Velmora.fig\": no control is tagged \"FileBox\"; the main window needs "
            "it.");
  put_layout(replaced(installed_, "\"LoadWireFrame\"", "\"LoadWireframe\""));
  EXPECT_EQ(start_error(),
            "Layout file \"Velmora.fig\": no control or menu runs the action \"LoadWireFrame\"; "
            "the main window needs it.");
  put_layout("{\"children\": [{\"type\": \"uicontrol\", \"Position\": {\"x\": 1}}]}");
  EXPECT_EQ(start_error(),
            "Layout file \"Velmora.fig\": A property value cannot be a JSON object "
            "or binary data.");
  fs::remove(dir_ / "Velmora.fig");
  ASSERT_EQ(::mkfifo("Velmora.fig", 0600), 0);
  EXPECT_EQ(start_error(),
            "Cannot open the layout file \"Velmora.fig\": it is a named pipe "
            "(FIFO), not a regular file.");
}

TEST_F(LayoutStart, ALayoutOtherThanTheInstalledOneIsNamed) {
  put_layout(installed_);
  ConsoleCapture cap;
  ASSERT_EQ(start_error(), "opened");
  const std::string installed = gui::installed_layout("Velmora.fig");
  EXPECT_NE(cap.text().find("Using the layout file \"" + (dir_ / "Velmora.fig").string() +
                            "\", not the installed \"" + installed + "\".\n"),
            std::string::npos)
      << cap.text();
}

TEST_F(LayoutStart, TheProgramStopsWithStatusTwoOnABadLayout) {
  std::ofstream(dir_ / "script.txt") << "ClearData\n";
  auto [status, out] = run_program(dir_, "--batch script.txt");
  EXPECT_EQ(status, 0) << out;  // the installed layout, nothing said
  EXPECT_EQ(out.find("Using the layout file"), std::string::npos) << out;

  put_layout("{ not json");
  std::tie(status, out) = run_program(dir_, "--batch script.txt");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(out.rfind("Layout file \"Velmora.fig\": not valid JSON (", 0), 0u) << out;
  EXPECT_EQ(out.find("terminate"), std::string::npos) << out;

  put_layout(installed_);
  std::tie(status, out) = run_program(dir_, "--batch script.txt");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out.rfind("Using the layout file \"" + (dir_ / "Velmora.fig").string() + "\"", 0), 0u)
      << out;
}

}  // namespace
}  // namespace velmora::app

namespace velmora::app {
namespace {

TEST(HugePages, TheUsersOwnTunablesAreKeptOrLeftToDecide) {
  EXPECT_EQ(tunables_with_huge_pages(""), "glibc.malloc.hugetlb=1");
  EXPECT_EQ(tunables_with_huge_pages("glibc.malloc.check=3"),
            "glibc.malloc.check=3:glibc.malloc.hugetlb=1");
  EXPECT_EQ(tunables_with_huge_pages("glibc.malloc.hugetlb=0"), "");
}

// The launcher starts the program, and the program started on its own
// starts itself again: a script on standard input, the exit status and the
// output must come through either way, whatever GLIBC_TUNABLES says.
TEST(HugePages, TheStartedProgramReadsItsScriptFromStandardInput) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::filesystem::path launcher = VELMORA_PROGRAM;
  for (const auto& program : {launcher, launcher.parent_path() / "velmora-program"}) {
    for (const char* tunables :
         {"", "GLIBC_TUNABLES=glibc.malloc.check=0 ", "GLIBC_TUNABLES=glibc.malloc.hugetlb=0 "}) {
      const std::string command =
          "cd '" + dir.string() + "' && printf 'ClearData\\nNoSuchAction\\n' | " + tunables +
          "QT_QPA_PLATFORM=offscreen '" + program.string() + "' --batch - 2>&1";
      std::FILE* pipe = ::popen(command.c_str(), "r");
      std::string text;
      char buffer[4096];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
      const int code = ::pclose(pipe);
      EXPECT_EQ(WEXITSTATUS(code), 2) << program << tunables << text;
      EXPECT_NE(text.find("NoSuchAction"), std::string::npos) << program << tunables << text;
    }
  }
}

}  // namespace
}  // namespace velmora::app
