// The texts of the reports: worked examples checked to the last printed
// digit, and p values beyond the end of the doubles.
#include "report/analysis_text.hpp"

#include <gtest/gtest.h>

#include <Eigen/Core>

#include "report/report_text.hpp"
#include "stats/distributions.hpp"
#include "stats/regression.hpp"
#include "stats/wilks.hpp"

namespace velmora::report {
namespace {

TEST(Reports, WorkedExamplesGiveTheExactMessages) {
  Eigen::VectorXd x(5), y(5);
  x << 1, 2, 3, 4, 5;
  y << 2, 4, 5, 4, 5;
  stats::RegressionStats r = stats::regression_stats(x, y);
  double z = r.fisher_z / r.fisher_se;
  double p = 1 - stats::normcdf(z);
  EXPECT_EQ(pdistance_report(r, z, p),
            "Regression Slope: 0.6 Regression Intercept: 2.2 Std. Deviation in Slope: "
            "0.2828  Correlation Coefficient 0.7746  Zscore: 1.4591  p score = 0.072272874");

  Eigen::MatrixXd scores(5, 2);
  scores << 2, 9, 4, 1, 5, 7, 4, 3, 5, 5;
  stats::WilksResult w = stats::wilks_lambda(scores, x);
  double pw = 1 - stats::fcdf(w.F, w.df1, w.df2);
  EXPECT_EQ(wilks_report(w, pw),
            "Wilks Lambda= 0.4000   F score= 4.5000  1 − Λ: 0.6000 ,     "
            "df1=1.00 ,    df2=3.00,  p value=0.12402706");
}

TEST(Reports, PBelowTheDoublesIsPrintedAsABound) {
  EXPECT_EQ(p_value_text("p value=", 0.0012), "p value=0.0012");
  EXPECT_EQ(p_value_text("p value=", 0), "p < 1e-300");
  EXPECT_EQ(p_value_text("p value=", 1e-310), "p < 1e-300");
  EXPECT_EQ(p_value_text("p score = ", 2.5e-51), "p score = 2.5e-51");
  stats::WilksResult w{};
  w.lambda = 0.1;
  w.F = 861.7;
  w.df1 = 293;
  w.df2 = 706;
  EXPECT_EQ(wilks_report(w, 0),
            "Wilks Lambda= 0.1000   F score= 861.7000  1 − Λ: 0.9000 ,     "
            "df1=293.00 ,    df2=706.00,  p < 1e-300");
}

// The log lists components until 95 % of the variance or ten of them, and
// sums the rest in one line; the console lists them all.
TEST(Reports, ComponentSharesAreListedToNinetyFivePercentOrTenThenSummed) {
  Eigen::VectorXd five(5);
  five << 0.5, 0.3, 0.1, 0.05, 0.05;
  EXPECT_EQ(pca_log_text(five, "shape", "", false),
            "Principal components of shape (share of the variance):\n  PC1  50.0 %\n"
            "  PC2  30.0 %\n  PC3  10.0 %\n  PC4  5.0 %\n  PC5  5.0 % together\n");
  const Eigen::VectorXd twelve = Eigen::VectorXd::Constant(12, 1.0 / 12);
  const std::string log = pca_log_text(twelve, "shape", "note", true);
  EXPECT_NE(log.find("  PC10  8.3 %\n  PC11–PC12  16.7 % together\nnote\n"), std::string::npos);
  EXPECT_NE(log.find("Full precision (shares of the variance): PC1 = 0.08333333333333333; PC2"),
            std::string::npos);
  const std::string all = pca_shares_text(twelve, "shape", "");
  EXPECT_NE(all.find("  PC12  8.3 %\n"), std::string::npos);

  stats::PermutationTestResult r{};
  r.r_squared = 0.65312;
  r.F = 147;
  r.permutations = 999;
  r.seed = 1;
  r.p = 0.001;
  EXPECT_EQ(permutation_report(r),
            "R-squared= 0.6531   F score= 147.0000  Permutations: 999 ,  seed: 1 ,  p "
            "value=0.001");
}

}  // namespace
}  // namespace velmora::report
