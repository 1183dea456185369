#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "io/import_formats.hpp"
#include "io/import_text.hpp"
#include "io/landmark_file.hpp"

namespace velmora::io {

namespace {

/// The size column may differ from the computed centroid size by this much
/// (relative) before a note says so: six significant digits written by other
/// programs stay quiet.
constexpr double kSizeColumnTolerance = 1e-6;

std::string g_text(double x) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", x);
  return buf;
}

/// The native text with every NA word (any case) written "00", the same
/// length, so that the matrix reader's lines and columns in messages stay
/// those of the file; `at` holds each NA's (row, column) in the matrix.
struct WithoutNa {
  std::string text;
  std::vector<std::pair<std::size_t, std::size_t>> at;
};

WithoutNa without_na(std::string_view text) {
  WithoutNa out{std::string(text), {}};
  import_text::LineReader lines(text);
  import_text::TextLine line;
  std::size_t row = 0;
  const auto separator = [](char c) { return import_text::is_blank(c) || c == ','; };
  while (lines.next(line)) {
    if (import_text::trim(line.text).empty()) {
      if (row > 0) break;  // a blank line ends the data
      continue;
    }
    std::size_t col = 0;
    for (std::size_t b = 0; b < line.text.size();) {
      while (b < line.text.size() && separator(line.text[b])) ++b;
      std::size_t e = b;
      while (e < line.text.size() && !separator(line.text[e])) ++e;
      if (e == b) break;
      if (e - b == 2 && (line.text[b] | 0x20) == 'n' && (line.text[b + 1] | 0x20) == 'a') {
        const auto offset = static_cast<std::size_t>(line.text.data() + b - text.data());
        out.text[offset] = out.text[offset + 1] = '0';
        out.at.emplace_back(row, col);
      }
      ++col;
      b = e;
    }
    ++row;
  }
  return out;
}

/// The missing landmarks of a native matrix under `missing`: the NA places
/// and the coordinates equal to the code; sorted.  Clears `size_na` rows'
/// flags for the size column.
std::vector<AbsentLandmark> native_missing(const TextMatrix& m, const WithoutNa& na,
                                           const MissingValues& missing,
                                           std::vector<char>& size_na) {
  const std::size_t k = m.cols / 3;
  std::vector<AbsentLandmark> out;
  for (const auto& [r, c] : na.at) {
    if (c < 3 * k)
      out.push_back({r, c / 3});
    else
      size_na[r] = 1;
  }
  if (missing.code) {
    for (std::size_t c = 0; c < 3 * k; ++c)
      for (std::size_t r = 0; r < m.rows; ++r)
        if (m(r, c) == *missing.code) out.push_back({r, c / 3});
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

}  // namespace

ImportedSample parse_native_sample(std::string_view text, std::string_view label,
                                   const MissingValues& missing) {
  const WithoutNa na = missing.keep ? without_na(text) : WithoutNa{};
  const TextMatrix m = parse_landmarks(missing.keep ? std::string_view(na.text) : text, label);
  const std::size_t n = m.rows, k = m.cols / 3;
  std::vector<char> size_na(n, 0);
  std::vector<AbsentLandmark> absent;
  if (missing.keep) absent = native_missing(m, na, missing, size_na);
  std::vector<char> absent_here(k, 0);
  std::size_t next_absent = 0, sizes_computed = 0;
  ImportedSample sample;
  sample.format = "native";
  sample.rows.resize(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(m.cols));
  std::vector<double> xyz(3 * k);
  std::size_t differing = 0, first = 0;
  double computed_first = 0;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t c = 0; c < 3 * k; ++c) xyz[c] = m(i, c);
    std::size_t count = 0;
    std::fill(absent_here.begin(), absent_here.end(), 0);
    for (; next_absent < absent.size() && absent[next_absent].specimen == i; ++next_absent, ++count)
      absent_here[absent[next_absent].landmark] = 1;
    if (count == k) {
      import_text::refuse_line(
          label, i + 1, "every landmark of specimen " + std::to_string(i + 1) + " is missing.");
    }
    if (count > 0) {
      Eigen::MatrixXd row = Eigen::Map<const Eigen::RowVectorXd>(xyz.data(), 3 * k);
      std::vector<AbsentLandmark> one;
      for (std::size_t j = 0; j < k; ++j)
        if (absent_here[j]) one.push_back({0, j});
      place_missing_placeholders(row, one);
      for (std::size_t c = 0; c < 3 * k; ++c) xyz[c] = row(0, static_cast<Eigen::Index>(c));
    }
    const double cs = centroid_size_of_row(xyz.data(), k);
    // A size column left NA takes the centroid size of the present landmarks.
    const double given = size_na[i] ? (++sizes_computed, cs) : m(i, 3 * k);
    if (!std::isfinite(cs)) {
      import_text::refuse_file(label, "the coordinates of specimen " + std::to_string(i + 1) +
                                          " are too large to compute its centroid size.");
    }
    if (!(std::abs(given - cs) <= kSizeColumnTolerance * cs) && differing++ == 0) {
      first = i;
      computed_first = cs;
    }
    const auto r = static_cast<Eigen::Index>(i);
    for (std::size_t c = 0; c < 3 * k; ++c) sample.rows(r, static_cast<Eigen::Index>(c)) = xyz[c];
    // The file's size column is kept as written: it may have been measured
    // before the landmarks were digitized, and the score file and UseCS
    // report it.
    sample.rows(r, static_cast<Eigen::Index>(3 * k)) = given;
    sample.names.push_back("specimen " + std::to_string(i + 1));
  }
  if (differing > 0) {
    sample.notes.push_back(in_quotes(label) +
                           ": the size column differs from the centroid size of the coordinates " +
                           "by more than 1e-6 (relative) for " + std::to_string(differing) +
                           (differing == 1 ? " specimen" : " specimens") + " (first specimen " +
                           std::to_string(first + 1) + ": " + g_text(m(first, 3 * k)) + " given, " +
                           g_text(computed_first) + " computed); Velmora keeps the given sizes.");
  }
  if (sizes_computed > 0) {
    sample.notes.push_back(in_quotes(label) + ": the size column is NA for " +
                           std::to_string(sizes_computed) +
                           (sizes_computed == 1 ? " specimen" : " specimens") +
                           "; Velmora takes the centroid size of its present landmarks.");
  }
  sample.missing = std::move(absent);
  return sample;
}

}  // namespace velmora::io
