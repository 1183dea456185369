#include "tps/point_warp.hpp"

#include <Eigen/LU>
#include <Eigen/SVD>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

#include "core/errors.hpp"
#include "core/tolerances.hpp"
#include "shape/decompositions.hpp"

namespace velmora::tps {
namespace {

/// Points per block of the kernel sums: three coordinates and three sums of
/// this many doubles stay in the first-level cache.
constexpr Eigen::Index kBlock = 256;

/// Below this many point–landmark pairs one thread is quicker than two.
constexpr double kParallelPairs = 2e6;

#if defined(__x86_64__)
/// The kernel sums of `m` points (a multiple of 8) over `k` landmarks with
/// four-wide vectors and fused multiply–adds, eight points at a time so two
/// square roots are in flight.
__attribute__((target("avx2,fma"))) void kernel_sums_avx2(const double* x, const double* y,
                                                          const double* z, Eigen::Index m,
                                                          const double* const s[3],
                                                          const double* const w[3], Eigen::Index k,
                                                          double* out[3]) {
  for (Eigen::Index b = 0; b < m; b += 8) {
    const __m256d x0 = _mm256_loadu_pd(x + b), x1 = _mm256_loadu_pd(x + b + 4);
    const __m256d y0 = _mm256_loadu_pd(y + b), y1 = _mm256_loadu_pd(y + b + 4);
    const __m256d z0 = _mm256_loadu_pd(z + b), z1 = _mm256_loadu_pd(z + b + 4);
    __m256d ax0 = _mm256_loadu_pd(out[0] + b), ax1 = _mm256_loadu_pd(out[0] + b + 4);
    __m256d ay0 = _mm256_loadu_pd(out[1] + b), ay1 = _mm256_loadu_pd(out[1] + b + 4);
    __m256d az0 = _mm256_loadu_pd(out[2] + b), az1 = _mm256_loadu_pd(out[2] + b + 4);
    for (Eigen::Index i = 0; i < k; ++i) {
      const __m256d sx = _mm256_broadcast_sd(s[0] + i), sy = _mm256_broadcast_sd(s[1] + i),
                    sz = _mm256_broadcast_sd(s[2] + i);
      __m256d d0 = _mm256_sub_pd(x0, sx), d1 = _mm256_sub_pd(x1, sx);
      __m256d r0 = _mm256_mul_pd(d0, d0), r1 = _mm256_mul_pd(d1, d1);
      d0 = _mm256_sub_pd(y0, sy), d1 = _mm256_sub_pd(y1, sy);
      r0 = _mm256_fmadd_pd(d0, d0, r0), r1 = _mm256_fmadd_pd(d1, d1, r1);
      d0 = _mm256_sub_pd(z0, sz), d1 = _mm256_sub_pd(z1, sz);
      r0 = _mm256_sqrt_pd(_mm256_fmadd_pd(d0, d0, r0));
      r1 = _mm256_sqrt_pd(_mm256_fmadd_pd(d1, d1, r1));
      const __m256d wx = _mm256_broadcast_sd(w[0] + i), wy = _mm256_broadcast_sd(w[1] + i),
                    wz = _mm256_broadcast_sd(w[2] + i);
      ax0 = _mm256_fmadd_pd(wx, r0, ax0), ax1 = _mm256_fmadd_pd(wx, r1, ax1);
      ay0 = _mm256_fmadd_pd(wy, r0, ay0), ay1 = _mm256_fmadd_pd(wy, r1, ay1);
      az0 = _mm256_fmadd_pd(wz, r0, az0), az1 = _mm256_fmadd_pd(wz, r1, az1);
    }
    _mm256_storeu_pd(out[0] + b, ax0), _mm256_storeu_pd(out[0] + b + 4, ax1);
    _mm256_storeu_pd(out[1] + b, ay0), _mm256_storeu_pd(out[1] + b + 4, ay1);
    _mm256_storeu_pd(out[2] + b, az0), _mm256_storeu_pd(out[2] + b + 4, az1);
  }
}

bool has_avx2() {
  static const bool yes = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return yes;
}
#endif

[[noreturn]] void refuse(const std::string& why) {
  throw NumericError("The thin-plate spline cannot be built: " + why);
}

}  // namespace

ThinPlateSpline::ThinPlateSpline(const shape::Config& source, const shape::Config& target) {
  const Eigen::Index k = source.rows();
  if (target.rows() != k)
    refuse("the source has " + std::to_string(k) + " landmarks and the target " +
           std::to_string(target.rows()) + ".");
  if (k < 4) refuse("it needs at least four landmarks, and has " + std::to_string(k) + ".");
  if (!source.allFinite() || !target.allFinite()) refuse("a landmark is not finite.");
  centre_ = source.colwise().mean();
  unit_source_ = source.rowwise() - centre_;
  scale_ = unit_source_.norm();
  if (!(scale_ > 0)) refuse("all its landmarks coincide.");
  unit_source_ /= scale_;
  const Eigen::JacobiSVD<Eigen::Matrix<double, Eigen::Dynamic, 3>> spread(unit_source_);
  if (spread.singularValues()(2) <= kFlatTolerance * spread.singularValues()(0))
    refuse("its source landmarks lie in one plane.");

  Eigen::MatrixXd system = Eigen::MatrixXd::Zero(k + 4, k + 4);
  for (Eigen::Index j = 0; j < k; ++j) {
    for (Eigen::Index i = 0; i < k; ++i)
      system(i, j) = (unit_source_.row(i) - unit_source_.row(j)).norm();
  }
  const double longest = system.topLeftCorner(k, k).maxCoeff();
  for (Eigen::Index j = 0; j < k; ++j) {
    for (Eigen::Index i = j + 1; i < k; ++i) {
      if (system(i, j) <= kCoincidentLandmarkTolerance * longest)
        refuse("source landmarks " + std::to_string(j + 1) + " and " + std::to_string(i + 1) +
               " coincide.");
    }
  }
  system.block(0, k, k, 1).setOnes();
  system.block(0, k + 1, k, 3) = unit_source_;
  system.block(k, 0, 4, k) = system.block(0, k, k, 4).transpose();
  Eigen::MatrixXd rhs = Eigen::MatrixXd::Zero(k + 4, 3);
  rhs.topRows(k) = target;
  const Eigen::PartialPivLU<Eigen::MatrixXd> lu(system);
  if (!(lu.rcond() > kSingularTolerance))
    refuse("its system is singular (source landmarks nearly coinciding or in one plane).");
  const Eigen::MatrixXd solution = lu.solve(rhs);
  weights_ = solution.topRows(k);
  affine_ = solution.bottomRows(4);
}

void ThinPlateSpline::warp_rows(const Eigen::Ref<const PointRows>& points, PointRows& out,
                                Eigen::Index begin, Eigen::Index end) const {
  using Block = Eigen::Array<double, kBlock, 1>;
  Block x, y, z, sx, sy, sz, r;
  const Eigen::Index k = unit_source_.rows();
  const double inv = 1 / scale_;
  for (Eigen::Index b0 = begin; b0 < end; b0 += kBlock) {
    const Eigen::Index m = std::min(kBlock, end - b0);
    x.head(m) = (points.col(0).segment(b0, m).array() - centre_(0)) * inv;
    y.head(m) = (points.col(1).segment(b0, m).array() - centre_(1)) * inv;
    z.head(m) = (points.col(2).segment(b0, m).array() - centre_(2)) * inv;
    if (m < kBlock) {
      x.tail(kBlock - m).setZero();
      y.tail(kBlock - m).setZero();
      z.tail(kBlock - m).setZero();
    }
    sx = affine_(0, 0) + affine_(1, 0) * x + affine_(2, 0) * y + affine_(3, 0) * z;
    sy = affine_(0, 1) + affine_(1, 1) * x + affine_(2, 1) * y + affine_(3, 1) * z;
    sz = affine_(0, 2) + affine_(1, 2) * x + affine_(2, 2) * y + affine_(3, 2) * z;
#if defined(__x86_64__)
    if (has_avx2()) {
      const double* const src[3] = {unit_source_.col(0).data(), unit_source_.col(1).data(),
                                    unit_source_.col(2).data()};
      const double* const w[3] = {weights_.col(0).data(), weights_.col(1).data(),
                                  weights_.col(2).data()};
      double* out_sums[3] = {sx.data(), sy.data(), sz.data()};
      kernel_sums_avx2(x.data(), y.data(), z.data(), kBlock, src, w, k, out_sums);
    } else
#endif
      for (Eigen::Index i = 0; i < k; ++i) {
        const double px = unit_source_(i, 0), py = unit_source_(i, 1), pz = unit_source_(i, 2);
        r = ((x - px).square() + (y - py).square() + (z - pz).square()).sqrt();
        sx += weights_(i, 0) * r;
        sy += weights_(i, 1) * r;
        sz += weights_(i, 2) * r;
      }
    out.col(0).segment(b0, m) = sx.head(m).matrix();
    out.col(1).segment(b0, m) = sy.head(m).matrix();
    out.col(2).segment(b0, m) = sz.head(m).matrix();
  }
}

PointRows ThinPlateSpline::warp(const Eigen::Ref<const PointRows>& points, int threads) const {
  const Eigen::Index n = points.rows();
  PointRows out(n, 3);
  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const double pairs = static_cast<double>(n) * static_cast<double>(landmarks());
  if (threads == 1 || pairs < kParallelPairs) {
    warp_rows(points, out, 0, n);
    return out;
  }
  // Each thread its own run of whole blocks: the results are the same to the
  // bit as on one thread.
  const Eigen::Index blocks = (n + kBlock - 1) / kBlock;
  std::vector<std::thread> pool;
  Eigen::Index begin = 0;
  for (int t = 0; t < threads; ++t) {
    const Eigen::Index end = std::min(n, ((t + 1) * blocks / threads) * kBlock);
    if (end <= begin) continue;
    if (t + 1 == threads) {
      warp_rows(points, out, begin, end);
    } else {
      pool.emplace_back([this, &points, &out, begin, end] { warp_rows(points, out, begin, end); });
    }
    begin = end;
  }
  for (std::thread& th : pool) th.join();
  return out;
}

}  // namespace velmora::tps
