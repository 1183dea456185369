#include "io/pair_files.hpp"

#include <gtest/gtest.h>

#include "core/errors.hpp"
#include "io/test_files.hpp"

namespace velmora::io {
namespace {

// Blanks, commas, a header, comments and R's write.csv of a pairs matrix
// read alike; the relabelling swaps each pair and keeps the midline.
TEST(PairFiles, EveryLayoutOfTheSamePairsReadsAlike) {
  using Pairs = std::vector<std::pair<std::size_t, std::size_t>>;
  for (const char* text :
       {"2 5\n3 4\n", "2,5\r\n3,4\r\n", "left right\n2\t5\n\n3 4", "# jaw\n2 5\n# teeth\n3 4\n",
        "\"\",\"left\",\"right\"\n\"1\",2,5\n\"2\",3,4\n"}) {
    const LandmarkPairs p = parse_landmark_pairs(text, "p.txt", 6);
    EXPECT_EQ(p.pairs, (Pairs{{1, 4}, {2, 3}})) << text;
  }
  const LandmarkPairs p = parse_landmark_pairs("left right\n2 5\n3 4\n", "p.txt", 6);
  EXPECT_EQ(p.lines, (std::vector<std::size_t>{2, 3}));
  EXPECT_EQ(reflection_relabelling(p, 6), (std::vector<std::size_t>{0, 4, 3, 2, 1, 5}));
  testing::ScratchFolder folder;
  EXPECT_EQ(load_landmark_pairs(folder.write("p.csv", "1,6\n"), 6).pairs, (Pairs{{0, 5}}));
}

TEST(PairFiles, BadPairsNameTheFileLineAndValue) {
  auto error = [](const char* text) {
    try {
      parse_landmark_pairs(text, "p.txt", 6);
    } catch (const FileError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(error("1 2\n3 7\n"), "\"p.txt\" line 2: \"7\" is not a landmark number from 1 to 6.");
  EXPECT_EQ(error("1 2\n0 3\n"), "\"p.txt\" line 2: \"0\" is not a landmark number from 1 to 6.");
  EXPECT_EQ(error("1 2\n3 x4\n"), "\"p.txt\" line 2: \"x4\" is not a landmark number from 1 to 6.");
  EXPECT_EQ(error("1 2.5\n"), "\"p.txt\" line 1: \"2.5\" is not a landmark number from 1 to 6.");
  EXPECT_EQ(error("4 4\n"), "\"p.txt\" line 1: landmark 4 is paired with itself.");
  EXPECT_EQ(error("1 2\n# c\n3 1\n"),
            "\"p.txt\" line 3: landmark 1 is already in the pair on line 1.");
  EXPECT_EQ(error("1 2\n2 3\n"), "\"p.txt\" line 2: landmark 2 is already in the pair on line 1.");
  EXPECT_EQ(error("1 2 3\n"),
            "\"p.txt\" line 1: found 3 numbers; a landmark pair is two landmark numbers, left "
            "right.");
  EXPECT_EQ(error("left right\n"),
            "\"p.txt\": the file holds no landmark numbers; a landmark pair is two landmark "
            "numbers, left right.");
}

}  // namespace
}  // namespace velmora::io
