// Actions of several arguments: what the recorder writes for any arguments
// reads back as the same arguments, line for line.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "app/batch.hpp"
#include "app/script_recorder.hpp"
#include "app/script_text.hpp"

namespace velmora::app {
namespace {

// Text of 0 to 12 bytes drawn from a mix of what breaks quoting: blanks,
// both quotes, backslashes, control bytes, bytes above 0x7F, digits.
std::string random_text(std::mt19937& gen) {
  static const std::string kPieces[] = {" ",    "\t",       "\"",   "'", "\\",   "\n",
                                        "\x01", "\xc3\xa9", "\xff", "7", "-1e3", "a",
                                        "~",    "[",        "]",    "#", "shape"};
  std::uniform_int_distribution<int> length(0, 12), piece(0, std::size(kPieces) - 1);
  std::string s;
  for (int i = length(gen); i > 0; --i) s += kPieces[piece(gen)];
  return s;
}

TEST(ScriptArguments, RecordedArgumentsReplayExactly) {
  std::mt19937 gen(17);
  std::uniform_int_distribution<int> count(1, 5), kind(0, 3);
  std::normal_distribution<double> normal(0, 1e3);
  for (int round = 0; round < 2000; ++round) {
    ValueList args;
    for (int i = count(gen); i > 0; --i)
      args.push_back(kind(gen) == 0 ? Value(normal(gen)) : Value(random_text(gen)));
    const Value fpass = args.size() == 1 ? args[0] : Value::cell_row(args);
    const std::string line = "SetModel " + script_argument(fpass) + "\n";
    std::istringstream in(line);
    const std::vector<BatchCommand> script = parse_batch(in, "/");
    // An empty single text records no argument, as before.
    if (args.size() == 1 && args[0].is_char() && args[0].to_string().empty()) {
      ASSERT_TRUE(script.empty() || script[0].args.empty()) << line;
      continue;
    }
    ASSERT_EQ(script.size(), 1u) << line;
    ASSERT_EQ(script[0].args.size(), args.size()) << line;
    // Text that reads as a number is quoted and replays as text.
    for (std::size_t i = 0; i < args.size(); ++i) EXPECT_EQ(script[0].args[i], args[i]) << line;
  }
}

TEST(ScriptArguments, WordsQuotedTextAndNumbersMix) {
  const ValueList a =
      parse_action_args(R"(  "shape ~ log(CS) * species" II 999 'a b' "tab\there")", 3);
  ASSERT_EQ(a.size(), 5u);
  EXPECT_EQ(a[0], Value(std::string("shape ~ log(CS) * species")));
  EXPECT_EQ(a[1], Value(std::string("II")));
  EXPECT_EQ(a[2], Value(999.0));
  EXPECT_EQ(a[3], Value(std::string("a b")));
  EXPECT_EQ(a[4], Value(std::string("tab\there")));
  try {
    parse_action_args(R"("open)", 4);
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()).substr(0, 7), "line 4:");
  }
}

// Number-like text is recorded quoted; an action of several arguments takes
// each word as written; a NUL inside quotes is refused as a raw one is.
TEST(ScriptArguments, WordsStayAsWrittenAndANulInQuotesIsRefused) {
  EXPECT_EQ(script_argument(Value(std::string("1"))), "\"1\"");
  EXPECT_EQ(script_argument(Value(std::string("007"))), "\"007\"");
  EXPECT_EQ(script_argument(Value(std::string("population"))), "population");
  auto args = [](const std::string& line) {
    std::istringstream in(line);
    return parse_batch(in, "/").at(0).args;
  };
  const Value t007(std::string("007")), group(std::string("group"));
  EXPECT_EQ(args("SetFactor \"1\"\n"), ValueList{Value(std::string("1"))});
  EXPECT_EQ(args("SetPlotDensity 007\n"), ValueList{Value(7.0)});
  EXPECT_EQ(args("SetSurfaceTarget group 007\n"), (ValueList{group, t007}));
  EXPECT_EQ(args("SetSurfaceTarget group \"a  b\"\n"),
            (ValueList{group, Value(std::string("a  b"))}));
  EXPECT_EQ(args("ShowGroupDifference 1 A\n"),
            (ValueList{Value(std::string("1")), Value(std::string("A"))}));
  const std::pair<std::string, std::string> nul[] = {
      {"SetModel \"shape ~ population\\x00 + age\"",
       "line 2: the argument \"shape ~ population\\x00 + age\" holds a NUL byte (\\x00), which no "
       "script argument may hold"},
      {"SetFactor \"pop\\x00ulation\"", "line 2: the argument \"pop\\x00ulation\" holds"},
      {"ShowGroupDifference coast \"inland\\x00\"", "line 2: the argument \"inland\\x00\" holds"},
      {"SetSurfaceTarget group \"a\\x00\"", "line 2: the argument \"a\\x00\" holds"},
      {"SetModel \"" + std::string(40, 'x') + "\\x00\"",
       "line 2: the argument \"" + std::string(32, 'x') + "...\" holds"},
      {"set ExagerationBox \"2\\x00\"", "line 2: the value \"2\\x00\" holds a NUL byte"},
      {"choose \"coast\\x00\"", "line 2: the item \"coast\\x00\" holds a NUL byte"},
  };
  for (const auto& [line, why] : nul) {
    std::istringstream in("LoadData\n" + line + "\n");
    try {
      parse_batch(in, "/");
      ADD_FAILURE() << line;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, why.size()), why) << e.what();
    }
  }
}

}  // namespace
}  // namespace velmora::app
