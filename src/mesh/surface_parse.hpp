#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/surface.hpp"

/// What the surface readers share: the text scanner, the messages and the
/// surface being built.  Used by the readers' own files only.
namespace velmora::mesh::detail {

/// `"label"` as messages show a file name.
std::string quoted(const std::string& label);

/// Throws io::FileError `"label" line N: what`.
[[noreturn]] void fail_line(const std::string& label, long long line, const std::string& what);
/// Throws io::FileError `"label": what`.
[[noreturn]] void fail(const std::string& label, const std::string& what);

/// Splits text into lines (LF or CR LF), counting them from 1.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  /// The next line without its end; false at the end of the text.
  bool next(std::string_view& line);
  long long number() const { return number_; }
  std::size_t offset() const { return pos_ < text_.size() ? pos_ : text_.size(); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  long long number_ = 0;
};

/// The blank-separated words of one line (a '#' starts a comment when
/// `comments`).
std::vector<std::string_view> words(std::string_view line, bool comments);

/// Parses a whole word as a number; false when it is not one.
bool parse_double(std::string_view word, double& value);
bool parse_integer(std::string_view word, long long& value);

/// Vertices, colours and triangles as a reader collects them.
struct Builder {
  std::vector<double> xyz;
  std::vector<double> normals;
  std::vector<std::uint8_t> rgb;
  std::vector<std::int32_t> corners;

  std::size_t vertex_count() const { return xyz.size() / 3; }
  /// Appends the fan of a polygon (first corner to each later edge).
  void add_polygon(const std::int32_t* index, std::size_t n) {
    for (std::size_t i = 1; i + 1 < n; ++i) {
      corners.push_back(index[0]);
      corners.push_back(index[i]);
      corners.push_back(index[i + 1]);
    }
  }
  /// The surface, refused when it has no vertices or no triangles.
  Surface finish(const std::string& label);
};

/// A colour channel given as 0–1 as 0–255 (rounded, clamped).
std::uint8_t unit_to_byte(double v);

/// The largest coordinate a surface may have, in size: the largest 32-bit
/// float (3.40282e+38).  Binary PLY and STL files store coordinates as such
/// floats, so a surface beyond it could not be saved; within it, a squared
/// distance between two vertices (at most 1.4e+78) summed over any mesh
/// stays far below the largest double (1.8e+308), so sizes and radii of a
/// surface are finite.
inline constexpr double kLargestCoordinate = 3.4028234663852886e38;

/// Whether a surface may have the coordinate `value` (false for NaN and Inf).
inline bool coordinate_ok(double value) {
  return std::fabs(value) <= kLargestCoordinate;
}

/// Why `who` ("vertex 3", "facet 2") may not have the coordinate `value`,
/// one that coordinate_ok refuses: `"vertex 3 has a coordinate that is not
/// finite (Inf)."`, or the value and the range.
std::string coordinate_fault(const std::string& who, double value);

/// `text` without a UTF-8 byte-order mark at its start.
std::string_view without_bom(std::string_view text);

Surface parse_ply(std::string_view bytes, const std::string& label);
Surface parse_obj(std::string_view bytes, const std::string& label);
Surface parse_stl(std::string_view bytes, const std::string& label);
Surface parse_off(std::string_view bytes, const std::string& label);

}  // namespace velmora::mesh::detail
