// The texts of the Procrustes-distance test and Wilks' lambda.
#include "report/analysis_text.hpp"

#include <algorithm>

#include "platform/runtime/cformat.hpp"
#include "platform/value/value.hpp"

namespace velmora::report {

std::string pdistance_report(const stats::RegressionStats& r, double z, double p) {
  return cformat(
             "Regression Slope: %.4g Regression Intercept: %.4g Std. Deviation in Slope: %.4g  "
             "Correlation Coefficient %2.4f  Zscore: %2.4f  ",
             {r.slope, r.intercept, r.slope_sd, r.r, z}) +
         p_value_text("p score = ", p);
}

std::string wilks_report(const stats::WilksResult& w, double p, std::string_view share_label) {
  return cformat(
             "Wilks Lambda= %2.4f   F score= %2.4f  %s: %1.4f ,     "
             "df1=%4.2f ,    df2=%4.2f,  ",
             {w.lambda, w.F, std::string(share_label), 1 - w.lambda, w.df1, w.df2}) +
         p_value_text("p value=", p);
}

std::string permutation_report(const stats::PermutationTestResult& r) {
  return cformat(
             "R-squared= %1.4f   F score= %2.4f  Permutations: %i ,  seed: %i ,  ",
             {r.r_squared, r.F, static_cast<double>(r.permutations), static_cast<double>(r.seed)}) +
         p_value_text("p value=", r.p);
}

std::string pca_shares_text(const Eigen::VectorXd& shares, const std::string& of,
                            const std::string& fit_note) {
  std::string text = "Principal components of " + of + " (share of the variance):\n";
  for (Eigen::Index j = 0; j < shares.size(); ++j)
    text += "  PC" + std::to_string(j + 1) + "  " + percent_text(shares(j)) + "\n";
  if (!fit_note.empty()) text += fit_note + "\n";
  return text;
}

std::string pca_log_text(const Eigen::VectorXd& shares, const std::string& of,
                         const std::string& fit_note, bool full_precision) {
  const Eigen::Index r = shares.size();
  std::string text = "Principal components of " + of + " (share of the variance):\n";
  double listed = 0;
  Eigen::Index shown = 0;
  while (shown < r && shown < 10 && listed < 0.95) {
    text += "  PC" + std::to_string(shown + 1) + "  " + percent_text(shares(shown)) + "\n";
    listed += shares(shown++);
  }
  if (shown < r) {
    text += "  PC" + std::to_string(shown + 1) + (shown + 1 < r ? "–PC" + std::to_string(r) : "") +
            "  " + percent_text(std::max(0.0, 1 - listed)) + " together\n";
  }
  if (!fit_note.empty()) text += fit_note + "\n";
  if (full_precision) {
    text += "Full precision (shares of the variance):";
    for (Eigen::Index j = 0; j < r; ++j)
      text += (j ? "; PC" : " PC") + std::to_string(j + 1) + " = " + format_number_exact(shares(j));
  }
  return text;
}

}  // namespace velmora::report
