#include <cmath>
#include <cstdio>
#include <string>

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

}  // namespace

ImportedSample parse_native_sample(std::string_view text, std::string_view label) {
  const TextMatrix m = parse_landmarks(text, label);
  const std::size_t n = m.rows, k = m.cols / 3;
  ImportedSample sample;
  sample.format = "native";
  sample.rows.resize(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(m.cols));
  std::vector<double> xyz(3 * k);
  std::size_t differing = 0, first = 0;
  double computed_first = 0;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t c = 0; c < 3 * k; ++c) xyz[c] = m(i, c);
    const double cs = centroid_size_of_row(xyz.data(), k);
    const double given = m(i, 3 * k);
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
  return sample;
}

}  // namespace velmora::io
