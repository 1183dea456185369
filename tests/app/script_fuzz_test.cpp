// Randomized, deterministic tests of the batch-script reader, of the
// session recorder's quoting and of whole scripts run deep into an analysis
// with hostile answers among them: fixed seeds, so a failure repeats
// exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "app/batch.hpp"
#include "app/script_recorder.hpp"
#include "app/script_text.hpp"
#include "app/workspace.hpp"
#include "app_fixture.hpp"

namespace velmora::app {
namespace {

std::string random_bytes(std::mt19937_64& rng, std::size_t max_len) {
  // Mostly the bytes that make names hard: quotes, backslashes, blanks,
  // line ends, control and non-UTF-8 bytes, and some UTF-8 text.
  static const std::string kHard = "\"'\\ \t\n\r\x01\x7f\x80\xff#x";
  static const std::string kUtf8 = "\xc3\xa4\xe2\x82\xac";
  std::string s;
  const std::size_t n = 1 + rng() % max_len;
  while (s.size() < n) {
    switch (rng() % 4) {
      case 0:
        s += kHard[rng() % kHard.size()];
        break;
      case 1:
        s += kUtf8;
        break;
      case 2:
        s += static_cast<char>(rng() % 256);
        break;
      default:
        s += static_cast<char>('a' + rng() % 26);
        break;
    }
  }
  return s;
}

TEST(ScriptFuzz, RecordedPathsReplayAsTheSameBytes) {
  std::mt19937_64 rng(20261209);
  for (int trial = 0; trial < 2000; ++trial) {
    // A file name holds any byte but NUL.
    std::string folder = "/" + random_bytes(rng, 12) + "/", name = random_bytes(rng, 24);
    std::replace(folder.begin(), folder.end(), '\0', '\x01');
    std::replace(name.begin(), name.end(), '\0', '\x01');
    ScriptRecorder rec;
    rec.start_recording(analysis::Method::Optimal);
    const Inputs inputs;
    rec.begin_action("SaveRef", {}, inputs, {});
    rec.dialog_answered("save", gfx::FilePick{folder, name});
    rec.end_action(true);
    rec.begin_action("LoadData", {}, inputs, {});
    rec.dialog_answered("open", gfx::FilePick{folder, name});
    rec.end_action(true);
    std::istringstream in(rec.script());
    std::vector<BatchCommand> cmds;
    ASSERT_NO_THROW(cmds = parse_batch(in, "/base/")) << quote_script_text(name);
    // The script's first command sets the superimposition.
    ASSERT_EQ(cmds.size(), 5u) << quote_script_text(name);
    EXPECT_EQ(cmds[0].name, "SetSuperimposition");
    EXPECT_EQ(cmds[1].kind, BatchCommand::Kind::Save);
    EXPECT_EQ(cmds[1].name, folder + name) << trial;
    EXPECT_EQ(cmds[2].name, "SaveRef");
    EXPECT_EQ(cmds[3].kind, BatchCommand::Kind::Open);
    EXPECT_EQ(cmds[3].name, folder + name) << trial;
  }
}

TEST(ScriptFuzz, AnyScriptParsesOrNamesALineThatExists) {
  std::mt19937_64 rng(7);
  const std::string pieces[] = {"open ", "save ", "cancel", "call ", "LoadData",
                                "\"",    "\\x4",  "'",      "[1 2;", "]",
                                "\n",    "\r",    " ",      "#",     "SetPlotDensity 3"};
  for (int trial = 0; trial < 3000; ++trial) {
    std::string text;
    const std::size_t n = rng() % 30;
    for (std::size_t i = 0; i < n; ++i) {
      text += rng() % 5 == 0 ? random_bytes(rng, 4) : pieces[rng() % std::size(pieces)];
    }
    const std::size_t lines = split_script_lines(text).size();
    std::istringstream in(text);
    try {
      for (const BatchCommand& c : parse_batch(in, "/b/")) {
        EXPECT_GE(c.line, 1);
        EXPECT_LE(static_cast<std::size_t>(c.line), lines);
      }
    } catch (const std::invalid_argument& e) {
      const std::string what = e.what();
      ASSERT_EQ(what.rfind("line ", 0), 0u) << what;
      const std::size_t line = std::stoul(what.substr(5));
      EXPECT_GE(line, 1u);
      EXPECT_LE(line, lines) << what;
    }
  }
}

// ---------------------------------------------------------------------------
// Whole scripts: a small sample, its X and a wireframe are the inputs; every
// script follows the answer rules and goes deep into the analysis, some with
// one hostile answer.  After each script every input holds its bytes, and
// the folder holds nothing but the inputs and the files the script named.

std::string file_bytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ScriptRuns : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    folder_ = std::filesystem::path(temp("run"));
    std::filesystem::create_directories(folder_);
    // The first 40 skulls and their ages keep every script quick (and are
    // enough for the multivariate test of 29 score columns).
    auto head = [&](const std::string& example_name, const std::string& name, int lines) {
      std::istringstream in(file_bytes(example(example_name)));
      std::string text, line;
      for (int i = 0; i < lines && std::getline(in, line); ++i) text += line + "\n";
      std::ofstream(folder_ / name, std::ios::binary) << text;
      inputs_[name] = text;
    };
    head("skulls.txt", "sample.txt", 40);
    head("age.txt", "age.txt", 40);
    head("skull_wires.txt", "wires.txt", 100);
    inputs_["specimen 1.ply"] = file_bytes(example("specimen 1.ply"));
    std::ofstream(folder_ / "specimen 1.ply", std::ios::binary) << inputs_["specimen 1.ply"];
    // A specimen table for the 40 skulls: a factor, a covariate and a
    // factor whose name and levels hold control bytes.
    std::string table = "id,grp,size,\"k\x1bind\"\n";
    for (int i = 1; i <= 40; ++i) {
      table += "specimen " + std::to_string(i) + "," + "abc"[i % 3] + "," +
               std::to_string(1 + (i * 7) % 10) + "," + (i % 2 ? "\"p\nq\"" : "r") + "\n";
    }
    std::ofstream(folder_ / "table.csv", std::ios::binary) << table;
    inputs_["table.csv"] = table;
  }

  /// A script that follows the answer rules: load the sample, then a
  /// random walk through the actions, outputs to fresh names.  A writer
  /// gets its answer only where its action will not be refused (an unused
  /// answer stops the script), so the walk tracks what is computed.
  std::string random_script(std::mt19937_64& rng, std::set<std::string>& outputs,
                            bool* reached_regression = nullptr) {
    // Most walks start with X loaded, so that they reach the regression.
    bool scores = rng() % 4 != 0, regression = false, logged = false;
    // Many start with the specimen table and a model, or with a surface,
    // so that their writers are reached.
    bool table = rng() % 2, model = table && rng() % 2, factor = false, surface = rng() % 3 == 0;
    std::string text = std::string("open sample.txt\nLoadData\nset PermBox 9\n") +
                       (scores ? "open age.txt\nLoadXList\n" : "") +
                       (table ? "open table.csv\nLoadSpecimenTable\n" : "") +
                       (model ? "SetModel \"shape ~ size + grp\"\n" : "") +
                       (surface ? "open \"specimen 1.ply\"\nLoadSurface\n" : "");
    logged = table || surface;
    auto out = [&](const std::string& ext) {
      const std::string name = "out" + std::to_string(outputs.size()) + ext;
      outputs.insert(name);
      return "save " + name + "\n";
    };
    // Models that fit the table, and some that cannot be read or fitted.
    static const char* kModels[] = {"\"shape ~ log(CS) * grp\"", "\"shape ~ size + grp\"",
                                    "\"shape ~ `k\\x1Bind`\"",   "\"shape ~ nosuch\"",
                                    "\"shape ~ ((((\"",          "\"shape ~ grp:`k\\nind`\""};
    const std::size_t steps = 5 + rng() % 8;
    for (std::size_t i = 0; i < steps; ++i) {
      switch (rng() % 22) {
        case 0:
          text += "open age.txt\nLoadXList\n";
          scores = true;
          regression = false;
          break;
        case 1:
          text += "open wires.txt\nLoadWireFrame\n";
          break;
        case 2:
        case 15:
          if (!scores) continue;
          text += "DoRegression\nGetWilks\n";
          regression = logged = true;
          if (reached_regression) *reached_regression = true;
          break;
        case 3:
          text += rng() % 2 ? "ShowMean\n" : "ShowProcrustes\n";
          break;
        case 4:
          // Refused without a regression: status 3, no answer involved.
          text += "ShowRegression\n";
          break;
        case 5:
          text += "SetPlotDensity " + std::to_string(5 + rng() % 30) + "\n";
          break;
        case 6:
          text += "set ExagerationBox " + std::to_string(1 + rng() % 4) + "\n";
          break;
        case 7:
          text += rng() % 2 ? "LnDown\n" : "LinearDown\n";
          regression = false;
          break;
        case 8:
          if (rng() % 2 && scores) {
            text += out(".txt") + "SaveWarp\n";
          } else {
            text += out(".txt") + "SaveRef\n";
          }
          break;
        case 9:
          text += out(".csv") + (rng() % 2 ? "SaveSpecimenNames\n" : "SaveLandmarks\n");
          break;
        case 10:
          if (!regression) continue;
          text += out(".txt") + "SaveVector\n";
          break;
        case 11:
          text += "figsize 90 70\n" + out(rng() % 3 ? ".svg" : ".png") + "ExportFigure\n";
          break;
        case 12:
          text += out(".velmora") + "SaveSessionScript\n";
          break;
        case 13:
          if (!logged) continue;
          text += out(rng() % 2 ? ".md" : ".txt") + "SaveResultsLog\n";
          break;
        case 16:
          text += "open table.csv\nLoadSpecimenTable\n";
          table = logged = true;
          break;
        case 17: {
          const std::size_t m = rng() % std::size(kModels);
          text += std::string("SetModel ") + kModels[m] + "\n";
          model = model || (table && m < 3);
          break;
        }
        case 18:
          text += rng() % 2 ? "SetFactor grp\n" : "SetFactor \"k\\x1Bind\"\n";
          factor = factor || table;
          if (factor) text += rng() % 2 ? "PairwiseGroups\n" : "CVA\n";
          logged = logged || factor;
          break;
        case 19:
          if (!model) continue;
          text += rng() % 2 ? "ProcrustesANOVA\n" : out(".txt") + "SaveResiduals\n";
          logged = true;
          break;
        case 20:
          if (!surface) {
            text += "open \"specimen 1.ply\"\nLoadSurface\n";
            surface = logged = true;
          } else {
            text += rng() % 2 ? "SetSurfaceTarget pc 1 2\n" : "SetSurfaceTarget mean\n";
          }
          break;
        case 21:
          if (!surface) continue;
          if (rng() % 2) {
            text += out(rng() % 2 ? ".ply" : ".obj") + "SaveSurface\n";
          } else {
            // Two frames, named after the answer.
            const std::string first = "out" + std::to_string(outputs.size());
            outputs.insert(first + "_001.png");
            outputs.insert(first + "_002.png");
            text += "save " + first + ".png\nExportAnimation 2,32x32\n";
          }
          break;
        default:
          if (rng() % 2) {
            text += "cancel\nSaveRef\n";
          } else {
            // Superimposes again, or a new X: the scores and the
            // regression are cleared.
            text += rng() % 2 ? "SetSuperimposition optimal\n" : "UseCS\n";
            scores = regression = false;
          }
          break;
      }
    }
    return text;
  }

  /// Runs a script as `velmora --batch` would, from the inputs' folder;
  /// a script refused before it runs gives 2.
  int run_script(const std::string& text) {
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
      if (!inputs_.count(entry.path().filename().string())) std::filesystem::remove(entry.path());
    workspace().reset();
    workspace().recorder.clear();
    std::istringstream in(text);
    try {
      return run_batch(parse_batch(in, folder_.string() + "/"));
    } catch (const std::invalid_argument&) {
      return kBatchMalformed;
    }
  }

  /// Every input holds its bytes; nothing but inputs and `outputs` is in
  /// the folder (no temporary file left, no name cut short).
  void expect_inputs_kept(const std::set<std::string>& outputs, const std::string& script) {
    for (const auto& [name, bytes] : inputs_)
      ASSERT_EQ(file_bytes(folder_ / name), bytes) << name << " changed by:\n" << script;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(inputs_.count(name) || outputs.count(name))
          << quote_script_text(name) << " written by:\n"
          << script;
    }
  }

  std::filesystem::path folder_;
  std::map<std::string, std::string> inputs_;
};

TEST_F(ScriptRuns, RandomScriptsWithHostileAnswersNeverChangeAnInput) {
  std::mt19937_64 rng(20261210);
  ConsoleCapture quiet;
  // Hostile answers: a name one escape away from an input's (a writer that
  // trimmed or cut it would write over the input), and an open answer given
  // to a writer.
  const std::string near_names[] = {"\"sample.txt\\n\"",  "\"sample.txt\\x0d\"",
                                    "\"sample.txt\\t\"",  "\"sample.txt \"",
                                    "\"./age.txt\\x0a\"", "\"wires.txt\\x0d\\x0a\""};
  const std::string writers[] = {"SaveWarp", "SaveRef", "SaveLandmarks", "ExportFigure",
                                 "SaveSessionScript"};
  // An open answer given to any writer stops the script before it writes.
  const std::string any_writer[] = {"SaveRef",      "SaveSessionScript", "SaveResiduals",
                                    "SaveSurface",  "ExportAnimation",   "SaveResultsLog",
                                    "SaveLandmarks"};
  int deep = 0;
  for (int trial = 0; trial < 200; ++trial) {
    std::set<std::string> outputs;
    bool reached = false;
    std::string script = random_script(rng, outputs, &reached);
    int expected = -1;  // 0 or 3 unless a hostile answer says otherwise
    switch (trial % 4) {
      case 1: {
        const std::string& name = near_names[rng() % std::size(near_names)];
        std::istringstream line("save " + name + "\n");
        outputs.insert(std::filesystem::path(parse_batch(line, folder_.string() + "/").at(0).name)
                           .filename()
                           .string());
        script += "open age.txt\nLoadXList\nsave " + name + "\n" +
                  writers[rng() % std::size(writers)] + "\n";
        break;
      }
      case 3:
        script += "open " + std::string(rng() % 2 ? "sample.txt" : "table.csv") + "\n" +
                  any_writer[rng() % std::size(any_writer)] + "\n";
        expected = kBatchMalformed;
        break;
      default:
        break;
    }
    quiet.clear();
    const int status = run_script(script);
    if (expected >= 0) {
      EXPECT_EQ(status, expected) << script;
    } else {
      EXPECT_TRUE(status == kBatchOk || status == kBatchRefused) << status << "\n"
                                                                 << script << quiet.errors();
    }
    if (reached && status != kBatchMalformed) ++deep;
    expect_inputs_kept(outputs, script);
    if (::testing::Test::HasFatalFailure()) return;
  }
  // The walks reach the regression and its tests in a good share of them.
  EXPECT_GT(deep, 50);
}

// A NUL in an answer's path is no path: the script is refused before it
// runs, and no name cut at the NUL (the input's own) is ever written.
TEST_F(ScriptRuns, ANulInAnAnswerNeverReachesAWriter) {
  std::mt19937_64 rng(24);
  ConsoleCapture quiet;
  const std::string writers[] = {"ExportFigure", "SaveRef", "SaveSessionScript", "SaveWarp"};
  for (int trial = 0; trial < 24; ++trial) {
    std::set<std::string> outputs;
    std::string script = random_script(rng, outputs);
    const std::string input = trial % 2 ? "sample.txt" : "age.txt";
    const std::string nul = trial % 3 == 0 ? std::string(1, '\0') : std::string("\\x00");
    const std::string tail = trial % 4 < 2 ? ".png" : "";
    // Anywhere in the script: the refusal comes before its first line runs.
    const std::size_t cut = script.find('\n', rng() % script.size());
    script.insert(cut == std::string::npos ? script.size() : cut + 1,
                  "open age.txt\nLoadXList\nsave \"" + input + nul + tail + "\"\n" +
                      writers[trial % std::size(writers)] + "\n");
    quiet.clear();
    EXPECT_EQ(run_script(script), kBatchMalformed) << quote_script_text(script);
    expect_inputs_kept({}, script);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace velmora::app
