#pragma once

#include <Eigen/Core>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
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
};

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

  /// Records `code` as missing unless an earlier landmark already is.
  void note_missing(std::size_t line, std::size_t specimen, std::size_t landmark,
                    std::string_view code);
};

/// Turns collected parts into a sample: refuses a missing landmark (naming
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
