#include "bindings/stats_functions.hpp"

#include <string>

#include "bindings/numeric_calls.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "stats/distributions.hpp"
#include "stats/regression.hpp"
#include "stats/wilks.hpp"

namespace velmora::stats {

namespace {

Grid grid(const Value& v, std::string_view what) {
  return v.to_matrix(what).array();
}

Value value(const Grid& g) {
  return Value::matrix(g.matrix());
}

Eigen::VectorXd vector_arg(const Value& v, std::string_view what) {
  if (!v.is_double() || v.pages() != 1 || (v.rows() != 1 && v.cols() != 1)) {
    throw RuntimeError(std::string(what) + " must be a vector of numbers.");
  }
  return v.to_vector(what);
}

// Input i when given, else the default.
Grid grid_or(const ValueList& args, std::size_t i, std::string_view what, double fallback) {
  return has_arg(args, i) ? grid(args[i], what) : Grid::Constant(1, 1, fallback);
}

ValueList call_distchck(const ValueList& args, int nargout) {
  const int nparms = static_cast<int>(arg(args, 0, "distchck", "nparms").to_scalar("nparms"));
  // One output per argument after the error code.
  const int n = std::max(nargout, 1) - 1;
  std::vector<Grid> grids;
  const std::size_t wanted =
      nparms == 1 ? std::min<std::size_t>(1, n) : static_cast<std::size_t>(n);
  for (std::size_t j = 0; j < wanted; ++j) {
    const std::string name = "A" + std::to_string(j + 1);
    grids.push_back(grid(arg(args, j + 1, "distchck", "varargin"), name));
  }
  grids.resize(static_cast<std::size_t>(n));
  const CheckedArgs c = distchck(nparms, std::move(grids));
  ValueList out{Value(static_cast<double>(c.errorcode))};
  for (const Grid& g : c.args) out.push_back(value(g));
  return out;
}

}  // namespace

void register_stats_functions(FunctionTable& table) {
  add_numeric(table,
              {"fcdf",
               [](const ValueList& args, int) -> ValueList {
                 if (args.size() < 3) throw RuntimeError("Requires three input arguments.");
                 return {value(fcdf(grid(args[0], "x"), grid(args[1], "v1"), grid(args[2], "v2")))};
               },
               3, 1});
  add_numeric(table, {"normcdf",
                      [](const ValueList& args, int) -> ValueList {
                        const Grid x = grid(arg(args, 0, "normcdf", "x"), "x");
                        return {value(normcdf(x, grid_or(args, 1, "mu", 0.0),
                                              grid_or(args, 2, "sigma", 1.0)))};
                      },
                      3, 1});
  add_numeric(table, {"chi2cdf",
                      [](const ValueList& args, int) -> ValueList {
                        if (args.size() < 2) throw RuntimeError("Requires two input arguments.");
                        return {value(chi2cdf(grid(args[0], "x"), grid(args[1], "v")))};
                      },
                      2, 1});
  add_numeric(table, {"gamcdf",
                      [](const ValueList& args, int) -> ValueList {
                        if (args.size() < 2)
                          throw RuntimeError("Requires at least two input arguments.");
                        return {value(gamcdf(grid(args[0], "x"), grid(args[1], "a"),
                                             grid_or(args, 2, "b", 1.0)))};
                      },
                      3, 1});
  add_numeric(table, {"distchck", call_distchck, kOnePlus, kOnePlus});
  add_numeric(
      table,
      {"regstuf",
       [](const ValueList& args, int) -> ValueList {
         const RegressionStats s = regression_stats(vector_arg(arg(args, 0, "regstuf", "x"), "x"),
                                                    vector_arg(arg(args, 1, "regstuf", "y"), "y"));
         return {Value::row({s.slope, s.intercept, s.slope_sd, s.n, s.r, s.fisher_z, s.fisher_se})};
       },
       2, 1});
  add_numeric(
      table,
      {"getWilkslambda",
       [](const ValueList& args, int) -> ValueList {
         const Eigen::MatrixXd scores = arg(args, 0, "getWilkslambda", "xdata").to_matrix("xdata");
         const Eigen::VectorXd x = vector_arg(arg(args, 1, "getWilkslambda", "ivar"), "ivar");
         const WilksResult w = wilks_lambda(scores, x);
         if (w.degenerate) {
           throw RuntimeError("Wilks' lambda is undefined: " + std::to_string(w.p) +
                              " regressed score columns need at least " + std::to_string(w.p + 2) +
                              " specimens, and there are " + std::to_string(w.N) + ".");
         }
         return {Value::row({w.lambda, w.F, w.df1, w.df2, w.chi2, w.dfchi2})};
       },
       2, 1});
}

}  // namespace velmora::stats
