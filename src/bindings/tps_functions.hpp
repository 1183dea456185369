#pragma once

#include "platform/runtime/function_table.hpp"

namespace velmora::tps {

/// Adds the thin-plate spline functions to the call-by-name table:
/// lmatrix3da (1 in, 4 out: eigenvectors, diagonal eigenvalue matrix,
/// uniform components, warp matrix), getpw3d (2, 1) and defimppw3 (2, 1;
/// echoes the specimen count of its fit).
void register_tps_functions(FunctionTable& table);

}  // namespace velmora::tps
