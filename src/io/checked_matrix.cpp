#include "io/checked_matrix.hpp"

#include "core/errors.hpp"

namespace velmora::io {

TextMatrix parse_checked_matrix(std::string_view text, std::string_view label) {
  TextMatrix m = parse_text_matrix(text, label, /*finite_only=*/true);
  if (m.empty()) throw FileError(in_quotes(label) + ": the file holds no numbers.");
  return m;
}

TextMatrix read_checked_matrix(const std::string& path) {
  const FileText file = FileText::read(path);
  if (!file.ok())
    throw FileError("Cannot open the file " + in_quotes(path) + ": " + file.reason() + ".");
  return parse_checked_matrix(file.text(), path);
}

}  // namespace velmora::io
