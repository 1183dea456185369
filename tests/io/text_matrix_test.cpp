#include "io/text_matrix.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "io/test_files.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::io {
namespace {

using testing::message_of;
using testing::ScratchFolder;

/// Rows of the matrix as row-major numbers, for compact comparisons.
std::vector<double> row_major(const TextMatrix& m) {
  std::vector<double> out;
  for (std::size_t r = 0; r < m.rows; ++r)
    for (std::size_t c = 0; c < m.cols; ++c) out.push_back(m(r, c));
  return out;
}

std::string parse_error(std::string_view text, bool finite_only = false) {
  return message_of<RuntimeError>([&] { parse_text_matrix(text, "f.txt", finite_only); });
}

struct LineCase {
  const char* what;
  std::string_view text;
  std::size_t rows, cols;
  std::vector<double> values;  // row-major
};

TEST(TextMatrix, LineRules) {
  using namespace std::string_view_literals;
  const LineCase cases[] = {
      {"empty file", ""sv, 0, 0, {}},
      {"first line of one character", "7"sv, 1, 1, {7}},
      {"first line of one line feed", "\n\n5 6\n"sv, 1, 0, {}},
      {"plain rows", "1 2\n3 4\n"sv, 2, 2, {1, 2, 3, 4}},
      {"no final terminator", "1 2\n3 4"sv, 2, 2, {1, 2, 3, 4}},
      {"empty line ends reading", "1 2\n\n3 4\nnot read\n"sv, 1, 2, {1, 2}},
      {"empty line after several", "1\n2\n\n3"sv, 2, 1, {1, 2}},
      {"one-character number is data", "1\n7"sv, 2, 1, {1, 7}},
      {"one-character number mid-file", "1\n7\n8\n"sv, 3, 1, {1, 7, 8}},
      {"saved result file end", "1 2  \n 3 4  \n "sv, 2, 2, {1, 2, 3, 4}},
      {"saved reference end", "0.5 -1 1  \n "sv, 1, 3, {0.5, -1, 1}},
      {"final lone carriage return", "1 2\n3 4\n\r"sv, 2, 2, {1, 2, 3, 4}},
      {"carriage return-line feed file", "1 2\r\n3 4\r\n"sv, 2, 2, {1, 2, 3, 4}},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.what);
    TextMatrix m = parse_text_matrix(c.text, "f.txt");
    EXPECT_EQ(m.rows, c.rows);
    EXPECT_EQ(m.cols, c.cols);
    EXPECT_EQ(row_major(m), c.values);
  }
}

TEST(TextMatrix, LinesThatDoNotEndReading) {
  // A carriage return-line feed empty line has two characters: it is a line
  // without numbers.  So is a line of one blank and its line feed.
  EXPECT_EQ(parse_error("1 2\n3 4\n\r\n5 6\n"), "\"f.txt\" line 3: expected 2 numbers, found 0.");
  EXPECT_EQ(parse_error("1 2\n \n"), "\"f.txt\" line 2: expected 2 numbers, found 0.");
  // A one-character line that is neither blank nor a number is read.
  EXPECT_EQ(parse_error("1\nx"), "\"f.txt\" line 2, column 1: \"x\" is not a number.");
  EXPECT_EQ(parse_error("1 2\n\t"), "\"f.txt\" line 2: expected 2 numbers, found 0.");
  // An empty first line is data without numbers; the rows after it must match.
  EXPECT_EQ(parse_error("\n5 6\n"), "\"f.txt\" line 2: expected 0 numbers, found 2.");
}

TEST(TextMatrix, Separators) {
  const std::vector<double> expected = {1, 2, 3};
  for (std::string_view text :
       {"1 2 3", "1\t2\t3", "1,2,3", "1, 2\t ,3", " \t1  2,3 \r\n", "1,,2,,3", ",1 2 3,"}) {
    SCOPED_TRACE(std::string(text));
    TextMatrix m = parse_text_matrix(text, "f.txt");
    ASSERT_EQ(m.rows, 1u);
    EXPECT_EQ(row_major(m), expected);
  }
}

TEST(TextMatrix, NumberNotation) {
  TextMatrix m = parse_text_matrix("1e-3 2.5E+04 -0.5 +4 .5 5. 1E3 -0 12345678901234567890", "f");
  EXPECT_EQ(row_major(m),
            (std::vector<double>{1e-3, 2.5e4, -0.5, 4, 0.5, 5, 1000, 0, 12345678901234567890.0}));
  EXPECT_TRUE(std::signbit(m(0, 7)));

  // The raw reader keeps what the notation says, beyond the double range too.
  TextMatrix raw = parse_text_matrix("inf -Inf nan 1e400 -1e400 1e-400 -1e-400 4.9e-324", "f");
  EXPECT_EQ(raw(0, 0), std::numeric_limits<double>::infinity());
  EXPECT_EQ(raw(0, 1), -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(raw(0, 2)));
  EXPECT_EQ(raw(0, 3), std::numeric_limits<double>::infinity());
  EXPECT_EQ(raw(0, 4), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(raw(0, 5), 0.0);
  EXPECT_TRUE(std::signbit(raw(0, 6)));
  EXPECT_EQ(raw(0, 7), std::numeric_limits<double>::denorm_min());
}

TEST(TextMatrix, Messages) {
  std::string seven;
  for (int line = 1; line <= 7; ++line) {
    for (int i = 0; i < (line == 7 ? 36 : 37); ++i) seven += "1.5 ";
    seven += "\n";
  }
  EXPECT_EQ(parse_error(seven), "\"f.txt\" line 7: expected 37 numbers, found 36.");
  EXPECT_EQ(parse_error("1\n2 3\n"), "\"f.txt\" line 2: expected 1 number, found 2.");
  EXPECT_EQ(parse_error("1 2 3\n4 5 6\n7 8 9 10.5 abc 12\n"),
            "\"f.txt\" line 3, column 12: \"abc\" is not a number.");
  // The first bad word counts, even on a line of the wrong length.
  EXPECT_EQ(parse_error("1 2\n3 x 4 5\n"), "\"f.txt\" line 2, column 3: \"x\" is not a number.");

  struct Bad {
    std::string_view text, word;
  };
  for (const Bad& b : {Bad{"1.5x", "1.5x"}, Bad{"1e", "1e"}, Bad{"1e+", "1e+"}, Bad{"+-1", "+-1"},
                       Bad{"--1", "--1"}, Bad{"0x10", "0x10"}, Bad{"+", "+"}, Bad{".", "."},
                       Bad{"1;2", "1;2"}, Bad{"infinit", "infinit"}}) {
    SCOPED_TRACE(std::string(b.text));
    EXPECT_EQ(parse_error(std::string("0 ") + std::string(b.text)),
              "\"f.txt\" line 1, column 3: \"" + std::string(b.word) + "\" is not a number.");
  }
  // Long words are cut, control characters shown as '?'.
  EXPECT_EQ(parse_error("1 " + std::string(40, 'z')),
            "\"f.txt\" line 1, column 3: \"" + std::string(32, 'z') + "...\" is not a number.");
  EXPECT_EQ(parse_error(std::string("a\0b", 3)),
            "\"f.txt\" line 1, column 1: \"a?b\" is not a number.");
}

TEST(TextMatrix, FiniteOnly) {
  EXPECT_EQ(parse_error("1 nan\n", true),
            "\"f.txt\" line 1, column 3: \"nan\" is not a finite number.");
  EXPECT_EQ(parse_error("1\n-Inf\n", true),
            "\"f.txt\" line 2, column 1: \"-Inf\" is not a finite number.");
  EXPECT_EQ(parse_error("1 2\n3 1e999\n", true),
            "\"f.txt\" line 2, column 3: \"1e999\" is not a finite number.");
  EXPECT_EQ(parse_text_matrix("1e-999", "f", true).values, std::vector<double>{0.0});
}

TEST(TextMatrix, DloadFromDisk) {
  ScratchFolder dir;
  EXPECT_FALSE(dload(dir.file("missing.txt")).has_value());
  EXPECT_FALSE(dload(dir.path().string()).has_value());  // a folder

  std::string path = dir.write("m.txt", "1 2 3\r\n4 5 6\r\n\n7 8 9\n");
  std::optional<TextMatrix> m = dload(path);
  ASSERT_TRUE(m.has_value());
  Value v = m->to_value();
  EXPECT_EQ(v.rows(), 2u);
  EXPECT_EQ(v.cols(), 3u);
  EXPECT_EQ(v(1, 0), 4.0);
  EXPECT_EQ(v.data(), (std::vector<double>{1, 4, 2, 5, 3, 6}));

  std::string bad = dir.write("bad.txt", "1 2\n3\n");
  EXPECT_EQ(message_of<RuntimeError>([&] { dload(bad); }),
            "\"" + bad + "\" line 2: expected 2 numbers, found 1.");
}

TEST(FileText, MappedReadAndFailures) {
  ScratchFolder dir;
  FileText none = FileText::read(dir.file("missing.txt"));
  EXPECT_FALSE(none.ok());
  EXPECT_EQ(none.reason(), "No such file or directory");
  EXPECT_EQ(FileText::read(dir.path().string()).reason(), "Is a directory");

  const std::string bytes("1 2\r\n\0x\n", 9);
  FileText file = FileText::read(dir.write("f.bin", bytes));
  ASSERT_TRUE(file.ok());
  EXPECT_EQ(file.text(), bytes);  // binary, nothing translated
  FileText moved = std::move(file);
  EXPECT_EQ(moved.text(), bytes);
  EXPECT_TRUE(file.text().empty());

  FileText empty = FileText::read(dir.write("empty.txt", ""));
  EXPECT_TRUE(empty.ok());
  EXPECT_TRUE(empty.text().empty());
  FileText device = FileText::read("/dev/null");  // not mappable: read instead
  EXPECT_TRUE(device.ok());
  EXPECT_TRUE(device.text().empty());
}

}  // namespace
}  // namespace velmora::io
