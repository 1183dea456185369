#include "io/list_files.hpp"

#include <gtest/gtest.h>

#include "core/errors.hpp"
#include "io/test_files.hpp"

namespace velmora::io {
namespace {

using testing::message_of;
using testing::ScratchFolder;

TEST(XList, ReadsOneValuePerLine) {
  TextMatrix x = parse_x_list("1.5\n2\n7\n", "age.txt");
  EXPECT_EQ(x.rows, 3u);
  EXPECT_EQ(x.cols, 1u);
  EXPECT_EQ(x.values, (std::vector<double>{1.5, 2, 7}));
  // The same end-of-data rule as every file: a lone one-digit last value stays.
  EXPECT_EQ(parse_x_list("12\n9", "age.txt").values, (std::vector<double>{12, 9}));
  EXPECT_EQ(parse_x_list("12\n\n \n", "age.txt").values, (std::vector<double>{12}));
}

TEST(XList, RefusalMessages) {
  auto refusal = [](std::string_view text) {
    return message_of<FileError>([&] { parse_x_list(text, "age.txt"); });
  };
  EXPECT_EQ(refusal("1 2\n3 4\n"), "\"age.txt\" line 1: expected one value per line, found 2.");
  EXPECT_EQ(refusal("1\n2 3\n"), "\"age.txt\" line 2: expected 1 number, found 2.");
  EXPECT_EQ(refusal("12\n\n9"),
            "\"age.txt\" line 2: a blank line ends the data, but 1 more line follows it.");
  EXPECT_EQ(refusal("1\nnan\n"), "\"age.txt\" line 2, column 1: \"nan\" is not a finite number.");
  EXPECT_EQ(refusal("1\n1e400\n"),
            "\"age.txt\" line 2, column 1: \"1e400\" is not a finite number.");
  EXPECT_EQ(refusal("1\nten\n"), "\"age.txt\" line 2, column 1: \"ten\" is not a number.");
  EXPECT_EQ(refusal(""), "\"age.txt\": the file holds no numbers.");

  ScratchFolder dir;
  EXPECT_EQ(message_of<FileError>([&] { load_x_list(dir.file("none.txt")); }),
            "Cannot open the file \"" + dir.file("none.txt") + "\": No such file or directory.");
  EXPECT_EQ(load_x_list(dir.write("x.txt", "3\n4\n")).rows, 2u);
}

TEST(WireList, ReadsAndRefuses) {
  TextMatrix w = parse_wire_list("1 1 2 0\n2 2 3 99\n", "w.txt");
  EXPECT_EQ(w.rows, 2u);
  EXPECT_EQ(w.cols, 4u);
  EXPECT_EQ(w(1, 2), 3.0);

  auto refusal = [](std::string_view text) {
    return message_of<FileError>([&] { parse_wire_list(text, "w.txt"); });
  };
  EXPECT_EQ(refusal("1 2\n"),
            "\"w.txt\" line 1: a wire needs 3 numbers (wire number, landmark, landmark), found 2.");
  EXPECT_EQ(refusal("1 1 2\n2 2\n"), "\"w.txt\" line 2: expected 3 numbers, found 2.");
  EXPECT_EQ(refusal("1 1 inf\n"), "\"w.txt\" line 1, column 5: \"inf\" is not a finite number.");
  ScratchFolder dir;
  EXPECT_EQ(load_wire_list(dir.write("w.txt", "3,7,12\r\n")).values,
            (std::vector<double>{3, 7, 12}));
}

TEST(CheckWires, LandmarkNumbersMustFitTheConfiguration) {
  TextMatrix w = parse_wire_list("1 1 2\n2 2 12\n0 12 1\n", "w.txt");
  EXPECT_NO_THROW(check_wires(w, 12));
  EXPECT_EQ(message_of<FileError>([&] { check_wires(w, 11); }),
            "Wire row 2: landmark 12 is not a whole number from 1 to 11.");

  // Only the landmark columns count; an empty wireframe is nothing to draw.
  EXPECT_NO_THROW(check_wires(parse_wire_list("0.5 1 2\n", "w"), 2));
  // The file reader refuses what can never be a landmark number.
  EXPECT_EQ(message_of<FileError>([] { parse_wire_list("1 1 2\n1 2.5 3\n", "w.txt"); }),
            "\"w.txt\" line 2: 2.5 is not a landmark number (a whole number from 1 up).");
}

}  // namespace
}  // namespace velmora::io
