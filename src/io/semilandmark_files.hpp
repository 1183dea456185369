#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::io {

/// A semilandmark definition file as read: landmark numbers from 1, and
/// the line of the file each entry came from.
struct CurveFile {
  std::vector<std::array<std::size_t, 3>> sliders;  ///< before, slider, after
  std::vector<std::size_t> lines;
};
struct SurfacePointFile {
  std::vector<std::size_t> points;
  std::vector<std::size_t> lines;
};

/// Reads a curve file for LoadCurves: one slider a line, three landmark
/// numbers `before slider after` apart by blanks or commas.  A first line
/// that is not numbers is a header; a header with one more field than the
/// rows' numbers, or quoted first fields, mark a column of row names (as
/// R's write.csv writes a matrix), which is left out.  Blank lines and
/// lines from '#' are skipped.
/// @throws FileError naming the file, the line and the value: not a whole
///   landmark number from 1 to k, a line of other than three numbers, a
///   slider that is its own neighbour or whose neighbours are one landmark,
///   a slider listed twice, no slider at all
CurveFile parse_curve_file(std::string_view text, std::string_view label, std::size_t k);
CurveFile load_curve_file(const std::string& path, std::size_t k);

/// Reads a surface point file for LoadSurfacePoints: one landmark number a
/// line, with the same header and row-name rules.
/// @throws FileError as parse_curve_file, and for a point listed twice
SurfacePointFile parse_surface_point_file(std::string_view text, std::string_view label,
                                          std::size_t k);
SurfacePointFile load_surface_point_file(const std::string& path, std::size_t k);

/// What the landmark definition files (curves, surface points, landmark
/// pairs, partitions) share.
/// The fields of one line, apart by blanks, tabs or commas; a field in
/// double quotes is kept whole, without them.
std::vector<std::string> definition_fields(std::string_view line);
/// The rows of `width` landmark numbers of a definition file, each with its
/// line, under the header and row-name rules of parse_curve_file; `what`
/// ends the messages ("a curve slider is three landmark numbers, …").
/// @throws FileError naming the file, the line and the value
struct NumberRow {
  std::vector<std::size_t> numbers;
  std::size_t line = 0;
};
std::vector<NumberRow> landmark_number_rows(std::string_view text, std::string_view label,
                                            std::size_t k, std::size_t width, const char* what);
/// The text of a definition file.
/// @throws FileError "Cannot open the file …" with the reason
std::string definition_file_text(const std::string& path);

}  // namespace velmora::io
