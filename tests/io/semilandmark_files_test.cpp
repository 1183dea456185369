#include "io/semilandmark_files.hpp"

#include <gtest/gtest.h>

#include "core/errors.hpp"
#include "io/landmark_import.hpp"

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

// A SlicerMorph curve's points between its ends slide along it; a closed
// curve's every point does, wrapping round; other markups have none.
TEST(SemilandmarkFiles, CurveMarkupsBringTheirSliders) {
  auto markup = [](const char* type) {
    std::string points;
    for (int i = 0; i < 5; ++i)
      points += std::string(i ? "," : "") + "{\"position\": [" + std::to_string(i) + ", " +
                std::to_string(i * i % 3) + ", " + std::to_string(i % 2) + "]}";
    return std::string("{\"markups\": [{\"type\": \"") + type + "\", \"controlPoints\": [" +
           points + "]}]}";
  };
  using Sliders = std::vector<std::array<std::size_t, 3>>;
  EXPECT_EQ(import_landmark_text(markup("Curve"), "a.mrk.json").curve_sliders,
            (Sliders{{1, 2, 3}, {2, 3, 4}, {3, 4, 5}}));
  EXPECT_EQ(import_landmark_text(markup("ClosedCurve"), "a.mrk.json").curve_sliders,
            (Sliders{{5, 1, 2}, {1, 2, 3}, {2, 3, 4}, {3, 4, 5}, {4, 5, 1}}));
  EXPECT_TRUE(import_landmark_text(markup("Fiducial"), "a.mrk.json").curve_sliders.empty());
}

}  // namespace
}  // namespace velmora::io
