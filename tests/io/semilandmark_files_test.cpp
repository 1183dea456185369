#include "io/semilandmark_files.hpp"

#include <gtest/gtest.h>

#include "core/errors.hpp"

namespace velmora::io {
namespace {

// Blanks, commas, a header, and R's write.csv of geomorph's curves matrix
// (a header and a column of row names) read alike.
TEST(SemilandmarkFiles, EveryLayoutOfTheSameCurvesReadsAlike) {
  const std::vector<std::array<std::size_t, 3>> want = {{1, 5, 6}, {5, 6, 7}};
  for (const char* text :
       {"1 5 6\n5 6 7\n", "1,5,6\r\n5,6,7\r\n", "before slider after\n1\t5\t6\n\n5 6 7",
        "\"\",\"before\",\"slide\",\"after\"\n\"1\",1,5,6\n\"2\",5,6,7\n",
        "# the sagittal curve\n\"1\" 1 5 6\n\"2\" 5 6 7\n"}) {
    const CurveFile f = parse_curve_file(text, "c.txt", 8);
    EXPECT_EQ(f.sliders, want) << text;
  }
  const SurfacePointFile s = parse_surface_point_file("\"\",\"x\"\n\"1\",7\n\"2\",8\n", "s.csv", 8);
  EXPECT_EQ(s.points, (std::vector<std::size_t>{7, 8}));
  EXPECT_EQ(s.lines, (std::vector<std::size_t>{2, 3}));
}

TEST(SemilandmarkFiles, BadDefinitionsNameTheFileLineAndValue) {
  auto curve_error = [](const char* text) {
    try {
      parse_curve_file(text, "c.txt", 8);
    } catch (const FileError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(curve_error("1 5 6\n5 9 7\n"),
            "\"c.txt\" line 2: \"9\" is not a landmark number from 1 to 8.");
  EXPECT_EQ(curve_error("1 5 5\n"), "\"c.txt\" line 1: the slider 5 is its own neighbour.");
  EXPECT_EQ(curve_error("1 5 1\n"),
            "\"c.txt\" line 1: the slider 5 has the one landmark 1 on both sides: its tangent is "
            "undefined.");
  EXPECT_EQ(curve_error("1 5 6\n2 5 7\n"),
            "\"c.txt\" line 2: landmark 5 is already a slider on line 1.");
  EXPECT_EQ(curve_error("1 5 6 7\n"),
            "\"c.txt\" line 1: found 4 numbers; a curve slider is three landmark numbers, before "
            "slider after.");
  EXPECT_EQ(curve_error("before slider after\n"),
            "\"c.txt\": the file holds no landmark numbers; a curve slider is three landmark "
            "numbers, before slider after.");
  try {
    parse_surface_point_file("3\n4\n3\n", "s.txt", 8);
    FAIL();
  } catch (const FileError& e) {
    EXPECT_STREQ(e.what(), "\"s.txt\" line 3: landmark 3 is already listed on line 1.");
  }
}

}  // namespace
}  // namespace velmora::io
