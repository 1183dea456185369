#include "io/result_files.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <sstream>

#include "core/errors.hpp"
#include "io/test_files.hpp"
#include "io/text_matrix.hpp"

namespace velmora::io {
namespace {

using testing::message_of;

TEST(ResultFiles, GFormatAndLineEnds) {
  Eigen::MatrixXd scores(1, 2);
  scores << 1.5, -0.000012;
  EXPECT_EQ(score_file_text(scores, std::vector<double>{1e8}), "1.5 -1.2e-05 1e+08  \n ");
  EXPECT_EQ(row_file_text(std::vector<double>{2.0 / 3.0}), "0.666667  \n ");
  EXPECT_EQ(row_file_text(std::vector<double>{100000, 1000000, 0.0001, 0.00001, -0.0, 123456.7}),
            "100000 1e+06 0.0001 1e-05 -0 123457  \n ");
  // Nothing to write still closes the line; no rows give no text.
  EXPECT_EQ(vector_file_text({}), " \n ");
  EXPECT_EQ(score_file_text(Eigen::MatrixXd(0, 5), {}), "");
}

TEST(ResultFiles, FullPrecisionReadsBackToTheSameDoubles) {
  std::mt19937_64 gen(17);
  std::uniform_int_distribution<std::uint64_t> bits;
  std::vector<double> numbers = {2.0 / 3.0, 0.1, -1e-300, 1e300, 5e-324, 0.0, -0.0, 1e8, 123456.7};
  while (numbers.size() < 2000) {
    const double x = std::bit_cast<double>(bits(gen));
    if (std::isfinite(x)) numbers.push_back(x);
  }
  const std::string text = row_file_text(numbers, NumberFormat::FullPrecision);
  std::istringstream in(text);
  std::size_t i = 0;
  for (std::string word; in >> word; ++i) {
    ASSERT_LT(i, numbers.size());
    EXPECT_EQ(std::bit_cast<std::uint64_t>(std::strtod(word.c_str(), nullptr)),
              std::bit_cast<std::uint64_t>(numbers[i]))
        << word;
    EXPECT_LE(word.size(), 24u);  // at most 17 digits, sign, point, exponent
  }
  EXPECT_EQ(i, numbers.size());
  // Shortest: no digit more than the double needs; same layout as %g.
  EXPECT_EQ(row_file_text(std::vector<double>{2.0 / 3.0, 0.1, 1e8}, NumberFormat::FullPrecision),
            "0.6666666666666666 0.1 1e+08  \n ");
  Eigen::MatrixXd scores(1, 1);
  scores << 0.1 + 0.2;
  EXPECT_EQ(score_file_text(scores, std::vector<double>{1.5}, NumberFormat::FullPrecision),
            "0.30000000000000004 1.5  \n ");
}

TEST(ResultFiles, DigitsIgnoreTheUserLocale) {
  // A desktop session may run with a decimal comma; the files must not.
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no German locale here";
  std::string text = row_file_text(std::vector<double>{1.5});
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(text, "1.5  \n ");
}

TEST(ResultFiles, ScoreReferenceAndVectorLayouts) {
  Eigen::MatrixXd scores(2, 3);
  scores << 1, 2, 3, 4, 5, 6;
  std::vector<double> cs = {10, 20, 30};  // one more specimen than scores: only n lines
  EXPECT_EQ(score_file_text(scores, cs), "1 2 3 10  \n 4 5 6 20  \n ");
  EXPECT_EQ(message_of<NumericError>([&] { score_file_text(scores, std::vector<double>{1}); }),
            "The score matrix has 2 rows but the sample holds only 1 specimens.");

  Eigen::MatrixXd reference(2, 3);
  reference << 0.5, -0.5, 0.25, -0.5, 0.5, -0.25;
  EXPECT_EQ(reference_file_text(reference), "0.5 -0.5 0.25 -0.5 0.5 -0.25 1  \n ");
  EXPECT_EQ(message_of<NumericError>([] { reference_file_text(Eigen::MatrixXd::Zero(2, 2)); }),
            "The reference must have 3 columns (x, y, z); it has 2.");

  EXPECT_EQ(format_g_lines(scores), "1 2 3  \n 4 5 6  \n ");
}

TEST(ResultFiles, SavedFilesReadBack) {
  // What the writers produce the readers take back: the final " " ends the
  // data and the leading blanks are separators.
  Eigen::MatrixXd scores(3, 2);
  scores << 0.125, -2, 3e-7, 4, 5, 6e9;
  TextMatrix back =
      parse_text_matrix(score_file_text(scores, std::vector<double>{1, 2, 3}), "scores.txt");
  EXPECT_EQ(back.rows, 3u);
  EXPECT_EQ(back.cols, 3u);
  EXPECT_EQ(back(1, 0), 3e-7);
  EXPECT_EQ(back(2, 1), 6e9);
  EXPECT_EQ(back(2, 2), 3.0);
}

}  // namespace
}  // namespace velmora::io

namespace velmora::io {
namespace {

// A table large enough to be written by two threads gives the text of its
// lines written one at a time, in either format.
TEST(ResultFiles, LargeTablesWrittenInParallelEqualLineByLine) {
  std::mt19937_64 gen(5);
  std::normal_distribution<double> normal;
  Eigen::MatrixXd table(401, 300);
  for (Eigen::Index j = 0; j < table.cols(); ++j)
    for (Eigen::Index i = 0; i < table.rows(); ++i)
      table(i, j) = normal(gen) * std::exp(normal(gen) * 5);
  std::vector<double> sizes(401);
  for (double& c : sizes) c = 10 + normal(gen);
  for (const NumberFormat format : {NumberFormat::SixDigits, NumberFormat::FullPrecision}) {
    std::string lines, scores;
    for (Eigen::Index i = 0; i < table.rows(); ++i) {
      std::vector<double> row(static_cast<std::size_t>(table.cols()));
      for (Eigen::Index j = 0; j < table.cols(); ++j)
        row[static_cast<std::size_t>(j)] = table(i, j);
      append_g_line(lines, row, format);
      row.push_back(sizes[static_cast<std::size_t>(i)]);
      append_g_line(scores, row, format);
    }
    EXPECT_EQ(format_g_lines(table, format), lines);
    EXPECT_EQ(score_file_text(table, sizes, format), scores);
    // Streamed in pieces: the same text; a writer that fails stops it.
    std::string joined;
    int pieces = 0;
    put_score_file(table, sizes, format, [&](std::string_view piece) {
      joined += piece;
      ++pieces;
    });
    EXPECT_EQ(joined, scores);
    EXPECT_GT(pieces, 1);
    EXPECT_THROW(put_score_file(table, sizes, format,
                                [](std::string_view) { throw std::runtime_error("disk full"); }),
                 std::runtime_error);
  }
}

}  // namespace
}  // namespace velmora::io
