#pragma once

#include <string>
#include <string_view>

/// The texts of the session's refusals, written once for every operation
/// that checks the same thing.
namespace velmora::analysis {

/// A number as messages show it: a whole number below 1e15 without
/// decimals ("12"), any other as printf's "%.6g" ("12.5", "1e+20"); "NaN",
/// "Inf", "-Inf".
std::string number_text(double x);

/// The first step missing before an action, as "Load a landmark file first
/// (Load Landmarks)."
std::string no_sample_text();
std::string no_x_text();
std::string no_scores_text();
std::string no_regression_text();
std::string no_surface_text();

/// "The permutation test needs one X value per specimen: there are 5 X
/// values for 80 specimens. Load a matching X list."
std::string x_count_text(std::string_view test, long long count, long long specimens);

/// The refusal of X at or below 0 under the ln scale; `specimen` from 1.
std::string x_not_positive_text(std::string_view test, long long specimen, double x);

/// The refusal of X values that are equal up to rounding; `x` the first.
std::string x_constant_text(double x);

/// What the Procrustes-distance test's report adds when its starting shape
/// averages more than three specimens, because the third-smallest X is tied:
/// " The starting shape is the mean of 11 specimens, all those with X at
/// most 1 (the third-smallest X is tied)." (with the leading space); empty
/// for three specimens.
/// @param specimens how many specimens the start averages
/// @param x_limit   the largest X among them, the third-smallest X
std::string tied_start_text(long long specimens, double x_limit);

/// The label of an axis along X: the name of what X is, "ln(name)" on the
/// log scale, and "X" or "ln X" while X has no name.
std::string x_axis_label(const std::string& x_name, bool ln_scale);

/// The refusal of a text that is not a whole number from `lo` to `hi`.
std::string not_whole_number_text(std::string_view what, std::string_view text, long long lo,
                                  long long hi);

}  // namespace velmora::analysis
