#include "io/landmark_file.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/errors.hpp"
#include "io/list_files.hpp"
#include "io/test_files.hpp"

namespace velmora::io {
namespace {

using testing::message_of;
using testing::ScratchFolder;

std::string refusal(std::string_view text) {
  return message_of<FileError>([&] { parse_landmarks(text, "f.txt"); });
}

/// One specimen line of k landmarks on a helix, then a centroid size.
std::string specimen_line(int k, double shift) {
  std::string line;
  for (int j = 0; j < k; ++j) {
    line += std::to_string(std::cos(j) + shift) + " " + std::to_string(std::sin(j)) + " " +
            std::to_string(0.3 * j) + " ";
  }
  return line + "1.0\n";
}

TEST(LandmarkFile, LoadsWellFormedFiles) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += specimen_line(12, i);
  TextMatrix m = parse_landmarks(text, "f.txt");
  EXPECT_EQ(m.rows, 20u);
  EXPECT_EQ(m.cols, 37u);
  EXPECT_NEAR(m(19, 0), 20.0, 1e-6);
  EXPECT_EQ(m(5, 36), 1.0);

  // A one-line file is a sample of one; a saved reference reads back.
  EXPECT_EQ(parse_landmarks(specimen_line(3, 0), "f.txt").rows, 1u);
  EXPECT_EQ(parse_landmarks("0 0 0 1 0 0 0 1 0 1  \n ", "ref.txt").cols, 10u);
}

TEST(LandmarkFile, RefusalMessages) {
  EXPECT_EQ(refusal(""), "\"f.txt\": the file holds no numbers.");
  EXPECT_EQ(refusal("\n"), "\"f.txt\": the file holds no numbers.");
  EXPECT_EQ(refusal(specimen_line(2, 0) + "1 2 3\n"),
            "\"f.txt\" line 2: expected 7 numbers, found 3.");
  EXPECT_EQ(refusal("0 0 0 1 1 abc 1\n"), "\"f.txt\" line 1, column 11: \"abc\" is not a number.");
  EXPECT_EQ(refusal("0 0 0 1 1 1 1\n0 0 0 1 NaN 1 1\n"),
            "\"f.txt\" line 2, column 9: \"NaN\" is not a finite number.");
  EXPECT_EQ(refusal("0 0 0 1 1 1 inf\n"),
            "\"f.txt\" line 1, column 13: \"inf\" is not a finite number.");

  std::string thirty_six;
  for (int i = 0; i < 36; ++i) thirty_six += std::to_string(i) + " ";
  EXPECT_EQ(refusal(thirty_six + "\n"),
            "\"f.txt\": each line must hold 3k+1 numbers (x1 y1 z1 ... xk yk zk, then the "
            "centroid size); line 1 holds 36.");
  EXPECT_EQ(refusal("5\n6\n"),
            "\"f.txt\": line 1 holds a single number and no landmark; each line must hold x1 y1 "
            "z1 ... xk yk zk, then the centroid size.");
  EXPECT_EQ(refusal("1 2 3 4\n"),
            "\"f.txt\": each line holds a single landmark; the shape of fewer than three points "
            "cannot vary, so comparing shapes needs at least three landmarks per specimen.");
  EXPECT_EQ(refusal("0 0 0 1 1 1 1\n"),
            "\"f.txt\": each line holds two landmarks; the shape of fewer than three points "
            "cannot vary, so comparing shapes needs at least three landmarks per specimen.");
  EXPECT_EQ(refusal(specimen_line(4, 0) + "2 2 2 2 2 2 2 2 2 2 2 2 0\n"),
            "\"f.txt\" line 2: all 4 landmarks of this specimen lie on one point.");
  EXPECT_EQ(refusal("0 0 0 0 0 0 0 0 0 0\n"),
            "\"f.txt\" line 1: all 3 landmarks of this specimen lie on one point.");
  // Coincidence is judged by the specimen's own scale: landmarks 1e-300 apart
  // are a shape, coordinates below the smallest full-precision double are
  // refused as what they are.
  EXPECT_EQ(parse_landmarks("0 0 0 1e-300 0 0 0 2e-300 3e-300 1e-300\n", "f.txt").rows, 1u);
  EXPECT_EQ(parse_landmarks("0 0 0 1e300 0 0 0 2e300 3e300 1e300\n", "f.txt").rows, 1u);
  EXPECT_EQ(refusal("0 0 0 1e-320 0 0 0 2e-320 3e-320 1\n"),
            "\"f.txt\" line 1: the coordinates of this specimen are too small to represent: the "
            "largest is 3e-320 in magnitude, below 2.23e-308, the smallest number held with "
            "full precision.");
  // Far from the origin, rounding of the centroid must not hide coincidence.
  EXPECT_EQ(refusal("1e9 -3e8 7.1e7 1e9 -3e8 7.1e7 1e9 -3e8 7.1e7 5\n"),
            "\"f.txt\" line 1: all 3 landmarks of this specimen lie on one point.");
  // ... but a small real spread there is a shape.
  EXPECT_EQ(parse_landmarks("1e9 0 0 1000000000.01 0 0 1e9 0.01 0 5\n", "f.txt").rows, 1u);
}

TEST(LandmarkFile, FilesOnDisk) {
  ScratchFolder dir;
  const std::string missing = dir.file("y.txt");
  EXPECT_EQ(message_of<FileError>([&] { load_landmarks(missing); }),
            "Cannot open the file \"" + missing + "\": No such file or directory.");
  EXPECT_EQ(message_of<FileError>([&] { load_landmarks(dir.path().string()); }),
            "Cannot open the file \"" + dir.path().string() + "\": Is a directory.");
  const std::string bad = dir.write("bad.txt", "0 0 0 1 1 1 0 1 0 1\n2 2\n");
  EXPECT_EQ(message_of<FileError>([&] { load_landmarks(bad); }),
            "\"" + bad + "\" line 2: expected 10 numbers, found 2.");
  const std::string good = dir.write("good.txt", "0 0 0 1 1 1 0 1 0 1.7320508\n");
  EXPECT_EQ(load_landmarks(good).cols, 10u);
}

TEST(LandmarkFile, BundledExamples) {
  // The source folder compiled in: __FILE__ is relative when the compiler
  // runs under ccache with a base folder.
  const std::string folder = std::string(VELMORA_SOURCE_DIR) + "/examples/";

  TextMatrix skulls = load_landmarks(folder + "skulls.txt");
  ASSERT_EQ(skulls.rows, 80u);
  ASSERT_EQ(skulls.cols, 37u);
  // The last column is the centroid size of the raw coordinates.
  for (std::size_t i = 0; i < skulls.rows; ++i) {
    double mean[3] = {0, 0, 0};
    for (std::size_t j = 0; j < 12; ++j)
      for (std::size_t d = 0; d < 3; ++d) mean[d] += skulls(i, 3 * j + d) / 12;
    double ss = 0;
    for (std::size_t j = 0; j < 12; ++j)
      for (std::size_t d = 0; d < 3; ++d) ss += std::pow(skulls(i, 3 * j + d) - mean[d], 2);
    EXPECT_NEAR(std::sqrt(ss), skulls(i, 36), 1e-4) << "specimen " << i + 1;
  }

  TextMatrix age = load_x_list(folder + "age.txt");
  ASSERT_EQ(age.rows, 80u);
  for (double a : age.values) {
    EXPECT_GE(a, 1.0);
    EXPECT_LE(a, 20.0);
  }

  TextMatrix wires = load_wire_list(folder + "skull_wires.txt");
  EXPECT_EQ(wires.rows, 14u);
  EXPECT_EQ(wires.cols, 3u);
  EXPECT_NO_THROW(check_wires(wires, 12));
  for (std::size_t i = 0; i < wires.rows; ++i) EXPECT_EQ(wires(i, 0), static_cast<double>(i + 1));
}

}  // namespace
}  // namespace velmora::io
