#pragma once

#include <Eigen/Core>
#include <string>
#include <string_view>
#include <vector>

#include "io/imported_sample.hpp"

namespace velmora::io {

/// One column of a specimen table, in the sample's specimen order.
struct SpecimenColumn {
  std::string name;  ///< the header, as written
  /// A covariate: every value is a number.  Otherwise a factor.
  bool numeric = false;
  Eigen::VectorXd values;           ///< n numbers (covariates only)
  std::vector<std::string> levels;  ///< n texts (factors only)
};

/// Factors and covariates of a sample, one value a specimen.
struct SpecimenTable {
  std::string file_name;  ///< the file's name as messages show it
  /// The header of the column that named the specimens; empty when the rows
  /// were taken in order.
  std::string name_column;
  std::vector<SpecimenColumn> columns;
};

/// Reads a specimen table: a header row, then one row per specimen, fields
/// separated by the tab, comma or semicolon that the header line holds most
/// often outside quotes (`fallback` when it holds none), and optionally
/// quoted.
///
/// The specimens are matched by name: the name column is the column whose
/// values name the most specimens of the sample (the leftmost of equals),
/// and every specimen must have exactly one row.  When every name of the
/// sample is the generated "specimen N" and no column holds one of them, a
/// column headed name, specimen or id is the name column (and its names are
/// refused); without one, the rows are taken in order, the counts must agree
/// and `name_column` stays empty.  The rows are counted before any cell is
/// read, and more than twice as many rows as specimens are refused on the
/// count alone.
///
/// A column whose values are at least half numbers is a covariate, and a
/// value in it that is not a finite number is refused; the others are
/// factors.  A missing value (empty, NA) is refused in either kind.  A column
/// other than the name column may not be called CS (the centroid size), X
/// (the X list) or any of `label_names` (the landmark file's own labels).
///
/// @param names the sample's n specimen names, in order
/// @throws FileError `"t.csv" line 7, column 3 ("age"): "1,5" uses a decimal
///   comma.`, names not found / given twice / without a row (named one by
///   one), row counts that disagree (both counts), or a clashing name
SpecimenTable parse_specimen_table(std::string_view text, std::string_view label, char fallback,
                                   const std::vector<std::string>& names,
                                   const std::vector<std::string>& label_names = {});

/// Reads the specimen table at `path`; a header without a separator is read
/// as tab-separated for .tsv, .tab and .txt, else as comma-separated.
/// @throws FileError as parse_specimen_table, or when the file cannot be read
SpecimenTable read_specimen_table(const std::string& path, const std::vector<std::string>& names,
                                  const std::vector<std::string>& label_names = {});

/// The sample's own labels (Morphologika [labels] and [groups], TPS keys)
/// as table columns: numeric labels as covariates, the others as factors.
std::vector<SpecimenColumn> label_columns(const std::vector<SpecimenLabel>& labels);

/// True when every name is the generated "specimen N" of its place.
bool generated_names(const std::vector<std::string>& names);

}  // namespace velmora::io
