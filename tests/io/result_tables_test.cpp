// Result tables read back as a statistics package reads them: by header and
// by the name in the first column.
#include "io/result_tables.hpp"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/errors.hpp"

namespace velmora::io {
namespace {

using Table = std::vector<std::vector<std::string>>;

// Splits plain (unquoted) CSV lines; every line must end in a line feed.
Table cells(const std::string& text) {
  Table out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> row;
    std::istringstream fields(line);
    std::string f;
    while (std::getline(fields, f, ',')) row.push_back(f);
    out.push_back(row);
  }
  EXPECT_EQ(text.back(), '\n');
  return out;
}

Eigen::MatrixXd random_matrix(Eigen::Index r, Eigen::Index c, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> n(0, 3);
  Eigen::MatrixXd m(r, c);
  for (Eigen::Index i = 0; i < m.size(); ++i) m(i) = n(rng);
  return m;
}

TEST(ResultTables, ScoreNamesFollowTheWarpsThenTheUniformComponents) {
  EXPECT_EQ(score_names(11), (std::vector<std::string>{"PW1x", "PW1y", "PW1z", "PW2x", "PW2y",
                                                       "PW2z", "U1", "U2", "U3", "T1", "T2"}));
  EXPECT_EQ(score_names(5).front(), "U1");
  for (Eigen::Index bad : {0, 4, 6, 10}) EXPECT_THROW(score_names(bad), NumericError) << bad;
  try {
    score_names(7);
  } catch (const NumericError& e) {
    EXPECT_STREQ(e.what(),
                 "A score matrix has 3 columns a partial warp and 5 uniform columns; 7 columns "
                 "are not that.");
  }
}

// Every table, at full precision, gives back its numbers exactly, each
// under its name and beside its specimen.
TEST(ResultTables, ReadBackByNameAtFullPrecision) {
  const Eigen::MatrixXd scores = random_matrix(4, 8, 1);
  const std::vector<std::string> names{"skull01", "skull02", "skull03", "skull04"};
  const std::vector<double> sizes{10.5, 11.25, 9.75, 12};
  const Table t = cells(score_table_text(names, scores, sizes, NumberFormat::FullPrecision));
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[0], (std::vector<std::string>{"specimen", "PW1x", "PW1y", "PW1z", "U1", "U2", "U3",
                                            "T1", "T2", "CS"}));
  for (std::size_t i = 0; i < 4; ++i) {
    ASSERT_EQ(t[i + 1].size(), 10u);
    EXPECT_EQ(t[i + 1][0], names[i]);
    for (Eigen::Index c = 0; c < 8; ++c)
      EXPECT_EQ(std::stod(t[i + 1][static_cast<std::size_t>(c) + 1]),
                scores(static_cast<Eigen::Index>(i), c));
    EXPECT_EQ(std::stod(t[i + 1][9]), sizes[i]);
  }

  const std::vector<double> variances{4, 2, 1, 0.5, 0.25, 0, 0, 0};
  const Table p = cells(pca_table_text(names, scores, variances, NumberFormat::FullPrecision));
  ASSERT_EQ(p.size(), 6u);
  EXPECT_EQ(p[0][0], "specimen");
  EXPECT_EQ(p[0][8], "PC8");
  EXPECT_EQ(p[4][0], "skull04");
  EXPECT_EQ(std::stod(p[4][3]), scores(3, 2));
  EXPECT_EQ(p[5][0], "variance");
  EXPECT_EQ(std::stod(p[5][2]), 2);

  const Eigen::MatrixXd ref = random_matrix(3, 3, 2);
  const Table r = cells(reference_table_text(ref, NumberFormat::FullPrecision));
  EXPECT_EQ(r[0], (std::vector<std::string>{"landmark", "x", "y", "z"}));
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[3][0], "3");
  EXPECT_EQ(std::stod(r[3][2]), ref(2, 1));

  std::vector<double> v(8);
  for (int c = 0; c < 8; ++c) v[static_cast<std::size_t>(c)] = scores(0, c);
  const Table s = cells(vector_table_text(v, NumberFormat::FullPrecision));
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0], score_names(8));
  EXPECT_EQ(std::stod(s[1][7]), scores(0, 7));
}

TEST(ResultTables, MismatchesAreRefusedAndOnlyCsvNamesAskForATable) {
  const Eigen::MatrixXd scores = random_matrix(2, 5, 3);
  EXPECT_THROW(score_table_text({"a"}, scores, std::vector<double>{1, 2}), NumericError);
  EXPECT_THROW(score_table_text({"a", "b"}, scores, std::vector<double>{1}), NumericError);
  EXPECT_THROW(pca_table_text({"a", "b"}, scores, std::vector<double>{1, 2}), NumericError);
  EXPECT_THROW(reference_table_text(random_matrix(3, 2, 4)), NumericError);
  for (const char* yes : {"scores.csv", "S.CSV", "a.b.Csv"}) EXPECT_TRUE(names_a_table(yes)) << yes;
  for (const char* no : {"scores.txt", "csv", "scores.csv.txt", ".cs"})
    EXPECT_FALSE(names_a_table(no)) << no;
}

// A report's table as CSV: cells as they are, a field quoted only where a
// reader would split or trim it, the quote doubled.
TEST(ResultTables, ReportTableCellsAreQuotedOnlyWhereNeeded) {
  EXPECT_EQ(
      csv_table_text(
          {{"TERM", "Df", "Pr(>F)"}, {"a, b", "1", "NA"}, {"say \"x\"", "-2e-05", ""}, {"c:d"}}),
      "TERM,Df,Pr(>F)\n\"a, b\",1,NA\n\"say \"\"x\"\"\",-2e-05,\"\"\nc:d\n");
  EXPECT_EQ(csv_table_text({}), "");
}

}  // namespace
}  // namespace velmora::io
