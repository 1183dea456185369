#include "io/g_format.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace velmora::io {

namespace {

constexpr int kDigits = 6;
constexpr double kLow = 1e5, kHigh = 1e6;  // six-digit integers
/// 10^0 … 10^22: every one exactly a double.
constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestPower = 22;

char* exact_g(char* out, double x) {
  return std::to_chars(out, out + kGTextMax, x, std::chars_format::general, kDigits).ptr;
}

/// y = a·10^s as hi + lo exactly (lo's sign exact), |s| ≤ 22.
struct Scaled {
  double hi, lo;
};

Scaled scale(double a, int s) {
  if (s >= 0) {
    const double t = kPowers[s], hi = a * t;
    return {hi, std::fma(a, t, -hi)};
  }
  const double d = kPowers[-s], hi = a / d;
  // The remainder a − hi·d is exact in a double (a property of the correctly
  // rounded quotient), so lo carries the exact sign of the error.
  return {hi, std::fma(-hi, d, a) / d};
}

/// y < bound, exactly, for bound an integer power of ten below 2^53.
bool below(const Scaled& y, double bound) {
  return y.hi < bound || (y.hi == bound && y.lo < 0);
}

char* put_digits(char* out, std::uint32_t n, int count) {
  for (int i = count - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  return out + count;
}

}  // namespace

char* write_g(char* out, double x) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const double a = std::abs(x);
  // Non-finite numbers, subnormals and magnitudes whose scaling needs a power
  // of ten beyond 10^22 take the standard library's exact path.
  if (biased == 0 || biased == 0x7ff || a < 1e-17 || a >= 1e27) {
    if (x == 0) {
      if (std::signbit(x)) *out++ = '-';
      *out++ = '0';
      return out;
    }
    return exact_g(out, x);
  }
  // The decimal exponent is floor(e2·log10 2) or one more.
  const int e2 = biased - 1023;
  int exponent = (e2 * 1262611) >> 22;
  int s = kDigits - 1 - exponent;
  if (s < -kLargestPower || s > kLargestPower) return exact_g(out, x);
  Scaled y = scale(a, s);
  if (!below(y, kHigh)) {
    ++exponent;
    --s;
  } else if (below(y, kLow)) {
    --exponent;
    ++s;
  }
  if (s < -kLargestPower || s > kLargestPower) return exact_g(out, x);
  y = scale(a, s);
  if (below(y, kLow) || !below(y, kHigh)) return exact_g(out, x);

  // Round y to an integer, ties to even.  hi < 2^20, so hi − floor(hi) is
  // exact and |lo| is at most half a unit in the last place of hi: lo
  // decides only an exact half (and leaves a y just below an integer with
  // that integer as its nearest).
  const double whole = std::floor(y.hi), fraction = y.hi - whole;
  auto n = static_cast<std::uint32_t>(whole);
  if (fraction > 0.5 || (fraction == 0.5 && (y.lo > 0 || (y.lo == 0 && (n & 1))))) ++n;
  if (n == 1000000) {
    n = 100000;
    ++exponent;
  }

  if (x < 0) *out++ = '-';
  char digits[kDigits];
  put_digits(digits, n, kDigits);
  int used = kDigits;
  while (used > 1 && digits[used - 1] == '0') --used;

  if (exponent < -4 || exponent >= kDigits) {
    *out++ = digits[0];
    if (used > 1) {
      *out++ = '.';
      for (int i = 1; i < used; ++i) *out++ = digits[i];
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    const int e = std::abs(exponent);
    if (e >= 100) *out++ = static_cast<char>('0' + e / 100);
    *out++ = static_cast<char>('0' + e / 10 % 10);
    *out++ = static_cast<char>('0' + e % 10);
    return out;
  }
  if (exponent >= 0) {
    for (int i = 0; i <= exponent; ++i) *out++ = digits[i];
    if (used > exponent + 1) {
      *out++ = '.';
      for (int i = exponent + 1; i < used; ++i) *out++ = digits[i];
    }
    return out;
  }
  *out++ = '0';
  *out++ = '.';
  for (int i = 0; i < -exponent - 1; ++i) *out++ = '0';
  for (int i = 0; i < used; ++i) *out++ = digits[i];
  return out;
}

}  // namespace velmora::io
