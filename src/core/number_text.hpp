#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>

/// The one writer of a double in the shortest text that reads back to the
/// same double (std::to_chars without a precision: C locale, "1e+14",
/// "0.1", "-2.2250738585072014e-308", "nan", "inf").  Result files, sample
/// files, the typed inputs and the run-time's exact display build on it.
namespace velmora {

/// The longest such text: "-2.2250738585072014e-308".
inline constexpr std::size_t kShortestNumberMax = 24;

/// Writes `x` at `at`, which has room for kShortestNumberMax characters;
/// returns the end.
inline char* write_shortest(char* at, double x) {
  return std::to_chars(at, at + kShortestNumberMax, x).ptr;
}

/// `x` as the shortest text that reads back to the same double.
inline std::string shortest_number(double x) {
  char buf[kShortestNumberMax];
  return std::string(buf, write_shortest(buf, x));
}

/// `x` as messages show it: a whole number below 1e15 in full, any other
/// with six significant digits; "NaN", "Inf" and "-Inf".
inline std::string message_number(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
  char buf[64];
  if (x == std::floor(x) && std::fabs(x) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", x);
  } else {
    std::snprintf(buf, sizeof buf, "%.6g", x);
  }
  return buf;
}

}  // namespace velmora
