#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/value/value.hpp"

namespace velmora::gui {

/// Longest valid name, in characters (names and the open-window token).
inline constexpr std::size_t kMaxNameLength = 31;

/// The 17 reserved words of the run-time's language, in their fixed order
/// ("break" … "while").
const std::vector<std::string>& keywords();

/// True when `s` is exactly one of the reserved words (case-sensitive).
bool is_keyword(std::string_view s);
/// The value form: text that is a reserved word; any other value is not.
bool iskeyword(const Value& s);

/// True when `s` is 1 to 31 characters long, begins with an ASCII letter,
/// holds only ASCII letters, digits and "_", and is not a reserved word.
bool is_valid_name(std::u16string_view s);
/// The value form: only a one-row text can be a name.
bool isvarname(const Value& s);

}  // namespace velmora::gui
