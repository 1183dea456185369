#pragma once

#include <Eigen/Core>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/messages.hpp"
#include "report/report_text.hpp"
#include "stats/permutation_test.hpp"
#include "stats/regression.hpp"
#include "stats/wilks.hpp"

namespace velmora::report {

/// The Procrustes-distance test's message: slope, intercept, slope's
/// standard deviation, correlation, z-score and p.
std::string pdistance_report(const stats::RegressionStats& r, double z, double p);

/// How the results log names 1 − Λ (the message box calls it "1 − Λ").
inline constexpr std::string_view kWilksLogShareLabel =
    "1 − Λ (not a share of Procrustes variance)";

/// The Wilks' lambda test's message: lambda, F, 1 − lambda under
/// `share_label`, both degrees of freedom and p.
std::string wilks_report(const stats::WilksResult& w, double p,
                         std::string_view share_label = "1 − Λ");

/// The permutation test's line: "R-squared= 0.6531   F score= 147.0000
/// Permutations: 999 ,  seed: 1 ,  p value=0.001".
std::string permutation_report(const stats::PermutationTestResult& r);

/// Every principal component's share of the variance, as the console
/// prints them ("Principal components of shape (share of the variance):",
/// then "  PC1  52.1 %" a line), with the superimposition's note.
std::string pca_shares_text(const Eigen::VectorXd& shares, const std::string& of,
                            const std::string& fit_note);

/// The shares as the results log keeps them: the components up to 95 % of
/// the variance (ten at most), the rest summed in one line ("  PC6–PC29
/// 3.2 % together"), the note, and with full precision every share exactly.
std::string pca_log_text(const Eigen::VectorXd& shares, const std::string& of,
                         const std::string& fit_note, bool full_precision);

}  // namespace velmora::report
