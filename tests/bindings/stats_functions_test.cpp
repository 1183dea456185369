#include "bindings/stats_functions.hpp"

#include <gtest/gtest.h>

#include "bindings_test_support.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::stats {
namespace {

class StatsFunctions : public ::testing::Test {
 protected:
  StatsFunctions() { register_stats_functions(table_); }

  FunctionTable table_;
};

TEST_F(StatsFunctions, DeclaredCountsAndRefusals) {
  testing::expect_declared_counts(table_, {{"fcdf", 3, 1},
                                           {"normcdf", 3, 1},
                                           {"chi2cdf", 2, 1},
                                           {"gamcdf", 3, 1},
                                           {"distchck", kOnePlus, kOnePlus},
                                           {"regstuf", 2, 1},
                                           {"getWilkslambda", 2, 1}});
  EXPECT_EQ(testing::call_error(table_, "fcdf", {1, 2, 2, 4}, 1), too_many_inputs_text("fcdf", 3));
  EXPECT_EQ(testing::call_error(table_, "regstuf", {1, 2}, 2), too_many_outputs_text("regstuf", 1));
  EXPECT_EQ(testing::call_error(table_, "fcdf", {1, 2}, 1), "Requires three input arguments.");
  EXPECT_EQ(testing::call_error(table_, "chi2cdf", {1}, 1), "Requires two input arguments.");
  EXPECT_EQ(testing::call_error(table_, "gamcdf", {1}, 1),
            "Requires at least two input arguments.");
  EXPECT_EQ(testing::call_error(table_, "normcdf", {}, 1), undefined_input_text("normcdf", "x"));
  EXPECT_EQ(testing::call_error(table_, "normcdf", {Value::zeros(2, 2), Value::zeros(1, 3)}, 1),
            "Requires non-scalar arguments to match in size.");
}

TEST_F(StatsFunctions, ValuesInValuesOut) {
  EXPECT_EQ(table_.call("normcdf", {0.0}, 1)[0].to_scalar(), 0.5);
  EXPECT_NEAR(table_.call("fcdf", {1.0, 2.0, 2.0}, 1)[0].to_scalar(), 0.5, 1e-15);
  EXPECT_NEAR(table_.call("gamcdf", {1.0, 1.0}, 1)[0].to_scalar(), 0.6321205588285577, 2e-16);
  const Value row3 = table_.call("normcdf", {Value::row({-1, 0, 1})}, 1)[0];
  EXPECT_EQ(row3.cols(), 3u);

  const ValueList expanded = table_.call("distchck", {2.0, 5.0, Value::row({1, 2})}, 3);
  ASSERT_EQ(expanded.size(), 3u);
  EXPECT_EQ(expanded[0].to_scalar(), 0);
  EXPECT_EQ(expanded[1], Value::row({5, 5}));
  EXPECT_EQ(expanded[2], Value::row({1, 2}));
  const ValueList mismatch =
      table_.call("distchck", {2.0, Value::zeros(2, 2), Value::row({1, 2, 3})}, 3);
  EXPECT_EQ(mismatch[0].to_scalar(), 1);
  EXPECT_EQ(table_.call("distchck", {1.0, Value::row({4, 5})}, 2)[1], Value::row({4, 5}));
  EXPECT_EQ(testing::call_error(table_, "distchck", {2.0, 1.0}, 3),
            undefined_input_text("distchck", "varargin"));

  const Value x = Value::row({1, 2, 3, 4, 5});
  const Value s = table_.call("regstuf", {x, Value::column({2, 4, 5, 4, 5})}, 1)[0];
  ASSERT_EQ(s.rows(), 1u);
  ASSERT_EQ(s.cols(), 7u);
  EXPECT_NEAR(s(0), 0.6, 1e-15);
  EXPECT_EQ(s(3), 5);
  EXPECT_NEAR(s(6), std::sqrt(0.5), 1e-15);

  Eigen::MatrixXd scores(5, 2);
  scores << 2, 0, 4, 0, 5, 0, 4, 0, 5, 0;
  const Value w = table_.call("getWilkslambda", {Value::matrix(scores), x}, 1)[0];
  ASSERT_EQ(w.cols(), 6u);
  EXPECT_NEAR(w(0), 0.4, 1e-14);
  EXPECT_NEAR(w(1), 4.5, 1e-13);
  EXPECT_EQ(w(2), 1);
  EXPECT_EQ(w(3), 3);
  EXPECT_EQ(w(5), 1);
  EXPECT_EQ(
      testing::call_error(table_, "getWilkslambda",
                          {Value::matrix(Eigen::MatrixXd::Random(3, 4)), Value::row({1, 2, 3})}, 1),
      "Wilks' lambda is undefined: 3 regressed score columns need at least 5 specimens, "
      "and there are 3.");
}

}  // namespace
}  // namespace velmora::stats
