#include "io/result_files.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "io/g_format.hpp"
#include "io/row_layout.hpp"
#include "io/text_matrix.hpp"

namespace velmora::io {

namespace {

constexpr std::string_view kLineEnd = " \n ";
/// Longest text of one number and its blank: six digits, or the shortest
/// round trip ("-2.2250738585072014e-308").
constexpr std::size_t room(NumberFormat format) {
  return format == NumberFormat::FullPrecision ? kShortestNumberMax + 1 : kGTextMax + 1;
}
/// Tables of more numbers than this are written by two threads, each
/// formatting half of the lines.
constexpr Eigen::Index kParallelNumbers = 100000;

/// Writes the numbers of `row` (any stride) at `at`, each followed by a
/// blank; returns the end.  Room: room(format) a number.
template <typename Row>
char* put_numbers(char* at, const Row& row, NumberFormat format) {
  for (Eigen::Index j = 0; j < row.size(); ++j) {
    // write_g writes exactly what printf's %g does in the C locale;
    // write_shortest gives the shortest text that reads back to the same
    // double.
    at = format == NumberFormat::FullPrecision ? write_shortest(at, row(j)) : write_g(at, row(j));
    *at++ = ' ';
  }
  return at;
}

/// Writes lines `first` … `last` − 1 at `at` and returns the end: line i
/// holds column i of `columns` (a table stored a line a column, so that each
/// line is read from contiguous memory).  Room: line_room a line.
char* put_lines(char* at, const Eigen::MatrixXd& columns, Eigen::Index first, Eigen::Index last,
                NumberFormat format) {
  for (Eigen::Index i = first; i < last; ++i) {
    at = put_numbers(at, columns.col(i), format);
    at = std::copy(kLineEnd.begin(), kLineEnd.end(), at);
  }
  return at;
}

std::size_t line_room(const Eigen::MatrixXd& columns, NumberFormat format) {
  return room(format) * static_cast<std::size_t>(columns.rows()) + kLineEnd.size();
}

/// Whether a table is formatted by two threads.
bool parallel(const Eigen::MatrixXd& columns) {
  return columns.size() > kParallelNumbers && std::thread::hardware_concurrency() >= 2;
}

/// Lines of one piece of a table handed out piece by piece.
constexpr Eigen::Index kPieceLines = 256;

/// Hands the lines of `columns` to `put` in order, in pieces of kPieceLines
/// lines.  Two threads format the pieces in turn while the calling thread
/// hands out each piece as soon as it and those before it are ready: the
/// same text as one thread writes.  An exception of `put` stops the
/// formatting and comes through.
void put_pieces_in_parallel(const Eigen::MatrixXd& columns, NumberFormat format,
                            const std::function<void(std::string_view)>& put) {
  const Eigen::Index n = columns.cols();
  const auto pieces = static_cast<std::size_t>((n + kPieceLines - 1) / kPieceLines);
  std::vector<std::string> text(pieces);
  std::vector<char> ready(pieces, 0);
  std::mutex mutex;
  std::condition_variable made;
  std::atomic<bool> stop{false};
  auto format_every_other = [&](std::size_t first) {
    for (std::size_t p = first; p < pieces && !stop; p += 2) {
      const auto from = static_cast<Eigen::Index>(p) * kPieceLines;
      const Eigen::Index to = std::min(n, from + kPieceLines);
      std::string piece;
      piece.resize(static_cast<std::size_t>(to - from) * line_room(columns, format));
      piece.resize(static_cast<std::size_t>(put_lines(piece.data(), columns, from, to, format) -
                                            piece.data()));
      {
        const std::lock_guard<std::mutex> lock(mutex);
        text[p] = std::move(piece);
        ready[p] = 1;
      }
      made.notify_one();
    }
  };
  std::thread even(format_every_other, 0), odd(format_every_other, 1);
  struct Join {
    std::thread &a, &b;
    std::atomic<bool>& stop;
    ~Join() {
      stop = true;
      a.join();
      b.join();
    }
  } join{even, odd, stop};
  for (std::size_t p = 0; p < pieces; ++p) {
    std::string piece;
    {
      std::unique_lock<std::mutex> lock(mutex);
      made.wait(lock, [&] { return ready[p] != 0; });
      piece = std::move(text[p]);
    }
    put(piece);
  }
}

/// Appends every line of `columns` to `out`.  The room for the longest text
/// is taken at once and the rest given back at the end; large tables are
/// formatted by two threads.
void append_lines(std::string& out, const Eigen::MatrixXd& columns, NumberFormat format) {
  if (parallel(columns)) {
    put_pieces_in_parallel(columns, format, [&out](std::string_view piece) { out += piece; });
    return;
  }
  const std::size_t start = out.size();
  out.resize(start + static_cast<std::size_t>(columns.cols()) * line_room(columns, format));
  char* const end = put_lines(out.data() + start, columns, 0, columns.cols(), format);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string format_columns_as_lines(const Eigen::MatrixXd& columns, NumberFormat format) {
  std::string out;
  append_lines(out, columns, format);
  return out;
}

/// Hands the lines of `columns` to `put` in order: in one piece for a small
/// table, piece by piece as two threads format them for a large one.
void put_lines_in_pieces(const Eigen::MatrixXd& columns, NumberFormat format,
                         const std::function<void(std::string_view)>& put) {
  if (parallel(columns))
    put_pieces_in_parallel(columns, format, put);
  else
    put(format_columns_as_lines(columns, format));
}

/// The scores and the centroid sizes as a table stored a line a column.
Eigen::MatrixXd score_lines(const Eigen::Ref<const Eigen::MatrixXd>& scores,
                            std::span<const double> centroid_sizes) {
  const auto n = static_cast<std::size_t>(scores.rows());
  if (centroid_sizes.size() < n) {
    throw NumericError("The score matrix has " + std::to_string(n) +
                       " rows but the sample holds only " + std::to_string(centroid_sizes.size()) +
                       " specimens.");
  }
  Eigen::MatrixXd lines(scores.cols() + 1, scores.rows());
  lines.topRows(scores.cols()) = scores.transpose();
  lines.bottomRows(1) = Eigen::Map<const Eigen::RowVectorXd>(centroid_sizes.data(), scores.rows());
  return lines;
}

}  // namespace

void append_number(std::string& out, double x, NumberFormat format) {
  char buf[kShortestNumberMax + kGTextMax];
  char* stop = format == NumberFormat::FullPrecision ? write_shortest(buf, x) : write_g(buf, x);
  out.append(buf, stop);
}

void append_g_line(std::string& out, std::span<const double> numbers, NumberFormat format) {
  const Eigen::Map<const Eigen::VectorXd> line(numbers.data(),
                                               static_cast<Eigen::Index>(numbers.size()));
  append_lines(out, line, format);
}

std::string format_g_lines(const Eigen::Ref<const Eigen::MatrixXd>& rows, NumberFormat format) {
  return format_columns_as_lines(rows.transpose(), format);
}

std::string row_file_text(std::span<const double> numbers, NumberFormat format) {
  std::string out;
  append_g_line(out, numbers, format);
  return out;
}

std::string score_file_text(const Eigen::Ref<const Eigen::MatrixXd>& scores,
                            std::span<const double> centroid_sizes, NumberFormat format) {
  return format_columns_as_lines(score_lines(scores, centroid_sizes), format);
}

void put_score_file(const Eigen::Ref<const Eigen::MatrixXd>& scores,
                    std::span<const double> centroid_sizes, NumberFormat format,
                    const std::function<void(std::string_view)>& put) {
  put_lines_in_pieces(score_lines(scores, centroid_sizes), format, put);
}

std::string reference_file_text(const Eigen::Ref<const Eigen::MatrixXd>& reference,
                                NumberFormat format) {
  if (reference.rows() > 0 && reference.cols() != 3) {
    throw NumericError("The reference must have 3 columns (x, y, z); it has " +
                       std::to_string(reference.cols()) + ".");
  }
  const Eigen::MatrixXd config = reference;  // contiguous, column-major
  return row_file_text(config_to_row({config.data(), static_cast<std::size_t>(config.size())},
                                     static_cast<std::size_t>(config.rows()), 1.0),
                       format);
}

}  // namespace velmora::io
