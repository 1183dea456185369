#pragma once

#include <utility>

#include "core/errors.hpp"
#include "core/notify.hpp"
#include "platform/runtime/function_table.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora {

/// The notes of long computations (the expected time of a large spline
/// basis), written as lines on the console.
Notify console_note();

/// Runs `f`; an error of the numerical library leaves it as the run-time's
/// RuntimeError with the same text, so the user sees what a function called
/// by name would show.
template <typename F>
decltype(auto) as_runtime_error(F&& f) {
  try {
    return std::forward<F>(f)();
  } catch (const NumericError& e) {
    throw RuntimeError(e.what());
  }
}

/// Adds `spec` to the table with its entry turned by as_runtime_error.
void add_numeric(FunctionTable& table, FunctionSpec spec);

}  // namespace velmora
