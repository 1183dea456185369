#pragma once

#include "platform/runtime/function_table.hpp"

namespace velmora::stats {

/// Adds the statistics functions to the call-by-name table: fcdf (3 in,
/// 1 out), normcdf (3, 1), chi2cdf (2, 1), gamcdf (3, 1), distchck (one
/// fixed then any, both ways), regstuf (2, 1; a 1×7 row) and getWilkslambda
/// (2, 1; a 1×6 row).
void register_stats_functions(FunctionTable& table);

}  // namespace velmora::stats
