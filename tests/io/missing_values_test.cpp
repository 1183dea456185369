#include <gtest/gtest.h>

#include <string>

#include "core/errors.hpp"
#include "io/landmark_import.hpp"
#include "io/test_files.hpp"

namespace velmora::io {
namespace {

using testing::message_of;

const MissingValues kKeep{true, std::nullopt};
const MissingValues kCode{true, -999.0};

// The same two specimens of four landmarks in each format; specimen 2
// misses landmark 3 (and, where the text says so, landmark 1).
struct Case {
  const char* label;
  std::string text;
  const MissingValues* options;
  std::vector<AbsentLandmark> missing;
};

TEST(MissingValues, KeptInEveryFormatWithPlaceholdersAndTheirCount) {
  const std::string plain = "0 0 0\n4 0 0\n0 4 0\n0 0 4\n";
  const std::vector<Case> cases = {
      {"a.tps",
       "LM3=4\n" + plain + "ID=a\nLM3=4\n0 0 0\n4 0 0\nNA 4 0\n0 0 4\nID=b\n",
       &kKeep,
       {{1, 2}}},
      {"a.tps",
       "LM3=4\n" + plain + "LM3=4\n-999 0 0\n4 0 0\n0 -999 -999\n0 0 4\n",
       &kCode,
       {{1, 0}, {1, 2}}},
      {"a.csv",
       "id,x1,y1,z1,x2,y2,z2,x3,y3,z3,x4,y4,z4\na,0,0,0,4,0,0,0,4,0,0,0,4\n"
       "b,0,0,0,4,0,0,0,na,0,0,0,4\n",
       &kKeep,
       {{1, 2}}},
      {"a.txt",
       "[individuals]\n2\n[landmarks]\n4\n[dimensions]\n3\n[rawpoints]\n" + plain +
           "0 0 0\n4 0 0\n0 4 -999\n0 0 4\n",
       &kCode,
       {{1, 2}}},
      {"a.nts",
       "1 2L 12 1 9999 dim=3\na b\n0 0 0 4 0 0 0 4 0 0 0 4\n0 0 0 4 0 0 0 9999 0 0 0 4\n",
       &kKeep,
       {{1, 2}}},
      {"n.txt",
       "0 0 0 4 0 0 0 4 0 0 0 4 1\nNA 0 0 4 0 0 0 4 NA 0 0 4 NA\n",
       &kKeep,
       {{1, 0}, {1, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ImportedSample s = import_landmark_text(c.text, c.label, *c.options);
    EXPECT_EQ(s.missing, c.missing);
    ASSERT_EQ(s.rows.rows(), 2);
    EXPECT_TRUE(s.rows.allFinite());
    // Each missing landmark sits on the centroid of the present ones.
    Eigen::RowVector3d centre = Eigen::RowVector3d::Zero();
    int present = 0;
    for (int j = 0; j < 4; ++j) {
      if (std::find(c.missing.begin(), c.missing.end(), AbsentLandmark{1, std::size_t(j)}) !=
          c.missing.end())
        continue;
      centre += s.rows.block(1, 3 * j, 1, 3);
      ++present;
    }
    centre /= present;
    for (const AbsentLandmark& a : c.missing)
      EXPECT_EQ(s.rows.block(1, 3 * Eigen::Index(a.landmark), 1, 3), centre);
  }

  // Without the code option -999 is a coordinate; without keep it is refused
  // as before.
  const std::string coded = "LM3=4\n" + plain + "LM3=4\n0 0 0\n4 0 0\n0 -999 0\n0 0 4\n";
  EXPECT_TRUE(import_landmark_text(coded, "a.tps", kKeep).missing.empty());
  EXPECT_EQ(import_landmark_text(coded, "a.tps", kKeep).rows(1, 7), -999);
  EXPECT_EQ(message_of<FileError>([&] { import_landmark_text(coded, "a.tps"); }),
            "\"a.tps\" line 9: landmark 3 of specimen 2 is missing (\"-999\"); every landmark "
            "must be present, Velmora does not estimate missing landmarks.");

  const std::string json =
      "{\"markups\": [{\"controlPoints\": [{\"position\": [0,0,0]}, {\"position\": [4,0,0]}, "
      "{\"label\": \"F-3\", \"positionStatus\": \"missing\"}, {\"position\": [0,0,4]}, "
      "{\"position\": [0,4,0]}]}]}";
  const ImportedSample one = import_landmark_text(json, "p.mrk.json", kKeep);
  EXPECT_EQ(one.missing, (std::vector<AbsentLandmark>{{0, 2}}));
  EXPECT_EQ(missing_landmarks_text(one),
            "1 specimen misses 1 landmark: specimen 1 (\"p\"): landmark 3.");
  EXPECT_EQ(missing_landmarks_text(import_landmark_text(cases[1].text, "a.tps", kCode)),
            "1 specimen misses 2 landmarks: specimen 2: landmarks 1, 3.");
}

TEST(MissingValues, NaNAndQuestionMarksStayRefused) {
  EXPECT_EQ(message_of<FileError>([] {
              import_landmark_text("LM3=4\n0 0 0\n4 0 0\nNaN 4 0\n0 0 4\n", "a.tps", kCode);
            }),
            "\"a.tps\" line 4: landmark 3 of specimen 1 is missing (\"NaN\"), which Velmora does "
            "not read as a missing value: write NA, or the number set as the missing-value code.");
  EXPECT_EQ(message_of<FileError>([] {
              import_landmark_text(
                  "id\tx1\ty1\tz1\tx2\ty2\tz2\tx3\ty3\tz3\na\t0\t0\t0\t1\t0\t0\t?\t1\t0\n", "t.tsv",
                  kKeep);
            }),
            "\"t.tsv\" line 2: landmark 3 of specimen 1 (\"a\") is missing (\"?\"), which Velmora "
            "does not read as a missing value: write NA, or the number set as the missing-value "
            "code.");
  EXPECT_EQ(message_of<FileError>(
                [] { import_landmark_text("0 0 0 4 0 0 0 4 0 nan 0 4 1\n", "n.txt", kKeep); }),
            "\"n.txt\" line 1, column 19: \"nan\" is not a finite number.");
  EXPECT_EQ(message_of<FileError>([] {
              import_landmark_text("LM3=3\n0 0 0\n4 0 0\n0 4 0\nLM3=3\nNA 0 0\n0 NA 0\n0 0 NA\n",
                                   "a.tps", kKeep);
            }),
            "\"a.tps\" line 5: every landmark of specimen 2 is missing.");
}

}  // namespace
}  // namespace velmora::io
