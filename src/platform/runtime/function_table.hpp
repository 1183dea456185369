#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/value/value.hpp"

namespace velmora {

/// Declared argument counts: n >= 0 is a fixed count; the negative codes
/// allow any number (kAny), one fixed then any (kOnePlus), three fixed then
/// any (kThreePlus).  Only fixed counts limit a call.
inline constexpr int kAny = -1;
inline constexpr int kOnePlus = -2;
inline constexpr int kThreePlus = -4;

/// The call-by-name entry point: the inputs given (fewer than declared is
/// allowed) and the number of outputs requested.
using NamedFunction = std::function<ValueList(const ValueList& args, int nargout)>;

struct FunctionSpec {
  std::string name;
  NamedFunction entry;
  int nargin = kAny;
  int nargout = kAny;
};

/// The table of functions callable by name.  Its entries keep the order the
/// program sets (set_order) whatever order the modules add them in; names
/// outside that order follow, in the order they were added.
class FunctionTable {
 public:
  /// Adds or replaces the entry of `spec.name`.
  void add(FunctionSpec spec);
  /// Sorts the entries, present and future, by their place in `order`.
  void set_order(std::vector<std::string> order);
  const FunctionSpec* find(std::string_view name) const;
  const std::vector<FunctionSpec>& entries() const { return entries_; }

  /// Calls `name`: refuses too many outputs, then too many inputs, before
  /// the body runs; an unknown name is an undefined-function error.  A
  /// memory failure inside the body becomes a RuntimeError naming the
  /// innermost function called by name (out_of_memory_text).
  ValueList call(std::string_view name, const ValueList& args, int nargout) const;

 private:
  std::size_t rank_of(std::string_view name) const;

  std::vector<FunctionSpec> entries_;
  std::vector<std::string> order_;
};

/// The process-wide table.
FunctionTable& function_table();

/// A call by a name the user typed (command line, batch `call`): the
/// declared counts are checked as for any call by name.
inline ValueList call_by_name(std::string_view name, const ValueList& args, int nargout) {
  return function_table().call(name, args, nargout);
}
/// The declaration of a function the user named; nullptr when there is none.
inline const FunctionSpec* find_by_name(std::string_view name) {
  return function_table().find(name);
}

/// "Run-time Error: File: NAME Line: 1 Column: 1 " – the prefix of the
/// run-time's own refusals.
std::string runtime_error_prefix(std::string_view function);
std::string too_many_inputs_text(std::string_view function, int declared);
std::string too_many_outputs_text(std::string_view function, int declared);
std::string undefined_function_text(std::string_view function);
/// "There is not enough memory to finish STEP." – a memory failure in the
/// named function or action.
std::string out_of_memory_text(std::string_view step);
std::string undefined_input_text(std::string_view function, std::string_view input);

/// Input `i` of a call, or a run-time error naming the missing input.
const Value& arg(const ValueList& args, std::size_t i, std::string_view function,
                 std::string_view input_name);
inline bool has_arg(const ValueList& args, std::size_t i) {
  return i < args.size();
}

}  // namespace velmora
