#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/messages.hpp"
#include "report/report_text.hpp"
#include "stats/regression.hpp"
#include "stats/wilks.hpp"

namespace velmora::app {

using report::aligned;
using report::full_precision_line;
using report::kSmallestPrintedP;
using report::p_value_text;

/// The Procrustes-distance test's message: slope, intercept, slope's
/// standard deviation, correlation, z-score and p.
std::string pdistance_report(const stats::RegressionStats& r, double z, double p);

using analysis::x_axis_label;

/// How the results log names 1 − Λ (the message box calls it "1 − Λ").
inline constexpr std::string_view kWilksLogShareLabel =
    "1 − Λ (not a share of Procrustes variance)";

/// The Wilks' lambda test's message: lambda, F, 1 − lambda under
/// `share_label`, both degrees of freedom and p.
std::string wilks_report(const stats::WilksResult& w, double p,
                         std::string_view share_label = "1 − Λ");

}  // namespace velmora::app
