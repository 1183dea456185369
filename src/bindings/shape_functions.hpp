#pragma once

#include "platform/runtime/function_table.hpp"

namespace velmora::shape {

/// Adds the superimposition functions to the call-by-name table:
/// centsize3Da (1 in, 1 out), svdrot2 (2, 1), rotate3da (2, 1),
/// partialprocrustes3a (2, 1), fullprocrustes3 (2, 1), getpproc3 (1, 2),
/// getfprocon3 (2, 1; echoes the specimen count), pcaref3d (1, 2) and
/// getpdistance3 (2, 1).  The entries only convert values; the table checks
/// the argument counts.
void register_shape_functions(FunctionTable& table);

}  // namespace velmora::shape
