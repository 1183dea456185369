#include "io/imported_sample.hpp"

#include <algorithm>
#include <cmath>

#include "core/errors.hpp"
#include "core/shown_text.hpp"
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

SampleParts::Reading SampleParts::read_coordinate(std::string_view word, bool number, double v,
                                                  bool declared) const {
  if (!missing_values.keep) {
    const bool code = declared || word.empty() || (number && (v == -999.0 || std::isnan(v))) ||
                      (!number && import_text::is_missing_code(word));
    return code ? Reading::Missing : Reading::Value;
  }
  if (declared || word.empty() || lower_text(word) == "na") return Reading::Missing;
  if (number && std::isfinite(v))
    return missing_values.code && v == *missing_values.code ? Reading::Missing : Reading::Value;
  if ((number && std::isnan(v)) || (!number && import_text::is_missing_code(word)))
    return Reading::Refused;
  return Reading::Value;
}

void SampleParts::note_missing(std::size_t line, std::size_t specimen, std::size_t landmark,
                               std::string_view code, Reading reading) {
  if (reading == Reading::Missing && missing_values.keep) {
    const AbsentLandmark at{specimen - 1, landmark - 1};
    if (kept.empty() || kept.back() != at) kept.push_back(at);
    return;
  }
  if (!missing) missing = MissingLandmark{line, specimen, landmark, std::string(code)};
}

namespace {

/// The placeholders of one specimen's missing landmarks: the centroid of its
/// present ones.  `xyz` holds x1 y1 z1 … xk yk zk; `absent` flags landmarks.
void fill_placeholders(double* xyz, std::size_t k, const std::vector<char>& absent) {
  double centre[3] = {0, 0, 0};
  std::size_t present = 0;
  for (std::size_t j = 0; j < k; ++j) {
    if (absent[j]) continue;
    ++present;
    for (std::size_t d = 0; d < 3; ++d) centre[d] += xyz[3 * j + d];
  }
  for (double& c : centre) c = present > 0 ? c / static_cast<double>(present) : 0.0;
  for (std::size_t j = 0; j < k; ++j)
    if (absent[j])
      for (std::size_t d = 0; d < 3; ++d) xyz[3 * j + d] = centre[d];
}

std::string landmark_list(const std::vector<std::size_t>& landmarks) {
  std::string text = landmarks.size() == 1 ? "landmark " : "landmarks ";
  for (std::size_t j = 0; j < landmarks.size(); ++j)
    text += (j > 0 ? ", " : "") + std::to_string(landmarks[j] + 1);
  return text;
}

}  // namespace

void place_missing_placeholders(Eigen::MatrixXd& rows, const std::vector<AbsentLandmark>& missing) {
  const std::size_t k = static_cast<std::size_t>(rows.cols()) / 3;
  std::vector<double> xyz(3 * k);
  for (std::size_t a = 0; a < missing.size();) {
    const std::size_t i = missing[a].specimen;
    std::vector<char> absent(k, 0);
    for (; a < missing.size() && missing[a].specimen == i; ++a) absent[missing[a].landmark] = 1;
    const auto r = static_cast<Eigen::Index>(i);
    for (std::size_t c = 0; c < 3 * k; ++c) xyz[c] = rows(r, static_cast<Eigen::Index>(c));
    fill_placeholders(xyz.data(), k, absent);
    for (std::size_t c = 0; c < 3 * k; ++c) rows(r, static_cast<Eigen::Index>(c)) = xyz[c];
  }
}

std::string missing_landmarks_text(const ImportedSample& sample) {
  if (sample.missing.empty()) return {};
  std::string list;
  std::size_t specimens = 0;
  for (std::size_t a = 0; a < sample.missing.size();) {
    const std::size_t i = sample.missing[a].specimen;
    std::vector<std::size_t> landmarks;
    for (; a < sample.missing.size() && sample.missing[a].specimen == i; ++a)
      landmarks.push_back(sample.missing[a].landmark);
    list += (specimens++ > 0 ? "; " : "") + specimen_text(sample.names, i + 1) + ": " +
            landmark_list(landmarks);
  }
  const std::size_t n = sample.missing.size();
  return std::to_string(specimens) + (specimens == 1 ? " specimen misses " : " specimens miss ") +
         std::to_string(n) + (n == 1 ? " landmark: " : " landmarks: ") + list + ".";
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
    const std::string what =
        "landmark " + std::to_string(m.landmark) + " of " + specimen_text(parts.names, m.specimen) +
        " is missing (" + quoted_word(m.code) +
        (parts.missing_values.keep
             ? "), which Velmora does not read as a missing value: write NA, or the number set "
               "as the missing-value code."
             : "); every landmark must be present, Velmora does not estimate missing landmarks.");
    if (m.line > 0) refuse_line(parts.label, m.line, what);
    refuse_file(parts.label, what);
  }
  if (n == 0) refuse_file(parts.label, "the file holds no specimen.");
  if (k == 0) refuse_file(parts.label, "the specimens hold no landmark.");
  if (k < 3) refuse_file(parts.label, "each specimen holds " + too_few_landmarks_text(k));

  std::sort(parts.kept.begin(), parts.kept.end());
  parts.kept.erase(std::unique(parts.kept.begin(), parts.kept.end()), parts.kept.end());
  for (std::size_t a = 0; a < parts.kept.size();) {
    const std::size_t i = parts.kept[a].specimen;
    std::vector<char> absent(k, 0);
    std::size_t count = 0;
    for (; a < parts.kept.size() && parts.kept[a].specimen == i; ++a, ++count)
      absent[parts.kept[a].landmark] = 1;
    if (count == k) {
      refuse_specimen(parts, i + 1,
                      "every landmark of " + specimen_text(parts.names, i + 1) + " is missing.");
    }
    fill_placeholders(parts.coords.data() + 3 * k * i, k, absent);
  }

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
  sample.missing = std::move(parts.kept);
  return sample;
}

}  // namespace velmora::io
