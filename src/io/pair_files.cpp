#include "io/pair_files.hpp"

#include <charconv>
#include <map>

#include "core/errors.hpp"
#include "core/shown_text.hpp"
#include "io/text_matrix.hpp"

namespace velmora::io {

namespace {

constexpr const char* kPairRule = "a landmark pair is two landmark numbers, left right";

struct Field {
  std::string text;
  bool quoted = false;
};

// Fields apart by blanks, tabs or commas; a field in double quotes keeps
// its blanks.
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

std::string where(std::string_view label, std::size_t line) {
  return in_quotes(label) + " line " + std::to_string(line) + ": ";
}

}  // namespace

LandmarkPairs parse_landmark_pairs(std::string_view text, std::string_view label, std::size_t k) {
  LandmarkPairs out;
  std::map<std::size_t, std::size_t> pair_line;  // landmark (1-based) -> its line
  bool first = true, row_names = false;
  std::size_t line_no = 0, at = 0;
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
        // A header of three fields over rows of two numbers marks a column
        // of row names, as R's write.csv writes a matrix.
        row_names = f.size() == 3;
        continue;
      }
    }
    if (row_names || (f.size() == 3 && f.front().quoted)) f.erase(f.begin());
    if (f.size() != 2)
      throw FileError(where(label, line_no) + "found " + std::to_string(f.size()) + " numbers; " +
                      kPairRule + ".");
    std::size_t v[2] = {0, 0};
    for (int s = 0; s < 2; ++s) {
      if (!whole_number(f[s].text, v[s]) || v[s] < 1 || v[s] > k)
        throw FileError(where(label, line_no) + "\"" + shown_text(f[s].text) +
                        "\" is not a landmark number from 1 to " + std::to_string(k) + ".");
    }
    if (v[0] == v[1])
      throw FileError(where(label, line_no) + "landmark " + std::to_string(v[0]) +
                      " is paired with itself.");
    for (std::size_t x : v) {
      if (auto seen = pair_line.find(x); seen != pair_line.end())
        throw FileError(where(label, line_no) + "landmark " + std::to_string(x) +
                        " is already in the pair on line " + std::to_string(seen->second) + ".");
      pair_line[x] = line_no;
    }
    out.pairs.emplace_back(v[0] - 1, v[1] - 1);
    out.lines.push_back(line_no);
    if (end == text.size()) break;
  }
  if (out.pairs.empty())
    throw FileError(in_quotes(label) + ": the file holds no landmark numbers; " + kPairRule + ".");
  return out;
}

LandmarkPairs load_landmark_pairs(const std::string& path, std::size_t k) {
  const FileText file = FileText::read(path);
  if (!file.ok())
    throw FileError("Cannot open the file " + in_quotes(path) + ": " + file.reason() + ".");
  return parse_landmark_pairs(file.text(), path, k);
}

std::vector<std::size_t> reflection_relabelling(const LandmarkPairs& pairs, std::size_t k) {
  std::vector<std::size_t> out(k);
  for (std::size_t j = 0; j < k; ++j) out[j] = j;
  for (const auto& [left, right] : pairs.pairs) {
    if (left >= k || right >= k)
      throw NumericError("The landmark pair " + std::to_string(left + 1) + " " +
                         std::to_string(right + 1) + " names a landmark beyond the " +
                         std::to_string(k) + " of the sample.");
    out[left] = right;
    out[right] = left;
  }
  return out;
}

}  // namespace velmora::io
