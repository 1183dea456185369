#include "io/result_tables.hpp"

#include <algorithm>
#include <cctype>

#include "core/errors.hpp"
#include "io/sample_text.hpp"

namespace velmora::io {

namespace {

void check_names(const std::vector<std::string>& names, Eigen::Index rows) {
  if (static_cast<Eigen::Index>(names.size()) != rows) {
    throw NumericError("The table has " + std::to_string(rows) + " rows for " +
                       std::to_string(names.size()) + " specimen names.");
  }
}

}  // namespace

std::vector<std::string> score_names(Eigen::Index columns) {
  static const char* const kUniform[] = {"U1", "U2", "U3", "T1", "T2"};
  if (columns < 5 || (columns - 5) % 3 != 0) {
    throw NumericError("A score matrix has 3 columns a partial warp and 5 uniform columns; " +
                       std::to_string(columns) + " columns are not that.");
  }
  std::vector<std::string> out;
  for (Eigen::Index w = 1; w <= (columns - 5) / 3; ++w)
    for (const char* axis : {"x", "y", "z"}) out.push_back("PW" + std::to_string(w) + axis);
  out.insert(out.end(), std::begin(kUniform), std::end(kUniform));
  return out;
}

std::string score_table_text(const std::vector<std::string>& names,
                             const Eigen::Ref<const Eigen::MatrixXd>& scores,
                             std::span<const double> centroid_sizes, NumberFormat format) {
  check_names(names, scores.rows());
  if (static_cast<Eigen::Index>(centroid_sizes.size()) < scores.rows()) {
    throw NumericError("The score matrix has " + std::to_string(scores.rows()) + " rows but only " +
                       std::to_string(centroid_sizes.size()) + " centroid sizes are given.");
  }
  std::vector<std::string> headers = score_names(scores.cols());
  headers.push_back("CS");
  Eigen::MatrixXd values(scores.rows(), scores.cols() + 1);
  values.leftCols(scores.cols()) = scores;
  for (Eigen::Index i = 0; i < scores.rows(); ++i)
    values(i, scores.cols()) = centroid_sizes[static_cast<std::size_t>(i)];
  return specimen_names_text(names, values, headers, format);
}

std::string pca_table_text(const std::vector<std::string>& names,
                           const Eigen::Ref<const Eigen::MatrixXd>& scores,
                           std::span<const double> variances, NumberFormat format) {
  check_names(names, scores.rows());
  if (static_cast<Eigen::Index>(variances.size()) != scores.cols()) {
    throw NumericError("The table has " + std::to_string(scores.cols()) + " components but " +
                       std::to_string(variances.size()) + " variances.");
  }
  std::vector<std::string> headers, rows = names;
  for (Eigen::Index c = 0; c < scores.cols(); ++c) headers.push_back("PC" + std::to_string(c + 1));
  rows.push_back("variance");
  Eigen::MatrixXd values(scores.rows() + 1, scores.cols());
  values.topRows(scores.rows()) = scores;
  for (Eigen::Index c = 0; c < scores.cols(); ++c)
    values(scores.rows(), c) = variances[static_cast<std::size_t>(c)];
  return specimen_names_text(rows, values, headers, format);
}

std::string reference_table_text(const Eigen::Ref<const Eigen::MatrixXd>& reference,
                                 NumberFormat format) {
  if (reference.rows() > 0 && reference.cols() != 3) {
    throw NumericError("The reference must have 3 columns (x, y, z); it has " +
                       std::to_string(reference.cols()) + ".");
  }
  std::string out = "landmark,x,y,z\n";
  for (Eigen::Index i = 0; i < reference.rows(); ++i) {
    out += std::to_string(i + 1);
    for (Eigen::Index c = 0; c < 3; ++c) {
      out += ',';
      append_number(out, reference(i, c), format);
    }
    out += '\n';
  }
  return out;
}

std::string vector_table_text(std::span<const double> slopes, NumberFormat format) {
  const std::vector<std::string> headers = score_names(static_cast<Eigen::Index>(slopes.size()));
  std::string out;
  for (std::size_t c = 0; c < headers.size(); ++c) out += (c ? "," : "") + headers[c];
  out += '\n';
  for (std::size_t c = 0; c < slopes.size(); ++c) {
    if (c) out += ',';
    append_number(out, slopes[c], format);
  }
  out += '\n';
  return out;
}

std::string shapes_table_text(const std::vector<std::string>& names,
                              const Eigen::Ref<const Eigen::MatrixXd>& rows, NumberFormat format) {
  check_names(names, rows.rows());
  if (rows.cols() % 3 != 1) {
    throw NumericError("A shape row holds 3 coordinates a landmark and its centroid size; " +
                       std::to_string(rows.cols()) + " numbers are not that.");
  }
  std::vector<std::string> headers;
  for (Eigen::Index j = 1; j <= rows.cols() / 3; ++j)
    for (const char* axis : {"x", "y", "z"}) headers.push_back(axis + std::to_string(j));
  headers.push_back("CS");
  return named_rows_text("shape", names, rows, headers, format);
}

std::string csv_table_text(const std::vector<std::vector<std::string>>& rows) {
  std::string out;
  for (const std::vector<std::string>& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c) out += ',';
      append_csv_field(out, row[c]);
    }
    out += '\n';
  }
  return out;
}

bool names_a_table(const std::string& file_name) {
  if (file_name.size() < 4) return false;
  std::string ext = file_name.substr(file_name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".csv";
}

}  // namespace velmora::io
