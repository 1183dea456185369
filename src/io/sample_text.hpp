#pragma once

#include <Eigen/Core>
#include <string>
#include <vector>

#include "io/imported_sample.hpp"
#include "io/result_files.hpp"

namespace velmora::io {

/// Appends `text` as one CSV field: as it is, or in double quotes (a quote
/// doubled) when it holds a comma, a quote or a line end, has blanks at
/// either end, or is empty.
void append_csv_field(std::string& out, const std::string& text);

/// The sample as a native landmark file: one specimen a line, x1 y1 z1 …
/// xk yk zk and the centroid size, each number in the shortest text that
/// reads back to the same double, separated by single blanks; every line
/// ends in a line feed.  import_landmarks reads it back exactly.
/// @param sample rows n×(3k+1)
std::string native_sample_text(const ImportedSample& sample);

/// The sample as a CSV table: the header "specimen,x1,y1,z1,…,xk,yk,zk",
/// then one line a specimen, its name first (in double quotes when it holds
/// a comma, a quote, a line end or blanks at either end, "" for a quote),
/// then its 3k coordinates in full precision.  The centroid size is left out
/// (every reader computes it).  import_landmarks reads it back exactly.
/// @param sample rows n×(3k+1), names n (or fewer: "specimen i")
std::string csv_sample_text(const ImportedSample& sample);

/// A CSV table that matches specimens with numbers computed for them: the
/// header "specimen" followed by `headers`, then one line a specimen, its
/// name first (quoted as in csv_sample_text), then its row of `values`.
/// With no columns it is the list of names under the header "specimen".
/// @param names n specimen names
/// @param values n×m (or 0 columns), e.g. the scores and the centroid size
/// @param headers m column names, or none for "value1" … "valuem"
/// @throws NumericError when values has columns but not n rows, or headers
///   are given but not m
std::string specimen_names_text(const std::vector<std::string>& names,
                                const Eigen::Ref<const Eigen::MatrixXd>& values = Eigen::MatrixXd(),
                                const std::vector<std::string>& headers = {},
                                NumberFormat format = NumberFormat::SixDigits);

/// The same table with `first_header` over the names instead of "specimen"
/// (rows that are not specimens: "shape" for the shapes a display shows).
std::string named_rows_text(const std::string& first_header, const std::vector<std::string>& names,
                            const Eigen::Ref<const Eigen::MatrixXd>& values,
                            const std::vector<std::string>& headers, NumberFormat format);

}  // namespace velmora::io
