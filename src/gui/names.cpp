#include "gui/names.hpp"

#include <algorithm>

namespace velmora::gui {

namespace {

bool is_ascii_letter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool is_ascii_digit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

}  // namespace

const std::vector<std::string>& keywords() {
  static const std::vector<std::string> list = {
      "break",  "case", "catch",     "continue",   "else",   "elseif", "end", "for",  "function",
      "global", "if",   "otherwise", "persistent", "return", "switch", "try", "while"};
  return list;
}

bool is_keyword(std::string_view s) {
  const auto& k = keywords();
  return std::find(k.begin(), k.end(), s) != k.end();
}

bool iskeyword(const Value& s) {
  return s.is_char() && !s.empty() && is_keyword(s.to_string());
}

bool is_valid_name(std::u16string_view s) {
  if (s.empty() || s.size() > kMaxNameLength || !is_ascii_letter(s.front())) return false;
  bool chars_ok = std::all_of(s.begin(), s.end(), [](char16_t c) {
    return is_ascii_letter(c) || is_ascii_digit(c) || c == u'_';
  });
  // Only ASCII is left at this point, so the conversion is exact.
  return chars_ok && !is_keyword(u16_to_utf8(s));
}

bool isvarname(const Value& s) {
  // Text values are single rows; an empty text has no rows and is no name.
  return s.is_char() && s.rows() == 1 && is_valid_name(s.chars());
}

}  // namespace velmora::gui
