#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "core/errors.hpp"
#include "core/file_bytes.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "mesh/surface.hpp"
#include "mesh/surface_parse.hpp"

namespace velmora::mesh {
namespace detail {

std::string quoted(const std::string& label) {
  return "\"" + shown_name(label) + "\"";
}

void fail_line(const std::string& label, long long line, const std::string& what) {
  throw io::FileError(quoted(label) + " line " + std::to_string(line) + ": " + what);
}

void fail(const std::string& label, const std::string& what) {
  throw io::FileError(quoted(label) + ": " + what);
}

bool Lines::next(std::string_view& line) {
  if (pos_ >= text_.size()) return false;
  std::size_t end = text_.find('\n', pos_);
  if (end == std::string_view::npos) end = text_.size();
  line = text_.substr(pos_, end - pos_);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos_ = end + 1;
  ++number_;
  return true;
}

std::vector<std::string_view> words(std::string_view line, bool comments) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\f' ||
                               line[i] == '\v' || line[i] == '\r'))
      ++i;
    if (i >= line.size() || (comments && line[i] == '#')) break;
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\f' &&
           line[j] != '\v' && line[j] != '\r')
      ++j;
    out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

bool parse_double(std::string_view word, double& value) {
  if (!word.empty() && word.front() == '+') word.remove_prefix(1);
  const char* end = word.data() + word.size();
  auto [ptr, ec] = std::from_chars(word.data(), end, value);
  return ec == std::errc() && ptr == end && !word.empty();
}

bool parse_integer(std::string_view word, long long& value) {
  if (!word.empty() && word.front() == '+') word.remove_prefix(1);
  const char* end = word.data() + word.size();
  auto [ptr, ec] = std::from_chars(word.data(), end, value);
  return ec == std::errc() && ptr == end && !word.empty();
}

std::uint8_t unit_to_byte(double v) {
  const double b = std::round(v * 255.0);
  return static_cast<std::uint8_t>(b < 0 ? 0 : b > 255 ? 255 : b);
}

std::string coordinate_fault(const std::string& who, double value) {
  if (!std::isfinite(value))
    return who + " has a coordinate that is not finite (" + message_number(value) + ").";
  return who + " has the coordinate " + message_number(value) + ", beyond the ±" +
         message_number(kLargestCoordinate) + " a surface may hold (the range of a 32-bit float).";
}

std::string_view without_bom(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

Surface Builder::finish(const std::string& label) {
  const auto n = static_cast<Eigen::Index>(vertex_count());
  if (n == 0) fail(label, "the file holds no vertices: a surface needs at least one triangle.");
  const auto m = static_cast<Eigen::Index>(corners.size() / 3);
  if (m == 0) fail(label, "the file holds no faces: a surface needs at least one triangle.");
  Surface s;
  s.vertices =
      Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, 3, Eigen::RowMajor>>(xyz.data(), n, 3);
  s.triangles = Eigen::Map<const Eigen::Matrix<std::int32_t, Eigen::Dynamic, 3, Eigen::RowMajor>>(
      corners.data(), m, 3);
  if (rgb.size() == xyz.size()) {
    s.colours = Eigen::Map<const Eigen::Matrix<std::uint8_t, Eigen::Dynamic, 3, Eigen::RowMajor>>(
        rgb.data(), n, 3);
  }
  if (normals.size() == xyz.size()) {
    s.normals = Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, 3, Eigen::RowMajor>>(
        normals.data(), n, 3);
  }
  return s;
}

namespace {

/// The vertex `word` names in a face of an OBJ file ("7", "7/2", "-1//3")
/// as a zero-based index; `seen` vertices come before the face.
bool obj_index(std::string_view word, std::size_t seen, long long& index) {
  word = word.substr(0, word.find('/'));
  if (!parse_integer(word, index) || index == 0) return false;
  index = index > 0 ? index - 1 : static_cast<long long>(seen) + index;
  return true;
}

}  // namespace

Surface parse_obj(std::string_view bytes, const std::string& label) {
  bytes = without_bom(bytes);
  Builder b;
  std::vector<double> colours;  // 0–1, for the vertices that give them
  std::size_t coloured = 0;
  std::vector<long long> face_lines;  // the line of each triangle's polygon
  std::vector<std::int32_t> polygon;
  Lines lines(bytes);
  std::string_view line;
  while (lines.next(line)) {
    const auto w = words(line, true);
    if (w.empty()) continue;
    if (w[0] == "v") {
      if (w.size() < 4)
        fail_line(label, lines.number(),
                  "a vertex needs three coordinates, and this one has " +
                      std::to_string(w.size() - 1) + ".");
      double xyz[3];
      for (int c = 0; c < 3; ++c) {
        if (!parse_double(w[1 + c], xyz[c]))
          fail_line(label, lines.number(), "\"" + shown_text(w[1 + c]) + "\" is not a number.");
        if (!coordinate_ok(xyz[c]))
          fail_line(label, lines.number(),
                    coordinate_fault("vertex " + std::to_string(b.vertex_count()), xyz[c]));
        b.xyz.push_back(xyz[c]);
      }
      if (w.size() >= 7) {
        double rgb[3];
        bool ok = true;
        for (int c = 0; c < 3; ++c) ok = ok && parse_double(w[4 + c], rgb[c]);
        if (ok) {
          colours.resize(b.xyz.size(), 0.0);
          std::copy(rgb, rgb + 3, colours.end() - 3);
          ++coloured;
        }
      }
    } else if (w[0] == "f") {
      if (w.size() < 4)
        fail_line(label, lines.number(),
                  "a face needs at least 3 corners, and this one has " +
                      std::to_string(w.size() - 1) + ".");
      polygon.clear();
      for (std::size_t i = 1; i < w.size(); ++i) {
        long long index = 0;
        if (!obj_index(w[i], b.vertex_count(), index))
          fail_line(label, lines.number(),
                    "\"" + shown_text(w[i]) + "\" is no vertex number (they count from 1).");
        if (index < 0 || index > INT32_MAX)
          fail_line(label, lines.number(),
                    "the face names vertex " + shown_text(w[i].substr(0, w[i].find('/'))) +
                        ", which comes before the first vertex.");
        polygon.push_back(static_cast<std::int32_t>(index));
      }
      const std::size_t before = b.corners.size();
      b.add_polygon(polygon.data(), polygon.size());
      face_lines.insert(face_lines.end(), (b.corners.size() - before) / 3, lines.number());
    }
  }
  // Faces may name vertices given further down the file.
  const auto n = static_cast<std::int32_t>(b.vertex_count());
  for (std::size_t i = 0; i < b.corners.size(); ++i) {
    if (b.corners[i] >= n)
      fail_line(label, face_lines[i / 3],
                "the face names vertex " + std::to_string(b.corners[i] + 1) +
                    ", but the file has only " + std::to_string(n) + " vertices.");
  }
  if (coloured == b.vertex_count() && coloured > 0) {
    for (double c : colours) b.rgb.push_back(unit_to_byte(c));
  }
  return b.finish(label);
}

Surface parse_off(std::string_view bytes, const std::string& label) {
  Lines lines(without_bom(bytes));
  std::string_view line;
  std::vector<std::string_view> w;
  auto next_words = [&]() {
    while (lines.next(line)) {
      w = words(line, true);
      if (!w.empty()) return true;
    }
    return false;
  };
  if (!next_words()) fail(label, "the file is empty.");
  const std::string_view key = w[0];
  const bool has_normals = key.find('N') != std::string_view::npos;
  const bool has_colours = key.find('C') != std::string_view::npos;
  if (key.size() < 3 || key.substr(key.size() - 3) != "OFF" ||
      key.find_first_not_of("CN") < key.size() - 3)
    fail_line(label, lines.number(),
              "an OFF file begins with OFF, and this one with \"" + shown_text(key) + "\".");
  w.erase(w.begin());
  if (w.empty() && !next_words()) fail(label, "the file ends before its vertex and face counts.");
  long long nv = 0, nf = 0;
  if (w.size() < 2 || !parse_integer(w[0], nv) || !parse_integer(w[1], nf) || nv < 0 || nf < 0 ||
      nv > INT32_MAX || nf > INT32_MAX)
    fail_line(label, lines.number(), "expected the vertex, face and edge counts.");
  Builder b;
  b.xyz.reserve(3 * std::min(static_cast<std::size_t>(nv), bytes.size()));
  const std::size_t values = 3 + (has_normals ? 3 : 0);
  for (long long v = 0; v < nv; ++v) {
    if (!next_words())
      fail(label, "the file ends after " + std::to_string(v) + " of the " + std::to_string(nv) +
                      " vertices its header declares.");
    if (w.size() < values)
      fail_line(label, lines.number(),
                "vertex " + std::to_string(v) + " needs " + std::to_string(values) +
                    " numbers, and has " + std::to_string(w.size()) + ".");
    double x[6];
    for (std::size_t c = 0; c < values; ++c) {
      if (!parse_double(w[c], x[c]))
        fail_line(label, lines.number(), "\"" + shown_text(w[c]) + "\" is not a number.");
    }
    for (int c = 0; c < 3; ++c) {
      if (!coordinate_ok(x[c]))
        fail_line(label, lines.number(), coordinate_fault("vertex " + std::to_string(v), x[c]));
      b.xyz.push_back(x[c]);
      if (has_normals) b.normals.push_back(x[3 + c]);
    }
    if (has_colours && w.size() >= values + 3) {
      double rgb[3];
      bool ints = true;
      for (int c = 0; c < 3; ++c) {
        if (!parse_double(w[values + c], rgb[c]))
          fail_line(label, lines.number(),
                    "\"" + shown_text(w[values + c]) + "\" is not a colour.");
        ints = ints && w[values + c].find('.') == std::string_view::npos;
      }
      for (int c = 0; c < 3; ++c) {
        b.rgb.push_back(ints ? static_cast<std::uint8_t>(std::clamp(rgb[c], 0.0, 255.0))
                             : unit_to_byte(rgb[c]));
      }
    }
  }
  std::vector<std::int32_t> polygon;
  for (long long f = 0; f < nf; ++f) {
    if (!next_words())
      fail(label, "the file ends after " + std::to_string(f) + " of the " + std::to_string(nf) +
                      " faces its header declares.");
    long long corners = 0;
    if (!parse_integer(w[0], corners) || corners < 3)
      fail_line(
          label, lines.number(),
          "face " + std::to_string(f) + " must begin with its number of corners, at least 3.");
    if (static_cast<long long>(w.size()) < corners + 1)
      fail_line(label, lines.number(),
                "face " + std::to_string(f) + " declares " + std::to_string(corners) +
                    " corners and lists " + std::to_string(w.size() - 1) + ".");
    polygon.clear();
    for (long long i = 1; i <= corners; ++i) {
      long long index = -1;
      if (!parse_integer(w[i], index) || index < 0 || index >= nv)
        fail_line(label, lines.number(),
                  "face " + std::to_string(f) + " names vertex " + std::string(w[i]) +
                      ", but the file has " + std::to_string(nv) + " vertices (0 to " +
                      std::to_string(nv - 1) + ").");
      polygon.push_back(static_cast<std::int32_t>(index));
    }
    b.add_polygon(polygon.data(), polygon.size());
  }
  return b.finish(label);
}

}  // namespace detail

namespace {

std::string lower_extension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

constexpr const char* kKnownExtensions = ".ply, .obj, .stl or .off";

}  // namespace

Surface parse_surface(std::string_view bytes, std::string_view extension,
                      const std::string& label) {
  if (extension == "ply") return detail::parse_ply(bytes, label);
  if (extension == "obj") return detail::parse_obj(bytes, label);
  if (extension == "stl") return detail::parse_stl(bytes, label);
  if (extension == "off") return detail::parse_off(bytes, label);
  detail::fail(label, "a surface file ends in " + std::string(kKnownExtensions) + ".");
}

bool is_surface_file(const std::string& path) {
  const std::string ext = lower_extension(path);
  return ext == "ply" || ext == "obj" || ext == "stl" || ext == "off";
}

Surface read_surface(const std::string& path) {
  const std::string label = std::filesystem::path(path).filename().string();
  const std::string ext = lower_extension(path);
  if (!is_surface_file(path))
    detail::fail(label, "a surface file ends in " + std::string(kKnownExtensions) + ".");
  FileBytes file = read_regular_file(path);
  if (!file.ok)
    throw io::FileError("Cannot open the file " + detail::quoted(path) + ": " + file.reason + ".");
  return parse_surface(file.bytes, ext, label);
}

SurfaceFormat format_for_saving(const std::string& path) {
  const std::string ext = lower_extension(path);
  if (ext == "ply") return SurfaceFormat::PlyBinary;
  if (ext == "obj") return SurfaceFormat::Obj;
  if (ext == "stl") return SurfaceFormat::StlBinary;
  if (ext == "off") return SurfaceFormat::Off;
  detail::fail(std::filesystem::path(path).filename().string(),
               "a surface is saved as " + std::string(kKnownExtensions) + ".");
}

}  // namespace velmora::mesh
