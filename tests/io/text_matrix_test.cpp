#include "io/text_matrix.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "core/errors.hpp"
#include "io/test_files.hpp"

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
  return message_of<FileError>([&] { parse_text_matrix(text, "f.txt", finite_only); });
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
      {"leading empty lines skipped", "\n\n5 6\n"sv, 1, 2, {5, 6}},
      {"leading blank lines skipped", " \t\r\n\r\n5 6\n"sv, 1, 2, {5, 6}},
      {"only blank lines", "\n \n\t\r\n"sv, 0, 0, {}},
      {"plain rows", "1 2\n3 4\n"sv, 2, 2, {1, 2, 3, 4}},
      {"no final terminator", "1 2\n3 4"sv, 2, 2, {1, 2, 3, 4}},
      {"empty lines end reading", "1 2\n\n\n"sv, 1, 2, {1, 2}},
      {"blank lines end reading", "1\n2\n \t\n\t\n"sv, 2, 1, {1, 2}},
      {"one-character number is data", "1\n7"sv, 2, 1, {1, 7}},
      {"one-character number mid-file", "1\n7\n8\n"sv, 3, 1, {1, 7, 8}},
      {"saved result file end", "1 2  \n 3 4  \n "sv, 2, 2, {1, 2, 3, 4}},
      {"saved reference end", "0.5 -1 1  \n "sv, 1, 3, {0.5, -1, 1}},
      {"final lone carriage return", "1 2\n3 4\n\r"sv, 2, 2, {1, 2, 3, 4}},
      {"carriage return-line feed file", "1 2\r\n3 4\r\n"sv, 2, 2, {1, 2, 3, 4}},
      {"final blank carriage return-line feed line", "1 2\r\n3 4\r\n\r\n"sv, 2, 2, {1, 2, 3, 4}},
      {"carriage return-only file", "1 2\r3 4\r\r"sv, 2, 2, {1, 2, 3, 4}},
      {"doubled carriage returns", "1 2\r\r\n3 4\r\r\n"sv, 2, 2, {1, 2, 3, 4}},
      {"byte-order mark", "\xEF\xBB\xBF-73.5 1\n2 3\n"sv, 2, 2, {-73.5, 1, 2, 3}},
      {"byte-order mark then blank lines", "\xEF\xBB\xBF\n\n1"sv, 1, 1, {1}},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.what);
    TextMatrix m = parse_text_matrix(c.text, "f.txt");
    EXPECT_EQ(m.rows, c.rows);
    EXPECT_EQ(m.cols, c.cols);
    EXPECT_EQ(row_major(m), c.values);
  }
}

TEST(TextMatrix, NothingIsLeftUnreadAfterABlankLine) {
  // A blank line ends the data only when nothing but blank lines follows.
  EXPECT_EQ(parse_error("1 2\n\n3 4\nnot read\n"),
            "\"f.txt\" line 2: a blank line ends the data, but 2 more lines follow it.");
  EXPECT_EQ(parse_error("1 2\n3 4\n\r\n5 6\n\n"),
            "\"f.txt\" line 3: a blank line ends the data, but 1 more line follows it.");
  EXPECT_EQ(parse_error("\n\n1\n \n\n2\n\t\n3"),
            "\"f.txt\" line 4: a blank line ends the data, but 2 more lines follow it.");
  EXPECT_EQ(parse_error("1\r\r2"),
            "\"f.txt\" line 2: a blank line ends the data, but 1 more line follows it.");
  // Line numbers count the skipped leading lines and the mark is invisible.
  EXPECT_EQ(parse_error("\xEF\xBB\xBF\n\n1 2\n3\n"),
            "\"f.txt\" line 4: expected 2 numbers, found 1.");
  EXPECT_EQ(parse_error("\xEF\xBB\xBFx"), "\"f.txt\" line 1, column 1: \"x\" is not a number.");
  // A one-character line that is neither blank nor a number is read.
  EXPECT_EQ(parse_error("1\nx"), "\"f.txt\" line 2, column 1: \"x\" is not a number.");
  EXPECT_EQ(parse_error("1 2\n,\n"), "\"f.txt\" line 2: expected 2 numbers, found 0.");
}

TEST(TextMatrix, DecimalCommasAreRefused) {
  EXPECT_EQ(parse_error("-73,146001 12,5 3\n"),
            "\"f.txt\" line 1: \"-73,146001\" uses a decimal comma.");
  EXPECT_EQ(parse_error("1.5\t2.5\n3.5\t4,5\n"), "\"f.txt\" line 2: \"4,5\" uses a decimal comma.");
  EXPECT_EQ(parse_error("1 2 3,4e-2,5"), "\"f.txt\" line 1: \"3,4e-2,5\" uses a decimal comma.");
  // Commas as the separator stay valid, with or without blanks after them.
  for (std::string_view text : {"1,2,3\n4,5,6\n", "1, 2, 3\n4 ,5 ,6\n", "1,2,3 \n 4,5,6\t\n"}) {
    SCOPED_TRACE(std::string(text));
    EXPECT_EQ(row_major(parse_text_matrix(text, "f.txt")), (std::vector<double>{1, 2, 3, 4, 5, 6}));
  }
}

TEST(TextMatrix, Separators) {
  const std::vector<double> expected = {1, 2, 3};
  for (std::string_view text :
       {"1 2 3", "1\t2\t3", "1,2,3", "1, 2\t ,3", " \t1  2, 3 \r\n", "1,,2,,3", ",1 2 3,"}) {
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
  // Long words are cut, control characters shown escaped.
  EXPECT_EQ(parse_error("1 " + std::string(40, 'z')),
            "\"f.txt\" line 1, column 3: \"" + std::string(32, 'z') + "...\" is not a number.");
  EXPECT_EQ(parse_error(std::string("a\0b", 3)),
            "\"f.txt\" line 1, column 1: \"a\\x00b\" is not a number.");
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
  EXPECT_FALSE(load_text_matrix(dir.file("missing.txt")).has_value());
  EXPECT_FALSE(load_text_matrix(dir.path().string()).has_value());  // a folder

  std::string path = dir.write("m.txt", "1 2 3\r\n4 5 6\r\n\r\n \n");
  std::optional<TextMatrix> m = load_text_matrix(path);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->rows, 2u);
  EXPECT_EQ(m->cols, 3u);
  EXPECT_EQ((*m)(1, 0), 4.0);
  EXPECT_EQ(m->values, (std::vector<double>{1, 4, 2, 5, 3, 6}));

  std::string bad = dir.write("bad.txt", "1 2\n3\n");
  EXPECT_EQ(message_of<FileError>([&] { load_text_matrix(bad); }),
            "\"" + bad + "\" line 2: expected 2 numbers, found 1.");
}

TEST(FileText, ReadsRegularFilesOnly) {
  ScratchFolder dir;
  FileText none = FileText::read(dir.file("missing.txt"));
  EXPECT_FALSE(none.ok());
  EXPECT_EQ(none.reason(), "No such file or directory");
  EXPECT_EQ(FileText::read(dir.path().string()).reason(), "Is a directory");

  const std::string bytes("1 2\r\n\0x\n", 9);
  FileText file = FileText::read(dir.write("f.bin", bytes));
  ASSERT_TRUE(file.ok());
  EXPECT_EQ(file.text(), bytes);  // binary, nothing translated

  FileText empty = FileText::read(dir.write("empty.txt", ""));
  EXPECT_TRUE(empty.ok());
  EXPECT_TRUE(empty.text().empty());

  // A named pipe is refused at once instead of waiting for a writer; load_text_matrix
  // treats it as a file that cannot be opened.
  const std::string fifo = dir.file("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(FileText::read(fifo).reason(), "it is a named pipe (FIFO), not a regular file");
  EXPECT_FALSE(load_text_matrix(fifo).has_value());
}

TEST(TextMatrix, EigenViewHoldsTheRowsAsRead) {
  const TextMatrix m = parse_text_matrix("1 2 3\n4 5 6\n", "f.txt");
  const Eigen::Map<const Eigen::MatrixXd> v = m.matrix();
  ASSERT_EQ(v.rows(), 2);
  ASSERT_EQ(v.cols(), 3);
  for (std::size_t r = 0; r < m.rows; ++r)
    for (std::size_t c = 0; c < m.cols; ++c)
      EXPECT_EQ(v(static_cast<Eigen::Index>(r), static_cast<Eigen::Index>(c)), m(r, c));
  EXPECT_EQ(v(1, 0), 4.0);
  EXPECT_EQ(parse_text_matrix("", "f.txt").matrix().size(), 0);
}

}  // namespace
}  // namespace velmora::io

namespace velmora::io {
namespace {

// Texts large enough to be read by two threads: the same numbers as written,
// and with a fault planted before, at or after the middle, exactly the
// message of a reader going line by line, with the file's line number.
TEST(TextMatrix, LargeTextsReadInHalvesAsLineByLine) {
  constexpr int kLines = 40000, kCols = 31;
  std::vector<std::string> lines;
  std::vector<double> values;  // row-major, as written
  for (int i = 0; i < kLines; ++i) {
    std::string text;
    for (int j = 0; j < kCols; ++j) {
      const double v = (i * 37 + j * 11) % 1000 / 7.0 - 50;
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.9g", v);
      values.push_back(std::strtod(buf, nullptr));
      text += std::string(j ? " " : "") + buf;
    }
    lines.push_back(text);
  }
  auto joined = [&](const std::vector<std::string>& ls, const std::string& end) {
    std::string text = "\n  \n";  // two blank lines before the data
    for (const std::string& l : ls) text += l + end;
    return text;
  };
  for (const std::string end : {"\n", "\r\n"}) {
    const std::string text = joined(lines, end) + " \n ";
    ASSERT_GT(text.size(), std::size_t{4} << 20);
    const TextMatrix m = parse_text_matrix(text, "f.txt");
    ASSERT_EQ(m.rows, std::size_t{kLines});
    ASSERT_EQ(m.cols, std::size_t{kCols});
    bool same = true;
    for (std::size_t i = 0; i < m.rows; ++i)
      for (std::size_t j = 0; j < m.cols; ++j) same &= m(i, j) == values[i * kCols + j];
    EXPECT_TRUE(same) << "line end " << (end == "\n" ? "LF" : "CRLF");
  }

  // Line i of the list is line i + 3 of the file.
  for (const int at : {5, kLines / 2 - 1, kLines / 2, kLines / 2 + 1, kLines - 1}) {
    std::vector<std::string> bad = lines;
    bad[static_cast<std::size_t>(at)] += " 7";
    EXPECT_EQ(parse_error(joined(bad, "\n")),
              "\"f.txt\" line " + std::to_string(at + 3) + ": expected 31 numbers, found 32.")
        << at;
    bad = lines;
    std::string& word_line = bad[static_cast<std::size_t>(at)];
    word_line.replace(0, 1, "x");
    const std::string word = word_line.substr(0, word_line.find(' '));
    EXPECT_EQ(parse_error(joined(bad, "\n")), "\"f.txt\" line " + std::to_string(at + 3) +
                                                  ", column 1: \"" + word + "\" is not a number.")
        << at;
    // A blank line that ends the data with more after it (a blank last
    // line is a valid end).
    if (at == kLines - 1) continue;
    bad = lines;
    bad[static_cast<std::size_t>(at)] = "";
    EXPECT_EQ(parse_error(joined(bad, "\n")),
              "\"f.txt\" line " + std::to_string(at + 3) + ": a blank line ends the data, but " +
                  std::to_string(kLines - at - 1) + " more lines follow it.")
        << at;
  }
  // Long lines up to line j, short ones from there: the count changes near
  // the middle, so for some j the second half starts with the short line.
  std::vector<std::size_t> prefix = {4};
  for (const std::string& l : lines) prefix.push_back(prefix.back() + l.size() + 1);
  int middle = 0;
  while (2 * prefix[static_cast<std::size_t>(middle)] <
         prefix[static_cast<std::size_t>(middle)] + 6 * static_cast<std::size_t>(kLines - middle))
    ++middle;
  for (int j = middle - 3; j <= middle + 3; ++j) {
    std::vector<std::string> shorter(lines.begin(), lines.begin() + j);
    shorter.resize(kLines, "1 2 3");
    EXPECT_EQ(parse_error(joined(shorter, "\n")),
              "\"f.txt\" line " + std::to_string(j + 3) + ": expected 31 numbers, found 3.")
        << j;
  }
}

}  // namespace
}  // namespace velmora::io
