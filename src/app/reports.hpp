#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "stats/regression.hpp"
#include "stats/wilks.hpp"

namespace velmora::app {

/// Upper tails below this are printed as "p < 1e-300": they are at or
/// beyond the end of the doubles, where no digit of them is reliable.
inline constexpr double kSmallestPrintedP = 1e-300;

/// How every report prints a p value: `label` then the value ("p value=
/// 0.0012"), or "p < 1e-300" for a tail below kSmallestPrintedP.
std::string p_value_text(const std::string& label, double p);

/// The Procrustes-distance test's message: slope, intercept, slope's
/// standard deviation, correlation, z-score and p.
std::string pdistance_report(const stats::RegressionStats& r, double z, double p);

/// The label of the X axis of a plot against X: the name of what X is
/// (its file's name without extension, "Centroid size"), "ln(name)" on the
/// log scale, and "X" or "ln X" while X has no name.
std::string x_axis_label(const std::string& x_name, bool ln_scale);

/// How the results log names 1 − Λ (the message box calls it "1 − Λ").
inline constexpr std::string_view kWilksLogShareLabel =
    "1 − Λ (not a share of Procrustes variance)";

/// The Wilks' lambda test's message: lambda, F, 1 − lambda under
/// `share_label`, both degrees of freedom and p.
std::string wilks_report(const stats::WilksResult& w, double p,
                         std::string_view share_label = "1 − Λ");

/// "Full precision: NAME = VALUE; …", every value in the shortest text that
/// reads back to the same double.
std::string full_precision_line(std::initializer_list<std::pair<std::string_view, double>> numbers);

/// Rows of cells as lines of text: each column as wide as its widest cell,
/// columns two blanks apart, the first (names) to the left and the others
/// (numbers) to the right, no blank at a line's end; every line ends in a
/// line feed.
std::string aligned(const std::vector<std::vector<std::string>>& rows);

}  // namespace velmora::app
