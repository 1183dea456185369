#include "stats/permutation_test.hpp"

#include <Eigen/QR>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "core/errors.hpp"
#include "core/tolerances.hpp"
#include "shape/decompositions.hpp"
#include "shape/distance.hpp"
#include "stats/messages.hpp"
#include "stats/regression.hpp"

namespace velmora::stats {

namespace {

// Orderings evaluated together as one matrix product.
constexpr int kBlock = 64;

// What every ordering of the regressor is compared with.
struct Prepared {
  // n×r with ‖basisᵀ·v‖ = ‖Yᶜᵀ·v‖ for every v: Yᶜ itself, or the transposed
  // triangular factor of Yᶜᵀ when there are more variables than specimens.
  Eigen::MatrixXd basis;
  Eigen::VectorXd xc;  // centred regressor
  double sxx = 0;      // ‖xᶜ‖²
  double sst = 0;      // total sum of squares of the centred data
  double observed = 0;
};

Prepared prepare(const Eigen::Ref<const Eigen::MatrixXd>& y,
                 const Eigen::Ref<const Eigen::VectorXd>& x) {
  const Eigen::Index n = y.rows(), p = y.cols();
  if (x.size() != n) {
    throw NumericError("The permutation test has " + std::to_string(x.size()) +
                       " values of the regressor but " + std::to_string(n) + " specimens.");
  }
  if (n < 4) {
    throw NumericError(too_few_specimens_text("The permutation test", n));
  }
  if (!x.allFinite() || !y.allFinite()) {
    throw NumericError("The permutation test data include values that are not finite numbers.");
  }
  if (x.maxCoeff() - x.minCoeff() <= kEqualXTolerance * x.cwiseAbs().maxCoeff()) {
    throw NumericError(
        "All values of the regressor are equal, so the permutation test is undefined.");
  }
  Prepared prep;
  // The regressor standardised by exact powers of two: R² does not depend on
  // its unit, and X from 1e-300 to 1e300 keeps its squares in range.
  prep.xc = scaled_deviations(x).values;
  prep.sxx = prep.xc.squaredNorm();
  Eigen::MatrixXd centred = y.rowwise() - y.colwise().mean();
  prep.sst = centred.squaredNorm();
  // Centring identical rows leaves rounding noise of about 1e-16 of their
  // magnitude.
  const double magnitude = p > 0 ? y.cwiseAbs().maxCoeff() : 0.0;
  if (!(std::sqrt(prep.sst) >
        kCoincidentTolerance * magnitude * std::sqrt(static_cast<double>(n * p)))) {
    throw NumericError(shape::kNoShapeVariationText);
  }
  if (p > n) {
    // Yᶜᵀ = Q·R with R n×n: ‖Yᶜᵀ·v‖ = ‖R·v‖, so each ordering costs n² instead
    // of n·p.
    const Eigen::HouseholderQR<Eigen::MatrixXd> qr(centred.transpose());
    prep.basis = qr.matrixQR().topRows(n).triangularView<Eigen::Upper>().transpose();
  } else {
    prep.basis = std::move(centred);
  }
  prep.observed = (prep.basis.transpose() * prep.xc).squaredNorm();
  return prep;
}

/// Problems whose block of orderings takes at least this many multiply-adds
/// (specimens × basis columns × kBlock) evaluate every second block on a
/// second thread.
constexpr Eigen::Index kParallelBlockWork = 2'000'000;

// Evaluates `total` orderings, `next` writing each into its argument, and
// counts those whose statistic reaches the observed one.  Nothing when
// `progress` cancels.  The orderings are drawn in order on this thread; for
// large problems two blocks at a time are evaluated, one on a second thread,
// each exactly as one thread evaluates it, so the count does not depend on
// the threads.
template <typename Next>
std::optional<int> count_reaching(const Prepared& prep, int total, Next next,
                                  const PermutationProgress& progress) {
  const Eigen::Index n = prep.xc.size();
  const double threshold = prep.observed * (1 - kPermutationTieTolerance);
  const bool two_threads = n * prep.basis.cols() * kBlock >= kParallelBlockWork &&
                           std::thread::hardware_concurrency() > 1;
  struct Block {
    Eigen::MatrixXd permuted, products;
    int size = 0, reaching = 0;
  };
  Block blocks[2];
  for (Block& b : blocks) {
    b.permuted.resize(n, kBlock);
    b.products.resize(prep.basis.cols(), kBlock);
  }
  Eigen::VectorXi order(n);
  auto fill = [&](Block& b, int size) {
    b.size = size;
    for (int j = 0; j < size; ++j) {
      next(order);
      for (Eigen::Index i = 0; i < n; ++i) b.permuted(i, j) = prep.xc(order(i));
    }
  };
  auto evaluate = [&](Block& b) {
    b.products.leftCols(b.size).noalias() = prep.basis.transpose() * b.permuted.leftCols(b.size);
    const Eigen::RowVectorXd stats = b.products.leftCols(b.size).colwise().squaredNorm();
    b.reaching = static_cast<int>((stats.array() >= threshold).count());
  };
  int count = 0;
  for (int done = 0; done < total;) {
    fill(blocks[0], std::min(kBlock, total - done));
    const int second = two_threads ? std::min(kBlock, total - done - blocks[0].size) : 0;
    if (second > 0) {
      fill(blocks[1], second);
      std::thread helper([&] { evaluate(blocks[1]); });
      evaluate(blocks[0]);
      helper.join();
      count += blocks[1].reaching;
    } else {
      evaluate(blocks[0]);
    }
    count += blocks[0].reaching;
    done += blocks[0].size + second;
    if (progress && !progress(done, total)) return std::nullopt;
  }
  return count;
}

PermutationTestResult observed_result(const Prepared& prep) {
  PermutationTestResult r;
  r.n = static_cast<int>(prep.xc.size());
  r.r_squared = std::clamp(prep.observed / prep.sxx / prep.sst, 0.0, 1.0);
  r.F = r.r_squared == 1.0 ? std::numeric_limits<double>::infinity()
                           : r.r_squared / ((1 - r.r_squared) / (r.n - 2));
  return r;
}

}  // namespace

std::uint64_t uniform_below(std::mt19937_64& gen, std::uint64_t bound) {
  if (bound == 0) throw NumericError("A random draw needs a bound of at least 1.");
  // 2⁶⁴ mod bound in 64-bit unsigned arithmetic.
  const std::uint64_t reject_below = (std::uint64_t{0} - bound) % bound;
  std::uint64_t draw;
  do {
    draw = gen();
  } while (draw < reject_below);
  return draw % bound;
}

void shuffle(Eigen::Ref<Eigen::VectorXi> order, std::mt19937_64& gen) {
  for (Eigen::Index i = order.size() - 1; i > 0; --i) {
    const auto j = static_cast<Eigen::Index>(uniform_below(gen, static_cast<std::uint64_t>(i + 1)));
    std::swap(order(i), order(j));
  }
}

std::optional<PermutationTestResult> permutation_test(
    const Eigen::Ref<const Eigen::MatrixXd>& tangent, const Eigen::Ref<const Eigen::VectorXd>& x,
    int permutations, std::uint64_t seed, const PermutationProgress& progress) {
  if (permutations < 1) {
    throw NumericError("The permutation test needs at least one permutation; " +
                       std::to_string(permutations) + " were asked for.");
  }
  const Prepared prep = prepare(tangent, x);
  std::mt19937_64 gen(seed);
  const Eigen::VectorXi identity =
      Eigen::VectorXi::LinSpaced(prep.xc.size(), 0, static_cast<int>(prep.xc.size() - 1));
  const std::optional<int> reaching = count_reaching(
      prep, permutations,
      [&](Eigen::Ref<Eigen::VectorXi> order) {
        order = identity;
        shuffle(order, gen);
      },
      progress);
  if (!reaching) return std::nullopt;
  PermutationTestResult r = observed_result(prep);
  r.permutations = permutations;
  r.seed = seed;
  r.at_least_as_large = *reaching + 1;  // the observed ordering
  r.p = static_cast<double>(r.at_least_as_large) / (permutations + 1.0);
  return r;
}

std::optional<PermutationTestResult> exact_permutation_test(
    const Eigen::Ref<const Eigen::MatrixXd>& tangent, const Eigen::Ref<const Eigen::VectorXd>& x,
    const PermutationProgress& progress) {
  if (tangent.rows() > kExactPermutationLimit) {
    throw NumericError("The exact permutation test enumerates at most " +
                       std::to_string(kExactPermutationLimit) + "! orderings; the sample has " +
                       std::to_string(tangent.rows()) + " specimens.");
  }
  const Prepared prep = prepare(tangent, x);
  const int n = static_cast<int>(prep.xc.size());
  int total = 1;
  for (int i = 2; i <= n; ++i) total *= i;
  std::vector<int> current(static_cast<std::size_t>(n));
  std::iota(current.begin(), current.end(), 0);
  bool first = true;
  const std::optional<int> reaching = count_reaching(
      prep, total,
      [&](Eigen::Ref<Eigen::VectorXi> order) {
        if (!first) std::next_permutation(current.begin(), current.end());
        first = false;
        order = Eigen::Map<const Eigen::VectorXi>(current.data(), n);
      },
      progress);
  if (!reaching) return std::nullopt;
  PermutationTestResult r = observed_result(prep);
  r.permutations = total;
  r.exact = true;
  r.at_least_as_large = *reaching;
  r.p = static_cast<double>(r.at_least_as_large) / total;
  return r;
}

}  // namespace velmora::stats
