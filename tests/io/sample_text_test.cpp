#include "io/sample_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/errors.hpp"
#include "io/landmark_import.hpp"
#include "io/test_files.hpp"

namespace velmora::io {
namespace {

/// A sample whose numbers need all 17 digits and whose names need quoting.
ImportedSample awkward_sample() {
  ImportedSample s;
  s.rows.resize(4, 10);
  for (Eigen::Index i = 0; i < 4; ++i)
    for (Eigen::Index c = 0; c < 9; ++c)
      s.rows(i, c) =
          std::pow(-1.0, static_cast<double>(c)) * (c + 1) / 3.0 * std::pow(10.0, i * 7 - 10) +
          (c == 4 ? 1e-3 : 0.0);
  for (Eigen::Index i = 0; i < 4; ++i) {
    const Eigen::Matrix<double, 3, 3, Eigen::RowMajor> x =
        Eigen::Map<const Eigen::Matrix<double, 3, 3, Eigen::RowMajor>>(
            Eigen::RowVectorXd(s.rows.row(i).head(9)).data());
    s.rows(i, 9) = (x.rowwise() - x.colwise().mean()).norm();
  }
  s.names = {"plain", "with, comma", "say \"hi\"", " padded\tname "};
  return s;
}

TEST(SampleText, WrittenSamplesReadBackExactly) {
  const ImportedSample s = awkward_sample();

  const ImportedSample native = import_landmark_text(native_sample_text(s), "back.txt");
  EXPECT_EQ(native.format, "native");
  EXPECT_TRUE(native.notes.empty());
  for (Eigen::Index i = 0; i < 4; ++i)
    for (Eigen::Index c = 0; c < 9; ++c) EXPECT_EQ(native.rows(i, c), s.rows(i, c));
  EXPECT_TRUE(native.rows.col(9).isApprox(s.rows.col(9), 1e-14));

  const ImportedSample csv = import_landmark_text(csv_sample_text(s), "back.csv");
  EXPECT_EQ(csv.format, "CSV table");
  EXPECT_EQ(csv.names, s.names);
  EXPECT_EQ(csv.rows.leftCols(9), s.rows.leftCols(9));

  // Line ends in a name survive too.
  ImportedSample lines = s;
  lines.names[0] = "two\nlines";
  EXPECT_EQ(import_landmark_text(csv_sample_text(lines), "l.csv").names, lines.names);
}

TEST(SampleText, Layouts) {
  ImportedSample s;
  s.rows.resize(2, 7);
  s.rows << 0, 0, 0, 3, 4, 0, 5, 0.1, 0, 0, 0, 0, -2.5, 2.6;
  s.names = {"a", "b"};
  EXPECT_EQ(native_sample_text(s), "0 0 0 3 4 0 5\n0.1 0 0 0 0 -2.5 2.6\n");
  EXPECT_EQ(csv_sample_text(s), "specimen,x1,y1,z1,x2,y2,z2\na,0,0,0,3,4,0\nb,0.1,0,0,0,0,-2.5\n");

  const Eigen::Matrix<double, 2, 2> scores{{2.0 / 3, 1e8}, {-1.2e-5, 0.5}};
  EXPECT_EQ(specimen_names_text({"a", "b,c"}, scores),
            "specimen,value1,value2\na,0.666667,1e+08\n\"b,c\",-1.2e-05,0.5\n");
  EXPECT_EQ(specimen_names_text({"a", "b"}, scores, {"pw1", "size"}, NumberFormat::FullPrecision),
            "specimen,pw1,size\na,0.6666666666666666,1e+08\nb,-1.2e-05,0.5\n");
  EXPECT_EQ(specimen_names_text({"a", ""}), "specimen\na\n\"\"\n");
  EXPECT_EQ(testing::message_of<velmora::NumericError>([&] { specimen_names_text({"a"}, scores); }),
            "The table has 2 rows for 1 specimen names.");
  EXPECT_EQ(testing::message_of<velmora::NumericError>([&] {
              specimen_names_text({"a", "b"}, scores, {"one"});
            }),
            "The table has 2 columns but 1 column names.");
}

}  // namespace
}  // namespace velmora::io
