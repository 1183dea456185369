#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/shown_text.hpp"
#include "io/import_formats.hpp"
#include "io/import_text.hpp"

namespace velmora::io {

namespace {

using namespace import_text;

/// Specimen and column counts above this are typing errors.
constexpr std::size_t kLargestCount = 100'000'000;

constexpr std::string_view kHeaderExample = "1 n 3k 0 dim=3";

struct Word {
  std::string_view text;
  std::size_t line = 0;
  std::size_t column = 0;
};

/// The words of a text, a '"' starting a comment that runs to the line end.
class WordStream {
 public:
  explicit WordStream(std::string_view text) : lines_(text) {}

  bool next(Word& w) {
    for (;;) {
      if (next_on_line(w)) return true;
      if (!lines_.next(line_)) return false;
      const std::size_t quote = line_.text.find('"');
      rest_ = line_.text.substr(0, quote);
    }
  }

  /// The next word of the current line only.
  bool next_on_line(Word& w) {
    w.text = next_word(rest_);
    if (w.text.empty()) return false;
    w.line = line_.number;
    w.column = column_of(line_.text, w.text);
    return true;
  }

  std::size_t line_number() const { return lines_.line_number(); }

 private:
  LineReader lines_;
  TextLine line_;
  std::string_view rest_;
};

/// "80" or "80L": the count and whether labels follow.
bool read_count(std::string_view word, std::size_t& n, bool& labelled) {
  labelled = !word.empty() && (word.back() == 'L' || word.back() == 'l');
  if (labelled) word.remove_suffix(1);
  if (word.empty() || word.size() > 9) return false;
  n = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
    n = 10 * n + static_cast<std::size_t>(c - '0');
  }
  return n <= kLargestCount;
}

class NtsReader {
 public:
  NtsReader(std::string_view text, std::string_view label, const MissingValues& missing)
      : words_(text), label_(label) {
    parts_.missing_values = missing;
    parts_.label = std::string(label);
    parts_.format = "NTS";
  }

  ImportedSample read() {
    read_header();
    if (row_labels_) {
      inline_labels_ = rows_begin_with_labels();
      if (!inline_labels_) {
        for (std::size_t i = 0; i < n_; ++i)
          parts_.names.emplace_back(expect("row label", i, n_).text);
      }
    }
    if (column_labels_) {
      for (std::size_t c = 0; c < cols_; ++c) expect("column label", c, cols_);
    }
    read_data();
    Word extra;
    if (words_.next(extra)) {
      refuse_at(label_, extra.line, extra.column,
                quoted_word(extra.text) + " follows the " + std::to_string(n_) + " × " +
                    std::to_string(cols_) + " numbers that the header on line " +
                    std::to_string(header_line_) + " announces.");
    }
    return finish_sample(std::move(parts_));
  }

 private:
  void read_header() {
    Word w;
    if (!words_.next(w))
      refuse_file(label_, "the file holds no NTS header (" + std::string(kHeaderExample) + ").");
    header_line_ = w.line;
    std::vector<Word> header{w};
    while (words_.next_on_line(w)) header.push_back(w);
    auto refuse_header = [&](const std::string& what) { refuse_line(label_, header_line_, what); };
    if (header.size() < 4) {
      refuse_header(
          "the header needs the matrix type 1, the number of specimens, the number of "
          "columns and 0, as in \"" +
          std::string(kHeaderExample) + "\".");
    }
    if (header[0].text != "1") {
      refuse_header("the header must begin with 1 (a rectangular matrix), found " +
                    quoted_word(header[0].text) + ".");
    }
    std::size_t n = 0, cols = 0;
    if (!read_count(header[1].text, n, row_labels_))
      refuse_header(quoted_word(header[1].text) + " is not a number of specimens.");
    if (!read_count(header[2].text, cols, column_labels_))
      refuse_header(quoted_word(header[2].text) + " is not a number of columns.");
    std::size_t next = 4;
    if (header[3].text == "1") {
      if (header.size() < 5 || lower_text(header[4].text).starts_with("dim="))
        refuse_header("the missing-data flag 1 must be followed by the missing-data code.");
      missing_code_ = header[4].text;
      next = 5;
    } else if (header[3].text != "0") {
      refuse_header(
          "the fourth header word must be 0 (no missing data) or 1 followed by the "
          "missing-data code, found " +
          quoted_word(header[3].text) + ".");
    }
    std::optional<std::string_view> dim;
    for (; next < header.size(); ++next) {
      const std::string lower = lower_text(header[next].text);
      if (!lower.starts_with("dim=")) {
        refuse_header(quoted_word(header[next].text) + " is not part of an NTS header (" +
                      std::string(kHeaderExample) + ").");
      }
      dim = header[next].text.substr(4);
    }
    if (!dim) {
      refuse_header("the header does not say dim=3; Velmora reads 3-D landmarks (" +
                    std::string(kHeaderExample) + ").");
    }
    if (*dim != "3") {
      refuse_header("dim=" + shown_text(*dim) + ": Velmora reads 3-D landmarks only (dim=3).");
    }
    if (cols % 3 != 0) {
      refuse_header("the header announces " + std::to_string(cols) +
                    " columns; 3-D landmarks need a multiple of 3 (x, y and z of every "
                    "landmark).");
    }
    n_ = n;
    cols_ = cols;
    parts_.k = cols / 3;
  }

  /// Row labels come either as a block of n words after the header (then
  /// the column labels, then the rows) or one at the head of each row (the
  /// column labels first).  The words on each line tell them apart: rows
  /// that begin with their label hold one word more than the column count,
  /// one row a line.  A file whose first two data lines are such rows is
  /// read that way, and every later line must be one as well.
  bool rows_begin_with_labels() {
    struct Line {
      std::size_t number = 0, words = 0;
    };
    std::vector<Line> lines;
    WordStream ahead = words_;
    Word w;
    while (ahead.next(w)) {
      if (lines.empty() || lines.back().number != w.line) lines.push_back({w.line, 0});
      ++lines.back().words;
    }
    std::size_t first = 0;
    if (column_labels_) {
      std::size_t seen = 0;
      while (first < lines.size() && seen < cols_) seen += lines[first++].words;
      if (seen != cols_) return false;
    }
    const std::size_t row = cols_ + 1;
    auto is_row = [&](std::size_t i) { return i < lines.size() && lines[i].words == row; };
    if (!is_row(first) || (n_ > 1 && !is_row(first + 1))) return false;
    const std::string shape = "rows of a label and " + std::to_string(cols_) + " numbers";
    for (std::size_t i = first; i < lines.size(); ++i) {
      if (i - first == n_) {
        refuse_line(label_, lines[i].number,
                    "the file holds " + std::to_string(lines.size() - first) + " " + shape + " (" +
                        std::to_string(row) + " words a line); the header on line " +
                        std::to_string(header_line_) + " announces " + std::to_string(n_) + ".");
      }
      if (lines[i].words != row) {
        refuse_line(label_, lines[i].number,
                    "the line holds " + std::to_string(lines[i].words) + " words; line " +
                        std::to_string(lines[first].number) + " begins the " + shape + " (" +
                        std::to_string(row) + " words), and a block of " + std::to_string(n_) +
                        " labels would leave rows of " + std::to_string(cols_) + ".");
      }
    }
    if (lines.size() - first < n_) {
      refuse_line(label_, lines.back().number,
                  "the file ends after " + std::to_string(lines.size() - first) + " of the " +
                      std::to_string(n_) + " " + shape + " that the header on line " +
                      std::to_string(header_line_) + " announces.");
    }
    return true;
  }

  Word expect(const char* what, std::size_t have, std::size_t want) {
    Word w;
    if (!words_.next(w)) {
      refuse_line(label_, words_.line_number(),
                  "the file ends after " + std::to_string(have) + " of the " +
                      std::to_string(want) + " " + what + "s that the header on line " +
                      std::to_string(header_line_) + " announces.");
    }
    return w;
  }

  /// The file's own code, compared as a word and as a number.
  bool is_declared_code(std::string_view word, double v, bool number) const {
    if (!missing_code_) return false;
    double code = 0;
    if (word == *missing_code_) return true;
    return number && parse_double(*missing_code_, code) && v == code;
  }

  void read_data() {
    const std::size_t total = n_ * cols_;
    parts_.coords.reserve(std::min<std::size_t>(total, 1u << 20));
    for (std::size_t i = 0; i < n_; ++i) {
      if (inline_labels_) parts_.names.emplace_back(expect("row label", i, n_).text);
      for (std::size_t c = 0; c < cols_; ++c) {
        const Word w = expect("number", i * cols_ + c, total);
        if (c == 0) parts_.first_lines.push_back(w.line);
        double v = 0;
        const bool number = parse_double(w.text, v);
        const SampleParts::Reading reading =
            parts_.read_coordinate(w.text, number, v, is_declared_code(w.text, v, number));
        if (reading != SampleParts::Reading::Value) {
          parts_.note_missing(w.line, i + 1, c / 3 + 1, w.text, reading);
          v = 0;
        } else if (!number || !std::isfinite(v)) {
          refuse_number(label_, w.line, w.column, w.text);
        }
        parts_.coords.push_back(v);
      }
    }
  }

  WordStream words_;
  std::string_view label_;
  SampleParts parts_;
  std::size_t header_line_ = 0;
  std::size_t n_ = 0, cols_ = 0;
  bool row_labels_ = false, column_labels_ = false, inline_labels_ = false;
  std::optional<std::string_view> missing_code_;
};

}  // namespace

ImportedSample parse_nts_sample(std::string_view text, std::string_view label,
                                const MissingValues& missing) {
  return NtsReader(text, label, missing).read();
}

}  // namespace velmora::io
