#pragma once

#include <Eigen/Core>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace velmora::io {

// Result files are plain text: every number is written as C's "%g " (six
// significant digits, trailing zeros dropped, exponent form below 1e-4 and
// from 1e6 up, then one blank) and every line is closed by " \n " (blank,
// line feed, blank).  So each line ends in two blanks and a line feed, every
// line after the first begins with a blank, and the file ends with a line
// feed and one blank, which the readers take as the end of the data.  The
// digits never depend on the C locale.  With full precision every number is
// instead written in the shortest form that reads back to the same double
// (at most 17 significant digits), in the same layout.  The files are written
// by the caller, e.g. with the program's safe writer.

/// How the numbers of a result file are written.
enum class NumberFormat {
  SixDigits,      ///< C's %g: six significant digits
  FullPrecision,  ///< the shortest text that reads back to the same double
};

/// Appends one number in `format`, with nothing before or after it.
void append_number(std::string& out, double x, NumberFormat format);

/// Appends one line: every number and a blank, then " \n ".
void append_g_line(std::string& out, std::span<const double> numbers,
                   NumberFormat format = NumberFormat::SixDigits);

/// One line per row of `rows` (r×c); no rows give the empty text.
std::string format_g_lines(const Eigen::Ref<const Eigen::MatrixXd>& rows,
                           NumberFormat format = NumberFormat::SixDigits);

/// One line holding `numbers` (only the line end when there are none).
std::string row_file_text(std::span<const double> numbers,
                          NumberFormat format = NumberFormat::SixDigits);

/// The scores file: line i holds row i of the scores, then the centroid
/// size of specimen i.
/// @param scores n×m partial warp and uniform scores
/// @param centroid_sizes at least n values (the last column of the sample)
/// @throws NumericError when there are fewer centroid sizes than score rows
std::string score_file_text(const Eigen::Ref<const Eigen::MatrixXd>& scores,
                            std::span<const double> centroid_sizes,
                            NumberFormat format = NumberFormat::SixDigits);

/// The scores file's text as score_file_text makes it, handed to `put` in
/// pieces in order; large tables are formatted on two threads while `put`
/// takes the pieces already made (a file being written as it is formatted).
/// @throws NumericError as score_file_text, before `put` is called
void put_score_file(const Eigen::Ref<const Eigen::MatrixXd>& scores,
                    std::span<const double> centroid_sizes, NumberFormat format,
                    const std::function<void(std::string_view)>& put);

/// The reference file: one line x1 y1 z1 … xk yk zk 1.
/// @param reference k×3, unit centroid size
/// @throws NumericError when the reference has rows but not 3 columns
std::string reference_file_text(const Eigen::Ref<const Eigen::MatrixXd>& reference,
                                NumberFormat format = NumberFormat::SixDigits);

/// The regression-vector file: one line of every slope in order.
inline std::string vector_file_text(std::span<const double> slopes,
                                    NumberFormat format = NumberFormat::SixDigits) {
  return row_file_text(slopes, format);
}

}  // namespace velmora::io
