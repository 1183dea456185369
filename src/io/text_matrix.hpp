#pragma once

#include <Eigen/Core>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::io {

/// A matrix read from a text file: one row per line, column-major storage
/// (element (r, c) at r + rows·c, as in a Value).
struct TextMatrix {
  std::size_t rows = 0;
  std::size_t cols = 0;
  std::vector<double> values;

  double operator()(std::size_t r, std::size_t c) const { return values[r + rows * c]; }
  bool empty() const { return values.empty(); }
  /// The numbers as a rows×cols Eigen matrix, without copying; valid while
  /// this object lives and `values` is not resized.
  Eigen::Map<const Eigen::MatrixXd> matrix() const {
    return {values.data(), static_cast<Eigen::Index>(rows), static_cast<Eigen::Index>(cols)};
  }
};

/// The whole content of a file, read in binary (no text-mode translation)
/// for the length of one reader call.  Only a regular file is read: a
/// folder, named pipe, device or socket is refused at once (never waited
/// on), and the file is read rather than mapped, so that one shortened by
/// another program while it is read gives fewer bytes, not a fault.
class FileText {
 public:
  /// Opens and reads `path`.  A missing file, a file that is not regular,
  /// a read error or too little memory gives !ok() with the reason;
  /// nothing is thrown.
  static FileText read(const std::string& path);

  bool ok() const { return ok_; }
  /// Why the file was not read (the system's text, or the kind of file
  /// refused) when !ok().
  const std::string& reason() const { return reason_; }
  /// The bytes of the file, valid while this object lives.
  std::string_view text() const { return bytes_; }

 private:
  bool ok_ = false;
  std::string bytes_;
  std::string reason_;
};

/// Parses the text of a matrix file.
///
/// Lines end at a line feed, a carriage return-line feed pair or a lone
/// carriage return (a run of carriage returns before a line feed is one
/// line end).  A UTF-8 byte-order mark at the start is skipped, and so are
/// blank lines (nothing but blanks and tabs) before the first line of data;
/// line numbers in messages still count every line of the file.  The first
/// blank line after the data ends them: a saved result file ends in a lone
/// blank, a text editor in an empty line.  Lines after it must be blank
/// too, so that nothing is silently left unread.  Numbers are separated by
/// blanks, tabs and commas, in decimal or exponent notation (an optional
/// sign, "inf" and "nan" too), independent of the C locale; values beyond
/// the range of a double become ±inf or ±0.  A line whose numbers are
/// separated by blanks or tabs and which holds a comma with a digit on each
/// side is written with decimal commas and is refused rather than read as
/// twice as many numbers; files whose only separator is the comma stay
/// valid.  A text without data gives a 0×0 matrix.
///
/// @param label the file's name as messages show it
/// @param finite_only refuse "inf"/"nan" and overflowing values
/// @throws FileError naming label, line and column (1-based): a line
///   whose count of numbers differs from the first line's
///   (`"f.txt" line 7: expected 37 numbers, found 36.`), text that is not a
///   number (`"f.txt" line 3, column 12: "abc" is not a number.`), with
///   finite_only a value that is not finite (`... "nan" is not a finite
///   number.`), a decimal comma (`"f.txt" line 1: "-73,146001" uses a
///   decimal comma.`), data after a blank line (`"f.txt" line 3: a blank
///   line ends the data, but 2 more lines follow it.`), or too little
///   memory for the numbers
TextMatrix parse_text_matrix(std::string_view text, std::string_view label,
                             bool finite_only = false);

/// Reads `path` by the rules of parse_text_matrix; messages name `path`.
/// nullopt when the file cannot be opened or read.  The file is closed
/// before returning.
std::optional<TextMatrix> load_text_matrix(const std::string& path);

/// The value of a number that a double cannot hold: ±inf when its decimal
/// exponent is positive, ±0 otherwise.  [b, e) matched decimal or exponent
/// notation (from_chars reported it out of range).
double out_of_range_value(const char* b, const char* e);

/// `"label"` as messages quote a file or a word.
std::string in_quotes(std::string_view label);

}  // namespace velmora::io
