#include "platform/render/ticks.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace velmora::render {
namespace {

TEST(Ticks, NiceLimitsAreRoundAndContainTheData) {
  struct Case {
    double lo, hi, want_lo, want_hi;
  };
  const Case cases[] = {{0.02, 0.97, 0, 1},
                        {-0.27, 0.31, -0.3, 0.4},
                        {3, 3, 2, 4},
                        {1, 9, 0, 10},
                        {-1234, 567, -1500, 1000}};
  for (const Case& c : cases) {
    auto l = nice_limits(c.lo, c.hi);
    EXPECT_NEAR(l[0], c.want_lo, 1e-12) << c.lo << " " << c.hi;
    EXPECT_NEAR(l[1], c.want_hi, 1e-12) << c.lo << " " << c.hi;
  }
  // Awkward ranges: always contain, never more than about twice as wide.
  for (double lo : {-7.31e-5, 0.1234, 17.0, -3e6}) {
    for (double span : {1e-9, 0.37, 42.0, 9e5}) {
      auto l = nice_limits(lo, lo + span);
      EXPECT_LE(l[0], lo);
      EXPECT_GE(l[1], lo + span);
      EXPECT_LT(l[1] - l[0], 2.6 * span + 1e-12 * std::fabs(lo)) << lo << " " << span;
    }
  }
  auto none = nice_limits(INFINITY, -INFINITY);
  EXPECT_EQ(none[0], 0);
  EXPECT_EQ(none[1], 1);
}

TEST(Ticks, StepsValuesAndLabels) {
  EXPECT_DOUBLE_EQ(nice_step(0, 1, 10), 0.1);
  EXPECT_DOUBLE_EQ(nice_step(0, 1, 5), 0.2);
  EXPECT_DOUBLE_EQ(nice_step(0, 100, 2), 50);
  EXPECT_DOUBLE_EQ(tick_step(0, 1, 11), 0.1);
  EXPECT_DOUBLE_EQ(tick_step(0, 1, 6), 0.2);
  EXPECT_DOUBLE_EQ(tick_step(-0.2, 0.3, 3), 0.2);  // -0.2, 0, 0.2; not 0.5 with 0 alone
  EXPECT_GE(tick_values(0.11, 0.19, tick_step(0.11, 0.19, 3)).size(), 2u);
  EXPECT_DOUBLE_EQ(next_nice_step(0.1), 0.2);
  EXPECT_DOUBLE_EQ(next_nice_step(0.2), 0.5);
  EXPECT_DOUBLE_EQ(next_nice_step(0.5), 1);

  auto t = tick_values(-0.3, 0.4, 0.1);
  ASSERT_EQ(t.size(), 8u);
  EXPECT_EQ(t[3], 0.0);
  EXPECT_FALSE(std::signbit(t[3]));
  EXPECT_TRUE(tick_values(0, 1, 0).empty());

  EXPECT_EQ(tick_label(0.30000000000000004, 0.1), "0.3");
  EXPECT_EQ(tick_label(-1e-17, 0.1), "0");
  EXPECT_EQ(tick_label(-3, 1), "-3");
  EXPECT_EQ(tick_label(1500, 500), "1500");
  EXPECT_EQ(tick_label(0.25, 0.05), "0.25");
  EXPECT_EQ(tick_label(0.5, 0.05), "0.5");
  EXPECT_EQ(tick_label(1, 0.1), "1");
  EXPECT_EQ(tick_label(2e6, 1e6), "2e+06");
}

}  // namespace
}  // namespace velmora::render
