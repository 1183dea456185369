#pragma once

#include <charconv>
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

/// `"vertex 3 has a coordinate that is not finite (inf)"`.
std::string not_finite_text(std::size_t vertex, double value);

Surface parse_ply(std::string_view bytes, const std::string& label);
Surface parse_obj(std::string_view bytes, const std::string& label);
Surface parse_stl(std::string_view bytes, const std::string& label);
Surface parse_off(std::string_view bytes, const std::string& label);

}  // namespace velmora::mesh::detail
