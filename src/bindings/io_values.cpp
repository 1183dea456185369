#include "bindings/io_values.hpp"

#include "bindings/numeric_calls.hpp"
#include "io/list_files.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::io {

Value to_value(const TextMatrix& m) {
  return Value::array(m.rows, m.cols, 1, m.values);
}

Value dload_value(const std::string& path) {
  return as_runtime_error([&] {
    std::optional<TextMatrix> m = load_text_matrix(path);
    return m ? to_value(*m) : Value(-1.0);
  });
}

void check_wires(const Value& wires, std::size_t k) {
  if (wires.empty()) return;
  if (!wires.is_double() || wires.pages() > 1)
    throw DataRefusal("The wireframe must be a matrix of numbers, one wire per row.");
  try {
    check_wires(wires.rows(), wires.cols(), wires.data(), k);
  } catch (const FileError& e) {
    throw DataRefusal(e.what());
  }
}

}  // namespace velmora::io
