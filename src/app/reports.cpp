// The texts of the Procrustes-distance test and Wilks' lambda.
#include "app/reports.hpp"

#include "platform/runtime/cformat.hpp"
#include "platform/value/value.hpp"

namespace velmora::app {

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

}  // namespace velmora::app
