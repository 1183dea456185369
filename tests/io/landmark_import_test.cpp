#include "io/landmark_import.hpp"

#include <gtest/gtest.h>

#include <Eigen/Core>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/errors.hpp"
#include "io/import_formats.hpp"
#include "io/landmark_file.hpp"
#include "io/list_files.hpp"
#include "io/test_files.hpp"

namespace velmora::io {
namespace {

using testing::message_of;
using testing::ScratchFolder;

// ---------------------------------------------------------------------------
// A random sample and small writers of every format, written here from the
// formats' descriptions, independently of the readers.

struct Sample {
  std::vector<std::string> names;
  std::vector<Eigen::MatrixX3d> configs;  // n configurations, k×3
};

Sample random_sample(std::uint64_t seed, int n, int k) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-100.0, 100.0);
  Sample s;
  for (int i = 0; i < n; ++i) {
    Eigen::MatrixX3d x(k, 3);
    for (int j = 0; j < k; ++j)
      for (int d = 0; d < 3; ++d) x(j, d) = u(rng) * (d + 1);
    s.configs.push_back(x);
    s.names.push_back("sk" + std::to_string(100 + i));
  }
  return s;
}

std::string num(double x) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", x);
  return buf;
}

std::string coords_line(const Eigen::MatrixX3d& x, const std::string& sep) {
  std::string line;
  for (Eigen::Index j = 0; j < x.rows(); ++j)
    for (int d = 0; d < 3; ++d) line += (line.empty() ? "" : sep) + num(x(j, d));
  return line;
}

std::string write_tps(const Sample& s) {
  std::string out;
  for (std::size_t i = 0; i < s.configs.size(); ++i) {
    out += "LM3=" + std::to_string(s.configs[i].rows()) + "\n";
    for (Eigen::Index j = 0; j < s.configs[i].rows(); ++j)
      out += num(s.configs[i](j, 0)) + " " + num(s.configs[i](j, 1)) + "\t" +
             num(s.configs[i](j, 2)) + "\n";
    out += "IMAGE=photo" + std::to_string(i) + ".jpg\nID=" + s.names[i] + "\n\n";
  }
  return out;
}

std::string write_nts(const Sample& s) {
  const auto k = s.configs.front().rows();
  std::string out = "\" a comment line\n1 " + std::to_string(s.configs.size()) + "L " +
                    std::to_string(3 * k) + " 0 DIM=3 \" trailing comment\n";
  for (const std::string& name : s.names) out += name + "\n";
  for (const auto& x : s.configs) out += coords_line(x, "  ") + "\n";
  return out;
}

std::string write_morphologika(const Sample& s, const std::vector<double>& age) {
  std::string out = "'made by the test\n[individuals]\n" + std::to_string(s.configs.size()) +
                    "\n[landmarks]\n" + std::to_string(s.configs.front().rows()) +
                    "\n[Dimensions]\n3\n[names]\n";
  for (const std::string& name : s.names) out += name + "\n";
  out += "[rawpoints]\n";
  for (std::size_t i = 0; i < s.configs.size(); ++i) {
    out += "'#" + std::to_string(i + 1) + "\n";
    for (Eigen::Index j = 0; j < s.configs[i].rows(); ++j)
      out += num(s.configs[i](j, 0)) + " " + num(s.configs[i](j, 1)) + " " +
             num(s.configs[i](j, 2)) + "\n";
  }
  out += "[labels]\nage group\n[labelvalues]\n";
  for (std::size_t i = 0; i < s.configs.size(); ++i)
    out += num(age[i]) + " " + (i % 2 ? "A" : "B") + "\n";
  return out;
}

std::string write_fcsv(const Eigen::MatrixX3d& x) {
  std::string out =
      "# Markups fiducial file version = 4.11\n# CoordinateSystem = LPS\n"
      "# columns = id,label,x,y,z,desc\n";
  for (Eigen::Index j = 0; j < x.rows(); ++j)
    out += "id" + std::to_string(j) + ",\"F, " + std::to_string(j + 1) + "\"," + num(x(j, 0)) +
           "," + num(x(j, 1)) + "," + num(x(j, 2)) + ",\n";
  return out;
}

std::string write_mrk_json(const Eigen::MatrixX3d& x) {
  std::string out =
      "{\"@schema\": \"x\", \"markups\": [{\"type\": \"Fiducial\", \"controlPoints\": [";
  for (Eigen::Index j = 0; j < x.rows(); ++j) {
    out += std::string(j ? "," : "") + "\n {\"id\": \"" + std::to_string(j + 1) +
           "\", \"position\": [" + num(x(j, 0)) + ", " + num(x(j, 1)) + ", " + num(x(j, 2)) +
           "], \"positionStatus\": \"defined\"}";
  }
  return out + "]}]}\n";
}

std::string write_table(const Sample& s, const std::string& sep) {
  std::string out = "\"\"";
  for (Eigen::Index j = 1; j <= s.configs.front().rows(); ++j)
    out += sep + "X" + std::to_string(j) + sep + "Y" + std::to_string(j) + sep + "Z" +
           std::to_string(j);
  out += "\r\n";
  for (std::size_t i = 0; i < s.configs.size(); ++i)
    out += "\"" + s.names[i] + "\"" + sep + coords_line(s.configs[i], sep) + "\r\n";
  return out;
}

/// Centroid size the way a textbook writes it: the Frobenius norm of the
/// centred configuration.
double textbook_size(const Eigen::MatrixX3d& x) {
  return (x.rowwise() - x.colwise().mean()).norm();
}

std::string write_native(const Sample& s) {
  std::string out;
  // The size column as another program measured it: the textbook size.
  for (const auto& x : s.configs) {
    char cs[32];
    std::snprintf(cs, sizeof cs, " %.17g\n", textbook_size(x));
    out += coords_line(x, " ") + cs;
  }
  return out;
}

void expect_sample(const ImportedSample& got, const Sample& want, const std::string& format,
                   bool names = true) {
  ASSERT_EQ(got.format, format);
  ASSERT_EQ(got.rows.rows(), static_cast<Eigen::Index>(want.configs.size()));
  const auto k = want.configs.front().rows();
  ASSERT_EQ(got.rows.cols(), 3 * k + 1);
  ASSERT_EQ(got.names.size(), want.configs.size());
  for (std::size_t i = 0; i < want.configs.size(); ++i) {
    const auto r = static_cast<Eigen::Index>(i);
    for (Eigen::Index j = 0; j < k; ++j) {
      for (int d = 0; d < 3; ++d) {
        ASSERT_NEAR(got.rows(r, 3 * j + d), want.configs[i](j, d),
                    1e-12 * std::abs(want.configs[i](j, d)))
            << "specimen " << i + 1 << " landmark " << j + 1;
      }
    }
    const double cs = textbook_size(want.configs[i]);
    ASSERT_NEAR(got.rows(r, 3 * k), cs, 1e-12 * cs);
    if (names) {
      EXPECT_EQ(got.names[i], want.names[i]);
    }
  }
}

// ---------------------------------------------------------------------------

TEST(LandmarkImport, EveryFormatReadsBackWhatItsWriterWrote) {
  const Sample s = random_sample(7, 9, 5);
  std::vector<double> age;
  for (int i = 0; i < 9; ++i) age.push_back(1.5 * i + 0.25);

  expect_sample(import_landmark_text(write_tps(s), "a.tps"), s, "TPS");
  expect_sample(import_landmark_text(write_nts(s), "a.nts"), s, "NTS");
  expect_sample(import_landmark_text(write_table(s, ","), "a.csv"), s, "CSV table");
  expect_sample(import_landmark_text(write_table(s, "\t"), "a.TSV"), s, "TSV table");
  expect_sample(import_landmark_text(write_native(s), "a.txt"), s, "native", false);

  const ImportedSample m = import_landmark_text(write_morphologika(s, age), "m.txt");
  expect_sample(m, s, "Morphologika");
  ASSERT_EQ(m.labels.size(), 2u);
  EXPECT_EQ(m.labels[0].name, "age");
  ASSERT_TRUE(m.labels[0].numeric());
  for (int i = 0; i < 9; ++i) EXPECT_EQ(m.labels[0].values(i), age[i]);
  EXPECT_EQ(m.labels[1].name, "group");
  EXPECT_EQ(m.labels[1].not_numeric, "\"B\" on line 76");
  EXPECT_EQ(m.labels[1].values.size(), 0);
  EXPECT_EQ(m.notes, std::vector<std::string>{
                         "\"m.txt\": label \"group\" is not a number for every specimen (\"B\" "
                         "on line 76); it cannot be used as X."});

  // One-specimen files, read one at a time and several at once.
  ScratchFolder dir;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < s.configs.size(); ++i) {
    const bool json = i % 2 == 1;
    paths.push_back(dir.write(s.names[i] + (json ? ".mrk.json" : ".fcsv"),
                              json ? write_mrk_json(s.configs[i]) : write_fcsv(s.configs[i])));
    const ImportedSample one = import_landmarks(paths.back());
    EXPECT_EQ(one.format, json ? "Markups JSON" : "Markups CSV");
    EXPECT_EQ(one.names, std::vector<std::string>{s.names[i]});
  }
  expect_sample(import_landmark_files(paths), s, "Markups CSV, Markups JSON");

  // Line ends and a byte-order mark change nothing.
  for (const std::string& end : {std::string("\r\n"), std::string("\r")}) {
    std::string tps = write_tps(s), nts = write_nts(s), morph = write_morphologika(s, age);
    for (std::string* text : {&tps, &nts, &morph}) {
      std::string changed = "\xEF\xBB\xBF";
      for (char c : *text) changed += c == '\n' ? end : std::string(1, c);
      *text = changed;
    }
    expect_sample(import_landmark_text(tps, "b.tps"), s, "TPS");
    expect_sample(import_landmark_text(nts, "b.nts"), s, "NTS");
    expect_sample(import_landmark_text(morph, "b.txt"), s, "Morphologika");
  }
}

TEST(LandmarkImport, ReadersAgreeOnTheBundledExamples) {
  const std::string folder = std::string(VELMORA_SOURCE_DIR) + "/examples/";
  const ImportedSample native = import_landmarks(folder + "skulls.txt");
  ASSERT_EQ(native.rows.rows(), 80);
  ASSERT_EQ(native.rows.cols(), 37);
  EXPECT_EQ(native.format, "native");
  EXPECT_EQ(native.names[79], "specimen 80");
  // The bundled file's size column was written with six decimals.
  EXPECT_TRUE(native.notes.empty());
  const TextMatrix raw = load_landmarks(folder + "skulls.txt");
  for (Eigen::Index i = 0; i < 80; ++i)
    EXPECT_NEAR(native.rows(i, 36), raw(static_cast<std::size_t>(i), 36),
                1e-6 * raw(static_cast<std::size_t>(i), 36));

  for (const char* name :
       {"skulls.tps", "skulls.nts", "skulls_morphologika.txt", "skulls.csv", "skulls.tsv"}) {
    SCOPED_TRACE(name);
    const ImportedSample s = import_landmarks(folder + "formats/" + name);
    // The same coordinates; the size column computed where the format has none.
    EXPECT_EQ(s.rows.leftCols(36), native.rows.leftCols(36));
    for (Eigen::Index i = 0; i < 80; ++i)
      EXPECT_NEAR(s.rows(i, 36), native.rows(i, 36), 1e-6 * native.rows(i, 36));
    ASSERT_EQ(s.names.size(), 80u);
    EXPECT_EQ(s.names[0], "skull01");
    EXPECT_EQ(s.names[79], "skull80");
    EXPECT_TRUE(s.notes.empty()) << s.notes.front();
  }
  const ImportedSample morph = import_landmarks(folder + "formats/skulls_morphologika.txt");
  const TextMatrix ages = load_x_list(folder + "age.txt");
  ASSERT_EQ(morph.labels.size(), 1u);
  EXPECT_EQ(morph.labels[0].name, "Age");
  for (Eigen::Index i = 0; i < 80; ++i)
    EXPECT_EQ(morph.labels[0].values(i), ages(static_cast<std::size_t>(i), 0));

  const ImportedSample files =
      import_landmark_files({folder + "formats/skull01.fcsv", folder + "formats/skull02.mrk.json",
                             folder + "formats/skull03.fcsv"});
  EXPECT_EQ(files.names, (std::vector<std::string>{"skull01", "skull02", "skull03"}));
  EXPECT_EQ(files.rows.leftCols(36), native.rows.topRows(3).leftCols(36));
}

TEST(LandmarkImport, NotesSayWhatWasReadDifferently) {
  const std::string tps =
      "LM3=3\n1 2 3\n4 6 8\n0 0 2\nSCALE=0.5\nID=a\nCURVES=1\nPOINTS=2\n9 9 9\n9 9 9\n"
      "LM3=3\n0 0 0\n1 1 1\n0 1 0\nID=b\n";
  const ImportedSample s = parse_tps_sample(tps, "t.tps");
  EXPECT_EQ(s.rows.row(0).head(6), (Eigen::RowVectorXd(6) << 0.5, 1, 1.5, 2, 3, 4).finished());
  EXPECT_EQ(s.names, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(s.notes,
            (std::vector<std::string>{
                "\"t.tps\": coordinates multiplied by their SCALE= for 1 of the 2 specimens; the "
                "others stay in their digitizing units.",
                "\"t.tps\": the curves (CURVES=) of 1 specimen are not read; only the landmarks "
                "of LM3= are."}));

  const ImportedSample n = import_landmark_text(
      "2.5 0 0 -2.5 0 0 0 2.5 0 0 -2.5 0 5\n"
      "2.5 0 0 -2.5 0 0 0 2.5 0 0 -2.5 0 5.00001\n"
      "2.5 0 0 -2.5 0 0 0 2.5 0 0 -2.5 0 5.0000001\n",
      "n.txt");
  EXPECT_EQ(n.rows.col(12), Eigen::Vector3d(5, 5.00001, 5.0000001));
  EXPECT_EQ(n.notes, std::vector<std::string>{
                         "\"n.txt\": the size column differs from the centroid size of the "
                         "coordinates by more than 1e-6 (relative) for 1 specimen (first "
                         "specimen 2: 5.00001 given, 5 computed); Velmora keeps the given "
                         "sizes."});

  const ImportedSample m = import_landmark_text(
      "[individuals]\n1\n[landmarks]\n3\n[dimensions]\n3\n[rawpoints]\n0 0 0\n1 0 0\n0 1 0\n"
      "[wireframe]\n1 2\n",
      "m.txt");
  EXPECT_EQ(m.notes,
            std::vector<std::string>{"\"m.txt\": section [wireframe] (line 11) is not read."});
  EXPECT_EQ(m.names, std::vector<std::string>{"specimen 1"});
}

TEST(LandmarkImport, ContentDecidesWhereTheExtensionDoesNot) {
  const std::string native = "0 0 0 1 0 0 0 1 0 1\n0 0 0 0 2 0 0 0 1 2\n";
  EXPECT_EQ(import_landmark_text(native, "a.csv").format, "native");
  EXPECT_EQ(import_landmark_text("0\t0\t0\t1\t0\t0\t0\t1\t0\t1\n", "a.tsv").format, "native");
  EXPECT_EQ(import_landmark_text(native, "a.dat").format, "native");
  EXPECT_EQ(import_landmark_text("lm3=3\n0 0 0\n1 0 0\n0 1 0\n", "a.dat").format, "TPS");
  EXPECT_EQ(import_landmark_text("1 1L 9 0 dim=3\nq 0 0 0 1 0 0 0 1 0\n", "a.dat").format, "NTS");
  EXPECT_EQ(import_landmark_text("\n  [individuals]\n1\n[landmarks]\n3\n[dimensions]\n3\n"
                                 "[rawpoints]\n0 0 0\n1 0 0\n0 1 0\n",
                                 "a")
                .format,
            "Morphologika");
  EXPECT_EQ(import_landmark_text("{\"markups\": [{\"controlPoints\": [{\"position\": [0,0,0]}, "
                                 "{\"position\": [0,1,0]}, {\"position\": [0,0,1]}]}]}",
                                 "x.data")
                .format,
            "Markups JSON");
  // A semicolon table from a spreadsheet of a decimal-comma locale.
  EXPECT_EQ(import_landmark_text("id;x1;y1;z1;x2;y2;z2;x3;y3;z3\na;0;0;0;1.5;0;0;0;1;0\n", "a.csv")
                .rows(0, 3),
            1.5);
  // Labels at the start of every data row.
  const ImportedSample nts = import_landmark_text(
      "1 2L 9 0 dim=3\nfirst 0 0 0 1 0 0 0 0 1\nsecond 0 0 0 0 1 0 0 0 1\n", "r.nts");
  EXPECT_EQ(nts.names, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(nts.rows(1, 4), 1.0);
}

/// Bad input of every format, and the exact message it gets.
struct Refusal {
  const char* label;
  std::string text;
  const char* message;
};

TEST(LandmarkImport, RefusalMessages) {
  const std::vector<Refusal> cases = {
      // TPS
      {"f.tps", "LM=2\n1 2\n3 4\n",
       "\"f.tps\" line 1: LM=2 holds 2-D landmarks; Velmora reads 3-D landmarks (LM3=)."},
      {"f.tps", "ID=a\nLM3=2\n",
       "\"f.tps\" line 1: expected LM3= to begin a specimen, found \"ID=a\"."},
      {"f.tps", "LM3=x\n",
       "\"f.tps\" line 1: LM3=x is not a landmark count (a whole number from 0 to 10000000)."},
      {"f.tps", "LM3=2\n1 2 3\n1 2\n",
       "\"f.tps\" line 3: landmark 2 of specimen 1 needs 3 numbers (x y z), found 2."},
      {"f.tps", "LM3=2\n1 2 3\n4 5 6\nLM3=2\n1 2 3\nID=b\n",
       "\"f.tps\" line 6: specimen 2 has 1 of the 2 landmarks that LM3= on line 4 announces."},
      {"f.tps", "LM3=2\n1 2 3\n",
       "\"f.tps\" line 2: the file ends after 1 of the 2 landmarks "
       "that LM3= on line 1 announces for specimen 1."},
      {"f.tps", "LM3=2\n1 2 3\n4 5 6\n7 8 9\n",
       "\"f.tps\" line 4: specimen 1 already has the 2 landmarks that LM3= on line 1 announces; "
       "expected a KEY=value line or the next LM3=, found \"7 8 9\"."},
      {"f.tps", "LM3=2\n1 2 3\n4 5 6\nLM3=3\n",
       "\"f.tps\" line 4: LM3=3 gives specimen 2 3 landmarks; the specimens before it have 2."},
      {"f.tps", "LM3=2\n1 2 3\n4 5 6\nSCALE=-1\n",
       "\"f.tps\" line 4: SCALE=-1 is not a positive number."},
      {"f.tps", "LM3=2\n1 2 3\n4 5 6\nID=a\nID=b\n",
       "\"f.tps\" line 5: a second ID= for specimen 1."},
      {"f.tps", "LM3=2\n1 2 3\n4 5,5 6\n", "\"f.tps\" line 3: \"5,5\" uses a decimal comma."},
      {"f.tps", "LM3=2\n1 2 3\n4 five 6\n",
       "\"f.tps\" line 3, column 3: \"five\" is not a number."},
      {"f.tps", "LM3=2\n1 2 3\n4 inf 6\n",
       "\"f.tps\" line 3, column 3: \"inf\" is not a finite number."},
      {"f.tps", "LM3=2\n1 2 3\n4 5 6\nID=a\nLM3=2\n1 2 3\n-999 -999 -999\nID=b\n",
       "\"f.tps\" line 7: landmark 2 of specimen 2 (\"b\") is missing (\"-999\"); every landmark "
       "must be present, Velmora does not estimate missing landmarks."},
      {"f.tps", "LM3=3\n1 2 3\n1 2 3\n1 2 3\nID=a\n",
       "\"f.tps\" line 1: all 3 landmarks of specimen 1 (\"a\") lie on one point."},
      {"f.tps", "LM3=1\n1 2 3\n",
       "\"f.tps\": each specimen holds a single landmark; the shape of fewer than three points "
       "cannot vary, so comparing shapes needs at least three landmarks per specimen."},
      {"f.tps", "LM3=2\n1 2 3\n4 5 6\n",
       "\"f.tps\": each specimen holds two landmarks; the shape of fewer than three points "
       "cannot vary, so comparing shapes needs at least three landmarks per specimen."},
      {"f.tps", "LM3=3\n1 2 3\n4 5 6\n0 1 0\nSCALE=1e-320\n",
       "\"f.tps\" line 1: the coordinates of specimen 1 are too small to represent: the "
       "largest is 6e-320 in magnitude, below 2.23e-308, the smallest number held with full "
       "precision."},
      {"f.tps", "", "\"f.tps\": the file holds no specimen."},
      // NTS
      {"f.nts", "1 2 6 0\n",
       "\"f.nts\" line 1: the header does not say dim=3; Velmora reads "
       "3-D landmarks (1 n 3k 0 dim=3)."},
      {"f.nts", "1 2 4 0 dim=2\n",
       "\"f.nts\" line 1: dim=2: Velmora reads 3-D landmarks only (dim=3)."},
      {"f.nts", "\" c\n1 2 7 0 dim=3\n",
       "\"f.nts\" line 2: the header announces 7 columns; 3-D landmarks need a multiple of 3 "
       "(x, y and z of every landmark)."},
      {"f.nts", "2 2 6 0 dim=3\n",
       "\"f.nts\" line 1: the header must begin with 1 (a rectangular matrix), found \"2\"."},
      {"f.nts", "1 2 6\n",
       "\"f.nts\" line 1: the header needs the matrix type 1, the number of "
       "specimens, the number of columns and 0, as in \"1 n 3k 0 dim=3\"."},
      {"f.nts", "1 2 6 0 dim=3\n0 0 0 1 0 0\n0 0 0\n",
       "\"f.nts\" line 3: the file ends after 9 of the 12 numbers that the header on line 1 "
       "announces."},
      {"f.nts", "1 1 6 0 dim=3\n0 0 0 1 0 0 7\n",
       "\"f.nts\" line 2, column 13: \"7\" follows the 1 × 6 numbers that the header on line 1 "
       "announces."},
      {"f.nts", "1 2L 6 1 9999 dim=3\na b\n0 0 0 1 0 0\n0 0 0 9999 1 1\n",
       "\"f.nts\" line 4: landmark 2 of specimen 2 (\"b\") is missing (\"9999\"); every landmark "
       "must be present, Velmora does not estimate missing landmarks."},
      {"f.nts", "1 2L 6 0 dim=3\na b\n0 0 0 1 0 0\n0 0 0 NA 1 1\n",
       "\"f.nts\" line 4: landmark 2 of specimen 2 (\"b\") is missing (\"NA\"); every landmark "
       "must be present, Velmora does not estimate missing landmarks."},
      {"f.nts", "\" only a comment\n", "\"f.nts\": the file holds no NTS header (1 n 3k 0 dim=3)."},
      // Morphologika
      {"m.txt", "[individuals]\n1\n[landmarks]\n2\n[dimensions]\n2\n[rawpoints]\n0 0\n1 1\n",
       "\"m.txt\" line 5: the file holds 2-D landmarks ([dimensions] 2); Velmora reads 3-D "
       "landmarks."},
      {"m.txt", "[individuals]\n1\n[landmarks]\n2\n[dimensions]\n3\n",
       "\"m.txt\": the Morphologika file has no [rawpoints] section."},
      {"m.txt", "[individuals]\n2\n[landmarks]\n2\n[dimensions]\n3\n[rawpoints]\n0 0 0\n1 0 0\n",
       "\"m.txt\" line 7: [rawpoints] holds 2 landmark lines; [individuals] 2 × [landmarks] 2 "
       "needs 4."},
      {"m.txt", "[individuals]\ntwo\n",
       "\"m.txt\" line 2: [individuals] must hold one whole "
       "number, found \"two\"."},
      {"m.txt", "[individuals]\n1\n[landmarks]\n2\n[dimensions]\n3\n[names]\na\nb\n",
       "\"m.txt\" line 7: [names] holds 2 names for the 1 individuals."},
      {"m.txt", "[individuals]\n1\n[individuals]\n1\n",
       "\"m.txt\" line 3: a second [individuals] section (the first is on line 1)."},
      {"m.txt",
       "[individuals]\n1\n[landmarks]\n2\n[dimensions]\n3\n[names]\nq\n[rawpoints]\n'#1\n"
       "0 0 0\n? 1 1\n",
       "\"m.txt\" line 12: landmark 2 of specimen 1 (\"q\") is missing (\"?\"); every landmark "
       "must be present, Velmora does not estimate missing landmarks."},
      // Markups
      {"p.fcsv", "# columns = id,x,y,z\n1,0,0,0\n2,1,,0\n",
       "\"p.fcsv\" line 3: landmark 2 of specimen 1 (\"p\") is missing (\"empty\"); every "
       "landmark must be present, Velmora does not estimate missing landmarks."},
      {"p.fcsv", "# columns = id,x,y\n1,0,0\n",
       "\"p.fcsv\" line 1: the \"# columns\" line names no x, y and z columns."},
      {"p.fcsv", "1,0,0,0\n2,1,0\n",
       "\"p.fcsv\" line 2: landmark 2 needs x, y and z in fields 2, 3 and 4; the line has 3 "
       "fields."},
      {"p.fcsv", "1,0,0,0\n2,1,a,0\n", "\"p.fcsv\" line 2, column 5: \"a\" is not a number."},
      {"p.fcsv", "# only\n", "\"p.fcsv\": the file holds no landmark."},
      {"p.mrk.json", "{\"markups\": [\n{\"controlPoints\": [}\n]}",
       "\"p.mrk.json\" line 2: this is not valid JSON (syntax error while parsing value - "
       "unexpected '}'; expected '[', '{', or a literal)."},
      {"p.mrk.json", "[1, 2]",
       "\"p.mrk.json\": the file holds no \"markups\" list; a markups file holds {\"markups\": "
       "[{\"controlPoints\": [...]}]}."},
      {"p.mrk.json", "{\"markups\": [{\"controlPoints\": []}, {\"controlPoints\": []}]}",
       "\"p.mrk.json\": the file holds 2 markups lists; Velmora reads one list (one specimen) a "
       "file."},
      {"p.mrk.json",
       "{\"markups\": [{\"controlPoints\": [{\"position\": [0,0,0]}, {\"label\": \"F-2\", "
       "\"positionStatus\": \"missing\"}]}]}",
       "\"p.mrk.json\": landmark 2 of specimen 1 (\"p\") is missing (\"missing, control point 2 "
       "(\"F-2\")\"); every landmark must be present, Velmora does not estimate missing "
       "landmarks."},
      {"p.mrk.json",
       "{\"markups\": [{\"controlPoints\": [{\"position\": [0,0,0]}, {\"position\": [1, 2]}]}]}",
       "\"p.mrk.json\": control point 2: \"position\" must hold three numbers (x, y, z)."},
      {"p.mrk.json",
       "{\"markups\": [{\"controlPoints\": [{\"position\": [0,0,0]}, {\"position\": "
       "[1,\"2\",3]}]}]}",
       "\"p.mrk.json\": control point 2: \"\"2\"\" in \"position\" is not a number."},
      // Tables
      {"t.csv", "a,1,2,3\nb,4,5,6\n",
       "\"t.csv\" line 1: the first row holds numbers; a table needs a "
       "header row (specimen,x1,y1,z1,x2,…)."},
      {"t.csv", "id,x1,y1,z1,x2,y2\n",
       "\"t.csv\" line 1: after the specimen column the header names 5 columns; a table needs "
       "x, y and z for every landmark (a multiple of 3: specimen,x1,y1,z1,x2,…)."},
      {"t.csv", "id,x1,x2,y1,y2,z1,z2\n",
       "\"t.csv\" line 1: column \"x2\" stands where the y of landmark 1 belongs; the columns "
       "must run x1, y1, z1, x2, y2, z2, … ."},
      {"t.csv", "id,x1,y1,z1,x2,y2,z2\na,0,0,0,1,1,1\nb,0,0,0,1,1\n",
       "\"t.csv\" line 3: expected 7 fields (the specimen and 6 coordinates), found 6."},
      {"t.csv", "id,x1,y1,z1,x2,y2,z2\na,0,0,0,1,1,1\n\"b,0,0,0,1,1,1\n",
       "\"t.csv\" line 3, column 1: a quoted field is not closed."},
      {"t.tsv", "id\tx1\ty1\tz1\tx2\ty2\tz2\na\t0\t0\t0\t1\t1\t1\nb\t0\t0\t0\tNA\t1\t1\n",
       "\"t.tsv\" line 3: landmark 2 of specimen 2 (\"b\") is missing (\"NA\"); every landmark "
       "must be present, Velmora does not estimate missing landmarks."},
      {"t.csv", "id;x1;y1;z1;x2;y2;z2\na;0;0;0;1,5;1;1\n",
       "\"t.csv\" line 2: \"1,5\" uses a decimal comma."},
      {"t.csv", "", "\"t.csv\": the file holds no header row (specimen,x1,y1,z1,x2,…)."},
      // Native
      {"n.txt", "0 0 0 1 1 abc 1\n", "\"n.txt\" line 1, column 11: \"abc\" is not a number."},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(message_of<FileError>([&] { import_landmark_text(c.text, c.label); }), c.message);
  }
}

TEST(LandmarkImport, FilesOnDisk) {
  ScratchFolder dir;
  const std::string missing = dir.file("gone.tps");
  EXPECT_EQ(message_of<FileError>([&] { import_landmarks(missing); }),
            "Cannot open the file \"" + missing + "\": No such file or directory.");
  EXPECT_EQ(message_of<FileError>([&] { import_landmark_files({}); }),
            "No landmark file was chosen.");
  const std::string a = dir.write("a.fcsv", "1,0,0,0\n2,1,0,0\n3,0,1,0\n");
  const std::string b = dir.write("b.fcsv", "1,0,0,0\n2,1,0,0\n3,0,1,0\n4,0,0,1\n");
  EXPECT_EQ(message_of<FileError>([&] {
              import_landmark_files({a, b});
            }),
            "\"" + b + "\": 4 landmarks, but \"" + a +
                "\" has 3; every specimen needs the same landmarks.");
  EXPECT_EQ(message_of<FileError>([&] {
              import_landmark_files({a, missing});
            }),
            "Cannot open the file \"" + missing + "\": No such file or directory.");
}

TEST(LandmarkImport, ChoicesOfSeveralFilesAndTheirLabels) {
  for (const auto& [name, markup] :
       std::vector<std::pair<std::string, bool>>{{"/d/a.fcsv", true},
                                                 {"b.MRK.JSON", true},
                                                 {"c.json", true},
                                                 {"/x.fcsv/d.txt", false},
                                                 {"e.fcsv.csv", false},
                                                 {"f.tps", false}})
    EXPECT_EQ(is_markup_file(name), markup) << name;

  ScratchFolder dir;
  const Sample s = random_sample(11, 6, 5);
  std::vector<double> age;
  for (int i = 0; i < 6; ++i) age.push_back(2.0 * i + 1);
  const std::string tps = dir.write("all.tps", write_tps(s));
  expect_sample(import_landmark_selection({tps}), s, "TPS");
  // A mixed choice is refused before anything is read.
  const std::string gone = dir.file("gone.fcsv");
  EXPECT_EQ(message_of<FileError>([&] {
              import_landmark_selection({gone, tps});
            }),
            "\"" + tps +
                "\": only markup files (.fcsv, .mrk.json) can be loaded several at a time, one "
                "specimen a file; load this file on its own.");
  EXPECT_EQ(message_of<FileError>([&] { import_landmark_selection({}); }),
            "No landmark file was chosen.");

  // Files that give the same labels keep them, joined in file order.
  const std::string m1 = dir.write("m1.txt", write_morphologika(s, age));
  const std::string m2 = dir.write("m2.txt", write_morphologika(s, age));
  const ImportedSample both = import_landmark_files({m1, m2});
  ASSERT_EQ(both.labels.size(), 2u);
  ASSERT_EQ(both.labels[0].values.size(), 12);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(both.labels[0].values(i), age[i % 6]);
  EXPECT_FALSE(both.labels[1].numeric());
  EXPECT_EQ(both.labels[1].not_numeric, "\"B\" on line 55");
  EXPECT_TRUE(import_landmark_files({m1, tps}).labels.empty());
}

}  // namespace
}  // namespace velmora::io
