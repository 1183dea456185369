// Actions of several arguments: what the recorder writes for any arguments
// reads back as the same arguments, line for line.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "app/batch.hpp"
#include "app/script_text.hpp"
#include "app/session.hpp"

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
    // One text that reads as a number is recorded bare, as scripts always
    // carried it, and replays as the number.
    if (args.size() == 1 && args[0].is_char() && line[9] != '"') {
      if (auto v = number_from_text(args[0].to_string(), false)) args[0] = Value(*v);
    }
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

}  // namespace
}  // namespace velmora::app
