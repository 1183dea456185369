#include "io/semilandmark_files.hpp"

#include <charconv>
#include <map>

#include "core/errors.hpp"
#include "core/shown_text.hpp"
#include "io/text_matrix.hpp"

namespace velmora::io {

namespace {

struct Field {
  std::string text;
  bool quoted = false;
};

std::vector<Field> fields_of(std::string_view line) {
  std::vector<Field> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == ',')) ++i;
    if (i >= line.size()) break;
    Field f;
    if (line[i] == '"') {
      f.quoted = true;
      const std::size_t end = line.find('"', i + 1);
      f.text = std::string(line.substr(i + 1, end == std::string_view::npos ? end : end - i - 1));
      i = end == std::string_view::npos ? line.size() : end + 1;
    } else {
      const std::size_t start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != ',') ++i;
      f.text = std::string(line.substr(start, i - start));
    }
    out.push_back(std::move(f));
  }
  return out;
}

bool whole_number(const std::string& s, std::size_t& v) {
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && end == s.data() + s.size();
}

bool is_number(const std::string& s) {
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

}  // namespace

std::vector<std::string> definition_fields(std::string_view line) {
  std::vector<std::string> out;
  for (Field& f : fields_of(line)) out.push_back(std::move(f.text));
  return out;
}

std::vector<NumberRow> landmark_number_rows(std::string_view text, std::string_view label,
                                            std::size_t k, std::size_t width, const char* what) {
  std::vector<NumberRow> rows;
  bool first = true, row_names = false;
  std::size_t line_no = 0;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<Field> f = fields_of(line);
    if (f.empty() || f.front().text.rfind('#', 0) == 0) continue;
    if (first) {
      first = false;
      bool header = false;
      for (const Field& x : f) header = header || !is_number(x.text);
      if (header) {
        row_names = f.size() == width + 1;
        continue;
      }
    }
    if (row_names || (f.size() == width + 1 && f.front().quoted)) f.erase(f.begin());
    const std::string where = in_quotes(label) + " line " + std::to_string(line_no) + ": ";
    if (f.size() != width)
      throw FileError(where + "found " + std::to_string(f.size()) + " numbers; " + what + ".");
    std::vector<std::size_t> row;
    for (const Field& x : f) {
      std::size_t v = 0;
      if (!whole_number(x.text, v) || v < 1 || v > k)
        throw FileError(where + "\"" + shown_text(x.text) +
                        "\" is not a landmark number from 1 to " + std::to_string(k) + ".");
      row.push_back(v);
    }
    rows.push_back({std::move(row), line_no});
    if (end == text.size()) break;
  }
  if (rows.empty())
    throw FileError(in_quotes(label) + ": the file holds no landmark numbers; " + what + ".");
  return rows;
}

std::string definition_file_text(const std::string& path) {
  const FileText file = FileText::read(path);
  if (!file.ok())
    throw FileError("Cannot open the file " + in_quotes(path) + ": " + file.reason() + ".");
  return std::string(file.text());
}

CurveFile parse_curve_file(std::string_view text, std::string_view label, std::size_t k) {
  CurveFile out;
  std::map<std::size_t, std::size_t> slider_line;
  for (auto& [row, line] : landmark_number_rows(
           text, label, k, 3, "a curve slider is three landmark numbers, before slider after")) {
    const std::string where = in_quotes(label) + " line " + std::to_string(line) + ": ";
    if (row[1] == row[0] || row[1] == row[2])
      throw FileError(where + "the slider " + std::to_string(row[1]) + " is its own neighbour.");
    if (row[0] == row[2])
      throw FileError(where + "the slider " + std::to_string(row[1]) + " has the one landmark " +
                      std::to_string(row[0]) + " on both sides: its tangent is undefined.");
    if (auto seen = slider_line.find(row[1]); seen != slider_line.end())
      throw FileError(where + "landmark " + std::to_string(row[1]) +
                      " is already a slider on line " + std::to_string(seen->second) + ".");
    slider_line[row[1]] = line;
    out.sliders.push_back({row[0], row[1], row[2]});
    out.lines.push_back(line);
  }
  return out;
}

CurveFile load_curve_file(const std::string& path, std::size_t k) {
  return parse_curve_file(definition_file_text(path), path, k);
}

SurfacePointFile parse_surface_point_file(std::string_view text, std::string_view label,
                                          std::size_t k) {
  SurfacePointFile out;
  std::map<std::size_t, std::size_t> seen_line;
  for (auto& [row, line] :
       landmark_number_rows(text, label, k, 1, "a surface point is one landmark number")) {
    if (auto seen = seen_line.find(row[0]); seen != seen_line.end())
      throw FileError(in_quotes(label) + " line " + std::to_string(line) + ": landmark " +
                      std::to_string(row[0]) + " is already listed on line " +
                      std::to_string(seen->second) + ".");
    seen_line[row[0]] = line;
    out.points.push_back(row[0]);
    out.lines.push_back(line);
  }
  return out;
}

SurfacePointFile load_surface_point_file(const std::string& path, std::size_t k) {
  return parse_surface_point_file(definition_file_text(path), path, k);
}

}  // namespace velmora::io
