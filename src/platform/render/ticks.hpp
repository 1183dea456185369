#pragma once

#include <array>
#include <string>
#include <vector>

namespace velmora::render {

/// Data range [lo, hi] of finite values; a single value v gives [v-1, v+1]
/// and no value at all gives [0, 1].
std::array<double, 2> padded_range(double lo, double hi);

/// Round limits around [lo, hi]: multiples of a 1-2-5 step chosen so that
/// about six steps span the data.  Always lo' <= lo and hi' >= hi.
std::array<double, 2> nice_limits(double lo, double hi);

/// A 1-2-5 step (1, 2 or 5 times a power of ten) giving about `target`
/// intervals over [lo, hi]; at least `min_step` when that is positive.
double nice_step(double lo, double hi, double target, double min_step = 0);

/// A 1-2-5 step giving about `target` tick values inside [lo, hi], and at
/// least two whenever a 1-2-5 step can.
double tick_step(double lo, double hi, double target);

/// The next larger 1-2-5 step: 0.1 -> 0.2 -> 0.5 -> 1.
double next_nice_step(double step);

/// The multiples of `step` inside [lo, hi] (with a tolerance of 1e-9 steps),
/// ascending.  Empty for a non-positive step or range.
std::vector<double> tick_values(double lo, double hi, double step);

/// The label of a tick: fixed notation with at most the decimals the step
/// needs and no trailing zeros ("0.25", "0.3", "1", "-3", "1500"); exponent
/// notation for very large or small magnitudes ("1e+06").  Never "-0".
std::string tick_label(double value, double step);

}  // namespace velmora::render
