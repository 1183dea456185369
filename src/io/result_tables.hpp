#pragma once

#include <Eigen/Core>
#include <span>
#include <string>
#include <vector>

#include "io/result_files.hpp"

namespace velmora::io {

// Result files as CSV tables that statistics packages read with their
// names: a header row, and the specimen's name first on every row that is
// a specimen (R's read.csv(f, row.names = 1), pandas' read_csv(f,
// index_col=0)).  Numbers are written as in the plain result files.

/// The names of the columns of a score matrix with `columns` columns
/// (3p + 5): PW1x, PW1y, PW1z, … PWpz for the partial warps, then the
/// uniform components U1, U2, U3, T1, T2.
/// @throws NumericError when `columns` is not 3p + 5 for some p ≥ 0
std::vector<std::string> score_names(Eigen::Index columns);

/// The scores: "specimen", the score names, "CS"; one row a specimen.
/// @throws NumericError when the names, scores and sizes do not match
std::string score_table_text(const std::vector<std::string>& names,
                             const Eigen::Ref<const Eigen::MatrixXd>& scores,
                             std::span<const double> centroid_sizes,
                             NumberFormat format = NumberFormat::SixDigits);

/// The principal component scores: "specimen", "PC1" … ; one row a
/// specimen, then the row "variance" of the components' variances.
/// @throws NumericError when the names, scores and variances do not match
std::string pca_table_text(const std::vector<std::string>& names,
                           const Eigen::Ref<const Eigen::MatrixXd>& scores,
                           std::span<const double> variances,
                           NumberFormat format = NumberFormat::SixDigits);

/// The reference: "landmark,x,y,z", then one row a landmark, numbered from 1.
/// @throws NumericError when the reference has rows but not 3 columns
std::string reference_table_text(const Eigen::Ref<const Eigen::MatrixXd>& reference,
                                 NumberFormat format = NumberFormat::SixDigits);

/// The regression vector: the score names, then one row of slopes.
/// @throws NumericError as score_names
std::string vector_table_text(std::span<const double> slopes,
                              NumberFormat format = NumberFormat::SixDigits);

/// Configurations as rows, each named: "shape", x1, y1, z1, … xk, yk, zk,
/// "CS"; one row a configuration, its name first.
/// @param rows n×(3k+1): x1 y1 z1 … xk yk zk, then the centroid size
///        (config_to_row's layout)
/// @throws NumericError when the names and rows do not match, or a row is
///         not 3k + 1 numbers
std::string shapes_table_text(const std::vector<std::string>& names,
                              const Eigen::Ref<const Eigen::MatrixXd>& rows,
                              NumberFormat format = NumberFormat::SixDigits);

/// Rows of text cells as a CSV table: the cells of a row separated by
/// commas, each quoted as append_csv_field does, every row ended by a line
/// feed.  Rows may differ in length.
std::string csv_table_text(const std::vector<std::vector<std::string>>& rows);

/// Whether a file name asks for a table: it ends in ".csv", any case.
bool names_a_table(const std::string& file_name);

}  // namespace velmora::io
