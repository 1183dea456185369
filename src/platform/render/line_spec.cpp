// Short line specifications ("ko", "k-.") and the graphics property names of
// markers and line styles.
#include "platform/render/line_spec.hpp"

#include <array>
#include <string>
#include <utility>

#include "platform/runtime/runtime_error.hpp"

namespace velmora::render {

namespace {

struct MarkerEntry {
  Marker marker;
  char letter;
  std::string_view name;
};

constexpr std::array<MarkerEntry, 12> kMarkers{{
    {Marker::None, '\0', "none"},
    {Marker::Circle, 'o', "o"},
    {Marker::Star5, 'p', "pentagram"},
    {Marker::Square, 's', "square"},
    {Marker::Diamond, 'd', "diamond"},
    {Marker::Plus, '+', "+"},
    {Marker::Point, '.', "."},
    {Marker::Cross, 'x', "x"},
    {Marker::Asterisk, '*', "*"},
    {Marker::TriangleUp, '^', "^"},
    {Marker::TriangleDown, 'v', "v"},
    {Marker::Hexagram, 'h', "hexagram"},
}};

// Words the graphics layer also accepts for a marker.
constexpr std::array<std::pair<std::string_view, Marker>, 7> kMarkerWords{{
    {"circle", Marker::Circle},
    {"point", Marker::Point},
    {"cross", Marker::Cross},
    {"asterisk", Marker::Asterisk},
    {"plus", Marker::Plus},
    {"p", Marker::Star5},
    {"h", Marker::Hexagram},
}};

struct StyleEntry {
  LineStyle style;
  std::string_view name;
  std::string_view word;
};

constexpr std::array<StyleEntry, 5> kStyles{{
    {LineStyle::Solid, "-", "solid"},
    {LineStyle::Dashed, "--", "dashed"},
    {LineStyle::Dotted, ":", "dotted"},
    {LineStyle::DashDot, "-.", "dashdot"},
    {LineStyle::None, "none", "none"},
}};

bool is_color_letter(char c) {
  return std::string_view("bgrcmykw").find(c) != std::string_view::npos;
}

const MarkerEntry* marker_of_letter(char c) {
  for (const MarkerEntry& e : kMarkers)
    if (e.letter == c && c != '\0') return &e;
  return nullptr;
}

}  // namespace

Rgb color_from_letter(char letter) {
  switch (letter) {
    case 'b':
      return {0, 0, 1};
    case 'g':
      return {0, 1, 0};
    case 'r':
      return {1, 0, 0};
    case 'c':
      return {0, 1, 1};
    case 'm':
      return {1, 0, 1};
    case 'y':
      return {1, 1, 0};
    case 'k':
      return {0, 0, 0};
    case 'w':
      return {1, 1, 1};
    default:
      break;
  }
  throw RuntimeError("Bad colour letter \"" + std::string(1, letter) + "\".");
}

LineSpec parse_line_spec(std::string_view spec) {
  auto bad = [&] { return RuntimeError("Bad line specification \"" + std::string(spec) + "\"."); };
  LineSpec out;
  bool has_style = false, has_marker = false;
  std::size_t i = 0;
  while (i < spec.size()) {
    char c = spec[i];
    if (c == '-' || c == ':') {
      if (has_style) throw bad();
      has_style = true;
      if (c == ':') {
        out.style = LineStyle::Dotted;
      } else if (i + 1 < spec.size() && spec[i + 1] == '-') {
        out.style = LineStyle::Dashed;
        ++i;
      } else if (i + 1 < spec.size() && spec[i + 1] == '.') {
        out.style = LineStyle::DashDot;
        ++i;
      } else {
        out.style = LineStyle::Solid;
      }
    } else if (is_color_letter(c)) {
      if (out.color) throw bad();
      out.color = color_from_letter(c);
    } else if (const MarkerEntry* m = marker_of_letter(c)) {
      if (has_marker) throw bad();
      has_marker = true;
      out.marker = m->marker;
    } else {
      throw bad();
    }
    ++i;
  }
  if (has_marker && !has_style) out.style = LineStyle::None;
  if (!has_style && !has_marker) out.style = LineStyle::Solid;
  return out;
}

std::string_view marker_name(Marker marker) {
  for (const MarkerEntry& e : kMarkers)
    if (e.marker == marker) return e.name;
  return "none";
}

std::string_view line_style_name(LineStyle style) {
  for (const StyleEntry& e : kStyles)
    if (e.style == style) return e.name;
  return "none";
}

Marker parse_marker_name(std::string_view name) {
  for (const MarkerEntry& e : kMarkers)
    if (e.name == name || (name.size() == 1 && e.letter == name[0])) return e.marker;
  for (const auto& [word, marker] : kMarkerWords)
    if (word == name) return marker;
  throw RuntimeError("Bad marker \"" + std::string(name) + "\".");
}

LineStyle parse_line_style_name(std::string_view name) {
  for (const StyleEntry& e : kStyles)
    if (e.name == name || e.word == name) return e.style;
  throw RuntimeError("Bad line style \"" + std::string(name) + "\".");
}

}  // namespace velmora::render
