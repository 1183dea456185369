#include "app/script_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/shown_text.hpp"

namespace velmora::app {

namespace {

/// Length of the valid UTF-8 sequence that starts at s[i], or 0.
std::size_t utf8_length(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t j) { return static_cast<unsigned char>(s[j]); };
  const unsigned char c = b(i);
  std::size_t n = 0;
  unsigned min = 0;
  unsigned code = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, min = 0x80, code = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, min = 0x800, code = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, min = 0x10000, code = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t j = 1; j < n; ++j) {
    if ((b(i + j) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (b(i + j) & 0x3F);
  }
  // Overlong forms, surrogates and code points beyond Unicode are not text.
  if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return n;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string quote_script_text(std::string_view bytes) {
  std::string out = "\"";
  for (std::size_t i = 0; i < bytes.size();) {
    const char c = bytes[i];
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u >= 0x20 && u < 0x7F) {
      out += c;
    } else if (std::size_t n = u >= 0x80 ? utf8_length(bytes, i) : 0; n > 0) {
      out.append(bytes.substr(i, n));
      i += n;
      continue;
    } else {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    }
    ++i;
  }
  return out + "\"";
}

std::string quoted_script_echo(std::string_view bytes) {
  const bool cut = bytes.size() > kShownTextBytes;
  std::size_t n = cut ? kShownTextBytes : bytes.size();
  while (cut && n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80) --n;
  const std::string quoted = quote_script_text(bytes.substr(0, n));
  return cut ? quoted.substr(0, quoted.size() - 1) + "...\"" : quoted;
}

std::optional<std::string> unquote_script_text(std::string_view quoted, std::string_view& rest,
                                               std::string& why) {
  std::string out;
  for (std::size_t i = 1; i < quoted.size(); ++i) {
    const char c = quoted[i];
    if (c == '"') {
      rest = quoted.substr(i + 1);
      return out;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == quoted.size()) break;
    switch (quoted[i]) {
      case '\\':
        out += '\\';
        break;
      case '"':
        out += '"';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        const int hi = i + 1 < quoted.size() ? hex_digit(quoted[i + 1]) : -1;
        const int lo = i + 2 < quoted.size() ? hex_digit(quoted[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
          why = "\\x must be followed by two hexadecimal digits";
          return std::nullopt;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        why = std::string("unknown escape \\") + quoted[i] +
              " in quoted text (use \\\\, \\\", \\n, \\t or \\xNN)";
        return std::nullopt;
    }
  }
  why = "the quoted text has no closing \"";
  return std::nullopt;
}

std::optional<double> number_from_text(std::string_view text, bool finite_only) {
  const std::size_t a = text.find_first_not_of(" \t\r\n");
  if (a == std::string_view::npos) return std::nullopt;
  text = text.substr(a, text.find_last_not_of(" \t\r\n") - a + 1);
  if (text[0] == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (finite_only && !std::isfinite(v)) return std::nullopt;
  return v;
}

std::vector<std::string_view> split_script_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace velmora::app
