#include "bindings/io_values.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "core/errors.hpp"
#include "io/list_files.hpp"
#include "io/test_files.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::io {
namespace {

using testing::message_of;

TEST(IoValues, AMatrixReadFromTextBecomesTheSameValue) {
  const TextMatrix m = parse_text_matrix("1 2 3\n4 5 6\n", "m.txt");
  const Value v = to_value(m);
  EXPECT_EQ(v.rows(), 2u);
  EXPECT_EQ(v.cols(), 3u);
  EXPECT_EQ(v(1, 0), 4.0);
  EXPECT_EQ(v.data(), (std::vector<double>{1, 4, 2, 5, 3, 6}));
}

TEST(IoValues, AWireframeValueIsCheckedAsTheFileReaderChecksItsRows) {
  TextMatrix w = parse_wire_list("1 1 2\n2 2 12\n0 12 1\n", "w.txt");
  EXPECT_NO_THROW(check_wires(to_value(w), 12));

  // A wireframe value that did not come through the file reader.
  auto refusal = [](std::string_view text, std::size_t k) {
    TextMatrix m = parse_text_matrix(text, "w.txt");
    return message_of<DataRefusal>([&] { check_wires(to_value(m), k); });
  };
  EXPECT_EQ(refusal("1 1 2\n1 2.5 3\n", 12),
            "Wire row 2: landmark 2.5 is not a whole number from 1 to 12.");
  EXPECT_EQ(refusal("1 0 3\n", 12), "Wire row 1: landmark 0 is not a whole number from 1 to 12.");
  EXPECT_EQ(refusal("1 3 -1\n", 12), "Wire row 1: landmark -1 is not a whole number from 1 to 12.");
  EXPECT_EQ(refusal("1 3 13\n", 12), "Wire row 1: landmark 13 is not a whole number from 1 to 12.");

  // An empty wireframe is nothing to draw.
  EXPECT_NO_THROW(check_wires(Value(), 12));
  EXPECT_EQ(message_of<DataRefusal>([] {
              check_wires(Value::row({1, 2}), 12);
            }),
            "The wireframe needs 3 numbers per wire (wire number, landmark, landmark); it has 2.");
  EXPECT_EQ(message_of<DataRefusal>([] { check_wires(Value("1 2 3"), 12); }),
            "The wireframe must be a matrix of numbers, one wire per row.");
}

}  // namespace
}  // namespace velmora::io
