#include "io/text_matrix.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <thread>
#include <utility>

#include "core/errors.hpp"
#include "core/file_bytes.hpp"
#include "core/shown_text.hpp"

namespace velmora::io {

namespace {

constexpr bool is_separator(char c) {
  return c == ' ' || c == '\t' || c == ',';
}
constexpr bool is_blank(char c) {
  return c == ' ' || c == '\t';
}
constexpr bool is_line_end(char c) {
  return c == '\n' || c == '\r';
}
constexpr bool ends_token(char c) {
  return is_separator(c) || is_line_end(c);
}
constexpr bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

/// The start of the next line, `p` being at a line end (or at the end).  A
/// run of carriage returns closed by a line feed is one line end, as a text
/// written twice through a carriage return-adding translation has them.
const char* after_line_end(const char* p, const char* end) {
  if (p == end) return p;
  if (*p == '\n') return p + 1;
  const char* q = p;
  while (q < end && *q == '\r') ++q;
  return q < end && *q == '\n' ? q + 1 : p + 1;
}

/// When the line starting at `p` is blank (nothing but blanks and tabs),
/// the position of its line end (or the end); otherwise nullptr.
const char* blank_line_end(const char* p, const char* end) {
  while (p < end && is_blank(*p)) ++p;
  return p == end || is_line_end(*p) ? p : nullptr;
}

const char* word_end(const char* p, const char* end) {
  while (p < end && !ends_token(*p)) ++p;
  return p;
}

/// A word as a message shows it: control bytes escaped, long words cut
/// (never inside a UTF-8 sequence).
std::string word_for_message(const char* b, const char* e) {
  return shown_text(std::string_view(b, static_cast<std::size_t>(e - b)));
}

[[noreturn]] void throw_at(std::string_view label, std::size_t line, std::size_t column,
                           const std::string& what) {
  throw FileError(in_quotes(label) + " line " + std::to_string(line) + ", column " +
                  std::to_string(column) + ": " + what);
}

std::string count_text(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " number" : " numbers");
}

/// `rows`×`cols` column-major from the row-major rows of `first`, then of
/// `second` (when given).
std::vector<double> to_column_major(const std::vector<double>& first,
                                    const std::vector<double>* second, std::size_t rows,
                                    std::size_t cols) {
  std::vector<double> out(rows * cols);
  const std::size_t first_rows = cols ? first.size() / cols : 0;
  // Blocks of rows keep both the reads and the strided writes in cache.
  constexpr std::size_t kBlock = 64;
  for (std::size_t r0 = 0; r0 < rows; r0 += kBlock) {
    const std::size_t r1 = std::min(rows, r0 + kBlock);
    for (std::size_t c = 0; c < cols; ++c)
      for (std::size_t r = r0; r < r1; ++r)
        out[r + rows * c] =
            r < first_rows ? first[r * cols + c] : (*second)[(r - first_rows) * cols + c];
  }
  return out;
}

}  // namespace

// A number that a double cannot hold: ±inf when it is too large, ±0 when
// too small.  [b, e) is the decimal or exponent notation that matched.
double out_of_range_value(const char* b, const char* e) {
  const bool negative = b < e && *b == '-';
  if (negative) ++b;
  // Decimal exponent of the first significant digit, before the "e" part.
  bool seen_point = false, seen_digit = false;
  long long int_digits = 0, frac_zeros = 0;
  for (; b < e && *b != 'e' && *b != 'E'; ++b) {
    if (*b == '.') {
      seen_point = true;
    } else if (!seen_digit && *b == '0') {
      if (seen_point) ++frac_zeros;
    } else {
      seen_digit = true;
      if (!seen_point) ++int_digits;
    }
  }
  const long long lead = int_digits > 0 ? int_digits - 1 : -(frac_zeros + 1);
  long long exponent = 0;
  if (b < e) {
    ++b;
    const bool exp_negative = b < e && *b == '-';
    if (b < e && (*b == '-' || *b == '+')) ++b;
    for (; b < e; ++b) exponent = std::min(exponent * 10 + (*b - '0'), 1'000'000'000LL);
    if (exp_negative) exponent = -exponent;
  }
  const double magnitude = lead + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -magnitude : magnitude;
}

std::string in_quotes(std::string_view label) {
  return "\"" + shown_name(label) + "\"";
}

FileText FileText::read(const std::string& path) {
  FileBytes file = read_regular_file(path);
  FileText out;
  out.ok_ = file.ok;
  out.bytes_ = std::move(file.bytes);
  out.reason_ = std::move(file.reason);
  return out;
}

namespace {

/// Refuses data after the blank line `line`, which ends at `p`.
void check_nothing_follows(const char* p, const char* end, std::string_view label,
                           std::size_t line) {
  std::size_t following = 0;
  for (p = after_line_end(p, end); p < end;) {
    const char* stop = blank_line_end(p, end);
    if (!stop) {
      ++following;
      stop = p;
      while (stop < end && !is_line_end(*stop)) ++stop;
    }
    p = after_line_end(stop, end);
  }
  if (following > 0) {
    throw FileError(in_quotes(label) + " line " + std::to_string(line) +
                    ": a blank line ends the data, but " + std::to_string(following) +
                    (following == 1 ? " more line follows it." : " more lines follow it."));
  }
}

/// The word around a decimal comma: from the blank before it to the blank
/// or line end after it.
std::string comma_word(const char* line_start, const char* comma, const char* end) {
  const char* b = comma;
  while (b > line_start && !is_blank(b[-1])) --b;
  const char* e = comma;
  while (e < end && !is_blank(*e) && !is_line_end(*e)) ++e;
  return word_for_message(b, e);
}

/// The numbers of lines read row by row.
struct Rows {
  std::vector<double> values;  ///< row-major
  std::size_t rows = 0, cols = 0;
  bool ended_by_blank = false;  ///< a blank line ended the data
};

/// Reads the lines from `p` to `end`, the first being line `line` of the
/// file and a line of data (or the blank line that ends the data).
Rows parse_lines(const char* p, const char* const end, std::size_t line, std::string_view label,
                 bool finite_only) {
  Rows out;
  out.values.reserve(static_cast<std::size_t>(end - p) / 8);
  std::vector<double>& row_major = out.values;
  std::size_t& rows = out.rows;
  std::size_t& cols = out.cols;

  for (; p < end; ++line) {
    if (const char* stop = blank_line_end(p, end)) {
      check_nothing_follows(stop, end, label, line);
      out.ended_by_blank = true;
      break;
    }
    const char* const line_start = p;
    std::size_t count = 0;
    bool blank_separated = false;
    const char* decimal_comma = nullptr;
    for (;;) {
      bool blank_before = false;
      while (p < end && is_separator(*p)) blank_before |= is_blank(*p++);
      if (p == end || is_line_end(*p)) {
        p = after_line_end(p, end);
        break;
      }
      blank_separated |= count > 0 && blank_before;
      const char* number = p;
      if (*p == '+' && p + 1 < end && p[1] != '-' && p[1] != '+') ++number;
      double v = 0;
      auto [stop, ec] = std::from_chars(number, end, v);
      const std::size_t column = static_cast<std::size_t>(p - line_start) + 1;
      if (ec == std::errc::invalid_argument || (stop < end && !ends_token(*stop))) {
        throw_at(label, line, column,
                 in_quotes(word_for_message(p, word_end(p, end))) + " is not a number.");
      }
      if (ec == std::errc::result_out_of_range) v = out_of_range_value(number, stop);
      if (finite_only && !std::isfinite(v))
        throw_at(label, line, column,
                 in_quotes(word_for_message(p, stop)) + " is not a finite number.");
      if (!decimal_comma && stop + 1 < end && *stop == ',' && is_digit(stop[-1]) &&
          is_digit(stop[1]))
        decimal_comma = stop;
      row_major.push_back(v);
      ++count;
      p = stop;
    }
    if (decimal_comma && blank_separated) {
      throw FileError(in_quotes(label) + " line " + std::to_string(line) + ": " +
                      in_quotes(comma_word(line_start, decimal_comma, end)) +
                      " uses a decimal comma.");
    }
    if (rows == 0) {
      cols = count;
    } else if (count != cols) {
      throw FileError(in_quotes(label) + " line " + std::to_string(line) + ": expected " +
                      count_text(cols) + ", found " + std::to_string(count) + ".");
    }
    ++rows;
  }
  return out;
}

/// Texts from this size up are parsed by two threads.
constexpr std::size_t kParallelParseBytes = std::size_t{4} << 20;

/// The rows of both halves as one column-major matrix.
TextMatrix join_rows(const Rows& first, const Rows* second) {
  TextMatrix m;
  m.cols = first.cols;
  m.rows = first.rows + (second ? second->rows : 0);
  m.values = to_column_major(first.values, second ? &second->values : nullptr, m.rows, m.cols);
  return m;
}

TextMatrix parse_rows(std::string_view text, std::string_view label, bool finite_only) {
  const char* p = text.data();
  const char* const end = p + text.size();
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) p += kByteOrderMark.size();
  std::size_t line = 1;
  for (const char* stop; p < end && (stop = blank_line_end(p, end)); ++line)
    p = after_line_end(stop, end);

  // A large text is cut after the line feed nearest its middle, and the two
  // halves are read at once.  Anything but two clean halves of equally long
  // rows (an error in either, the data ended by a blank line in the first)
  // is read again by one thread, which then gives exactly its message with
  // its line number.
  const char* split = nullptr;
  if (static_cast<std::size_t>(end - p) >= kParallelParseBytes &&
      std::thread::hardware_concurrency() > 1) {
    const char* middle = p + (end - p) / 2;
    const void* feed = std::memchr(middle, '\n', static_cast<std::size_t>(end - middle));
    if (feed && static_cast<const char*>(feed) + 1 < end)
      split = static_cast<const char*>(feed) + 1;
  }
  if (!split) return join_rows(parse_lines(p, end, line, label, finite_only), nullptr);

  Rows second;
  bool second_ok = false;
  std::thread helper([&] {
    try {
      second = parse_lines(split, end, 1, label, finite_only);
      second_ok = true;
    } catch (...) {
      // Read again below, in order.
    }
  });
  std::optional<Rows> first;
  try {
    first = parse_lines(p, split, line, label, finite_only);
  } catch (...) {
    // Read again below, in order.
  }
  helper.join();
  if (!first || !second_ok || first->ended_by_blank || first->rows == 0 ||
      (second.rows > 0 && second.cols != first->cols)) {
    return join_rows(parse_lines(p, end, line, label, finite_only), nullptr);
  }
  return join_rows(*first, &second);
}

}  // namespace

TextMatrix parse_text_matrix(std::string_view text, std::string_view label, bool finite_only) {
  try {
    return parse_rows(text, label, finite_only);
  } catch (const std::bad_alloc&) {
    throw FileError(in_quotes(label) + ": there is not enough memory to hold its " +
                    std::to_string(text.size()) + " bytes of numbers.");
  }
}

std::optional<TextMatrix> load_text_matrix(const std::string& path) {
  const FileText file = FileText::read(path);
  if (!file.ok()) return std::nullopt;
  return parse_text_matrix(file.text(), path);
}

}  // namespace velmora::io
