#include "tps/sliding.hpp"

#include <Eigen/Cholesky>
#include <Eigen/Eigenvalues>
#include <Eigen/QR>
#include <algorithm>
#include <cmath>
#include <nanoflann.hpp>
#include <thread>

#include "core/errors.hpp"
#include "shape/centroid_size.hpp"
#include "shape/rotation.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::tps {

namespace {

// The landmarks of one configuration as nanoflann reads them.
struct ConfigCloud {
  const shape::Config& points;
  std::size_t kdtree_get_point_count() const { return static_cast<std::size_t>(points.rows()); }
  double kdtree_get_pt(std::size_t i, std::size_t d) const {
    return points(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(d));
  }
  template <class Box>
  bool kdtree_get_bbox(Box&) const {
    return false;
  }
};
using Tree = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, ConfigCloud>,
                                                 ConfigCloud, 3, std::size_t>;

// A surface point's neighbourhood: itself and its four nearest landmarks.
constexpr std::size_t kSurfaceNeighbours = 4;

shape::Config unit_size(const Eigen::Ref<const shape::Config>& x) {
  shape::Config c = x.rowwise() - x.colwise().mean();
  const double size = shape::centroid_size(c);
  if (!(size > 0) || !std::isfinite(size))
    throw NumericError("A slid specimen's landmarks all coincide: it cannot be superimposed.");
  return c / size;
}

// Centre, unit size, and the rotation of least distance onto `target`.
shape::Config fitted_onto(const shape::Config& target, const shape::Config& y) {
  const shape::Config c = unit_size(y);
  const Eigen::Matrix3d cross = c.transpose() * target;
  return c * shape::rotation_from_cross_product(cross).rotation;
}

shape::Config mean_of(const shape::Stack& s) {
  shape::Config sum = shape::Config::Zero(s.k(), 3);
  for (Eigen::Index i = 0; i < s.n(); ++i) sum += s.slice(i);
  return unit_size(sum);
}

// Runs fn(i) for i in [0, n) on up to two threads: the machine's cores.
template <class Fn>
void for_each_specimen(Eigen::Index n, const Fn& fn) {
  const unsigned cores = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));
  if (cores == 1 || n < 4) {
    for (Eigen::Index i = 0; i < n; ++i) fn(i);
    return;
  }
  std::exception_ptr failure;
  std::thread other([&] {
    try {
      for (Eigen::Index i = 1; i < n; i += 2) fn(i);
    } catch (...) {
      failure = std::current_exception();
    }
  });
  std::exception_ptr mine;
  try {
    for (Eigen::Index i = 0; i < n; i += 2) fn(i);
  } catch (...) {
    mine = std::current_exception();
  }
  other.join();
  if (mine) std::rethrow_exception(mine);
  if (failure) std::rethrow_exception(failure);
}

std::string specimen_name(Eigen::Index i) {
  return "specimen " + std::to_string(i + 1);
}

}  // namespace

Eigen::MatrixXd bending_energy_matrix(const shape::Config& config) {
  const Eigen::Index k = config.rows();
  if (k < kMinBasisLandmarks)
    throw NumericError("The bending energy needs at least four landmarks; the consensus has " +
                       std::to_string(k) + ".");
  const shape::Config m = unit_size(config);
  // E = H₂ (−H₂ᵀ K H₂)⁻¹ H₂ᵀ, H₂ the complement of the affine columns Q.
  Eigen::MatrixXd q(k, 4);
  q.col(0).setOnes();
  q.rightCols(3) = m;
  const Eigen::HouseholderQR<Eigen::MatrixXd> qr(q);
  Eigen::MatrixXd h = qr.householderQ();
  const Eigen::MatrixXd h2 = h.rightCols(k - 4);
  const Eigen::MatrixXd kernel = landmark_distances(m);
  const Eigen::MatrixXd s = -(h2.transpose() * kernel * h2);
  const Eigen::LLT<Eigen::MatrixXd> llt(s);
  if (llt.info() != Eigen::Success || !(llt.matrixL().toDenseMatrix().diagonal().minCoeff() > 0))
    throw NumericError(
        "The bending energy of the consensus is undefined: its landmarks coincide or all lie in "
        "one plane.");
  const Eigen::MatrixXd x = llt.solve(h2.transpose());
  Eigen::MatrixXd e = h2 * x;
  return 0.5 * (e + e.transpose());
}

Tangents tangents_of(const shape::Config& y, const Semilandmarks& semi,
                     const std::string& specimen) {
  Tangents t;
  t.landmark.reserve(static_cast<std::size_t>(semi.sliding_dimensions()));
  t.direction.reserve(t.landmark.capacity());
  for (const auto& c : semi.curves) {
    const Eigen::RowVector3d d = y.row(c.after) - y.row(c.before);
    const double len = d.norm();
    if (!(len > 0) || !std::isfinite(len))
      throw NumericError("The curve slider " + std::to_string(c.slider + 1) +
                         " has its neighbours " + std::to_string(c.before + 1) + " and " +
                         std::to_string(c.after + 1) + " at the same place in " + specimen +
                         ": its tangent is undefined.");
    t.landmark.push_back(c.slider);
    t.direction.push_back(d / len);
  }
  if (semi.surface.empty()) return t;
  const ConfigCloud cloud{y};
  Tree tree(3, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(10));
  tree.buildIndex();
  std::size_t found[kSurfaceNeighbours + 1];
  double dist[kSurfaceNeighbours + 1];
  for (Eigen::Index p : semi.surface) {
    const double query[3] = {y(p, 0), y(p, 1), y(p, 2)};
    const std::size_t got = tree.knnSearch(query, kSurfaceNeighbours + 1, found, dist);
    // The point itself and its four nearest others (the point may be tied
    // with a landmark at the same place: it counts once).
    Eigen::Matrix<double, Eigen::Dynamic, 3> pts(kSurfaceNeighbours + 1, 3);
    pts.row(0) = y.row(p);
    Eigen::Index rows = 1;
    for (std::size_t j = 0; j < got && rows <= static_cast<Eigen::Index>(kSurfaceNeighbours); ++j)
      if (static_cast<Eigen::Index>(found[j]) != p)
        pts.row(rows++) = y.row(static_cast<Eigen::Index>(found[j]));
    const auto used = pts.topRows(rows);
    const Eigen::Matrix<double, Eigen::Dynamic, 3> c = used.rowwise() - used.colwise().mean();
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> eig(c.transpose() * c);
    for (int axis : {2, 1}) {
      t.landmark.push_back(p);
      t.direction.push_back(eig.eigenvectors().col(axis).transpose());
    }
  }
  return t;
}

shape::Config slide_once(const shape::Config& y, const shape::Config& target, const Tangents& t,
                         SlidingCriterion criterion, const Eigen::MatrixXd& energy) {
  const shape::Config r = y - target;
  const auto m = static_cast<Eigen::Index>(t.landmark.size());
  Eigen::VectorXd step(m);
  if (criterion == SlidingCriterion::ProcrustesDistance) {
    for (Eigen::Index j = 0; j < m; ++j)
      step(j) = -t.direction[static_cast<std::size_t>(j)].dot(
          r.row(t.landmark[static_cast<std::size_t>(j)]));
  } else {
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
  }
  shape::Config out = y;
  for (Eigen::Index j = 0; j < m; ++j)
    out.row(t.landmark[static_cast<std::size_t>(j)]) +=
        step(j) * t.direction[static_cast<std::size_t>(j)];
  return out;
}

double sliding_criterion(const shape::Config& y, const shape::Config& target,
                         SlidingCriterion criterion, const Eigen::MatrixXd& energy) {
  const shape::Config r = y - target;
  if (criterion == SlidingCriterion::ProcrustesDistance) return r.squaredNorm();
  return (r.transpose() * energy * r).trace();
}

SlidingResult slide_semilandmarks(const shape::GpaResult& start, const Semilandmarks& semi,
                                  const SlidingOptions& options) {
  SlidingResult out;
  out.reference = start.reference;
  out.fitted = start.fitted;
  if (semi.empty()) return out;
  const bool be = options.criterion == SlidingCriterion::BendingEnergy;
  const Eigen::Index n = out.fitted.n();

  // One pass toward `target`: every specimen slid and fitted onto it, in
  // place; the largest distance a specimen moved and the criterion summed.
  auto pass = [&](const shape::Config& target, double& largest_move, double& total) {
    const Eigen::MatrixXd energy = be ? bending_energy_matrix(target) : Eigen::MatrixXd();
    std::vector<double> moved(static_cast<std::size_t>(n)), crit(static_cast<std::size_t>(n));
    for_each_specimen(n, [&](Eigen::Index i) {
      const shape::Config y = out.fitted.slice(i);
      const Tangents t = tangents_of(y, semi, specimen_name(i));
      const shape::Config next =
          fitted_onto(target, slide_once(y, target, t, options.criterion, energy));
      moved[static_cast<std::size_t>(i)] = (next - y).norm();
      crit[static_cast<std::size_t>(i)] =
          sliding_criterion(next, target, options.criterion, energy);
      out.fitted.slice(i) = next;
    });
    largest_move = *std::max_element(moved.begin(), moved.end());
    total = 0;
    for (double c : crit) total += c;
  };

  if (options.passes > 0) {
    // The plain iteration: every pass toward the last pass's consensus.
    for (int p = 0; p < options.passes; ++p) {
      double move = 0, total = 0;
      pass(out.reference, move, total);
      const shape::Config next = mean_of(out.fitted);
      out.moves.push_back((next - out.reference).norm());
      out.criterion.push_back(total);
      out.reference = next;
    }
    out.passes = options.passes;
    return out;
  }

  // The default: the first pass's consensus is the template every later
  // pass slides toward, until the specimens rest.
  double move = 0, total = 0;
  pass(out.reference, move, total);
  const shape::Config target = mean_of(out.fitted);
  out.moves.push_back((target - out.reference).norm());
  out.criterion.push_back(total);
  out.passes = 1;
  out.converged = false;
  while (out.passes < kMostSlidingPasses) {
    pass(target, move, total);
    ++out.passes;
    out.moves.push_back(move);
    out.criterion.push_back(total);
    if (move < kSlidingConvergence) {
      out.converged = true;
      break;
    }
  }
  // The slid specimens superimposed on their own mean.
  shape::GpaResult again = shape::gpa_to_convergence(out.fitted);
  out.reference = std::move(again.reference);
  out.fitted = std::move(again.fitted);
  return out;
}

}  // namespace velmora::tps
