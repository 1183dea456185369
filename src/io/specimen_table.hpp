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
/// separated by `delimiter` (',' — or ';' when the header holds semicolons
/// but no comma — or '\t') and optionally quoted.
///
/// The specimens are matched by name when the sample has names of its own:
/// the name column is the column whose values name the most specimens of
/// the sample (the leftmost of equals), and every specimen must have exactly
/// one row.  When every name of the sample is the generated "specimen N",
/// the rows are taken in order (a column headed name, specimen or id is then
/// left out) and the counts must agree.
///
/// A column whose values are mostly numbers is a covariate, and a value in
/// it that is not a finite number is refused; the others are factors.  A
/// missing value (empty, NA) is refused in either kind.
///
/// @param names the sample's n specimen names, in order
/// @throws FileError `"t.csv" line 7, column 3 ("age"): "1,5" uses a decimal
///   comma.`, names not found / given twice / without a row (named one by
///   one), or row counts that disagree (both counts)
SpecimenTable parse_specimen_table(std::string_view text, std::string_view label, char delimiter,
                                   const std::vector<std::string>& names);

/// Reads the specimen table at `path`: tab-separated for .tsv, .tab and
/// .txt, else comma- (or semicolon-) separated.
/// @throws FileError as parse_specimen_table, or when the file cannot be read
SpecimenTable read_specimen_table(const std::string& path, const std::vector<std::string>& names);

/// The sample's own labels (Morphologika [labels] and [groups], TPS keys)
/// as table columns: numeric labels as covariates, the others as factors.
std::vector<SpecimenColumn> label_columns(const std::vector<SpecimenLabel>& labels);

/// True when every name is the generated "specimen N" of its place.
bool generated_names(const std::vector<std::string>& names);

}  // namespace velmora::io
