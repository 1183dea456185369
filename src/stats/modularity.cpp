#include "stats/modularity.hpp"

#include <cmath>

#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "core/tolerances.hpp"
#include "stats/effect_size.hpp"
#include "stats/messages.hpp"
#include "stats/procrustes_anova.hpp"

namespace velmora::stats {

namespace {

// Landmarks whose covariances with all others are formed at once.
constexpr Eigen::Index kPanel = 64;
constexpr int kAngles = 1800;
constexpr double kAngleStep = 0.05;

std::string cell(double v, bool full) {
  return full ? shortest_number(v) : message_number(v);
}

/// The covariances reduced to what CR needs: w(a, b) = ‖S_ab‖² for the 3×3
/// block between landmarks a and b, and each landmark's own block.
struct BlockNorms {
  Eigen::MatrixXd w;                 // k×k
  std::vector<Eigen::Matrix3d> own;  // k own blocks S_aa
};

BlockNorms block_norms(const Eigen::Ref<const Eigen::MatrixXd>& tangent) {
  const Eigen::Index n = tangent.rows(), k = tangent.cols() / 3;
  // Interleaved columns x1 y1 z1 x2 …: landmark a in columns 3a … 3a + 2.
  Eigen::MatrixXd x(n, 3 * k);
  const Eigen::RowVectorXd mean = tangent.colwise().mean();
  for (Eigen::Index d = 0; d < 3; ++d)
    for (Eigen::Index a = 0; a < k; ++a)
      x.col(3 * a + d) = tangent.col(d * k + a).array() - mean(d * k + a);
  BlockNorms out;
  out.w.resize(k, k);
  out.own.resize(static_cast<std::size_t>(k));
  const double scale = 1.0 / static_cast<double>(n - 1);
  Eigen::MatrixXd panel;
  for (Eigen::Index a0 = 0; a0 < k; a0 += kPanel) {
    const Eigen::Index width = std::min(kPanel, k - a0);
    panel.noalias() = x.transpose() * x.middleCols(3 * a0, 3 * width);
    panel *= scale;
    for (Eigen::Index a = 0; a < width; ++a) {
      for (Eigen::Index b = 0; b < k; ++b)
        out.w(b, a0 + a) = panel.block(3 * b, 3 * a, 3, 3).squaredNorm();
      out.own[static_cast<std::size_t>(a0 + a)] = panel.block(3 * (a0 + a), 3 * a, 3, 3);
    }
  }
  return out;
}

/// sums(g, h) = Σ w(a, b) over the landmarks a of block g and b of block h.
Eigen::MatrixXd block_sums(const Eigen::MatrixXd& w, const std::vector<std::size_t>& block,
                           Eigen::Index blocks) {
  const Eigen::Index k = w.rows();
  Eigen::MatrixXd by_block = Eigen::MatrixXd::Zero(blocks, k);
  for (Eigen::Index a = 0; a < k; ++a)
    by_block.row(static_cast<Eigen::Index>(block[static_cast<std::size_t>(a)])) += w.row(a);
  Eigen::MatrixXd sums = Eigen::MatrixXd::Zero(blocks, blocks);
  for (Eigen::Index b = 0; b < k; ++b)
    sums.col(static_cast<Eigen::Index>(block[static_cast<std::size_t>(b)])) += by_block.col(b);
  return sums;
}

/// The mean CR over the pairs of blocks from their sums, and the CR of each
/// pair.
double mean_cr(const Eigen::MatrixXd& sums, Eigen::MatrixXd* pairs) {
  const Eigen::Index blocks = sums.rows();
  double total = 0;
  if (pairs) *pairs = Eigen::MatrixXd::Zero(blocks, blocks);
  for (Eigen::Index g = 0; g < blocks; ++g)
    for (Eigen::Index h = g + 1; h < blocks; ++h) {
      const double den = std::sqrt(sums(g, g) * sums(h, h));
      const double cr = den > 0 ? std::sqrt(sums(g, h) / den) : 0.0;
      total += cr;
      if (pairs) (*pairs)(g, h) = (*pairs)(h, g) = cr;
    }
  return total / (static_cast<double>(blocks * (blocks - 1)) / 2);
}

/// Σ_d (Rᵀ·S·R)_dd² for the rotation of geomorph's search by θ degrees.
double rotated_diagonal(const Eigen::Matrix3d& s, double degrees) {
  const double t = degrees * M_PI / 180, c = std::cos(t), si = std::sin(t);
  const double xx = c * c * s(0, 0) + 2 * c * si * s(0, 1) + si * si * s(1, 1);
  const double yy = si * si * s(0, 0) - 2 * c * si * s(0, 1) + c * c * s(1, 1);
  return xx * xx + yy * yy + s(2, 2) * s(2, 2);
}

}  // namespace

std::optional<ModularityTest> modularity_test(const Eigen::Ref<const Eigen::MatrixXd>& tangent,
                                              const std::vector<std::size_t>& block,
                                              int permutations, std::uint64_t seed,
                                              const PermutationProgress& progress) {
  const Eigen::Index n = tangent.rows(), k = static_cast<Eigen::Index>(block.size());
  if (tangent.cols() != 3 * k)
    throw NumericError("The partition gives blocks for " + std::to_string(k) +
                       " landmarks but the shape data have " + std::to_string(tangent.cols() / 3) +
                       ".");
  if (n < 4) throw NumericError(too_few_specimens_text("The modularity test", n));
  if (permutations < 1)
    throw NumericError("The modularity test needs at least one permutation; " +
                       std::to_string(permutations) + " were asked for.");
  if (!tangent.allFinite())
    throw NumericError("The shape data include values that are not finite numbers.");
  std::size_t blocks = 0;
  for (std::size_t b : block) blocks = std::max(blocks, b + 1);
  std::vector<std::size_t> size(blocks, 0);
  for (std::size_t b : block) ++size[b];
  if (blocks < 2)
    throw NumericError("The modularity test needs at least two blocks; the partition has " +
                       std::to_string(blocks) + ".");
  for (std::size_t b = 0; b < blocks; ++b)
    if (size[b] < 3)
      throw NumericError("Block " + std::to_string(b + 1) + " has " + std::to_string(size[b]) +
                         " landmarks; a block needs at least 3.");
  const auto g = static_cast<Eigen::Index>(blocks);

  const BlockNorms norms = block_norms(tangent);
  Eigen::MatrixXd w = norms.w;
  w.diagonal().setZero();
  ModularityTest out;
  out.permutations = permutations;
  out.seed = seed;
  const Eigen::MatrixXd sums = block_sums(w, block, g);
  out.cr = mean_cr(sums, &out.pair_cr);
  for (Eigen::Index b = 0; b < g; ++b) {
    // A block whose landmarks do not covary with one another leaves CR undefined.
    if (!(sums(b, b) > kCoincidentTolerance * norms.w.cwiseAbs().maxCoeff()))
      throw NumericError("The landmarks of block " + std::to_string(b + 1) +
                         " do not covary with one another: the covariance ratio is undefined.");
  }

  // geomorph's value: the own blocks keep their off-diagonal part.
  // Only the sums within blocks change with the angle.
  Eigen::VectorXd crs(kAngles);
  Eigen::MatrixXd turned = sums;
  for (int i = 0; i < kAngles; ++i) {
    turned.diagonal() = sums.diagonal();
    for (Eigen::Index a = 0; a < k; ++a) {
      const auto b = static_cast<Eigen::Index>(block[static_cast<std::size_t>(a)]);
      turned(b, b) += std::max(
          norms.w(a, a) - rotated_diagonal(norms.own[static_cast<std::size_t>(a)], i * kAngleStep),
          0.0);
    }
    crs(i) = mean_cr(turned, nullptr);
  }
  const double average = crs.mean();
  Eigen::Index best = 0;
  (crs.array() - average).abs().minCoeff(&best);
  out.geomorph_cr = crs(best);
  out.geomorph_angle = static_cast<double>(best) * kAngleStep;

  const Eigen::MatrixXi orderings = random_orderings(k, permutations, seed);
  out.random_cr.resize(permutations + 1);
  out.random_cr(0) = out.cr;
  std::vector<std::size_t> shuffled(block.size());
  for (int b = 0; b < permutations; ++b) {
    for (Eigen::Index j = 0; j < k; ++j)
      shuffled[static_cast<std::size_t>(j)] = block[static_cast<std::size_t>(orderings(j, b))];
    out.random_cr(b + 1) = mean_cr(block_sums(w, shuffled, g), nullptr);
    if (progress && (b + 1) % 64 == 0 && !progress(b + 1, permutations)) return std::nullopt;
  }
  if (progress && !progress(permutations, permutations)) return std::nullopt;
  const double threshold = out.cr * (1 + kPermutationTieTolerance);
  out.at_most =
      1 + static_cast<int>((out.random_cr.tail(permutations).array() <= threshold).count());
  out.p = out.at_most / (permutations + 1.0);
  out.z = box_cox_effect_size(out.random_cr).z;
  return out;
}

std::vector<std::vector<std::string>> modularity_rows(const ModularityTest& t, bool full) {
  return {{"Statistic", "Value"},
          {"CR", cell(t.cr, full)},
          {"CR (geomorph)", cell(t.geomorph_cr, full)},
          {"Angle", cell(t.geomorph_angle, full)},
          {"Pr(<CR)", cell(t.p, full)},
          {"Z", cell(t.z, full)},
          {"Permutations", std::to_string(t.permutations)}};
}

}  // namespace velmora::stats
