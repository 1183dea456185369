#include "io/g_format.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace velmora::io {
namespace {

std::string g_text(double x) {
  char buf[kGTextMax];
  return std::string(buf, write_g(buf, x));
}

std::string printf_text(double x) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%g", x);
  return std::string(buf, static_cast<std::size_t>(n));
}

/// The values a six-digit rounding can go wrong on: every d.ddddd5·10^e
/// halfway point and its two neighbouring doubles, for the decades where
/// the formatter changes style or path.
std::vector<double> rounding_boundaries(std::mt19937_64& gen) {
  std::vector<double> out = {0.0001,   0.00001,   1e-5,           999999.5,      99999.95,
                             9.999995, 0.0999995, 999999.4,       9999995,       1e27,
                             1e-17,    1e22,      1e23,           123456.5,      123455.5,
                             0.5,      2.5,       1234565,        1234575,       1e6,
                             1e5,      99999.5,   0.000099999949, 0.00009999995, 0.0001000005};
  std::uniform_int_distribution<int> mantissa(100000, 999999);
  for (int e = -30; e <= 30; ++e) {
    for (int i = 0; i < 300; ++i) {
      const double m = mantissa(gen) + 0.5;
      const double x = m * std::pow(10.0, e - 5);
      out.push_back(x);
      out.push_back(std::nextafter(x, 0.0));
      out.push_back(std::nextafter(x, HUGE_VAL));
    }
  }
  return out;
}

// The formatter against the C library's printf on a million numbers: bit
// patterns of every magnitude (subnormals, infinities and not-a-numbers
// among them), integers, numbers of everyday sizes, and the halfway points
// of the sixth digit with their neighbours, each with both signs.
TEST(GFormat, SameTextAsPrintfOnAMillionNumbers) {
  std::mt19937_64 gen(2024);
  std::vector<double> numbers = {0.0,
                                 -0.0,
                                 std::numeric_limits<double>::denorm_min(),
                                 std::numeric_limits<double>::min(),
                                 std::numeric_limits<double>::max(),
                                 std::numeric_limits<double>::infinity(),
                                 std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::epsilon()};
  for (double b : rounding_boundaries(gen)) numbers.push_back(b);
  std::uniform_int_distribution<std::uint64_t> bits;
  std::uniform_int_distribution<std::int64_t> integers(-2000000, 2000000);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::normal_distribution<double> normal;
  while (numbers.size() < 1000000) {
    switch (numbers.size() % 4) {
      case 0:
        numbers.push_back(std::bit_cast<double>(bits(gen)));
        break;
      case 1:
        numbers.push_back(static_cast<double>(integers(gen)));
        break;
      case 2:
        numbers.push_back(normal(gen) * std::pow(10.0, std::floor(unit(gen) * 40 - 20)));
        break;
      default:
        // Subnormals and the ends of the fast path.
        numbers.push_back(std::bit_cast<double>(bits(gen) >> 12) *
                          (unit(gen) < 0.5 ? 1.0 : 1e-300));
    }
  }
  std::size_t mismatches = 0;
  for (const double x : numbers) {
    for (const double v : {x, -x}) {
      const std::string mine = g_text(v), theirs = printf_text(v);
      if (mine != theirs && ++mismatches <= 10) {
        ADD_FAILURE() << "x = " << std::hexfloat << v << ": " << mine << " vs " << theirs;
      }
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

TEST(GFormat, KnownTexts) {
  struct Case {
    double x;
    const char* text;
  };
  const Case cases[] = {{1.5, "1.5"},
                        {-0.000012, "-1.2e-05"},
                        {1e8, "1e+08"},
                        {2.0 / 3, "0.666667"},
                        {999999.5, "1e+06"},
                        {999998.5, "999998"},
                        {0.0001, "0.0001"},
                        {1e-5, "1e-05"},
                        {123456.7, "123457"},
                        {-0.0, "-0"},
                        {1e-300, "1e-300"},
                        {100, "100"},
                        {0.000123456, "0.000123456"}};
  for (const Case& c : cases) EXPECT_EQ(g_text(c.x), c.text) << c.x;
}

}  // namespace
}  // namespace velmora::io
