// Files that could be read wrongly without a word: NTS rows whose labels are
// numbers, markups JSON with a key given twice, and wireframe files far
// larger than any wireframe.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.hpp"
#include "io/landmark_import.hpp"
#include "io/list_files.hpp"
#include "io/test_files.hpp"

namespace velmora::io {
namespace {

using testing::message_of;
using testing::ScratchFolder;

// ---------------------------------------------------------------------------
// NTS row labels: a block after the header, or one at the head of each row.

TEST(NtsRowLabels, BothLayoutsReadTheSameSampleWhateverTheLabels) {
  std::mt19937_64 rng(24);
  std::uniform_int_distribution<int> coord(-50, 50);
  for (int trial = 0; trial < 40; ++trial) {
    const std::size_t n = 1 + rng() % 5, k = 3 + rng() % 3, cols = 3 * k;
    const bool numeric = trial % 2 == 0, col_labels = trial % 3 == 0;
    std::vector<std::string> names;
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < n; ++i) {
      names.push_back(numeric ? std::to_string(101 + i) : "sk" + std::to_string(i));
      std::string row;
      for (std::size_t c = 0; c < cols; ++c) row += " " + std::to_string(coord(rng));
      rows.push_back(row.substr(1));
    }
    const std::string header = "1 " + std::to_string(n) + "L " + std::to_string(cols) +
                               (col_labels ? "L" : "") + " 0 dim=3\n";
    std::string columns;
    for (std::size_t c = 0; c < cols; ++c) columns += "c" + std::to_string(c) + " ";
    columns += "\n";
    std::string block = header;
    for (const std::string& name : names) block += name + (rng() % 2 ? "\n" : " ");
    block += "\n" + (col_labels ? columns : "");
    std::string inline_rows = header + (col_labels ? columns : "");
    for (std::size_t i = 0; i < n; ++i) {
      block += rows[i] + "\n";
      inline_rows += names[i] + " " + rows[i] + "\n";
    }
    const ImportedSample a = import_landmark_text(block, "a.nts");
    const ImportedSample b = import_landmark_text(inline_rows, "b.nts");
    EXPECT_EQ(a.names, names) << block;
    EXPECT_EQ(b.names, names) << inline_rows;
    ASSERT_EQ(static_cast<std::size_t>(b.rows.rows()), n);
    ASSERT_EQ(a.rows.rows(), b.rows.rows());
    EXPECT_TRUE(a.rows == b.rows) << block << inline_rows;
    for (std::size_t i = 0; i < n; ++i) {
      std::string row;
      for (std::size_t c = 0; c < cols; ++c)
        row += " " + std::to_string(static_cast<int>(
                         b.rows(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(c))));
      EXPECT_EQ(row.substr(1), rows[i]) << inline_rows;
    }
  }
}

TEST(NtsRowLabels, AFileThatFitsNeitherLayoutIsRefusedWithItsLineAndCounts) {
  const std::string header = "1 3L 6 0 dim=3\n";
  const std::string r1 = "101 0 0 0 1 0 0\n", r2 = "102 0 0 0 0 1 0\n", r3 = "103 0 0 0 0 0 1\n";
  const std::pair<std::string, std::string> bad[] = {
      {header + r1 + r2 + "103 0 0 0 0 0\n",
       "\"f.nts\" line 4: the line holds 6 words; line 2 begins the rows of a label and 6 "
       "numbers (7 words), and a block of 3 labels would leave rows of 6."},
      {header + r1 + r2 + r3 + "104 1 1 1 2 2 2\n",
       "\"f.nts\" line 5: the file holds 4 rows of a label and 6 numbers (7 words a line); the "
       "header on line 1 announces 3."},
      {header + r1 + r2,
       "\"f.nts\" line 3: the file ends after 2 of the 3 rows of a label and 6 numbers that the "
       "header on line 1 announces."},
      // A block of labels with a row short of a number: the block reader counts.
      {header + "a b c\n0 0 0 1 0 0\n0 0 0 0 1 0\n0 0 0 0 0\n",
       "\"f.nts\" line 5: the file ends after 17 of the 18 numbers that the header on line 1 "
       "announces."},
  };
  for (const auto& [text, message] : bad)
    EXPECT_EQ(message_of<FileError>([&] { import_landmark_text(text, "f.nts"); }), message) << text;
}

// ---------------------------------------------------------------------------
// Markups JSON: a key given twice in one object.

TEST(MarkupsJson, AKeyGivenTwiceIsRefusedWithWhereItIs) {
  const std::pair<std::string, std::string> bad[] = {
      {"{\"markups\": [{\"controlPoints\": [\n{\"position\": [0,0,0]},\n"
       "{\"position\": [1,0,0],\n \"position\": [5,5,5]}]}]}",
       "\"p.mrk.json\" line 4: the key \"position\" comes a second time in "
       "markups[0].controlPoints[1] (first on line 3); Velmora does not guess which one holds "
       "the landmarks."},
      {"{\"markups\": [{\"controlPoints\": [{\"position\": [0,0,0]}, {\"position\": [1,0,0]}]}],"
       "\n\"markups\": [{\"controlPoints\": [{\"position\": [0,0,9]}, {\"position\": [1,0,0]}]}]}",
       "\"p.mrk.json\" line 2: the key \"markups\" comes a second time in the top-level object "
       "(first on line 1); Velmora does not guess which one holds the landmarks."},
      {"{\"a\": [1, {\"b\": 2}], \"c\": {\"d\\n\": {\"e\": 1, \"e\": 2}}}",
       "\"p.mrk.json\" line 1: the key \"e\" comes a second time in c.d\\n (first on line 1); "
       "Velmora does not guess which one holds the landmarks."},
  };
  for (const auto& [text, message] : bad)
    EXPECT_EQ(message_of<FileError>([&] { import_landmark_text(text, "p.mrk.json"); }), message)
        << text;
  // The same key in different objects, and keys that differ only in case,
  // are no duplicates.
  const ImportedSample ok = import_landmark_text(
      "{\"Markups\": 1, \"markups\": [{\"controlPoints\": [{\"position\": [0,0,0], \"Position\": "
      "1}, {\"position\": [1,2,3]}, {\"position\": [0,4,0]}]}]}",
      "p.mrk.json");
  EXPECT_EQ(ok.rows(0, 3), 1);
  EXPECT_EQ(ok.rows(0, 5), 3);
}

// ---------------------------------------------------------------------------
// Wireframes: repeated and self wires, and files too large to be one.

TEST(Wireframes, RepeatedAndSelfWiresAreLeftOutKeepingTheFirstInOrder) {
  std::mt19937_64 rng(5);
  for (int trial = 0; trial < 30; ++trial) {
    const std::size_t k = 2 + rng() % 8, w = rng() % 200;
    TextMatrix m;
    m.rows = w;
    m.cols = 4;
    m.values.resize(4 * w);
    for (std::size_t i = 0; i < w; ++i) {
      m.values[i] = static_cast<double>(i + 1);
      m.values[i + w] = static_cast<double>(1 + rng() % k);
      m.values[i + 2 * w] = static_cast<double>(1 + rng() % k);
      m.values[i + 3 * w] = 0.5 * static_cast<double>(i);
    }
    const WireCleanup clean = without_repeated_wires(m);
    // Computed here the slow way: each row against every earlier row.
    std::vector<std::size_t> expected;
    std::size_t self = 0;
    for (std::size_t i = 0; i < w; ++i) {
      const double a = m(i, 1), b = m(i, 2);
      if (a == b) {
        ++self;
        continue;
      }
      bool seen = false;
      for (std::size_t j : expected)
        seen = seen || (m(j, 1) == a && m(j, 2) == b) || (m(j, 1) == b && m(j, 2) == a);
      if (!seen) expected.push_back(i);
    }
    ASSERT_EQ(clean.wires.rows, expected.size());
    EXPECT_LE(clean.wires.rows, k * (k - 1) / 2);
    EXPECT_EQ(clean.self, self);
    EXPECT_EQ(clean.self + clean.repeated + clean.wires.rows, w);
    for (std::size_t r = 0; r < expected.size(); ++r)
      for (std::size_t c = 0; c < 4; ++c) EXPECT_EQ(clean.wires(r, c), m(expected[r], c));
  }
}

TEST(Wireframes, AFileTooLargeToBeAWireframeIsRefusedBeforeItIsParsed) {
  ScratchFolder dir;
  std::string lines;
  for (std::size_t i = 0; i <= kMostWireLines; ++i) lines += "1 1 2\n";
  const std::string many = dir.write("many.txt", lines);
  EXPECT_EQ(message_of<FileError>([&] { load_wire_list(many); }),
            "\"" + many +
                "\": the file has 1000001 lines; a wireframe file may have at most 1000000 (one "
                "wire a line).");
  // A sparse file: its size is refused before a byte of it is read.
  const std::string huge = dir.write("huge.txt", "1 1 2\n");
  std::filesystem::resize_file(huge, kLargestWireFile + 1);
  EXPECT_EQ(message_of<FileError>([&] { load_wire_list(huge); }),
            "\"" + huge +
                "\": the file holds 100000001 bytes; a wireframe file may hold at most 100 MB.");
}

}  // namespace
}  // namespace velmora::io
