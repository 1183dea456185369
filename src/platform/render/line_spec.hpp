#pragma once

#include <optional>
#include <string_view>

namespace velmora::render {

/// The shape drawn at every data point of a line.
enum class Marker {
  None,
  Circle,
  Star5,  ///< five-pointed star, "p" / "pentagram"
  Square,
  Diamond,
  Plus,
  Point,
  Cross,
  Asterisk,
  TriangleUp,
  TriangleDown,
  Hexagram
};

/// How the segments between data points are stroked.
enum class LineStyle { None, Solid, Dashed, Dotted, DashDot };

/// A colour with components in [0, 1].
struct Rgb {
  double r, g, b;
};

/// A parsed short line specification such as "ko" or "k-.".
struct LineSpec {
  std::optional<Rgb> color;  ///< nullopt: no colour letter was given
  Marker marker = Marker::None;
  LineStyle style = LineStyle::Solid;
};

/// Parses a line specification made of at most one colour letter
/// (b g r c m y k w), one marker letter (o p s d + . x * ^ v h) and one line
/// style ("-", "--", ":", "-.") in any order.  A marker without a line style
/// gives markers only; otherwise a line without markers is drawn.
/// Throws RuntimeError `Bad line specification "<spec>".` for anything else.
LineSpec parse_line_spec(std::string_view spec);

/// The graphics property value for a marker: "none", "o", "pentagram",
/// "square", "diamond", "+", ".", "x", "*", "^", "v", "hexagram".
std::string_view marker_name(Marker marker);

/// The graphics property value for a line style: "-", "--", ":", "-.", "none".
std::string_view line_style_name(LineStyle style);

/// Inverse of marker_name; also accepts the one-letter forms ("p", "s", "d",
/// "h") and the words "circle", "point", "cross", "asterisk", "plus".
/// Throws RuntimeError naming the value when it is unknown.
Marker parse_marker_name(std::string_view name);

/// Inverse of line_style_name; also accepts "solid", "dashed", "dotted",
/// "dashdot".  Throws RuntimeError naming the value when it is unknown.
LineStyle parse_line_style_name(std::string_view name);

/// The colour of a colour letter b g r c m y k w.  Throws RuntimeError for
/// another letter.
Rgb color_from_letter(char letter);

}  // namespace velmora::render
