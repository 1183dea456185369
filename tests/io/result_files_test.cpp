#include "io/result_files.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <sstream>

#include "io/test_files.hpp"
#include "io/text_matrix.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::io {
namespace {

using testing::message_of;
using testing::read_bytes;
using testing::ScratchFolder;

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
  EXPECT_EQ(message_of<RuntimeError>([&] { score_file_text(scores, std::vector<double>{1}); }),
            "The score matrix has 2 rows but the sample holds only 1 specimens.");

  Eigen::MatrixXd reference(2, 3);
  reference << 0.5, -0.5, 0.25, -0.5, 0.5, -0.25;
  EXPECT_EQ(reference_file_text(reference), "0.5 -0.5 0.25 -0.5 0.5 -0.25 1  \n ");
  EXPECT_EQ(message_of<RuntimeError>([] { reference_file_text(Eigen::MatrixXd::Zero(2, 2)); }),
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

TEST(AtomicWrite, WritesAndReplaces) {
  ScratchFolder dir;
  const std::string path = dir.file("scores.txt");
  write_file_atomic(path, "first");
  EXPECT_EQ(read_bytes(path), "first");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

  ::chmod(path.c_str(), 0640);
  write_file_atomic(path, "second, longer text");
  EXPECT_EQ(read_bytes(path), "second, longer text");
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

/// Files in `dir` (to see that no temporary file stays behind).
std::size_t entries(const std::filesystem::path& dir) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                std::filesystem::directory_iterator()));
}

TEST(AtomicWrite, FailuresLeaveTheOldFileIntact) {
  ScratchFolder dir;

  const std::string no_folder = dir.file("missing/scores.txt");
  EXPECT_EQ(message_of<RuntimeError>([&] { write_file_atomic(no_folder, "x"); }),
            "Cannot write the file \"" + no_folder + "\": No such file or directory.");

  // A folder in the way: the rename fails even for root, and the folder
  // with its content stays.
  const std::string folder = dir.file("taken");
  std::filesystem::create_directory(folder);
  dir.write("taken/inside.txt", "keep me");
  EXPECT_EQ(message_of<RuntimeError>([&] { write_file_atomic(folder, "x"); }),
            "Cannot write the file \"" + folder + "\": Is a directory.");
  EXPECT_EQ(read_bytes(dir.file("taken/inside.txt")), "keep me");
  EXPECT_EQ(entries(dir.path()), 1u);

  // A write that runs out of room (a file-size limit binds root too): the
  // old file keeps its bytes and the temporary file is gone.
  const std::string old_file = dir.write("old.txt", "old content");
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string message =
      message_of<RuntimeError>([&] { write_file_atomic(old_file, std::string(4096, 'n')); });
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(message, "Cannot write the file \"" + old_file + "\": File too large.");
  EXPECT_EQ(read_bytes(old_file), "old content");
  EXPECT_EQ(entries(dir.path()), 2u);

  EXPECT_EQ(message_of<RuntimeError>([&] { write_file_atomic(dir.path().string() + "/", "x"); }),
            "Cannot write the file \"" + dir.path().string() + "/\": Is a directory.");
}

}  // namespace
}  // namespace velmora::io
