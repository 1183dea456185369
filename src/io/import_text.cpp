#include "io/import_text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "core/errors.hpp"
#include "core/shown_text.hpp"
#include "io/text_matrix.hpp"

namespace velmora::io::import_text {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

/// A comma with a digit on each side and nothing else but digits and signs:
/// a number written with a decimal comma.
bool has_decimal_comma(std::string_view word) {
  const std::size_t comma = word.find(',');
  if (comma == std::string_view::npos || comma == 0 || comma + 1 >= word.size()) return false;
  if (!is_digit(word[comma - 1]) || !is_digit(word[comma + 1])) return false;
  double ignored = 0;
  std::string dotted(word);
  dotted[comma] = '.';
  return parse_double(dotted, ignored);
}

}  // namespace

LineReader::LineReader(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {
  if (text.starts_with(kByteOrderMark)) p_ += kByteOrderMark.size();
}

bool LineReader::next(TextLine& line) {
  if (p_ >= end_) return false;
  const char* start = p_;
  const char* q = p_;
  while (q < end_ && *q != '\n' && *q != '\r') ++q;
  line.text = std::string_view(start, static_cast<std::size_t>(q - start));
  line.number = ++number_;
  if (q < end_ && *q == '\r') {
    ++q;
    if (q < end_ && *q == '\n') ++q;
  } else if (q < end_) {
    ++q;
  }
  p_ = q;
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view next_word(std::string_view& rest) {
  std::size_t b = 0;
  while (b < rest.size() && is_blank(rest[b])) ++b;
  std::size_t e = b;
  while (e < rest.size() && !is_blank(rest[e])) ++e;
  std::string_view word = rest.substr(b, e - b);
  rest.remove_prefix(e);
  return word;
}

std::size_t column_of(std::string_view line, std::string_view word) {
  return static_cast<std::size_t>(word.data() - line.data()) + 1;
}

bool parse_double(std::string_view word, double& value) {
  const char* b = word.data();
  const char* const e = b + word.size();
  if (b < e && *b == '+' && b + 1 < e && b[1] != '-' && b[1] != '+') ++b;
  auto [stop, ec] = std::from_chars(b, e, value);
  if (ec == std::errc::invalid_argument || stop != e) return false;
  if (ec == std::errc::result_out_of_range) value = out_of_range_value(b, stop);
  return true;
}

bool is_missing_code(std::string_view word) {
  const std::string lower = lower_text(word);
  if (lower == "na" || lower == "nan" || lower == "?") return true;
  double v = 0;
  return parse_double(word, v) && v == -999.0;
}

std::string quoted_word(std::string_view word) {
  return "\"" + shown_text(word) + "\"";
}

void refuse_line(std::string_view label, std::size_t line, const std::string& what) {
  throw FileError(in_quotes(label) + " line " + std::to_string(line) + ": " + what);
}

void refuse_at(std::string_view label, std::size_t line, std::size_t column,
               const std::string& what) {
  throw FileError(in_quotes(label) + " line " + std::to_string(line) + ", column " +
                  std::to_string(column) + ": " + what);
}

void refuse_file(std::string_view label, const std::string& what) {
  throw FileError(in_quotes(label) + ": " + what);
}

void refuse_number(std::string_view label, std::size_t line, std::size_t column,
                   std::string_view word) {
  if (has_decimal_comma(word))
    refuse_line(label, line, quoted_word(word) + " uses a decimal comma.");
  double v = 0;
  if (parse_double(word, v))
    refuse_at(label, line, column, quoted_word(word) + " is not a finite number.");
  refuse_at(label, line, column, quoted_word(word) + " is not a number.");
}

std::string field_text(const Field& field) {
  if (!field.quoted) return std::string(trim(field.raw));
  std::string out;
  out.reserve(field.raw.size());
  for (std::size_t i = 0; i < field.raw.size(); ++i) {
    out += field.raw[i];
    if (field.raw[i] == '"') ++i;  // the second quote of ""
  }
  return out;
}

RecordReader::RecordReader(std::string_view text, char delimiter, std::string_view label,
                           std::size_t first_line)
    : p_(text.data()),
      end_(text.data() + text.size()),
      line_start_(text.data()),
      line_(first_line),
      delimiter_(delimiter),
      label_(label) {
  if (text.starts_with(kByteOrderMark)) p_ += kByteOrderMark.size();
}

bool RecordReader::next(std::vector<Field>& fields) {
  fields.clear();
  if (p_ >= end_) return false;
  const char* p = p_;
  for (;;) {
    const char* start = p;
    while (p < end_ && is_blank(*p) && *p != delimiter_) ++p;
    Field f;
    f.line = line_;
    if (p < end_ && *p == '"') {
      f.column = static_cast<std::size_t>(p - line_start_) + 1;
      f.quoted = true;
      const char* b = ++p;
      for (;;) {
        if (p == end_) refuse_at(label_, f.line, f.column, "a quoted field is not closed.");
        if (*p == '"') {
          if (p + 1 < end_ && p[1] == '"') {
            p += 2;
            continue;
          }
          break;
        }
        if (*p == '\n' || (*p == '\r' && (p + 1 == end_ || p[1] != '\n'))) {
          ++line_;
          line_start_ = p + 1;
        }
        ++p;
      }
      f.raw = std::string_view(b, static_cast<std::size_t>(p - b));
      ++p;
      while (p < end_ && is_blank(*p) && *p != delimiter_) ++p;
      if (p < end_ && *p != delimiter_ && *p != '\n' && *p != '\r') {
        refuse_at(label_, line_, static_cast<std::size_t>(p - line_start_) + 1,
                  "text follows the closing quote of a field.");
      }
    } else {
      p = start;
      f.column = static_cast<std::size_t>(p - line_start_) + 1;
      while (p < end_ && *p != delimiter_ && *p != '\n' && *p != '\r') ++p;
      f.raw = std::string_view(start, static_cast<std::size_t>(p - start));
    }
    fields.push_back(f);
    if (p < end_ && *p == delimiter_) {
      ++p;
      continue;
    }
    break;
  }
  // An empty line is a record without fields.
  if (fields.size() == 1 && !fields[0].quoted && fields[0].raw.empty()) fields.clear();
  if (p < end_ && *p == '\r') {
    ++p;
    if (p < end_ && *p == '\n') ++p;
  } else if (p < end_ && *p == '\n') {
    ++p;
  }
  ++line_;
  line_start_ = p;
  p_ = p;
  return true;
}

FileText read_import_file(const std::string& path) {
  FileText file = FileText::read(path);
  if (!file.ok())
    throw FileError("Cannot open the file " + in_quotes(path) + ": " + file.reason() + ".");
  return file;
}

std::string base_name(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace velmora::io::import_text
