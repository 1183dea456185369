#include "io/imported_sample.hpp"

#include <algorithm>
#include <cmath>

#include "core/errors.hpp"
#include "io/import_text.hpp"
#include "io/landmark_file.hpp"

namespace velmora::io {

namespace {

using import_text::quoted_word;
using import_text::refuse_file;
using import_text::refuse_line;

std::string default_name(std::size_t specimen) {
  return "specimen " + std::to_string(specimen);
}

/// Plain sums of squares give sizes between these with all their digits.
constexpr double kPlainSizeLow = 1e-140, kPlainSizeHigh = 1e140;

/// True when all k landmarks of a specimen coincide: its centroid size is at
/// most kCoincidentTolerance of its largest coordinate, the native reader's
/// rule.
bool on_one_point(const double* xyz, std::size_t k, double cs) {
  double largest = 0;
  for (std::size_t c = 0; c < 3 * k; ++c) largest = std::max(largest, std::abs(xyz[c]));
  return cs <= kCoincidentTolerance * largest;
}

[[noreturn]] void refuse_specimen(const SampleParts& parts, std::size_t specimen,
                                  const std::string& what) {
  const std::size_t line =
      specimen - 1 < parts.first_lines.size() ? parts.first_lines[specimen - 1] : 0;
  if (line > 0) refuse_line(parts.label, line, what);
  refuse_file(parts.label, what);
}

}  // namespace

void SampleParts::note_missing(std::size_t line, std::size_t specimen, std::size_t landmark,
                               std::string_view code) {
  if (!missing) missing = MissingLandmark{line, specimen, landmark, std::string(code)};
}

std::string specimen_text(const std::vector<std::string>& names, std::size_t specimen) {
  std::string text = default_name(specimen);
  if (specimen - 1 < names.size() && names[specimen - 1] != text)
    text += " (" + quoted_word(names[specimen - 1]) + ")";
  return text;
}

double centroid_size_of_row(const double* xyz, std::size_t k) {
  double centre[3] = {0, 0, 0};
  for (std::size_t j = 0; j < k; ++j)
    for (std::size_t d = 0; d < 3; ++d) centre[d] += xyz[3 * j + d];
  for (double& c : centre) c /= static_cast<double>(k);
  const auto sum_of_squares = [&](double unit) {
    double squares = 0;
    for (std::size_t j = 0; j < k; ++j) {
      for (std::size_t d = 0; d < 3; ++d) {
        const double e = (xyz[3 * j + d] - centre[d]) / unit;
        squares += e * e;
      }
    }
    return squares;
  };
  const double plain = std::sqrt(sum_of_squares(1.0));
  if (plain > kPlainSizeLow && plain < kPlainSizeHigh) return plain;
  // Near the limits of the doubles the squares are taken in units of the
  // largest deviation, so sizes of 1e-300 or 1e300 are measured too.
  double unit = 0;
  for (std::size_t j = 0; j < k; ++j)
    for (std::size_t d = 0; d < 3; ++d) unit = std::max(unit, std::abs(xyz[3 * j + d] - centre[d]));
  if (!(unit > 0) || !std::isfinite(unit)) return plain;
  return unit * std::sqrt(sum_of_squares(unit));
}

ImportedSample finish_sample(SampleParts&& parts) {
  const std::size_t k = parts.k;
  const std::size_t n = k == 0 ? parts.names.size() : parts.coords.size() / (3 * k);
  if (parts.names.empty())
    for (std::size_t i = 1; i <= n; ++i) parts.names.push_back(default_name(i));

  if (parts.missing) {
    const MissingLandmark& m = *parts.missing;
    const std::string what = "landmark " + std::to_string(m.landmark) + " of " +
                             specimen_text(parts.names, m.specimen) + " is missing (" +
                             quoted_word(m.code) +
                             "); every landmark must be present, Velmora does not estimate "
                             "missing landmarks.";
    if (m.line > 0) refuse_line(parts.label, m.line, what);
    refuse_file(parts.label, what);
  }
  if (n == 0) refuse_file(parts.label, "the file holds no specimen.");
  if (k == 0) refuse_file(parts.label, "the specimens hold no landmark.");
  if (k < 3) refuse_file(parts.label, "each specimen holds " + too_few_landmarks_text(k));

  std::vector<double> sizes(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double* xyz = parts.coords.data() + 3 * k * i;
    double largest = 0;
    for (std::size_t c = 0; c < 3 * k; ++c) largest = std::max(largest, std::abs(xyz[c]));
    if (too_small_to_represent(largest)) {
      refuse_specimen(parts, i + 1, too_small_text(specimen_text(parts.names, i + 1), largest));
    }
    const double cs = centroid_size_of_row(xyz, k);
    if (!std::isfinite(cs)) {
      refuse_specimen(parts, i + 1,
                      "the coordinates of " + specimen_text(parts.names, i + 1) +
                          " are too large to compute its centroid size.");
    }
    if (on_one_point(xyz, k, cs)) {
      refuse_specimen(parts, i + 1,
                      "all " + std::to_string(k) + " landmarks of " +
                          specimen_text(parts.names, i + 1) + " lie on one point.");
    }
    sizes[i] = cs;
  }

  ImportedSample sample;
  const std::size_t cols = 3 * k + 1;
  sample.rows.resize(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(cols));
  double* out = sample.rows.data();
  // Blocks of specimens keep both the row-wise reads and the column-wise
  // writes in cache.
  constexpr std::size_t kBlock = 64;
  for (std::size_t i0 = 0; i0 < n; i0 += kBlock) {
    const std::size_t i1 = std::min(n, i0 + kBlock);
    for (std::size_t c = 0; c < 3 * k; ++c)
      for (std::size_t i = i0; i < i1; ++i) out[i + n * c] = parts.coords[3 * k * i + c];
  }
  for (std::size_t i = 0; i < n; ++i) out[i + n * (cols - 1)] = sizes[i];
  sample.names = std::move(parts.names);
  sample.labels = std::move(parts.labels);
  sample.notes = std::move(parts.notes);
  sample.format = std::move(parts.format);
  return sample;
}

}  // namespace velmora::io
