#pragma once

#include "platform/runtime/function_table.hpp"

namespace velmora::io {

/// Adds the data-file functions callable by name, with their declared
/// input/output counts:
///  - dload(fname) 1/1: the matrix of the file's rows (line rules of
///    parse_text_matrix; a malformed file is a run-time error naming file,
///    line and column), or the 1×1 value −1 when the file cannot be opened;
///  - vertxy3D(x) 1/1: m×c specimen rows → k×3×m stack, k = floor(c/3);
///  - x1y1z1(x, cs) 2/1: k×3 configuration → 1×(3k+1) row ending in cs; it
///    echoes the configuration's dimensions as the named displays "m" and "n".
void register_io_functions(FunctionTable& table);

}  // namespace velmora::io
