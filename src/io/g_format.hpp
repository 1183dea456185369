#pragma once

namespace velmora::io {

/// Longest text write_g produces ("-1.23457e-308", "-nan").
inline constexpr int kGTextMax = 16;

/// Writes `x` exactly as C's printf("%g") does in the C locale (six
/// significant digits, rounded to nearest with ties to even on the exact
/// binary value; trailing zeros dropped; exponent form for decimal exponents
/// below −4 and from 6 up; "inf", "nan" with their signs) and returns the end
/// of the text.  No terminating zero.
///
/// Numbers from 1e-17 to 1e27 in magnitude take a short exact path: the
/// number times a power of ten is held as an exact sum of two doubles
/// (a product split by a fused multiply-add, or a quotient plus its exact
/// remainder), which decides the rounding of the sixth digit with no error.
/// Others go through the standard library's exact conversion.
/// @param out room for kGTextMax characters
char* write_g(char* out, double x);

}  // namespace velmora::io
