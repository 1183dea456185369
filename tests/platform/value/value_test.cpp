#include "platform/value/value.hpp"

#include <gtest/gtest.h>

#include "platform/runtime/runtime_error.hpp"

namespace velmora {
namespace {

TEST(Value, EmptyScalarsTextAndTruth) {
  Value none;
  EXPECT_TRUE(none.empty());
  EXPECT_FALSE(none.is_true());
  EXPECT_EQ(none.rows(), 0u);

  Value x(2.5);
  EXPECT_TRUE(x.is_scalar());
  EXPECT_DOUBLE_EQ(x.to_scalar(), 2.5);
  EXPECT_TRUE(x.is_true());
  EXPECT_FALSE(Value(0.0).is_true());
  EXPECT_FALSE(Value::row({1, 0, 1}).is_true());

  Value s("Größe");
  EXPECT_TRUE(s.is_char());
  EXPECT_EQ(s.cols(), 5u);
  EXPECT_EQ(s.to_string(), "Größe");
  EXPECT_TRUE(Value("").empty());
}

TEST(Value, ColumnMajorStackLayout) {
  // Element (j, d, i) of a k×3×n stack sits at j + k·(d + 3·i).
  Value v = Value::zeros(4, 3, 2);
  v(1, 2, 1) = 7;
  EXPECT_EQ(v.data()[1 + 4 * (2 + 3 * 1)], 7);
  EXPECT_EQ(v.ndims(), 3);
  EXPECT_THROW(v.to_matrix("stack"), RuntimeError);
  std::vector<double> d = v.take_data();
  EXPECT_EQ(d.size(), 24u);
  EXPECT_TRUE(v.empty());
}

TEST(Value, MatrixRoundTripAndCheckedConversions) {
  Eigen::MatrixXd m(2, 3);
  m << 1, 2, 3, 4, 5, 6;
  Value v = Value::matrix(m);
  EXPECT_EQ(v(1, 0), 4);
  EXPECT_EQ(v.to_matrix(), m);
  try {
    v.to_scalar("the factor");
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(), "the factor must be a single number, not a 2x3 array.");
  }
  EXPECT_THROW(Value("text").to_matrix(), RuntimeError);
  EXPECT_THROW(Value(1.0).to_string(), RuntimeError);
}

TEST(Value, CellsAndRecordsKeepOrder) {
  Value c = Value::cell_row({Value("a"), Value("b"), Value(3.0)});
  EXPECT_EQ(c.numel(), 3u);
  EXPECT_EQ(c.at(1).to_string(), "b");
  EXPECT_THROW(c.at(3), RuntimeError);

  Value r = Value::record();
  r.set_field("zeta", 1.0);
  r.set_field("alpha", 2.0);
  r.set_field("zeta", 3.0);
  ASSERT_EQ(r.field_names().size(), 2u);
  EXPECT_EQ(r.field_names()[0], "zeta");
  EXPECT_EQ(r.field("zeta").to_scalar(), 3.0);
  EXPECT_THROW(r.field("beta"), RuntimeError);
  EXPECT_EQ(r, r);
  EXPECT_FALSE(r == c);
}

TEST(Value, NamedDisplay) {
  EXPECT_EQ(named_display("m", Value(20.0)), "m =\n   20\n\n");
  EXPECT_EQ(named_display("v", Value::row({1.5, -2})), "v =\n   1.5   -2\n\n");
  EXPECT_EQ(named_display("s", Value("k-")), "s =\n   'k-'\n\n");
}

}  // namespace
}  // namespace velmora
