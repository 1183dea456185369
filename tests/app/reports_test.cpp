// The texts of the reports: worked examples checked to the last printed
// digit, and p values beyond the end of the doubles.
#include "app/reports.hpp"

#include <gtest/gtest.h>

#include <Eigen/Core>

#include "app/velmora.hpp"
#include "platform/runtime/function_table.hpp"
#include "stats/regression.hpp"
#include "stats/wilks.hpp"

namespace velmora::app {
namespace {

TEST(Reports, WorkedExamplesGiveTheExactMessages) {
  register_all_functions();
  Eigen::VectorXd x(5), y(5);
  x << 1, 2, 3, 4, 5;
  y << 2, 4, 5, 4, 5;
  stats::RegressionStats r = stats::regression_stats(x, y);
  double z = r.fisher_z / r.fisher_se;
  double p = 1 - function_table().call("normcdf", {z}, 1).at(0).to_scalar();
  EXPECT_EQ(pdistance_report(r, z, p),
            "Regression Slope: 0.6 Regression Intercept: 2.2 Std. Deviation in Slope: "
            "0.2828  Correlation Coefficient 0.7746  Zscore: 1.4591  p score = 0.072272874");

  Eigen::MatrixXd scores(5, 2);
  scores << 2, 9, 4, 1, 5, 7, 4, 3, 5, 5;
  stats::WilksResult w = stats::wilks_lambda(scores, x);
  double pw = 1 - function_table().call("fcdf", {w.F, w.df1, w.df2}, 1).at(0).to_scalar();
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

}  // namespace
}  // namespace velmora::app
