// The bending energy of the sliding: the energy matrix of a target, and
// the slides that minimise it, one specimen by a Cholesky factor or all of
// them together by conjugate gradients.
#include "tps/sliding_energy.hpp"

#include <Eigen/Cholesky>
#include <Eigen/QR>
#include <algorithm>
#include <cmath>
#include <thread>

#include "core/blas.hpp"
#include "core/errors.hpp"
#include "shape/centroid_size.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::tps {

namespace sliding_detail {

shape::Config unit_size(const Eigen::Ref<const shape::Config>& x) {
  shape::Config c = x.rowwise() - x.colwise().mean();
  const double size = shape::centroid_size(c);
  if (!(size > 0) || !std::isfinite(size))
    throw NumericError("A slid specimen's landmarks all coincide: it cannot be superimposed.");
  return c / size;
}

// The bending-energy slide of one specimen along `t` from its residual
// r = y − T, by a Cholesky factor of UᵀBU.
Eigen::VectorXd dense_energy_step(const shape::Config& r, const Tangents& t,
                                  const Eigen::MatrixXd& energy) {
  const auto m = static_cast<Eigen::Index>(t.landmark.size());
  Eigen::VectorXd step(m);
  // (UᵀBU)_jl = E(p_j, p_l) u_j·u_l and (UᵀBr)_j = u_j·(E r)_{p_j}.
  const Eigen::MatrixXd er = energy * r;
  Eigen::MatrixXd a(m, m);
  Eigen::VectorXd b(m);
  for (Eigen::Index j = 0; j < m; ++j) {
    const auto pj = t.landmark[static_cast<std::size_t>(j)];
    const Eigen::RowVector3d& uj = t.direction[static_cast<std::size_t>(j)];
    b(j) = uj.dot(er.row(pj));
    for (Eigen::Index l = 0; l <= j; ++l) {
      const auto pl = t.landmark[static_cast<std::size_t>(l)];
      a(j, l) = a(l, j) = energy(pj, pl) * uj.dot(t.direction[static_cast<std::size_t>(l)]);
    }
  }
  // Without enough fixed landmarks UᵀBU may be singular (a slide along
  // an affine motion costs no energy): the least slide of least energy.
  const Eigen::LLT<Eigen::MatrixXd> llt(a);
  if (llt.info() == Eigen::Success) {
    step = -llt.solve(b);
  } else {
    step = -a.completeOrthogonalDecomposition().solve(b);
  }
  return step;
}

// C (k×c) = E·X for the k×k energy matrix and a k×c matrix, the columns
// split between the machine's two cores (BLAS itself runs on one).
void energy_times(const Eigen::MatrixXd& e, const Eigen::MatrixXd& x, Eigen::MatrixXd& c) {
  const int k = static_cast<int>(e.rows()), cols = static_cast<int>(x.cols());
  c.resize(e.rows(), x.cols());
  auto part = [&](int first, int count) {
    if (count <= 0) return;
    const double one = 1, zero = 0;
    dgemm_("N", "N", &k, &count, &k, &one, e.data(), &k, x.data() + std::size_t(first) * k, &k,
           &zero, c.data() + std::size_t(first) * k, &k);
  };
  const int half = cols / 2;
  if (std::thread::hardware_concurrency() < 2 || cols < 6) return part(0, cols);
  std::thread other([&] { part(half, cols - half); });
  part(0, half);
  other.join();
}

// The bending-energy slides of every specimen toward one target, solved
// together by preconditioned conjugate gradients on (UᵢᵀBUᵢ) tᵢ = −UᵢᵀBrᵢ:
// every step multiplies the one energy matrix by all specimens' directions
// at once (k × 3n), where a Cholesky factor per specimen would cost m³.
std::vector<Eigen::VectorXd> energy_steps(const std::vector<const Tangents*>& tangents,
                                          const std::vector<shape::Config>& residuals,
                                          const Eigen::MatrixXd& energy) {
  const std::size_t n = residuals.size();
  const Eigen::Index k = energy.rows();
  // The specimens still solving, in order; only their columns are
  // multiplied, so that a few slow ones do not cost the whole product.
  std::vector<std::size_t> active(n);
  for (std::size_t i = 0; i < n; ++i) active[i] = i;
  auto scatter = [&](const std::vector<Eigen::VectorXd>& v, Eigen::MatrixXd& out) {
    out.setZero(k, static_cast<Eigen::Index>(3 * active.size()));
    for (std::size_t a = 0; a < active.size(); ++a) {
      const std::size_t i = active[a];
      const Tangents& t = *tangents[i];
      for (std::size_t j = 0; j < t.landmark.size(); ++j)
        for (int c = 0; c < 3; ++c)
          out(t.landmark[j], static_cast<Eigen::Index>(3 * a) + c) +=
              v[i](static_cast<Eigen::Index>(j)) * t.direction[j](c);
    }
  };
  auto gather = [&](const Eigen::MatrixXd& from, std::vector<Eigen::VectorXd>& v) {
    for (std::size_t a = 0; a < active.size(); ++a) {
      const std::size_t i = active[a];
      const Tangents& t = *tangents[i];
      for (std::size_t j = 0; j < t.landmark.size(); ++j)
        v[i](static_cast<Eigen::Index>(j)) =
            t.direction[j].dot(from.block<1, 3>(t.landmark[j], static_cast<Eigen::Index>(3 * a)));
    }
  };
  std::vector<Eigen::VectorXd> x(n), res(n), z(n), p(n), ap(n), diag(n);
  Eigen::MatrixXd r(k, static_cast<Eigen::Index>(3 * n)), wide;
  for (std::size_t i = 0; i < n; ++i) {
    r.middleCols(static_cast<Eigen::Index>(3 * i), 3) = residuals[i];
    const auto m = static_cast<Eigen::Index>(tangents[i]->landmark.size());
    x[i] = res[i] = z[i] = p[i] = ap[i] = diag[i] = Eigen::VectorXd::Zero(m);
    for (Eigen::Index j = 0; j < m; ++j)
      diag[i](j) = energy(tangents[i]->landmark[static_cast<std::size_t>(j)],
                          tangents[i]->landmark[static_cast<std::size_t>(j)]);
  }
  energy_times(energy, r, wide);
  gather(wide, res);
  std::vector<double> rz(n), goal(n);
  std::vector<bool> done(n);
  for (std::size_t i = 0; i < n; ++i) {
    res[i] = -res[i];
    // A residual of 1e-10 of the start, and never below what rounding
    // leaves of the energy's scale (its largest diagonal entry): the slides'
    // error then stays far below the coordinates' rounding at unit size.
    goal[i] = std::max(1e-10 * res[i].norm(), 1e-14 * diag[i].cwiseAbs().maxCoeff());
    z[i] = res[i].cwiseQuotient(diag[i]);
    p[i] = z[i];
    rz[i] = res[i].dot(z[i]);
    done[i] = !(res[i].norm() > goal[i]);
  }
  // A system that rounding keeps from converging (a surface point whose
  // neighbours nearly lie on a line) is solved by its Cholesky factor.
  const int most_steps = static_cast<int>(std::min<Eigen::Index>(3000, 4 * k));
  for (int step = 0; step < most_steps; ++step) {
    active.clear();
    for (std::size_t i = 0; i < n; ++i)
      if (!done[i]) active.push_back(i);
    if (active.empty()) return x;
    scatter(p, r);
    energy_times(energy, r, wide);
    gather(wide, ap);
    for (std::size_t i : active) {
      const double alpha = rz[i] / p[i].dot(ap[i]);
      x[i] += alpha * p[i];
      res[i] -= alpha * ap[i];
      if (!(res[i].norm() > goal[i])) {
        done[i] = true;
        continue;
      }
      z[i] = res[i].cwiseQuotient(diag[i]);
      const double next = res[i].dot(z[i]);
      p[i] = z[i] + (next / rz[i]) * p[i];
      rz[i] = next;
    }
  }
  for (std::size_t i = 0; i < n; ++i)
    if (!done[i]) x[i] = dense_energy_step(residuals[i], *tangents[i], energy);
  return x;
}

}  // namespace sliding_detail

Eigen::MatrixXd bending_energy_matrix(const shape::Config& config) {
  const Eigen::Index k = config.rows();
  if (k < kMinBasisLandmarks)
    throw NumericError("The bending energy needs at least four landmarks; the consensus has " +
                       std::to_string(k) + ".");
  const shape::Config m = sliding_detail::unit_size(config);
  // E = H₂ (−H₂ᵀ K H₂)⁻¹ H₂ᵀ, H₂ the complement of the affine columns Q.
  Eigen::MatrixXd q(k, 4);
  q.col(0).setOnes();
  q.rightCols(3) = m;
  const Eigen::HouseholderQR<Eigen::MatrixXd> qr(q);
  const Eigen::MatrixXd h = qr.householderQ();
  const Eigen::MatrixXd h2 = h.rightCols(k - 4);
  const Eigen::MatrixXd kernel = landmark_distances(m);
  const int nk = static_cast<int>(k), nr = static_cast<int>(k - 4);
  // −S = −H₂ᵀ K H₂ through K H₂ (BLAS: these products are k³).
  Eigen::MatrixXd kh(k, k - 4), s(k - 4, k - 4);
  const double one = 1, zero = 0, minus = -1;
  dgemm_("N", "N", &nk, &nr, &nk, &one, kernel.data(), &nk, h2.data(), &nk, &zero, kh.data(), &nk);
  dgemm_("T", "N", &nr, &nr, &nk, &minus, h2.data(), &nk, kh.data(), &nk, &zero, s.data(), &nr);
  int info = 0;
  dpotrf_("L", &nr, s.data(), &nr, &info);
  if (info != 0)
    throw NumericError(
        "The bending energy of the consensus is undefined: its landmarks coincide or all lie in "
        "one plane.");
  Eigen::MatrixXd x = h2.transpose();
  dpotrs_("L", &nr, &nk, s.data(), &nr, x.data(), &nr, &info);
  Eigen::MatrixXd e(k, k);
  dgemm_("N", "N", &nk, &nk, &nr, &one, h2.data(), &nk, x.data(), &nr, &zero, e.data(), &nk);
  return 0.5 * (e + e.transpose());
}

}  // namespace velmora::tps
