#include "bindings/shape_functions.hpp"

#include <gtest/gtest.h>

#include "bindings/shape_values.hpp"
#include "bindings_test_support.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "shape/procrustes.hpp"
#include "shape/random_shapes.hpp"

namespace velmora::shape {
namespace {

class ShapeFunctions : public ::testing::Test {
 protected:
  ShapeFunctions() { register_shape_functions(table_); }

  FunctionTable table_;
};

TEST_F(ShapeFunctions, DeclaredCountsAreEnforcedOutputsFirst) {
  testing::expect_declared_counts(table_, {{"centsize3Da", 1, 1},
                                           {"svdrot2", 2, 1},
                                           {"rotate3da", 2, 1},
                                           {"fullprocrustes3", 2, 1},
                                           {"partialprocrustes3a", 2, 1},
                                           {"getpproc3", 1, 2},
                                           {"getfprocon3", 2, 1},
                                           {"pcaref3d", 1, 2},
                                           {"getpdistance3", 2, 1}});
  EXPECT_EQ(testing::call_error(table_, "getpproc3", {Value::zeros(4, 3)}, 3),
            "Run-time Error: File: getpproc3 Line: 1 Column: 1 The function \"getpproc3\" was "
            "called with more than the declared number of outputs (2).");
  EXPECT_EQ(testing::call_error(table_, "svdrot2", {Value::zeros(4, 3)}, 1),
            undefined_input_text("svdrot2", "subject"));
  EXPECT_EQ(testing::call_error(table_, "rotate3da", {Value::zeros(4, 3), Value::zeros(2, 2)}, 1),
            "roto must be a 3x3 matrix.");
}

TEST_F(ShapeFunctions, ValuesRoundTripThroughTheTypedFunctions) {
  Eigen::MatrixXd tetra(4, 3);
  tetra << 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1;
  EXPECT_DOUBLE_EQ(table_.call("centsize3Da", {Value::matrix(tetra)}, 1)[0].to_scalar(), 1.5);

  testing::RandomShapes rnd;
  const Config a = rnd.cloud(6), b = rnd.cloud(6);
  const Value sample = stack_to_value(testing::stack_of({a, b}));
  const ValueList gpa = table_.call("getpproc3", {sample}, 2);
  ASSERT_EQ(gpa.size(), 2u);
  EXPECT_EQ(gpa[0].rows(), 6u);
  EXPECT_EQ(gpa[1].dims(), sample.dims());
  const GpaResult typed = generalized_procrustes(stack_from_value(sample, "data"));
  EXPECT_EQ(gpa[1], stack_to_value(typed.fitted));

  ConsoleCapture capture;
  const ValueList fitted = table_.call("getfprocon3", {gpa[0], sample}, 1);
  EXPECT_EQ(capture.text(), named_display("count", Value(2.0)));
  EXPECT_EQ(fitted[0].dims(), sample.dims());

  const ValueList turned =
      table_.call("rotate3da", {Value::matrix(a), Value::matrix(Eigen::Matrix3d::Identity())}, 1);
  EXPECT_EQ(turned[0], Value::matrix(a));
  const ValueList dist = table_.call("getpdistance3", {Value::matrix(a), sample}, 1);
  EXPECT_EQ(dist[0].rows(), 1u);
  EXPECT_EQ(dist[0].cols(), 2u);
  EXPECT_EQ(dist[0](0), 0.0);
  const ValueList axes = table_.call("pcaref3d", {Value::matrix(a)}, 2);
  EXPECT_NEAR(axes[1].to_matrix().determinant(), 1.0, 1e-12);
}

}  // namespace
}  // namespace velmora::shape
