#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "io/text_matrix.hpp"

// The lexical pieces that the landmark importers share: lines with any of
// the three line ends, words, numbers, the missing-landmark codes, and the
// refusal messages in the io layer's usual frame (`"FILE" line L, column C:
// WHAT`).

namespace velmora::io::import_text {

constexpr bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

/// One line of a text file without its line end; `number` counts from 1.
struct TextLine {
  std::string_view text;
  std::size_t number = 0;
};

/// The lines of a text.  A line ends at a line feed, a carriage return-line
/// feed pair or a lone carriage return; a UTF-8 byte-order mark at the start
/// is skipped.  A final line without a line end is a line; an empty text has
/// none.
class LineReader {
 public:
  explicit LineReader(std::string_view text);
  /// The next line, or false at the end of the text.
  bool next(TextLine& line);
  /// The number of the last line returned (0 before the first).
  std::size_t line_number() const { return number_; }

 private:
  const char* p_;
  const char* end_;
  std::size_t number_ = 0;
};

/// `s` without blanks and tabs at either end.
std::string_view trim(std::string_view s);

/// The next word of `rest` (split at blanks and tabs), removed from it; empty
/// when only blanks remain.
std::string_view next_word(std::string_view& rest);

/// The 1-based column of `word` inside `line` (both views of one text).
std::size_t column_of(std::string_view line, std::string_view word);

/// Reads `word` whole as a double: decimal or exponent notation with an
/// optional sign, "inf" and "nan", independent of the C locale; a value
/// beyond the range of a double becomes ±inf or ±0.  False when the word is
/// not entirely a number.
bool parse_double(std::string_view word, double& value);

/// The codes that stand for a missing landmark coordinate in the files of
/// other programs: NA, NaN (any case), "?" and the number -999.
bool is_missing_code(std::string_view word);

/// `word` as a message quotes it: shown_text (control bytes escaped, long
/// words cut after 32 bytes), in double quotes.
std::string quoted_word(std::string_view word);

/// `"label" line L: what`
[[noreturn]] void refuse_line(std::string_view label, std::size_t line, const std::string& what);
/// `"label" line L, column C: what`
[[noreturn]] void refuse_at(std::string_view label, std::size_t line, std::size_t column,
                            const std::string& what);
/// `"label": what`
[[noreturn]] void refuse_file(std::string_view label, const std::string& what);

/// Refuses a word where a number was expected: a decimal comma
/// (`"f" line 3: "-73,146001" uses a decimal comma.`), a value that is not
/// finite (`"f" line 3, column 5: "inf" is not a finite number.`) or any
/// other text (`... "abc" is not a number.`).
[[noreturn]] void refuse_number(std::string_view label, std::size_t line, std::size_t column,
                                std::string_view word);

/// One field of a delimited record: its text without the quotes (a quoted
/// field's "" not yet undone), and where it begins.
struct Field {
  std::string_view raw;
  bool quoted = false;
  std::size_t line = 0;
  std::size_t column = 0;
};

/// The text of a field: a quoted field with its "" read as one quote, an
/// unquoted one without blanks and tabs at either end.
std::string field_text(const Field& field);

/// The records of a delimited table (CSV, TSV).  Fields are separated by
/// `delimiter`; records end at a line feed, a carriage return-line feed pair
/// or a lone carriage return; a field in double quotes may hold delimiters,
/// line ends and "" for a quote.  A UTF-8 byte-order mark at the start is
/// skipped.
class RecordReader {
 public:
  /// @param first_line the number of the text's first line in messages
  RecordReader(std::string_view text, char delimiter, std::string_view label,
               std::size_t first_line = 1);
  /// The next record into `fields` (none for an empty line), or false at
  /// the end of the text.
  /// @throws FileError for a quoted field that is not closed or is
  ///   followed by text before the next delimiter
  bool next(std::vector<Field>& fields);

 private:
  const char* p_;
  const char* end_;
  const char* line_start_;
  std::size_t line_ = 1;
  char delimiter_;
  std::string_view label_;
};

/// The content of `path` for one reader call.
/// @throws FileError `Cannot open the file "PATH": REASON.`
FileText read_import_file(const std::string& path);

/// The file name of `path` without its folder.
std::string base_name(std::string_view path);

}  // namespace velmora::io::import_text
