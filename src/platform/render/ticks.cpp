// Round axis limits, tick positions and tick labels.
#include "platform/render/ticks.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velmora::render {

namespace {

// The 1-2-5 steps around `raw`: the largest one not above raw and the next
// few above it.
std::array<double, 4> steps_around(double raw) {
  double p = std::pow(10.0, std::floor(std::log10(raw)));
  std::array<double, 7> ladder{p * 0.5, p, p * 2, p * 5, p * 10, p * 20, p * 50};
  std::size_t i = 0;
  while (i + 1 < ladder.size() && ladder[i + 1] <= raw * (1 + 1e-12)) ++i;
  return {ladder[i], ladder[i + 1], ladder[i + 2], ladder[i + 3]};
}

// The 1-2-5 step below `step`: 1 -> 0.5 -> 0.2 -> 0.1.
double next_smaller(double step) {
  double p = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  double m = step / p;
  return m > 3.5 ? 2 * p : m > 1.5 ? p : 0.5 * p;
}

}  // namespace

std::array<double, 2> padded_range(double lo, double hi) {
  if (!(std::isfinite(lo) && std::isfinite(hi) && lo <= hi)) return {0, 1};
  if (lo == hi) return {lo - 1, hi + 1};
  return {lo, hi};
}

double nice_step(double lo, double hi, double target, double min_step) {
  double range = hi - lo;
  if (!(range > 0) || !(target > 0)) return 1;
  double best = 0, best_score = INFINITY;
  for (double s : steps_around(range / target)) {
    if (min_step > 0 && s < min_step * (1 - 1e-12)) continue;
    double n = std::ceil(hi / s - 1e-9) - std::floor(lo / s + 1e-9);
    double score = std::fabs(n - target);
    if (score < best_score - 1e-12) best = s, best_score = score;
  }
  if (best == 0) best = min_step > 0 ? min_step : range;
  return best;
}

double tick_step(double lo, double hi, double target) {
  double range = hi - lo;
  if (!(range > 0) || !(target > 1)) return 1;
  double best = range, best_score = INFINITY;
  std::array<double, 4> around = steps_around(range / (target - 1));
  // One step smaller than the ladder starts, for short ranges like
  // [-0.2, 0.3] that hold only one multiple of the nearest step.
  std::array<double, 5> candidates{next_smaller(around[0]), around[0], around[1], around[2],
                                   around[3]};
  for (double s : candidates) {
    double n = std::floor(hi / s + 1e-9) - std::ceil(lo / s - 1e-9) + 1;
    double score = std::fabs(n - target) + (n < 2 ? 100 : 0);
    if (score < best_score - 1e-12) best = s, best_score = score;
  }
  return best;
}

double next_nice_step(double step) {
  double p = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  double m = step / p;
  return m < 1.5 ? 2 * p : m < 3.5 ? 5 * p : 10 * p;
}

std::array<double, 2> nice_limits(double lo, double hi) {
  std::array<double, 2> r = padded_range(lo, hi);
  double step = nice_step(r[0], r[1], 6);
  double a = std::floor(r[0] / step + 1e-9) * step;
  double b = std::ceil(r[1] / step - 1e-9) * step;
  // Snap values like 0.30000000000000004 back onto the step grid.
  a = std::min(r[0], std::round(a / step) * step);
  b = std::max(r[1], std::round(b / step) * step);
  return {a, b};
}

std::vector<double> tick_values(double lo, double hi, double step) {
  std::vector<double> out;
  if (!(step > 0) || !(hi >= lo) || (hi - lo) / step > 1000) return out;
  double first = std::ceil(lo / step - 1e-9);
  double last = std::floor(hi / step + 1e-9);
  for (double k = first; k <= last; k += 1) {
    double v = k * step;
    if (std::fabs(v) < step * 1e-9) v = 0;
    out.push_back(v);
  }
  return out;
}

std::string tick_label(double value, double step) {
  if (std::fabs(value) < std::fabs(step) * 1e-9) value = 0;
  char buf[64];
  double mag = std::max(std::fabs(value), std::fabs(step));
  if (mag >= 1e6 || (std::fabs(step) < 1e-4 && step != 0)) {
    std::snprintf(buf, sizeof buf, "%.6g", value);
  } else {
    int decimals = 0;
    // Enough decimals that every multiple of the step prints exactly.
    while (decimals < 10) {
      double scaled = step * std::pow(10.0, decimals);
      if (std::fabs(scaled - std::round(scaled)) < 1e-6 * std::max(1.0, std::fabs(scaled))) break;
      ++decimals;
    }
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  }
  std::string s = buf;
  if (s.find('.') != std::string::npos && s.find('e') == std::string::npos) {
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
  }
  if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);
  return s;
}

}  // namespace velmora::render
