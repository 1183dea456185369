#pragma once

#include <string_view>

#include "platform/value/value.hpp"
#include "shape/types.hpp"

/// Conversions between the run-time's values and the library's
/// configurations and stacks.
namespace velmora::shape {

/// A k×3×n array value (or a k×3 matrix, a stack of one) as a Stack.
/// Throws RuntimeError naming `what` for any other shape or kind.
Stack stack_from_value(const Value& v, std::string_view what);
/// As above, taking the numbers over from `v` instead of copying them.
Stack stack_from_value(Value&& v, std::string_view what);
/// The stack as a k×3×n value (moves the buffer); a stack of one becomes a
/// k×3 matrix.
Value stack_to_value(Stack s);
/// A k×3 matrix value as a configuration; throws RuntimeError naming `what`
/// otherwise.
Config config_from_value(const Value& v, std::string_view what);

}  // namespace velmora::shape
