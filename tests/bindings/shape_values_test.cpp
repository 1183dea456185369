#include "bindings/shape_values.hpp"

#include <gtest/gtest.h>

#include "platform/runtime/runtime_error.hpp"

namespace velmora::shape {
namespace {

Value counting_stack(std::size_t k, std::size_t n) {
  std::vector<double> d(k * 3 * n);
  for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<double>(i);
  return Value::array(k, 3, n, std::move(d));
}

TEST(StackLayout, SlicesFollowTheValueLayoutAndRoundTrip) {
  const Value v = counting_stack(4, 3);
  const Stack s = stack_from_value(v, "DATAV");
  ASSERT_EQ(s.k(), 4);
  ASSERT_EQ(s.n(), 3);
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t d = 0; d < 3; ++d)
      for (std::size_t j = 0; j < 4; ++j)
        EXPECT_EQ(s.slice(static_cast<Eigen::Index>(i))(static_cast<Eigen::Index>(j),
                                                        static_cast<Eigen::Index>(d)),
                  v(j, d, i));
  // Column i of the stacked view is specimen i's x, y, z blocks in turn.
  EXPECT_EQ(s.stacked()(5, 2), v(1, 1, 2));
  EXPECT_EQ(stack_to_value(s), v);

  Value moved = v;
  const Stack taken = stack_from_value(std::move(moved), "DATAV");
  EXPECT_EQ(stack_to_value(taken), v);
}

TEST(StackLayout, AMatrixIsAStackOfOneAndComesBackAsAMatrix) {
  const Value m = counting_stack(5, 1);
  const Stack s = stack_from_value(m, "x");
  EXPECT_EQ(s.n(), 1);
  const Value back = stack_to_value(s);
  EXPECT_EQ(back.ndims(), 2);
  EXPECT_EQ(back, m);
  EXPECT_EQ(config_from_value(m, "reference"), Config(s.slice(0)));
}

TEST(StackLayout, WrongShapesAreRefusedByName) {
  struct Case {
    Value v;
    const char* text;
  };
  const Case cases[] = {
      {Value::zeros(4, 2),
       "DATAV must be a stack of configurations (k landmarks x 3 coordinates x n specimens), "
       "not a 4x2 array."},
      {Value(),
       "DATAV must be a stack of configurations (k landmarks x 3 coordinates x n specimens), "
       "not a 0x0 array."},
      {Value("abc"),
       "DATAV must be a stack of configurations (k landmarks x 3 coordinates x n specimens), "
       "not a value that is not a number array."},
  };
  for (const Case& c : cases) {
    try {
      stack_from_value(c.v, "DATAV");
      ADD_FAILURE() << "accepted " << c.text;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(std::string(e.what()), c.text);
    }
  }
  try {
    config_from_value(counting_stack(4, 2), "reference");
    ADD_FAILURE();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(std::string(e.what()),
              "reference must be a configuration (k landmarks x 3 coordinates), not a 4x3x2 "
              "array.");
  }
}

}  // namespace
}  // namespace velmora::shape
