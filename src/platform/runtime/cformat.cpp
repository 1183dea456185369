#include "platform/runtime/cformat.hpp"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <variant>
#include <vector>

namespace velmora {

namespace {

using Atom = std::variant<double, std::string>;

void flatten(const Value& v, std::vector<Atom>& out) {
  switch (v.kind()) {
    case Value::Kind::Double:
      for (double x : v.data()) out.emplace_back(x);
      break;
    case Value::Kind::Char:
      out.emplace_back(v.to_string());
      break;
    case Value::Kind::Cell:
      for (const Value& item : v.items()) flatten(item, out);
      break;
    case Value::Kind::Struct:
      break;
  }
}

std::string snprintf_string(const std::string& spec, auto... xs) {
  int n = std::snprintf(nullptr, 0, spec.c_str(), xs...);
  if (n < 0) return {};
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(s.data(), s.size(), spec.c_str(), xs...);
  s.resize(static_cast<std::size_t>(n));
  return s;
}

std::string number_as_text(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
  return {};
}

// Formats one conversion `spec` ("%-8.3f" style, conversion letter last).
std::string convert(std::string spec, const Atom* atom) {
  char conv = spec.back();
  if (conv == 's') {
    if (!atom) return snprintf_string(spec, "");
    if (const auto* s = std::get_if<std::string>(atom)) return snprintf_string(spec, s->c_str());
    double x = std::get<double>(*atom);
    std::string t = number_as_text(x);
    if (t.empty()) t = snprintf_string(std::string(x == std::floor(x) ? "%.0f" : "%g"), x);
    return snprintf_string(spec, t.c_str());
  }
  if (!atom) return {};
  if (const auto* s = std::get_if<std::string>(atom)) {
    // Text given to a number conversion prints the text itself.
    spec.back() = 's';
    return snprintf_string(spec, s->c_str());
  }
  double x = std::get<double>(*atom);
  if (conv == 'c') return std::string(1, static_cast<char>(static_cast<int>(x)));
  std::string special = number_as_text(x);
  if (!special.empty()) {
    // Non-finite numbers print as their names in the conversion's width.
    spec = spec.substr(0, spec.find_first_of(".", 1) == std::string::npos
                              ? spec.size() - 1
                              : spec.find_first_of(".", 1));
    spec += 's';
    return snprintf_string(spec, special.c_str());
  }
  if (conv == 'd' || conv == 'i' || conv == 'u' || conv == 'x' || conv == 'X' || conv == 'o') {
    if (x != std::floor(x)) {
      // A non-integer in an integer conversion is shown in exponent form.
      spec.back() = 'e';
      return snprintf_string(spec, x);
    }
    spec.insert(spec.size() - 1, "ll");
    return snprintf_string(spec, static_cast<long long>(x));
  }
  return snprintf_string(spec, x);
}

}  // namespace

std::string cformat(std::string_view format, const ValueList& args) {
  std::vector<Atom> atoms;
  for (const Value& v : args) flatten(v, atoms);
  std::size_t next = 0;
  std::string out;
  bool first_pass = true;
  while (first_pass || next < atoms.size()) {
    bool consumed = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
      char c = format[i];
      if (c == '\\' && i + 1 < format.size()) {
        char e = format[i + 1];
        if (e == 'n') {
          out += '\n';
          ++i;
          continue;
        }
        if (e == 't') {
          out += '\t';
          ++i;
          continue;
        }
        if (e == '\\') {
          out += '\\';
          ++i;
          continue;
        }
        out += c;
        continue;
      }
      if (c != '%') {
        out += c;
        continue;
      }
      if (i + 1 < format.size() && format[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      std::size_t j = i + 1;
      while (j < format.size() && std::string_view("-+ #0").find(format[j]) != std::string::npos)
        ++j;
      while (j < format.size() &&
             (std::isdigit(static_cast<unsigned char>(format[j])) || format[j] == '.'))
        ++j;
      if (j >= format.size()) {
        out.append(format.substr(i));
        break;
      }
      std::string spec(format.substr(i, j - i + 1));
      char conv = spec.back();
      if (std::string_view("diuxXofeEgGcs").find(conv) == std::string_view::npos) {
        out.append(spec);
        i = j;
        continue;
      }
      if (!first_pass && next >= atoms.size()) return out;  // stop at the first unfilled conversion
      const Atom* atom = next < atoms.size() ? &atoms[next] : nullptr;
      if (atom) {
        ++next;
        consumed = true;
      } else if (!atoms.empty() || conv != 's') {
        // With arguments exhausted the output ends at this conversion.
        if (!atoms.empty()) return out;
      }
      out += convert(spec, atom);
      i = j;
    }
    first_pass = false;
    if (!consumed) break;
  }
  return out;
}

}  // namespace velmora
