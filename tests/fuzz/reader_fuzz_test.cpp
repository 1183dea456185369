// Randomized, deterministic test of the text readers.  Every case is made
// from a fixed seed, so a failure repeats exactly; the case number and the
// text are printed with it.
//
// Three kinds of input:
//  - well-formed matrices in many notations, separators and line ends;
//  - the same with small edits drawn from the characters a number file is
//    made of, compared with a slow reader written independently here;
//  - the same with arbitrary bytes, where only the general promises are
//    checked: no crash, a consistent matrix, or a message naming the file
//    and a line that exists.

#include <gtest/gtest.h>
#include <locale.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/errors.hpp"
#include "fuzz/fuzz_support.hpp"
#include "io/landmark_file.hpp"
#include "io/list_files.hpp"
#include "io/test_files.hpp"
#include "io/text_matrix.hpp"

namespace velmora::io {
namespace {

using fuzz::printable;
using fuzz::Random;

constexpr const char* kLabel = "fuzz.txt";

// ---------------------------------------------------------------------------
// The independent reader: lines as strings, words split by the separators,
// numbers by strtod in the C locale.

struct Outcome {
  bool ok = false;
  std::size_t rows = 0, cols = 0;
  std::vector<double> row_major;
  std::string error;
};

bool is_sep(char c) {
  return c == ' ' || c == '\t' || c == ',';
}
bool is_blank_char(char c) {
  return c == ' ' || c == '\t';
}
bool is_digit_char(char c) {
  return c >= '0' && c <= '9';
}

std::string shown(const std::string& word) {
  return word.size() > 32 ? word.substr(0, 32) + "..." : word;
}

/// The lines of a text without their ends: a line feed, carriage returns
/// closed by a line feed, or a lone carriage return end a line.  A leading
/// byte-order mark is dropped.
std::vector<std::string> split_lines(std::string text) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (text[i] == '\r') {
      std::size_t j = i;
      while (j < text.size() && text[j] == '\r') ++j;
      if (j < text.size() && text[j] == '\n') i = j;
      lines.push_back(line);
      line.clear();
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

bool blank(const std::string& line) {
  return line.find_first_not_of(" \t") == std::string::npos;
}

Outcome reference_read(const std::string& text, bool finite_only) {
  static const locale_t c_locale = ::newlocale(LC_ALL_MASK, "C", nullptr);
  const std::vector<std::string> lines = split_lines(text);
  Outcome out;
  const std::string where = std::string("\"") + kLabel + "\" line ";
  std::size_t first = 0;
  while (first < lines.size() && blank(lines[first])) ++first;
  for (std::size_t li = first; li < lines.size(); ++li) {
    const std::string& line = lines[li];
    if (blank(line)) {
      std::size_t after = 0;
      for (std::size_t j = li + 1; j < lines.size(); ++j) after += !blank(lines[j]);
      if (after > 0) {
        out.error = where + std::to_string(li + 1) + ": a blank line ends the data, but " +
                    std::to_string(after) +
                    (after == 1 ? " more line follows it." : " more lines follow it.");
        return out;
      }
      break;
    }
    std::size_t count = 0, first_word = std::string::npos, last_word_end = 0;
    for (std::size_t i = 0; i < line.size();) {
      if (is_sep(line[i])) {
        ++i;
        continue;
      }
      std::size_t j = i;
      while (j < line.size() && !is_sep(line[j])) ++j;
      std::string word = line.substr(i, j - i);
      char* stop = nullptr;
      double v = ::strtod_l(word.c_str(), &stop, c_locale);
      std::string at =
          where + std::to_string(li + 1) + ", column " + std::to_string(i + 1) + ": \"";
      if (stop != word.c_str() + word.size() || word.empty()) {
        out.error = at + shown(word) + "\" is not a number.";
        return out;
      }
      if (finite_only && !std::isfinite(v)) {
        out.error = at + shown(word) + "\" is not a finite number.";
        return out;
      }
      out.row_major.push_back(v);
      ++count;
      if (first_word == std::string::npos) first_word = i;
      last_word_end = j;
      i = j;
    }
    // Decimal commas: a digit on each side of a comma, in a line whose
    // numbers are separated by blanks or tabs.
    bool blank_inside = false;
    for (std::size_t i = first_word; count > 1 && i < last_word_end; ++i)
      blank_inside |= is_blank_char(line[i]);
    for (std::size_t i = 1; blank_inside && i + 1 < line.size(); ++i) {
      if (line[i] == ',' && is_digit_char(line[i - 1]) && is_digit_char(line[i + 1])) {
        std::size_t b = line.find_last_of(" \t", i), e = line.find_first_of(" \t", i);
        b = b == std::string::npos ? 0 : b + 1;
        if (e == std::string::npos) e = line.size();
        out.error = where + std::to_string(li + 1) + ": \"" + shown(line.substr(b, e - b)) +
                    "\" uses a decimal comma.";
        return out;
      }
    }
    if (li == first) {
      out.cols = count;
    } else if (count != out.cols) {
      out.error = where + std::to_string(li + 1) + ": expected " + std::to_string(out.cols) +
                  (out.cols == 1 ? " number" : " numbers") + ", found " + std::to_string(count) +
                  ".";
      return out;
    }
    ++out.rows;
  }
  out.ok = true;
  return out;
}

Outcome velmora_read(const std::string& text, bool finite_only) {
  Outcome out;
  try {
    TextMatrix m = parse_text_matrix(text, kLabel, finite_only);
    out.ok = true;
    out.rows = m.rows;
    out.cols = m.cols;
    EXPECT_EQ(m.values.size(), m.rows * m.cols);
    for (std::size_t r = 0; r < m.rows; ++r)
      for (std::size_t c = 0; c < m.cols; ++c) out.row_major.push_back(m(r, c));
  } catch (const FileError& e) {
    out.error = e.what();
  }
  return out;
}

bool same_number(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return a == b && std::signbit(a) == std::signbit(b);
}

/// Non-empty when the two readers disagree.
std::string difference(const Outcome& a, const Outcome& b) {
  if (a.ok != b.ok || a.error != b.error)
    return "outcome: \"" + a.error + "\" vs \"" + b.error + "\"";
  if (!a.ok) return {};
  if (a.rows != b.rows || a.cols != b.cols) return "size";
  for (std::size_t i = 0; i < a.row_major.size(); ++i)
    if (!same_number(a.row_major[i], b.row_major[i])) return "value " + std::to_string(i);
  return {};
}

// ---------------------------------------------------------------------------
// Generators.

struct Written {
  std::string text;
  std::size_t rows = 0, cols = 0;
  std::vector<double> row_major;  // exact only where `exact` is set
  bool exact = true;
};

std::string number_text(Random& rnd, double v, bool& exact) {
  char buf[64];
  switch (rnd.below(8)) {
    case 0:
      std::snprintf(buf, sizeof buf, "%g", v);
      exact = false;
      break;
    case 1:
      std::snprintf(buf, sizeof buf, "%.3e", v);
      exact = false;
      break;
    case 2:
      std::snprintf(buf, sizeof buf, "%.10E", v);
      exact = false;
      break;
    case 3:
      std::snprintf(buf, sizeof buf, "%.0f", v);
      exact = false;
      break;
    case 4:
      std::snprintf(buf, sizeof buf, "%+.17g", v);
      break;
    default:
      std::snprintf(buf, sizeof buf, "%.17g", v);
      break;
  }
  return buf;
}

Written well_formed(Random& rnd) {
  static const std::vector<std::string> seps = {" ", "\t", ",", ", ", " \t", "  ", ",\t"};
  // Mixed separators never put a bare comma between two numbers of a line
  // that also has blanks: that is how a decimal comma looks.
  static const std::vector<std::string> mixed_seps = {" ", "\t", ", ", " \t", "  ", ",\t"};
  static const std::vector<std::string> ends = {"\n", "\r\n", " \n", ",\n", "\t\r\n", "\r"};
  Written w;
  if (rnd.chance(8)) w.text += "\xEF\xBB\xBF";                      // a byte-order mark
  if (rnd.chance(8)) w.text += rnd.chance(2) ? "\n \t\n" : "\r\n";  // leading blank lines
  w.rows = 1 + rnd.below(20);
  w.cols = 1 + rnd.below(10);
  const std::string& sep = rnd.pick(seps);
  const bool mixed = rnd.chance(3);
  for (std::size_t r = 0; r < w.rows; ++r) {
    if (rnd.chance(4)) w.text += rnd.pick(seps);  // leading separators
    for (std::size_t c = 0; c < w.cols; ++c) {
      double v = rnd.uniform(-1, 1) * std::pow(10.0, rnd.uniform(-12, 12));
      if (rnd.chance(10)) v = static_cast<double>(rnd.below(10));  // one-digit numbers
      bool exact = true;
      w.text += number_text(rnd, v, exact);
      w.exact = w.exact && exact;
      w.row_major.push_back(v);
      if (c + 1 < w.cols) w.text += mixed ? rnd.pick(mixed_seps) : sep;
    }
    if (r + 1 < w.rows || rnd.chance(2)) w.text += rnd.pick(ends);
  }
  const std::size_t ending = rnd.below(5);  // how the data end
  if (ending < 3 && w.text.back() != '\n') w.text += '\n';
  if (ending == 0) w.text += rnd.chance(2) ? "\n \n\t\n" : "\r\n\r\n";  // final blank lines
  if (ending == 1) w.text += " ";  // a saved result file's last blank
  if (ending == 2) w.text += "\r";
  return w;
}

void mutate(Random& rnd, std::string& text, bool any_byte) {
  fuzz::mutate(rnd, text, "0123456789.eE+- \t,\r\n\n\nainfANIF", any_byte, 12);
}

// ---------------------------------------------------------------------------

TEST(ReaderFuzz, WellFormedMatricesReadExactly) {
  Random rnd(0x5eed0001);
  for (int n = 0; n < 3000; ++n) {
    Written w = well_formed(rnd);
    SCOPED_TRACE("case " + std::to_string(n) + ": " + printable(w.text));
    TextMatrix m = parse_text_matrix(w.text, kLabel);
    ASSERT_EQ(m.rows, w.rows);
    ASSERT_EQ(m.cols, w.cols);
    Outcome mine = velmora_read(w.text, false);
    ASSERT_EQ(difference(mine, reference_read(w.text, false)), "");
    if (w.exact) {
      for (std::size_t i = 0; i < w.row_major.size(); ++i)
        ASSERT_EQ(mine.row_major[i], w.row_major[i]) << "number " << i;
    }
  }
}

TEST(ReaderFuzz, EditedFilesAgreeWithAnIndependentReader) {
  Random rnd(0x5eed0002);
  int accepted = 0, refused = 0;
  for (int n = 0; n < 12000; ++n) {
    std::string text = well_formed(rnd).text;
    mutate(rnd, text, false);
    const bool finite_only = rnd.chance(2);
    SCOPED_TRACE("case " + std::to_string(n) + ": " + printable(text));
    Outcome mine = velmora_read(text, finite_only);
    ASSERT_EQ(difference(mine, reference_read(text, finite_only)), "");
    ++(mine.ok ? accepted : refused);
  }
  // Both roads must be well travelled for the comparison to mean much.
  EXPECT_GT(accepted, 2000);
  EXPECT_GT(refused, 2000);
}

/// The checked loaders either accept with their promises kept or refuse with
/// a FileError naming the file; nothing else escapes.
void check_loaders(const std::string& text) {
  const std::string prefix = std::string("\"") + kLabel + "\"";
  try {
    TextMatrix m = parse_landmarks(text, kLabel);
    EXPECT_EQ(m.cols % 3, 1u);
    EXPECT_GE(m.cols, 7u);
    for (double v : m.values) EXPECT_TRUE(std::isfinite(v));
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
  }
  try {
    EXPECT_EQ(parse_x_list(text, kLabel).cols, 1u);
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
  }
  try {
    TextMatrix w = parse_wire_list(text, kLabel);
    EXPECT_GE(w.cols, 3u);
    try {
      check_wires(w, 12);
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Wire row ", 0), 0u) << e.what();
    }
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
  }
}

TEST(ReaderFuzz, ArbitraryBytesNeverBreakTheReaders) {
  Random rnd(0x5eed0003);
  const std::string prefix = std::string("\"") + kLabel + "\" line ";
  for (int n = 0; n < 10000; ++n) {
    std::string text = well_formed(rnd).text;
    mutate(rnd, text, true);
    SCOPED_TRACE("case " + std::to_string(n) + ": " + printable(text));
    Outcome mine = velmora_read(text, rnd.chance(2));
    if (!mine.ok) {
      ASSERT_EQ(mine.error.rfind(prefix, 0), 0u) << mine.error;
      std::size_t line = std::stoul(mine.error.substr(prefix.size()));
      std::size_t lines = split_lines(text).size();
      ASSERT_GE(line, 1u);
      ASSERT_LE(line, lines);
    }
    check_loaders(text);
  }
}

TEST(ReaderFuzz, FilesOnDiskReadAsTheirText) {
  Random rnd(0x5eed0004);
  testing::ScratchFolder dir;
  for (int n = 0; n < 100; ++n) {
    std::string text = well_formed(rnd).text;
    if (rnd.chance(2)) mutate(rnd, text, rnd.chance(2));
    SCOPED_TRACE("case " + std::to_string(n) + ": " + printable(text));
    const std::string path = dir.write("case.txt", text);
    try {
      TextMatrix m = parse_text_matrix(text, path);
      std::optional<TextMatrix> d = load_text_matrix(path);
      ASSERT_TRUE(d.has_value());
      ASSERT_EQ(d->rows, m.rows);
      ASSERT_EQ(d->cols, m.cols);
      for (std::size_t i = 0; i < m.values.size(); ++i)
        ASSERT_TRUE(same_number(d->values[i], m.values[i]));
    } catch (const FileError& e) {
      EXPECT_EQ(testing::message_of<FileError>([&] { load_text_matrix(path); }), e.what());
    }
  }
}

}  // namespace
}  // namespace velmora::io
