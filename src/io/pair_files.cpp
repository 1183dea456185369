#include "io/pair_files.hpp"

#include <map>

#include "core/errors.hpp"
#include "core/shown_text.hpp"
#include "io/semilandmark_files.hpp"
#include "io/text_matrix.hpp"

namespace velmora::io {

namespace {

constexpr const char* kPairRule = "a landmark pair is two landmark numbers, left right";

std::string where(std::string_view label, std::size_t line) {
  return in_quotes(label) + " line " + std::to_string(line) + ": ";
}

}  // namespace

LandmarkPairs parse_landmark_pairs(std::string_view text, std::string_view label, std::size_t k) {
  LandmarkPairs out;
  std::map<std::size_t, std::size_t> pair_line;  // landmark (1-based) -> its line
  for (const auto& [v, line_no] : landmark_number_rows(text, label, k, 2, kPairRule)) {
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
  }
  return out;
}

LandmarkPairs load_landmark_pairs(const std::string& path, std::size_t k) {
  return parse_landmark_pairs(definition_file_text(path), path, k);
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
