#include "io/specimen_table.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/errors.hpp"
#include "io/import_formats.hpp"

namespace velmora::io {
namespace {

std::string refusal(std::string_view text, const std::vector<std::string>& names,
                    char delimiter = ',') {
  try {
    parse_specimen_table(text, "t.csv", delimiter, names);
  } catch (const FileError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(SpecimenTable, MatchesNamesInAnyOrderAndSortsColumnsIntoKinds) {
  const std::vector<std::string> names{"a", "b", "c"};
  const SpecimenTable t = parse_specimen_table("sex;age;id\r\nM;1.5;c\r\nF;2;a\r\n\"F\";3e0;b\r\n",
                                               "t.csv", ',', names);
  EXPECT_EQ(t.name_column, "id");
  ASSERT_EQ(t.columns.size(), 2u);
  EXPECT_FALSE(t.columns[0].numeric);
  EXPECT_EQ(t.columns[0].levels, (std::vector<std::string>{"F", "F", "M"}));
  EXPECT_TRUE(t.columns[1].numeric);
  EXPECT_EQ(t.columns[1].values, Eigen::Vector3d(2, 3, 1.5));

  // Generated names: a column of them matches the rows in any order, under
  // any header; without a name column the rows are taken in order.
  const std::vector<std::string> generated{"specimen 1", "specimen 2", "specimen 3"};
  const SpecimenTable g = parse_specimen_table(
      "pop\tlabel\nB\tspecimen 2\nC\tspecimen 3\nA\tspecimen 1\n", "t.tsv", ',', generated);
  EXPECT_EQ(g.name_column, "label");
  ASSERT_EQ(g.columns.size(), 1u);
  EXPECT_EQ(g.columns[0].levels, (std::vector<std::string>{"A", "B", "C"}));
  const SpecimenTable o = parse_specimen_table("pop\nB\nC\nA\n", "t.csv", ',', generated);
  EXPECT_EQ(o.name_column, "");
  EXPECT_EQ(o.columns[0].levels, (std::vector<std::string>{"B", "C", "A"}));
  // The separator is the header's, whatever the reader expected.
  for (const char* text :
       {"id,pop\na,1\nb,2\nc,3\n", "id\tpop\na\t1\nb\t2\nc\t3\n", "id;pop\na;1\nb;2\nc;3\n",
        "\xEF\xBB\xBF\n\"i,d\"\tpop\na\t1\nb\t2\nc\t3\n"}) {
    for (char fallback : {',', '\t'}) {
      const SpecimenTable t = parse_specimen_table(text, "t.txt", fallback, names);
      ASSERT_EQ(t.columns.size(), 1u) << text;
      EXPECT_EQ(t.columns[0].values, Eigen::Vector3d(1, 2, 3)) << text;
    }
  }
}

TEST(SpecimenTable, RefusesBadTablesNamingLineColumnAndValue) {
  const std::vector<std::string> names{"a", "b", "c"};
  EXPECT_EQ(refusal("", names), "\"t.csv\": the specimen table holds no header row.");
  EXPECT_EQ(refusal("id,age,age\na,1,2\n", names),
            "\"t.csv\" line 1, column 8: the header names \"age\" twice (columns 2 and 3).");
  EXPECT_EQ(refusal("id,age\na,1\nb\n", names),
            "\"t.csv\" line 3: expected 2 fields as the header on line 1 names, found 1.");
  EXPECT_EQ(refusal("id,age\na,1\nb,2\nc,x\n", names),
            "\"t.csv\" line 4, column 3 (\"age\"): \"x\" is not a number. The other values of "
            "the column are numbers.");
  EXPECT_EQ(refusal("id,age\na,1\nb,NA\nc,2\n", names),
            "\"t.csv\" line 3, column 3: column 2 (\"age\") has no value (\"NA\"); every "
            "specimen needs one.");
  EXPECT_EQ(refusal("id,age\nq,1\nr,2\n", names),
            "\"t.csv\": no column of the specimen table holds the names of the sample's "
            "specimens (such as \"a\").");
  EXPECT_EQ(refusal("id,age\na,1\nz,2\na,3\nw,4\n", names),
            "\"t.csv\": the names in column 1 (\"id\") do not match the sample's 3 specimens "
            "(the table has 4 rows). Not specimens of the sample: \"z\" (line 3), \"w\" (line "
            "5). Given twice: \"a\" (lines 2 and 4). Without a row: \"b\", \"c\".");
  EXPECT_EQ(refusal("pop\nA\nB\n", {"specimen 1", "specimen 2", "specimen 3"}),
            "\"t.csv\": the specimen table has 2 rows for the 3 specimens of the sample, whose "
            "specimens have no names, so the rows are taken in order.");
  EXPECT_EQ(refusal("id\na\nb\nc\n", names),
            "\"t.csv\" line 1: the specimen table has no column besides the names.");
  EXPECT_EQ(refusal("id,age\na,1\nb,2\nc,3\na,4\nb,5\nc,6\nd,7\n", names),
            "\"t.csv\": the specimen table has 7 rows for the 3 specimens of the sample; each "
            "specimen has one.");
  EXPECT_EQ(refusal("id,age\na,1\nb,x y\nc,z\nd,2\n", {"a", "b", "c", "d"}),
            "\"t.csv\" line 3, column 3 (\"age\"): \"x y\" is not a number. 2 of the column's 4 "
            "values are numbers; a covariate needs one in every row.");
  // Generated names: a name column must name the specimens.
  EXPECT_EQ(refusal("ID,pop\nx,A\nspecimen 2,B\n", {"specimen 1", "specimen 2"}),
            "\"t.csv\": the names in column 1 (\"ID\") do not match the sample's 2 specimens "
            "(the table has 2 rows). Not specimens of the sample: \"x\" (line 2). Without a row: "
            "\"specimen 1\". The sample's specimens have only the generated names \"specimen "
            "1\" to \"specimen 2\".");
  EXPECT_EQ(refusal("Name,pop\n1,A\n2,B\n", {"specimen 1", "specimen 2"}),
            "\"t.csv\": the names in column 1 (\"Name\") do not match the sample's 2 specimens "
            "(the table has 2 rows). Not specimens of the sample: \"1\" (line 2), \"2\" (line "
            "3). Without a row: \"specimen 1\", \"specimen 2\". The sample's specimens have "
            "only the generated names \"specimen 1\" to \"specimen 2\".");
  // Names that a model reads otherwise; the name column may take any.
  const std::vector<std::string> labels{"SEX"};
  auto clash = [&](std::string_view text) {
    try {
      parse_specimen_table(text, "t.csv", ',', names, labels);
    } catch (const FileError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(clash("id,age,CS\na,1,2\nb,2,3\nc,3,4\n"),
            "\"t.csv\" line 1, column 8: column 3 (\"CS\") has the name of the centroid size, "
            "which CS always means in a model; rename the column.");
  EXPECT_EQ(clash("X,id\n1,a\n2,b\n3,c\n"),
            "\"t.csv\" line 1, column 1: column 1 (\"X\") has the name of the X list, which X "
            "always means in a model; rename the column.");
  EXPECT_EQ(clash("id,\"SEX\"\na,F\nb,M\nc,F\n"),
            "\"t.csv\" line 1, column 4: column 2 (\"SEX\") has the name of a label of the "
            "landmark file, which a model would read instead; rename the column.");
  EXPECT_EQ(clash("CS,sex\na,F\nb,M\nc,F\n").substr(0, 8), "accepted");
}

TEST(SpecimenTable, SampleFilesGiveGroupsAndKeysAsLabels) {
  const std::string morpho =
      "[individuals]\n3\n[landmarks]\n3\n[dimensions]\n3\n[groups]\nwild type 2\nmutant 1\n"
      "[rawpoints]\n"
      "0 0 0\n1 0 0\n0 1 0\n0 0 0\n2 0 0\n0 1 0\n0 0 0\n1 0 0\n0 3 0\n";
  const ImportedSample m = parse_morphologika_sample(morpho, "m.txt");
  ASSERT_EQ(m.labels.size(), 1u);
  EXPECT_EQ(m.labels[0].texts, (std::vector<std::string>{"wild type", "wild type", "mutant"}));
  const auto columns = label_columns(m.labels);
  EXPECT_FALSE(columns[0].numeric);
  try {
    std::string bad = morpho;
    bad.replace(bad.find("mutant 1"), 8, "mutant 2");
    parse_morphologika_sample(bad, "m.txt");
    FAIL();
  } catch (const FileError& e) {
    EXPECT_STREQ(e.what(),
                 "\"m.txt\" line 9: [groups] counts more individuals than the 3 of [individuals].");
  }

  const std::string tps =
      "LM3=3\n0 0 0\n1 0 0\n0 1 0\nID=a\nSEX=F\nAGE=3\n"
      "LM3=3\n0 0 0\n2 0 0\n0 1 0\nID=b\nSEX=M\nAGE=4.5\nSIDE=L\n";
  const ImportedSample t = parse_tps_sample(tps, "t.tps");
  ASSERT_EQ(t.labels.size(), 2u);
  EXPECT_EQ(t.labels[0].name, "AGE");
  EXPECT_EQ(t.labels[0].values, Eigen::Vector2d(3, 4.5));
  EXPECT_EQ(t.labels[1].texts, (std::vector<std::string>{"F", "M"}));
  EXPECT_FALSE(t.labels[1].numeric());
  ASSERT_FALSE(t.notes.empty());
  EXPECT_EQ(t.notes.back(), "\"t.tps\": SIDE= is given for 1 of the 2 specimens; it is not read.");
}

// Rows in any order give the same columns; any edit of the bytes gives a
// table of the sample's size or a refusal naming the file, never another
// failure.
TEST(SpecimenTable, RowOrderDoesNotMatterAndEditedBytesAreReadOrRefused) {
  std::mt19937 gen(11);
  const std::vector<std::string> names{"s1", "s2", "s3", "s4", "s5"};
  std::vector<std::string> rows{"s1,A,1.5", "s2,B,2", "s3,A,-3", "s4,C,4e1", "s5,B,0"};
  const SpecimenTable base =
      parse_specimen_table("id,g,x\n" + rows[0] + "\n" + rows[1] + "\n" + rows[2] + "\n" + rows[3] +
                               "\n" + rows[4] + "\n",
                           "t.csv", ',', names);
  static const char kBytes[] = ",;\t\"\n\r 0123456789.eE-+aAsNx\xc3\xff";
  for (int round = 0; round < 3000; ++round) {
    std::shuffle(rows.begin(), rows.end(), gen);
    std::string text = "id,g,x\n";
    for (const std::string& r : rows) text += r + "\n";
    const SpecimenTable t = parse_specimen_table(text, "t.csv", ',', names);
    ASSERT_EQ(t.columns[0].levels, base.columns[0].levels);
    ASSERT_EQ(t.columns[1].values, base.columns[1].values);
    std::uniform_int_distribution<std::size_t> at(0, text.size() - 1);
    std::uniform_int_distribution<int> byte(0, sizeof kBytes - 2), edits(1, 4);
    for (int e = edits(gen); e > 0; --e) text[at(gen)] = kBytes[byte(gen)];
    try {
      const SpecimenTable edited = parse_specimen_table(text, "t.csv", ',', names);
      for (const SpecimenColumn& c : edited.columns) {
        if (c.numeric) {
          ASSERT_EQ(c.values.size(), 5);
          ASSERT_TRUE(c.values.allFinite());
        } else {
          ASSERT_EQ(c.levels.size(), 5u);
        }
      }
    } catch (const FileError& err) {
      ASSERT_EQ(std::string(err.what()).substr(0, 7), "\"t.csv\"") << err.what();
    }
  }
}

}  // namespace
}  // namespace velmora::io
