#include "stats/integration.hpp"

#include <Eigen/Eigenvalues>
#include <Eigen/QR>
#include <Eigen/SVD>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>

#include "core/blas.hpp"
#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "core/tolerances.hpp"
#include "shape/procrustes.hpp"
#include "shape/tangent_coordinates.hpp"
#include "stats/distributions.hpp"
#include "stats/effect_size.hpp"
#include "stats/messages.hpp"
#include "stats/model_formula.hpp"
#include "stats/procrustes_anova.hpp"

namespace velmora::stats {

namespace {

// Orderings whose cross-products come from one matrix product, fewer where
// their permuted copies would pass kBlockCells numbers.
constexpr int kBlock = 8;
constexpr double kBlockCells = 1 << 22;
// Tests of at least this many multiply-adds in all use a second thread.
constexpr double kParallelWork = 50e6;
// Lanczos stops when ‖M·x − θ·x‖ falls under this share of θ.
constexpr double kLanczosTolerance = 1e-12;

std::string cell(double v, bool full) {
  return full ? shortest_number(v) : message_number(v);
}

/// A centred block, as n×r numbers with the same cross-products: the block
/// itself, or for more variables than specimens Rᵀ of its transpose's QR
/// decomposition Cᵀ = Q·R, with C = Rᵀ·Qᵀ (`basis` = Q, p×n).
struct Reduced {
  Eigen::MatrixXd data;
  Eigen::MatrixXd basis;  // empty when the block was kept
};

Reduced reduced_block(const Eigen::MatrixXd& centred) {
  Reduced r;
  const Eigen::Index n = centred.rows(), p = centred.cols();
  if (p <= n) {
    r.data = centred;
    return r;
  }
  const Eigen::HouseholderQR<Eigen::MatrixXd> qr(centred.transpose());
  r.data = qr.matrixQR().topRows(n).triangularView<Eigen::Upper>().transpose();
  r.basis = qr.householderQ() * Eigen::MatrixXd::Identity(p, n);
  return r;
}

Eigen::MatrixXd full_vectors(const Reduced& r, const Eigen::MatrixXd& v) {
  return r.basis.size() ? Eigen::MatrixXd(r.basis * v) : v;
}

/// The largest eigenvalue θ of the m×m symmetric tridiagonal matrix with
/// diagonal `alpha` and off-diagonal `beta`, and its unit eigenvector `y`,
/// by two steps of inverse iteration with θ·(1 + 1e-13): θI − T is then
/// positive definite, so its LDLᵀ factors need no pivoting.
double tridiagonal_top(const Eigen::VectorXd& alpha, const Eigen::VectorXd& beta, Eigen::Index m,
                       Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>& solver, Eigen::VectorXd& y) {
  solver.computeFromTridiagonal(alpha.head(m), beta.head(m - 1), Eigen::EigenvaluesOnly);
  const double theta = solver.eigenvalues()(m - 1);
  const double shift =
      theta + 1e-13 * std::max(std::abs(theta), alpha.head(m).cwiseAbs().maxCoeff()) + 1e-300;
  Eigen::VectorXd d(m), l(m);
  d(0) = shift - alpha(0);
  for (Eigen::Index i = 1; i < m; ++i) {
    l(i) = -beta(i - 1) / d(i - 1);
    d(i) = shift - alpha(i) + l(i) * beta(i - 1);
  }
  y = Eigen::VectorXd::Ones(m);
  for (int pass = 0; pass < 2; ++pass) {
    for (Eigen::Index i = 1; i < m; ++i) y(i) -= l(i) * y(i - 1);
    y(m - 1) /= d(m - 1);
    for (Eigen::Index i = m - 2; i >= 0; --i) y(i) = y(i) / d(i) - l(i + 1) * y(i + 1);
    y /= y.norm();
  }
  return theta;
}

/// Unit eigenvector of the largest eigenvalue of the symmetric matrix `m`,
/// by Lanczos iterations with full reorthogonalisation from `start`, until
/// the residual ‖M·x − θ·x‖ falls under kLanczosTolerance·θ.  `basis` is
/// workspace.
Eigen::VectorXd top_vector(const Eigen::MatrixXd& matrix, const Eigen::VectorXd& start,
                           Eigen::MatrixXd& basis) {
  const Eigen::Index d = matrix.rows();
  basis.resize(d, d);
  Eigen::VectorXd alpha(d), beta(d), q = start, w(d), inner, y;
  if (!(q.norm() > 0)) q = Eigen::VectorXd::Unit(d, 0);
  q /= q.norm();
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver;
  Eigen::Index m = 0;
  for (Eigen::Index j = 0; j < d; ++j) {
    basis.col(j) = q;
    w.noalias() = matrix * q;
    alpha(j) = q.dot(w);
    const auto done = basis.leftCols(j + 1);
    for (int pass = 0; pass < 2; ++pass) {
      inner.noalias() = done.transpose() * w;
      w.noalias() -= done * inner;
    }
    const double b = w.norm();
    m = j + 1;
    const double scale = alpha.head(m).cwiseAbs().maxCoeff();
    const bool last = m == d || !(b > 1e-14 * scale);
    if (last || (m >= 4 && m % 2 == 0)) {
      const double theta = tridiagonal_top(alpha, beta, m, solver, y);
      if (last || b * std::abs(y(m - 1)) <= kLanczosTolerance * theta) break;
    }
    beta(j) = b;
    q = w / b;
  }
  return basis.leftCols(m) * y;
}

/// The Gram matrix of the rows×cols column-major matrix at `a`: aᵀ·a
/// (`columns`) or a·aᵀ, both triangles filled, by Eigen (see blas_mutex).
void gram_of(const double* a, Eigen::Index rows, Eigen::Index cols, bool columns,
             Eigen::MatrixXd& out) {
  const Eigen::Map<const Eigen::MatrixXd> m(a, rows, cols);
  const Eigen::Index n = columns ? cols : rows;
  out.setZero(n, n);
  if (columns)
    out.selfadjointView<Eigen::Lower>().rankUpdate(m.transpose());
  else
    out.selfadjointView<Eigen::Lower>().rankUpdate(m);
  out.triangularView<Eigen::StrictlyUpper>() = out.transpose();
}

/// The serial OpenBLAS keeps its work buffers without a lock, so two
/// threads that call dgemm at once can share one and get wrong products.
/// The products take turns; the copies and the Lanczos iterations of the
/// other thread run meanwhile.
std::mutex& blas_mutex() {
  static std::mutex m;
  return m;
}

/// What every permutation shares.
struct PlsPermutation {
  Eigen::MatrixXd x, y;    // n×r₁, n×r₂ reduced centred blocks
  Eigen::MatrixXd gx, gy;  // their Gram matrices
  Eigen::VectorXd start_u, start_v;
  const Eigen::MatrixXi* orderings = nullptr;
};

/// r-PLS of the orderings in [from, to), written to r(ordering + 1).
void permuted_r(const PlsPermutation& s, int from, int to, Eigen::VectorXd& r,
                std::atomic<int>& done, std::atomic<bool>& cancelled,
                const PermutationProgress* progress, int total) {
  const Eigen::Index n = s.x.rows(), r1 = s.x.cols(), r2 = s.y.cols();
  const int block = static_cast<int>(std::clamp(
      kBlockCells / (static_cast<double>(n) * static_cast<double>(r1)), 1.0, double(kBlock)));
  Eigen::MatrixXd a(n, r1 * block), t(r2, r1 * block), basis, gram;
  Eigen::VectorXi source(n);
  const bool by_left = r1 <= r2;
  for (int start = from; start < to && !cancelled; start += block) {
    const int size = std::min(block, to - start);
    for (int j = 0; j < size; ++j) {
      // Row i goes to place order(i): gathered through the inverse ordering,
      // so that the copies are written in sequence.
      const auto order = s.orderings->col(start + j);
      for (Eigen::Index i = 0; i < n; ++i) source(order(i)) = static_cast<int>(i);
      for (Eigen::Index c = 0; c < r1; ++c) {
        double* col = a.col(j * r1 + c).data();
        const double* src = s.x.col(c).data();
        for (Eigen::Index i = 0; i < n; ++i) col[i] = src[source(i)];
      }
    }
    // t = yᵀ·a: the transposed cross-product of each ordering side by side.
    const int m = static_cast<int>(r2), cols = static_cast<int>(r1 * size), k = static_cast<int>(n);
    if (static_cast<double>(m) * cols * k < kBlasMultiplyAdds) {
      t.leftCols(cols).noalias() = s.y.transpose() * a.leftCols(cols);
    } else {
      const double one = 1, zero = 0;
      const std::lock_guard<std::mutex> one_at_a_time(blas_mutex());
      dgemm_("T", "N", &m, &cols, &k, &one, s.y.data(), &k, a.data(), &k, &zero, t.data(), &m);
    }
    for (int j = 0; j < size; ++j) {
      const auto tj = t.middleCols(j * r1, r1);  // r₂×r₁ = Sᵀ
      Eigen::VectorXd u, v;
      double sigma;
      if (by_left) {
        gram_of(t.data() + j * r1 * r2, r2, r1, true, gram);
        u = top_vector(gram, s.start_u, basis);
        v = tj * u;
        sigma = v.norm();
        if (sigma > 0) v /= sigma;
      } else {
        gram_of(t.data() + j * r1 * r2, r2, r1, false, gram);
        v = top_vector(gram, s.start_v, basis);
        u = tj.transpose() * v;
        sigma = u.norm();
        if (sigma > 0) u /= sigma;
      }
      const double den = std::sqrt(u.dot(s.gx * u) * v.dot(s.gy * v));
      r(start + j + 1) = den > 0 ? sigma / den : 0.0;
    }
    const int now = done += size;
    if (progress && *progress && !(*progress)(now, total)) cancelled = true;
  }
}

void check_block(const Eigen::Ref<const Eigen::MatrixXd>& x, const Eigen::MatrixXd& centred,
                 const char* which) {
  if (!x.allFinite())
    throw NumericError(std::string("The ") + which +
                       " block includes values that are not finite numbers.");
  const double magnitude = x.size() ? x.cwiseAbs().maxCoeff() : 0.0;
  if (x.cols() == 0 ||
      !(centred.norm() > kCoincidentTolerance * magnitude * std::sqrt(double(x.size()))))
    throw NumericError(std::string("The ") + which + " block does not vary among the specimens.");
}

}  // namespace

std::optional<TwoBlockPls> two_block_pls(const Eigen::Ref<const Eigen::MatrixXd>& left,
                                         const Eigen::Ref<const Eigen::MatrixXd>& right,
                                         int permutations, std::uint64_t seed,
                                         const PermutationProgress& progress) {
  const Eigen::Index n = left.rows();
  if (right.rows() != n)
    throw NumericError("The left block has " + std::to_string(n) + " specimens but the right " +
                       std::to_string(right.rows()) + ".");
  if (n < 4) throw NumericError(too_few_specimens_text("The two-block PLS", n));
  if (permutations < 1)
    throw NumericError("The two-block PLS needs at least one permutation; " +
                       std::to_string(permutations) + " were asked for.");
  const Eigen::MatrixXd cl = left.rowwise() - left.colwise().mean();
  const Eigen::MatrixXd cr = right.rowwise() - right.colwise().mean();
  check_block(left, cl, "left");
  check_block(right, cr, "right");
  const Reduced rl = reduced_block(cl), rr = reduced_block(cr);

  TwoBlockPls out;
  out.n = n;
  out.permutations = permutations;
  out.seed = seed;
  const double scale = 1.0 / static_cast<double>(n - 1);
  const Eigen::MatrixXd s = rl.data.transpose() * rr.data * scale;
  const Eigen::BDCSVD<Eigen::MatrixXd> svd(s, Eigen::ComputeThinU | Eigen::ComputeThinV);
  const Eigen::Index q = std::min({left.cols(), right.cols(), n - 1});
  Eigen::MatrixXd u = svd.matrixU().leftCols(q), v = svd.matrixV().leftCols(q);
  out.singular_values = svd.singularValues().head(q);
  out.left_vectors = full_vectors(rl, u);
  out.right_vectors = full_vectors(rr, v);
  for (Eigen::Index i = 0; i < q; ++i) {
    Eigen::Index at = 0;
    out.left_vectors.col(i).cwiseAbs().maxCoeff(&at);
    if (out.left_vectors(at, i) < 0) {
      out.left_vectors.col(i) *= -1;
      out.right_vectors.col(i) *= -1;
      u.col(i) *= -1;
      v.col(i) *= -1;
    }
  }
  const double total = out.singular_values.squaredNorm();
  out.covariance_share = total > 0 ? Eigen::VectorXd(out.singular_values.array().square() / total)
                                   : Eigen::VectorXd::Zero(q);
  out.left_scores = rl.data * u.col(0);
  out.right_scores = rr.data * v.col(0);
  const double den = out.left_scores.norm() * out.right_scores.norm();
  out.random_r.resize(permutations + 1);
  out.r_pls = den > 0 ? out.left_scores.dot(out.right_scores) / den : 0.0;
  out.random_r(0) = out.r_pls;

  PlsPermutation shared;
  shared.x = rl.data;
  shared.y = rr.data;
  shared.gx = rl.data.transpose() * rl.data;
  shared.gy = rr.data.transpose() * rr.data;
  out.rv = (s / scale).squaredNorm() / std::sqrt(shared.gx.squaredNorm() * shared.gy.squaredNorm());
  shared.start_u = u.col(0);
  shared.start_v = v.col(0);
  const Eigen::MatrixXi orderings = random_orderings(n, permutations, seed);
  shared.orderings = &orderings;

  const double work = static_cast<double>(n) * static_cast<double>(rl.data.cols()) *
                      static_cast<double>(rr.data.cols()) * permutations;
  const int half = work >= kParallelWork && std::thread::hardware_concurrency() > 1
                       ? std::min((permutations / 2 + kBlock - 1) / kBlock * kBlock, permutations)
                       : permutations;
  std::atomic<int> done{0};
  std::atomic<bool> cancelled{false};
  std::thread helper;
  if (half < permutations)
    helper = std::thread([&] {
      permuted_r(shared, half, permutations, out.random_r, done, cancelled, nullptr, permutations);
    });
  permuted_r(shared, 0, half, out.random_r, done, cancelled, &progress, permutations);
  if (helper.joinable()) helper.join();
  if (cancelled) return std::nullopt;
  if (progress && !progress(permutations, permutations)) return std::nullopt;

  const double threshold = out.r_pls * (1 - kPermutationTieTolerance);
  out.at_least_as_large =
      1 + static_cast<int>((out.random_r.tail(permutations).array() >= threshold).count());
  out.p = out.at_least_as_large / (permutations + 1.0);
  out.z = box_cox_effect_size(out.random_r).z;
  return out;
}

Eigen::MatrixXd block_coordinates(const Eigen::Ref<const Eigen::MatrixXd>& tangent,
                                  const std::vector<std::size_t>& block, std::size_t which) {
  const auto k = static_cast<Eigen::Index>(block.size());
  if (tangent.cols() != 3 * k)
    throw NumericError("The partition gives blocks for " + std::to_string(k) +
                       " landmarks but the shape data have " + std::to_string(tangent.cols() / 3) +
                       ".");
  std::vector<Eigen::Index> members;
  for (Eigen::Index l = 0; l < k; ++l)
    if (block[static_cast<std::size_t>(l)] == which) members.push_back(l);
  if (members.empty())
    throw NumericError("No landmark is in block " + std::to_string(which + 1) + ".");
  const auto kb = static_cast<Eigen::Index>(members.size());
  Eigen::MatrixXd out(tangent.rows(), 3 * kb);
  for (Eigen::Index d = 0; d < 3; ++d)
    for (Eigen::Index j = 0; j < kb; ++j)
      out.col(d * kb + j) = tangent.col(d * k + members[static_cast<std::size_t>(j)]);
  return out;
}

BlockTangents separate_block_tangents(const shape::Stack& raw,
                                      const std::vector<std::size_t>& block, std::size_t left,
                                      std::size_t right) {
  if (static_cast<Eigen::Index>(block.size()) != raw.k())
    throw NumericError("The partition gives blocks for " + std::to_string(block.size()) +
                       " landmarks but the sample has " + std::to_string(raw.k()) + ".");
  auto one = [&](std::size_t which) {
    std::vector<Eigen::Index> members;
    for (std::size_t l = 0; l < block.size(); ++l)
      if (block[l] == which) members.push_back(static_cast<Eigen::Index>(l));
    if (members.size() < 3)
      throw NumericError("Block " + std::to_string(which + 1) + " has " +
                         std::to_string(members.size()) +
                         " landmarks; a block needs at least 3 to be superimposed on its own.");
    shape::Stack part(static_cast<Eigen::Index>(members.size()), raw.n());
    for (Eigen::Index i = 0; i < raw.n(); ++i)
      for (std::size_t j = 0; j < members.size(); ++j)
        part.slice(i).row(static_cast<Eigen::Index>(j)) = raw.slice(i).row(members[j]);
    const shape::GpaResult gpa = shape::gpa_to_convergence(std::move(part));
    return shape::tangent_coordinates(gpa.reference, gpa.fitted);
  };
  return {one(left), one(right)};
}

IntegrationComparison compare_integration(const Eigen::Ref<const Eigen::MatrixXd>& left,
                                          const Eigen::Ref<const Eigen::MatrixXd>& right,
                                          const std::vector<std::string>& group, int permutations,
                                          std::uint64_t seed) {
  const auto n = static_cast<Eigen::Index>(group.size());
  if (left.rows() != n || right.rows() != n)
    throw NumericError("The factor has " + std::to_string(n) + " values but the blocks " +
                       std::to_string(left.rows()) + " specimens.");
  IntegrationComparison out;
  out.levels = factor_levels(group);
  out.permutations = permutations;
  const auto g = static_cast<Eigen::Index>(out.levels.size());
  if (g < 2)
    throw NumericError("Comparing integration needs at least two groups; the factor has " +
                       std::to_string(g) + ".");
  out.r_pls.resize(g);
  out.z.resize(g);
  out.z_variance.resize(g);
  for (Eigen::Index l = 0; l < g; ++l) {
    std::vector<Eigen::Index> rows;
    for (Eigen::Index i = 0; i < n; ++i)
      if (group[static_cast<std::size_t>(i)] == out.levels[static_cast<std::size_t>(l)])
        rows.push_back(i);
    const auto m = static_cast<Eigen::Index>(rows.size());
    if (m < 4)
      throw NumericError("The group \"" + shown_text(out.levels[static_cast<std::size_t>(l)]) +
                         "\" has " + std::to_string(m) +
                         " specimens; comparing integration needs at least four in every group.");
    out.counts.push_back(m);
    Eigen::MatrixXd a(m, left.cols()), b(m, right.cols());
    for (Eigen::Index i = 0; i < m; ++i) {
      a.row(i) = left.row(rows[static_cast<std::size_t>(i)]);
      b.row(i) = right.row(rows[static_cast<std::size_t>(i)]);
    }
    const TwoBlockPls pls = *two_block_pls(a, b, permutations, seed);
    out.r_pls(l) = pls.r_pls;
    out.z(l) = pls.z;
    out.z_variance(l) = permutations > 1 ? (permutations - 1.0) / permutations : 0.0;
  }
  out.pairwise_z = Eigen::MatrixXd::Zero(g, g);
  out.pairwise_p = Eigen::MatrixXd::Ones(g, g);
  for (Eigen::Index i = 0; i < g; ++i)
    for (Eigen::Index j = 0; j < g; ++j) {
      if (i == j) continue;
      const double var = out.z_variance(i) + out.z_variance(j);
      const double z = var > 0 ? (out.z(i) - out.z(j)) / std::sqrt(var) : 0.0;
      out.pairwise_z(i, j) = z;
      out.pairwise_p(i, j) = std::min(1.0, 2 * normal_upper_tail(std::abs(z)));
    }
  return out;
}

std::vector<std::vector<std::string>> pls_table_rows(const TwoBlockPls& pls, bool full) {
  std::vector<std::vector<std::string>> rows{{"Pair", "SV", "Share"}};
  for (Eigen::Index i = 0; i < pls.singular_values.size(); ++i)
    rows.push_back({std::to_string(i + 1), cell(pls.singular_values(i), full),
                    cell(pls.covariance_share(i), full)});
  return rows;
}

std::vector<std::vector<std::string>> pls_summary_rows(const TwoBlockPls& pls, bool full) {
  return {{"Statistic", "Value"},     {"r-PLS", cell(pls.r_pls, full)},
          {"RV", cell(pls.rv, full)}, {"Pr(>r)", cell(pls.p, full)},
          {"Z", cell(pls.z, full)},   {"Permutations", std::to_string(pls.permutations)}};
}

std::vector<std::vector<std::string>> integration_comparison_rows(const IntegrationComparison& c,
                                                                  bool full) {
  std::vector<std::vector<std::string>> rows{{"GROUP", "n", "r-PLS", "Z"}};
  for (std::size_t l = 0; l < c.levels.size(); ++l) {
    const auto i = static_cast<Eigen::Index>(l);
    rows.push_back({shown_text(c.levels[l]), std::to_string(c.counts[l]), cell(c.r_pls(i), full),
                    cell(c.z(i), full)});
  }
  rows.push_back({"GROUP", "GROUP", "z", "Pr(>|z|)"});
  for (std::size_t a = 0; a < c.levels.size(); ++a)
    for (std::size_t b = a + 1; b < c.levels.size(); ++b) {
      const auto i = static_cast<Eigen::Index>(a), j = static_cast<Eigen::Index>(b);
      rows.push_back({shown_text(c.levels[a]), shown_text(c.levels[b]),
                      cell(c.pairwise_z(i, j), full), cell(c.pairwise_p(i, j), full)});
    }
  return rows;
}

}  // namespace velmora::stats
