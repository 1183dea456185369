#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/value/value.hpp"

namespace velmora::io {

/// A matrix read from a text file: one row per line, column-major storage
/// (element (r, c) at r + rows·c, as in a Value).
struct TextMatrix {
  std::size_t rows = 0;
  std::size_t cols = 0;
  std::vector<double> values;

  double operator()(std::size_t r, std::size_t c) const { return values[r + rows * c]; }
  bool empty() const { return values.empty(); }
  /// The rows×cols double array (copies the numbers).
  Value to_value() const;
};

/// The whole content of a file, read in binary (no text-mode translation)
/// for the length of one reader call.  A regular file is mapped into memory
/// (no copy); anything else is read into a buffer.  A mapped file that
/// another program truncates while it is being parsed would fault, as with
/// any memory-mapped reader; desktop data files are not written that way.
class FileText {
 public:
  /// Opens and reads `path`.  A folder, a missing file or a read error
  /// gives !ok() with the system's reason; nothing is thrown.
  static FileText read(const std::string& path);

  FileText() = default;
  FileText(FileText&& other) noexcept;
  FileText& operator=(FileText&& other) noexcept;
  FileText(const FileText&) = delete;
  FileText& operator=(const FileText&) = delete;
  ~FileText();

  bool ok() const { return ok_; }
  /// The system's text (strerror) when !ok().
  const std::string& reason() const { return reason_; }
  /// The bytes of the file, valid while this object lives.
  std::string_view text() const;

 private:
  void release();

  bool ok_ = false;
  void* map_ = nullptr;
  std::size_t map_size_ = 0;
  std::string bytes_;
  std::string reason_;
};

/// Parses the text of a matrix file.
///
/// Lines end at a line feed, which belongs to the line.  The first line is
/// always data.  After it, reading ends at a line whose length including its
/// terminator is one character and whose character is a blank, carriage
/// return or line feed (a bare empty line, or a final lone blank such as the
/// end of a saved result file); a one-character number ("7") is data.  A
/// carriage return-line feed empty line is two characters and is data with
/// no numbers.  Numbers are separated by blanks, tabs, commas and carriage
/// returns, in decimal or exponent notation (an optional sign, "inf" and
/// "nan" too), independent of the C locale; values beyond the range of a
/// double become ±inf or ±0.  An empty text gives a 0×0 matrix.
///
/// @param label the file's name as messages show it
/// @param finite_only refuse "inf"/"nan" and overflowing values
/// @throws RuntimeError naming label, line and column (1-based): a line
///   whose count of numbers differs from the first line's
///   (`"f.txt" line 7: expected 37 numbers, found 36.`), text that is not a
///   number (`"f.txt" line 3, column 12: "abc" is not a number.`), or with
///   finite_only a value that is not finite (`... "nan" is not a finite
///   number.`)
TextMatrix parse_text_matrix(std::string_view text, std::string_view label,
                             bool finite_only = false);

/// Reads `path` by the rules of parse_text_matrix; messages name `path`.
/// nullopt when the file cannot be opened or read.  The file is closed
/// before returning.
std::optional<TextMatrix> dload(const std::string& path);

/// `"label"` as messages quote a file or a word.
std::string in_quotes(std::string_view label);

}  // namespace velmora::io
