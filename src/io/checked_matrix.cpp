#include "io/checked_matrix.hpp"

#include "platform/runtime/runtime_error.hpp"

namespace velmora::io {

TextMatrix parse_checked_matrix(std::string_view text, std::string_view label) {
  TextMatrix m;
  try {
    m = parse_text_matrix(text, label, /*finite_only=*/true);
  } catch (const RuntimeError& e) {
    throw DataRefusal(e.what());
  }
  if (m.empty()) throw DataRefusal(in_quotes(label) + ": the file holds no numbers.");
  return m;
}

TextMatrix read_checked_matrix(const std::string& path) {
  const FileText file = FileText::read(path);
  if (!file.ok())
    throw DataRefusal("Cannot open the file " + in_quotes(path) + ": " + file.reason() + ".");
  return parse_checked_matrix(file.text(), path);
}

}  // namespace velmora::io
