#pragma once

#include <Eigen/Core>
#include <array>
#include <compare>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::io {

/// A value the file gives every specimen beside its landmarks (a column of
/// Morphologika's [labelvalues], its [groups], a TPS key such as SEX=), which
/// may serve as the independent variable when it is a number for every
/// specimen, and as a factor or a covariate of a linear model.
struct SpecimenLabel {
  std::string name;
  /// n numbers, one a specimen in file order; empty when not numeric.
  Eigen::VectorXd values;
  /// Why the label is no number list, for messages: `"B" on line 76`;
  /// empty when numeric.
  std::string not_numeric;
  /// n texts as the file writes them, one a specimen in file order.
  std::vector<std::string> texts;

  bool numeric() const { return not_numeric.empty(); }
};

/// How the readers treat a coordinate that the file does not give.
///
/// By default (keep = false) every reader refuses a missing landmark, naming
/// the specimen and the landmark.  With keep = true a coordinate written
/// `NA` (any case; an empty field of a table or a markups CSV; the NTS
/// file's own declared code; a markups JSON control point whose
/// positionStatus is "missing"), or one equal to `code`, makes its landmark
/// missing: a landmark is missing when any of its three coordinates is.
/// Without `code`, -999 and 9999 are plain numbers.  NaN, "?" and other
/// words that are no number stay refused.
struct MissingValues {
  bool keep = false;
  /// The number that stands for a missing coordinate (-999, 9999, …),
  /// compared as a number (-999.0 matches -999); only with keep.
  std::optional<double> code;
};

/// A landmark the file gives no coordinates for.
struct AbsentLandmark {
  std::size_t specimen = 0;  ///< 0-based, file order
  std::size_t landmark = 0;  ///< 0-based
  auto operator<=>(const AbsentLandmark&) const = default;
};

/// A landmark sample as any of the importers reads it, in the layout of the
/// native landmark file.
struct ImportedSample {
  /// n×(3k+1): x1 y1 z1 … xk yk zk, then the centroid size computed from
  /// these coordinates; row i = specimen i in file order.
  Eigen::MatrixXd rows;
  /// n specimen names: the file's own (ID=, row labels, [names], the first
  /// column of a table, the file name of a one-specimen file), or
  /// "specimen i" (from 1) when the format has none.
  std::vector<std::string> names;
  /// The labels the file gives every specimen (Morphologika
  /// [labels]/[labelvalues]), in file order; the numeric ones may serve as X.
  std::vector<SpecimenLabel> labels;
  /// Lines for the console: what was read differently from the file (a size
  /// column that disagrees, SCALE= applied, curves ignored…).
  std::vector<std::string> notes;
  /// "native", "TPS", "NTS", "Morphologika", "Markups CSV", "Markups JSON",
  /// "CSV table" or "TSV table".
  std::string format;
  /// A curve markup's interior points as curve sliders, in order (before,
  /// slider, after, from 1); a closed curve's every point, wrapping round.
  std::vector<std::array<std::size_t, 3>> curve_sliders;
  /// The missing landmarks (read with MissingValues::keep), ascending by
  /// specimen, then landmark; empty for a complete sample.  Each missing
  /// landmark's three coordinates in `rows` hold a placeholder, never NaN:
  /// the centroid of that specimen's present landmarks, so that the size
  /// column (computed from the coordinates) is the centroid size of the
  /// present landmarks.  A placeholder is no measurement: whoever analyses
  /// the sample must first estimate these landmarks or leave the specimens
  /// out.
  std::vector<AbsentLandmark> missing;
};

/// What a load reports about the missing landmarks, one sentence:
/// `3 specimens miss 5 landmarks: specimen 2 ("b"): landmark 4; specimen 5:
/// landmarks 1, 7; ….`; landmark numbers from 1.  Empty when none is
/// missing.
std::string missing_landmarks_text(const ImportedSample& sample);

/// Overwrites the coordinates of the missing landmarks listed in `missing`
/// with the centroid of each specimen's present landmarks (the readers'
/// placeholder), in a row of `rows` laid out as ImportedSample::rows.
void place_missing_placeholders(Eigen::MatrixXd& rows, const std::vector<AbsentLandmark>& missing);

/// The first missing landmark an importer met; refused once the names of
/// the specimens are known.
struct MissingLandmark {
  std::size_t line = 0;      ///< 0 when the format has no line to name
  std::size_t specimen = 0;  ///< from 1
  std::size_t landmark = 0;  ///< from 1
  std::string code;          ///< the text that stood for the coordinate
};

/// What an importer collects before the common checks.
struct SampleParts {
  std::string label;   ///< the file's name as messages show it
  std::string format;  ///< ImportedSample::format
  std::size_t k = 0;   ///< landmarks per specimen
  /// Row-major n×3k: x1 y1 z1 … of specimen 1, then specimen 2, …
  std::vector<double> coords;
  /// n names, or none (then "specimen i")
  std::vector<std::string> names;
  /// The line where each specimen begins, for messages (0 = none)
  std::vector<std::size_t> first_lines;
  std::vector<SpecimenLabel> labels;
  std::vector<std::string> notes;
  std::optional<MissingLandmark> missing;
  /// How missing coordinates are read.
  MissingValues missing_values;
  /// The missing landmarks kept under missing_values.keep, as noted.
  std::vector<AbsentLandmark> kept;

  /// How one coordinate word reads.
  enum class Reading {
    Value,    ///< the reader's own rules apply (a number, or a refused word)
    Missing,  ///< a missing coordinate: note it with note_missing
    Refused,  ///< a code for a missing value that is not accepted: note it
  };
  /// Classifies `word` (`number`: it parsed as the double `v`); `declared`
  /// when the file itself says the word stands for a missing value (the
  /// NTS header's code).  Without keep every missing-value code (NA, NaN,
  /// "?", -999, an empty field, a declared code) reads Missing and is
  /// refused by finish_sample, as before missing landmarks could be kept.
  Reading read_coordinate(std::string_view word, bool number, double v,
                          bool declared = false) const;

  /// Records landmark `landmark` of `specimen` (both from 1) as missing:
  /// kept when `reading` is Missing under keep, else remembered as the
  /// first refusal unless an earlier landmark already is.
  void note_missing(std::size_t line, std::size_t specimen, std::size_t landmark,
                    std::string_view code, Reading reading = Reading::Missing);
};

/// Turns collected parts into a sample: gives the kept missing landmarks
/// their placeholders and refuses a specimen with every landmark missing;
/// refuses any other missing landmark (naming
/// the specimen and the landmark), a file without specimens, specimens of
/// fewer than three landmarks, coordinates too small to represent, and a
/// specimen whose landmarks all lie on one
/// point; computes every centroid size from the coordinates.
/// @throws FileError naming parts.label (and the line where known)
ImportedSample finish_sample(SampleParts&& parts);

/// `specimen 3 ("sk03")`, or `specimen 3` when the name is the default.
std::string specimen_text(const std::vector<std::string>& names, std::size_t specimen);

/// The centroid size of one configuration: the square root of the summed
/// squared distances of its landmarks from their centroid (two passes).
/// @param xyz 3k values x1 y1 z1 … xk yk zk
double centroid_size_of_row(const double* xyz, std::size_t k);

}  // namespace velmora::io
