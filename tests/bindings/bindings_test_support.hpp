#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/runtime/function_table.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "shape/test_support.hpp"

namespace velmora::testing {

/// The text of the run-time's RuntimeError that `f` throws, or "no error".
inline std::string runtime_error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.what();
  }
  return "no error";
}

/// The text with which `table` refuses or fails a call, or "no error".  A
/// call by name reports every failure as a RuntimeError.
inline std::string call_error(const FunctionTable& table, std::string_view name,
                              const ValueList& args, int nargout) {
  return runtime_error_of([&] { table.call(name, args, nargout); });
}

/// A function's declared numbers of inputs and outputs.
struct DeclaredCounts {
  const char* name;
  int nargin;
  int nargout;
};

/// Checks that every function is in `table` with its declared counts and,
/// for fixed counts, that one output too many and then one input too many are
/// refused with the run-time's texts before the body runs.
inline void expect_declared_counts(const FunctionTable& table,
                                   std::initializer_list<DeclaredCounts> functions) {
  for (const DeclaredCounts& f : functions) {
    const FunctionSpec* spec = table.find(f.name);
    ASSERT_NE(spec, nullptr) << f.name;
    EXPECT_EQ(spec->nargin, f.nargin) << f.name;
    EXPECT_EQ(spec->nargout, f.nargout) << f.name;
    if (f.nargin < 0 || f.nargout < 0) continue;
    const ValueList too_many(static_cast<std::size_t>(f.nargin + 1));
    EXPECT_EQ(call_error(table, f.name, too_many, f.nargout + 1),
              too_many_outputs_text(f.name, f.nargout));
    EXPECT_EQ(call_error(table, f.name, too_many, f.nargout),
              too_many_inputs_text(f.name, f.nargin));
  }
}

}  // namespace velmora::testing
