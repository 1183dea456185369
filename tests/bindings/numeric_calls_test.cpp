// The numerical library reports through its own error types; the bindings
// hand the same texts to the run-time.
#include "bindings/numeric_calls.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "bindings/io_values.hpp"
#include "bindings/shape_functions.hpp"
#include "bindings/shape_values.hpp"
#include "bindings_test_support.hpp"
#include "core/errors.hpp"
#include "io/list_files.hpp"
#include "shape/procrustes.hpp"

namespace velmora {
namespace {

// A sample whose second specimen has all landmarks on one point.
shape::Stack collapsed_sample() {
  shape::Stack s(4, 2);
  s.slice(0) << 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1;
  s.slice(1).setConstant(2.0);
  return s;
}

TEST(LibraryErrors, NumericsThrowTheirOwnTypeAndTheTableTheSameTextAsRuntimeError) {
  std::string direct;
  try {
    shape::generalized_procrustes(collapsed_sample());
    ADD_FAILURE() << "accepted a collapsed specimen";
  } catch (const RuntimeError&) {
    ADD_FAILURE() << "the library threw the run-time's error";
  } catch (const NumericError& e) {
    direct = e.what();
  }
  EXPECT_EQ(direct.rfind("Cannot superimpose specimen 2", 0), 0u) << direct;

  FunctionTable table;
  shape::register_shape_functions(table);
  EXPECT_EQ(testing::runtime_error_of(
                [&] { table.call("getpproc3", {shape::stack_to_value(collapsed_sample())}, 2); }),
            direct);
}

TEST(LibraryErrors, AsRuntimeErrorConvertsOnlyTheLibrarysErrors) {
  for (const std::string text : {"a refused file", "a degenerate sample"}) {
    EXPECT_EQ(testing::runtime_error_of(
                  [&] { as_runtime_error([&]() -> int { throw io::FileError(text); }); }),
              text);
    EXPECT_EQ(testing::runtime_error_of(
                  [&] { as_runtime_error([&]() -> int { throw NumericError(text); }); }),
              text);
  }
  EXPECT_THROW(as_runtime_error([]() -> int { throw std::invalid_argument("other"); }),
               std::invalid_argument);
  EXPECT_EQ(as_runtime_error([] { return 7; }), 7);
}

TEST(LibraryErrors, WireframeValuesAreRefusedWithTheReadersText) {
  const Value wires = Value::row({1, 2, 9});
  std::string library, refusal;
  try {
    io::check_wires(1, 3, wires.data(), 8);
  } catch (const io::FileError& e) {
    library = e.what();
  }
  try {
    io::check_wires(wires, 8);
  } catch (const DataRefusal& e) {
    refusal = e.what();
  }
  EXPECT_EQ(library, "Wire row 1: landmark 9 is not a whole number from 1 to 8.");
  EXPECT_EQ(refusal, library);
  EXPECT_NO_THROW(io::check_wires(wires, 9));
}

}  // namespace
}  // namespace velmora
