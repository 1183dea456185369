// Randomized, deterministic tests of the batch-script reader and of the
// session recorder's quoting: fixed seeds, so a failure repeats exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>

#include "app/batch.hpp"
#include "app/script_text.hpp"
#include "app/session.hpp"

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
    Session rec;
    rec.start_recording();
    rec.begin_action("SaveRef", {});
    rec.dialog_answered("save", gfx::FilePick{folder, name});
    rec.end_action(true);
    rec.begin_action("LoadData", {});
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

}  // namespace
}  // namespace velmora::app
