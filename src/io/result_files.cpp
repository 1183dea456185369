#include "io/result_files.hpp"

#include <charconv>
#include <vector>

#include "core/errors.hpp"
#include "io/row_layout.hpp"
#include "io/text_matrix.hpp"

namespace velmora::io {

namespace {

constexpr std::string_view kLineEnd = " \n ";

}  // namespace

void append_g_line(std::string& out, std::span<const double> numbers, NumberFormat format) {
  constexpr int kSignificant = 6;
  char buf[40];
  for (double x : numbers) {
    // to_chars formats exactly as printf's %g does in the C locale; without a
    // precision it gives the shortest text that reads back to the same double.
    auto [stop, ec] =
        format == NumberFormat::FullPrecision
            ? std::to_chars(buf, buf + sizeof buf - 1, x)
            : std::to_chars(buf, buf + sizeof buf - 1, x, std::chars_format::general, kSignificant);
    *stop++ = ' ';
    out.append(buf, stop);
  }
  out += kLineEnd;
}

std::string format_g_lines(const Eigen::Ref<const Eigen::MatrixXd>& rows, NumberFormat format) {
  std::string out;
  std::vector<double> row(static_cast<std::size_t>(rows.cols()));
  for (Eigen::Index i = 0; i < rows.rows(); ++i) {
    Eigen::Map<Eigen::RowVectorXd>(row.data(), rows.cols()) = rows.row(i);
    append_g_line(out, row, format);
  }
  return out;
}

std::string row_file_text(std::span<const double> numbers, NumberFormat format) {
  std::string out;
  append_g_line(out, numbers, format);
  return out;
}

std::string score_file_text(const Eigen::Ref<const Eigen::MatrixXd>& scores,
                            std::span<const double> centroid_sizes, NumberFormat format) {
  const auto n = static_cast<std::size_t>(scores.rows());
  if (centroid_sizes.size() < n) {
    throw NumericError("The score matrix has " + std::to_string(n) +
                       " rows but the sample holds only " + std::to_string(centroid_sizes.size()) +
                       " specimens.");
  }
  Eigen::MatrixXd lines(scores.rows(), scores.cols() + 1);
  lines << scores, Eigen::Map<const Eigen::VectorXd>(centroid_sizes.data(), scores.rows());
  return format_g_lines(lines, format);
}

std::string reference_file_text(const Eigen::Ref<const Eigen::MatrixXd>& reference,
                                NumberFormat format) {
  if (reference.rows() > 0 && reference.cols() != 3) {
    throw NumericError("The reference must have 3 columns (x, y, z); it has " +
                       std::to_string(reference.cols()) + ".");
  }
  const Eigen::MatrixXd config = reference;  // contiguous, column-major
  return row_file_text(x1y1z1({config.data(), static_cast<std::size_t>(config.size())},
                              static_cast<std::size_t>(config.rows()), 1.0),
                       format);
}

}  // namespace velmora::io
