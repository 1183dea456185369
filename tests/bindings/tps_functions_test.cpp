#include "bindings/tps_functions.hpp"

#include <gtest/gtest.h>

#include "bindings/shape_values.hpp"
#include "bindings_test_support.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "tps/reference_shapes.hpp"
#include "tps/scores.hpp"

namespace velmora::tps {
namespace {

TEST(TpsFunctions, CountsRefusalsAndValueRoundTrips) {
  FunctionTable table;
  register_tps_functions(table);
  testing::expect_declared_counts(table,
                                  {{"lmatrix3da", 1, 4}, {"getpw3d", 2, 1}, {"defimppw3", 2, 1}});

  testing::RandomShapes rnd(51);
  const shape::Config ref = testing::principal_reference(rnd, 7);
  const ValueList basis = table.call("lmatrix3da", {Value::matrix(ref)}, 4);
  ASSERT_EQ(basis.size(), 4u);
  EXPECT_EQ(basis[0].rows(), 7u);
  EXPECT_EQ(basis[1].cols(), 7u);
  EXPECT_EQ(basis[1](1, 0), 0.0);
  EXPECT_EQ(basis[2].cols(), 5u);
  EXPECT_EQ(basis[3].rows(), 21u);
  EXPECT_EQ(basis[3].cols(), 14u);

  const shape::Stack data = testing::stack_of({ref + 0.01 * rnd.cloud(7), ref});
  const ValueList scores =
      table.call("getpw3d", {Value::matrix(ref), shape::stack_to_value(data)}, 1);
  EXPECT_EQ(scores[0], Value::matrix(partial_warp_scores(ref, data)));

  ConsoleCapture capture;
  const ValueList implied = table.call("defimppw3", {Value::matrix(ref), Value::zeros(2, 13)}, 1);
  EXPECT_EQ(implied[0].pages(), 2u);
  EXPECT_EQ(capture.text(), named_display("count", Value(2.0)));
}

}  // namespace
}  // namespace velmora::tps
