#include "core/shown_text.hpp"

namespace velmora {

std::string shown_text(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return shown_name(text);
  std::size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return shown_name(text.substr(0, n)) + "...";
}

std::string shown_lines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t end; (end = text.find_first_of("\n\t", start)) != std::string_view::npos;
       start = end + 1) {
    out += shown_name(text.substr(start, end - start));
    out += text[end];
  }
  return out + shown_name(text.substr(start));
}

std::string lower_text(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace velmora
