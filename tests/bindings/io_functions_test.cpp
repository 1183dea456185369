#include "bindings/io_functions.hpp"

#include <gtest/gtest.h>

#include "io/test_files.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::io {
namespace {

using testing::message_of;
using testing::ScratchFolder;

class IoFunctions : public ::testing::Test {
 protected:
  IoFunctions() { register_io_functions(table_); }
  Value call(std::string_view name, const ValueList& args) {
    return table_.call(name, args, 1).at(0);
  }
  FunctionTable table_;
};

TEST_F(IoFunctions, DeclaredCounts) {
  EXPECT_EQ(table_.find("dload")->nargin, 1);
  EXPECT_EQ(table_.find("dload")->nargout, 1);
  EXPECT_EQ(table_.find("vertxy3D")->nargin, 1);
  EXPECT_EQ(table_.find("x1y1z1")->nargin, 2);
  EXPECT_EQ(table_.find("x1y1z1")->nargout, 1);
}

TEST_F(IoFunctions, Dload) {
  ScratchFolder dir;
  EXPECT_EQ(call("dload", {Value(dir.file("absent.txt"))}), Value(-1.0));
  Value m = call("dload", {Value(dir.write("m.txt", "1 2\n3 4\n\n \n"))});
  EXPECT_EQ(m, Value::array(2, 2, 1, {1, 3, 2, 4}));
  const std::string gap = dir.write("gap.txt", "1 2\n3 4\n\n9 9\n");
  EXPECT_EQ(message_of<RuntimeError>([&] { call("dload", {Value(gap)}); }),
            "\"" + gap + "\" line 3: a blank line ends the data, but 1 more line follows it.");
  const std::string bad = dir.write("bad.txt", "1 2\n3 4 5\n");
  EXPECT_EQ(message_of<RuntimeError>([&] { call("dload", {Value(bad)}); }),
            "\"" + bad + "\" line 2: expected 2 numbers, found 3.");
  EXPECT_EQ(message_of<RuntimeError>([&] { call("dload", {Value(3.0)}); }),
            "dload: the file name fname must be text.");
}

TEST_F(IoFunctions, ReshapeRoundTripWithEcho) {
  std::vector<double> config(36);
  for (std::size_t i = 0; i < config.size(); ++i) config[i] = 0.5 * static_cast<double>(i) - 3;
  Value x = Value::array(12, 3, 1, config);

  ConsoleCapture capture;
  Value row = call("x1y1z1", {x, Value(1.0)});
  EXPECT_EQ(capture.text(), named_display("m", Value(12.0)) + named_display("n", Value(3.0)));
  ASSERT_EQ(row.rows(), 1u);
  ASSERT_EQ(row.cols(), 37u);
  EXPECT_EQ(row(36), 1.0);
  EXPECT_EQ(row(3), x(1, 0));  // x2

  Value back = call("vertxy3D", {row});
  EXPECT_EQ(back.dims(), (std::array<std::size_t, 3>{12, 3, 1}));
  EXPECT_EQ(back, x);

  Value two =
      call("vertxy3D", {Value::array(2, 7, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14})});
  EXPECT_EQ(two.dims(), (std::array<std::size_t, 3>{2, 3, 2}));
  EXPECT_EQ(two(1, 2, 1), 12.0);  // specimen 2, landmark 2, z = x(2, 6)
}

TEST_F(IoFunctions, BadArguments) {
  ConsoleCapture capture;
  EXPECT_EQ(message_of<RuntimeError>([&] {
              call("x1y1z1", {Value::zeros(4, 2), Value(1.0)});
            }),
            "x1y1z1: the configuration x must have 3 columns (x, y, z); it has 2.");
  EXPECT_EQ(message_of<RuntimeError>([&] { call("vertxy3D", {Value("abc")}); }),
            "vertxy3D: the input x must be a two-dimensional array of numbers.");
  EXPECT_EQ(message_of<RuntimeError>([&] { call("x1y1z1", {Value::zeros(4, 3)}); }),
            undefined_input_text("x1y1z1", "cs"));
}

}  // namespace
}  // namespace velmora::io
