#include "stats/distributions.hpp"

#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "core/errors.hpp"
#include "core/tolerances.hpp"

namespace velmora::stats {

namespace {

namespace bp = boost::math::policies;
// Special functions return NaN or ±Inf instead of throwing; the rules below
// decide what the user sees.
using Quiet =
    bp::policy<bp::domain_error<bp::ignore_error>, bp::pole_error<bp::ignore_error>,
               bp::overflow_error<bp::ignore_error>, bp::underflow_error<bp::ignore_error>,
               bp::evaluation_error<bp::ignore_error>>;

using Mask = Eigen::Array<bool, Eigen::Dynamic, Eigen::Dynamic>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const char kSizeMismatch[] = "Requires non-scalar arguments to match in size.";

// distchck for the distribution functions, which stop on a mismatch.
std::vector<Grid> expanded(std::vector<Grid> args) {
  CheckedArgs c = distchck(static_cast<int>(args.size()), std::move(args));
  if (c.errorcode > 0) throw NumericError(kSizeMismatch);
  return std::move(c.args);
}

Grid scalar(double v) {
  return Grid::Constant(1, 1, v);
}

// Elements where `mask` holds, gathered into one column.
Grid gather(const Grid& a, const Mask& mask) {
  Grid out(mask.count(), 1);
  Eigen::Index j = 0;
  for (Eigen::Index i = 0; i < a.size(); ++i)
    if (mask(i)) out(j++) = a(i);
  return out;
}

void scatter(Grid& p, const Mask& mask, const Grid& values) {
  Eigen::Index j = 0;
  for (Eigen::Index i = 0; i < p.size(); ++i)
    if (mask(i)) p(i) = values(j++);
}

// Standardised Wilson–Hilferty variable of P(a, x): (x/a)^(1/3) is nearly
// normal with mean 1 − 1/(9a) and variance 1/(9a) (Wilson & Hilferty 1931).
// The cube root minus 1 is formed as (r − 1)/(c² + c + 1), and 1/(9a) added
// separately, since both are far below the rounding of 1 for huge a.
double wilson_hilferty(double a, double x) {
  const double v = 1 / (9 * a);
  const double c = std::cbrt(x / a);
  return ((x - a) / a / (c * c + c + 1) + v) / std::sqrt(v);
}

// Regularized lower and upper incomplete gamma functions P(a, x) and
// Q(a, x) for a > 0 and x ≥ 0.  The series and continued fractions lose
// their accuracy for huge shapes (P(5e11, 5e11) came out 0.579); there the
// normal approximation of the cube root is accurate to about 1/a.
double lower_gamma(double a, double x) {
  if (std::isinf(a)) return std::isinf(x) ? kNaN : 0.0;
  if (a > kLargeGammaShape) {
    return 0.5 * boost::math::erfc(-wilson_hilferty(a, x) / std::sqrt(2.0), Quiet());
  }
  return boost::math::gamma_p(a, x, Quiet());
}

double upper_gamma(double a, double x) {
  if (std::isinf(a)) return std::isinf(x) ? kNaN : 1.0;
  if (a > kLargeGammaShape) {
    return 0.5 * boost::math::erfc(wilson_hilferty(a, x) / std::sqrt(2.0), Quiet());
  }
  return boost::math::gamma_q(a, x, Quiet());
}

std::string number_text(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", v);
  return buffer;
}

}  // namespace

CheckedArgs distchck(int nparms, std::vector<Grid> args) {
  CheckedArgs out;
  if (nparms == 1) {
    for (std::size_t j = 1; j < args.size(); ++j) args[j] = Grid();
    out.args = std::move(args);
    return out;
  }
  std::vector<bool> is_scalar(args.size());
  const Grid* first = nullptr;
  for (std::size_t j = 0; j < args.size(); ++j) {
    is_scalar[j] = args[j].size() == 1;
    if (!is_scalar[j] && !first) first = &args[j];
  }
  if (!first) {
    out.args = std::move(args);
    return out;
  }
  const Eigen::Index rows = first->rows(), cols = first->cols();
  for (std::size_t j = 0; j < args.size(); ++j) {
    if (is_scalar[j]) {
      args[j] = Grid::Constant(rows, cols, args[j](0));
    } else if (args[j].rows() != rows || args[j].cols() != cols) {
      out.errorcode = 1;
      break;
    }
  }
  out.args = std::move(args);
  return out;
}

Grid normcdf(const Grid& x_in, const Grid& mu_in, const Grid& sigma_in) {
  const std::vector<Grid> a = expanded({x_in, mu_in, sigma_in});
  const Grid &x = a[0], &mu = a[1], &sigma = a[2];
  Grid p = Grid::Zero(x.rows(), x.cols());
  for (Eigen::Index i = 0; i < p.size(); ++i) {
    if (sigma(i) <= 0) {
      p(i) = kNaN;
    } else if (sigma(i) > 0) {
      p(i) = 0.5 * boost::math::erfc(-(x(i) - mu(i)) / (sigma(i) * std::sqrt(2.0)), Quiet());
    }
    if (p(i) > 1) p(i) = 1;
  }
  return p;
}

Grid fcdf(const Grid& x_in, const Grid& v1_in, const Grid& v2_in) {
  const std::vector<Grid> a = expanded({x_in, v1_in, v2_in});
  const Grid &x = a[0], &v1 = a[1], &v2 = a[2];
  Grid p = Grid::Zero(x.rows(), x.cols());
  const auto bad = (v1 <= 0) || (v2 <= 0) || x.isNaN();
  const auto fin1 = v1.isFinite(), fin2 = v2.isFinite();
  const auto open = (x > 0) && !bad;
  for (Eigen::Index i = 0; i < p.size(); ++i) {
    if (bad(i)) {
      p(i) = kNaN;
    } else if (open(i) && fin1(i) && fin2(i)) {
      // x/(x + v2/v1) is Inf/Inf for x = +Inf; the distribution is 1 there.
      const double xx = std::isinf(x(i)) ? 1.0 : x(i) / (x(i) + v2(i) / v1(i));
      p(i) = boost::math::ibeta(v1(i) / 2, v2(i) / 2, xx, Quiet());
    }
  }
  if ((!fin1).any() || (!fin2).any()) {
    const Mask chi_v2 = open && fin1 && !fin2 && (v2 > 0);
    const Mask chi_v1 = open && !fin1 && (v1 > 0) && fin2;
    const Mask both = open && !fin1 && (v1 > 0) && !fin2 && (v2 > 0);
    if (chi_v2.any()) {
      const Grid n1 = gather(v1, chi_v2);
      scatter(p, chi_v2, chi2cdf(n1 * gather(x, chi_v2), n1));
    }
    if (chi_v1.any()) {
      const Grid n2 = gather(v2, chi_v1);
      scatter(p, chi_v1, 1 - chi2cdf(n2 / gather(x, chi_v1), n2));
    }
    for (Eigen::Index i = 0; i < p.size(); ++i)
      if (both(i)) p(i) = x(i) >= 1 ? 1.0 : 0.0;
  }
  return p;
}

Grid chi2cdf(const Grid& x_in, const Grid& v_in) {
  const std::vector<Grid> a = expanded({x_in, v_in});
  return gamcdf(a[0], a[1] / 2, scalar(2.0));
}

Grid gamcdf(const Grid& x_in, const Grid& a_in, const Grid& b_in) {
  const std::vector<Grid> args = expanded({x_in, a_in, b_in});
  const Grid &x = args[0], &a = args[1], &b = args[2];
  Grid p = Grid::Zero(x.rows(), x.cols());
  for (Eigen::Index i = 0; i < p.size(); ++i) {
    const bool invalid = a(i) <= 0 || b(i) <= 0;
    if (invalid) {
      p(i) = kNaN;
    } else if (x(i) > 0 && std::isinf(b(i)) && std::isfinite(x(i))) {
      p(i) = 0.0;
    } else if (x(i) > 0) {
      p(i) = lower_gamma(a(i), x(i) / b(i));
    }
    if (p(i) > 1) p(i) = 1;
  }
  if (!p.isFinite().all()) {
    const double huge = std::sqrt(std::numeric_limits<double>::max());
    p = (x >= huge).select(1.0, p);
  }
  return p;
}

double normal_upper_tail(double z) {
  if (std::isnan(z)) {
    throw NumericError("The normal upper tail is undefined for a value that is not a number.");
  }
  return 0.5 * boost::math::erfc(z / std::sqrt(2.0), Quiet());
}

double f_upper_tail(double F, double d1, double d2) {
  if (std::isnan(F) || !(d1 > 0) || !(d2 > 0)) {
    throw NumericError(
        "The upper tail of the F distribution needs a number F and positive "
        "degrees of freedom; it got F = " +
        number_text(F) + ", df1 = " + number_text(d1) + ", df2 = " + number_text(d2) + ".");
  }
  if (F <= 0) return 1.0;
  if (std::isinf(F)) return 0.0;
  const bool inf1 = std::isinf(d1), inf2 = std::isinf(d2);
  if (inf1 && inf2) return F < 1 ? 1.0 : 0.0;
  // d1·F/d2 is a chi-square on d1 over d1 when d2 is infinite, and d2/F a
  // chi-square on d2 when d1 is.
  if (inf2) return upper_gamma(d1 / 2, d1 * F / 2);
  if (inf1) return lower_gamma(d2 / 2, d2 / F / 2);
  const double y = d2 / (d2 + d1 * F);
  return boost::math::ibeta(d2 / 2, d1 / 2, y, Quiet());
}

double normcdf(double x, double mu, double sigma) {
  return normcdf(scalar(x), scalar(mu), scalar(sigma))(0);
}
double fcdf(double x, double v1, double v2) {
  return fcdf(scalar(x), scalar(v1), scalar(v2))(0);
}
double chi2cdf(double x, double v) {
  return chi2cdf(scalar(x), scalar(v))(0);
}
double gamcdf(double x, double a, double b) {
  return gamcdf(scalar(x), scalar(a), scalar(b))(0);
}

}  // namespace velmora::stats
