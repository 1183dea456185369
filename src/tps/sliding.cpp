#include "tps/sliding.hpp"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <nanoflann.hpp>
#include <thread>

#include "core/errors.hpp"
#include "shape/centroid_size.hpp"
#include "shape/rotation.hpp"
#include "tps/sliding_energy.hpp"

namespace velmora::tps {

using sliding_detail::dense_energy_step;
using sliding_detail::energy_steps;
using sliding_detail::unit_size;

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

// The default's passes toward the template that find every surface point's
// neighbours anew, before it keeps them.
constexpr int kFreeNeighbourhoodPasses = 40;

// A surface point's neighbourhood: itself and its four nearest landmarks.
constexpr std::size_t kSurfaceNeighbours = 4;

// A similarity from a specimen's raw coordinates to its fitted ones:
// x ↦ scale·x·turn + shift (rows are points).
struct Frame {
  double scale = 1;
  Eigen::Matrix3d turn = Eigen::Matrix3d::Identity();
  Eigen::RowVector3d shift = Eigen::RowVector3d::Zero();
  Eigen::RowVector3d to_fitted(const Eigen::RowVector3d& raw) const {
    return scale * raw * turn + shift;
  }
  Eigen::RowVector3d to_raw(const Eigen::RowVector3d& fitted) const {
    return (fitted - shift) * turn.transpose() / scale;
  }
  // This frame followed by `then`.
  Frame followed_by(const Frame& then) const {
    return {then.scale * scale, turn * then.turn, then.scale * shift * then.turn + then.shift};
  }
};

// Centre, unit size, and the rotation of least distance onto `target`;
// `step`, when given, receives the similarity applied.
shape::Config fitted_onto(const shape::Config& target, const shape::Config& y,
                          Frame* step = nullptr) {
  const shape::Config c = unit_size(y);
  const Eigen::Matrix3d cross = c.transpose() * target;
  const Eigen::Matrix3d turn = shape::rotation_from_cross_product(cross).rotation;
  if (step) {
    const Eigen::RowVector3d centre = y.colwise().mean();
    const double scale = 1 / shape::centroid_size(y.rowwise() - centre);
    *step = {scale, turn, -scale * centre * turn};
  }
  return c * turn;
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

Tangents tangents_of(const shape::Config& y, const Semilandmarks& semi, const std::string& specimen,
                     Neighbourhoods* kept, const std::vector<Eigen::RowVector3d>* normals) {
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
  if (normals && normals->size() == semi.surface.size()) {
    for (std::size_t s = 0; s < semi.surface.size(); ++s) {
      const Eigen::RowVector3d n = (*normals)[s];
      // Any two unit directions square to the normal and to each other: a
      // slide over their plane does not depend on which.
      const Eigen::RowVector3d other =
          std::abs(n(0)) < 0.6 ? Eigen::RowVector3d(1, 0, 0) : Eigen::RowVector3d(0, 1, 0);
      const Eigen::RowVector3d u = n.cross(other).normalized();
      for (const Eigen::RowVector3d& d : {u, Eigen::RowVector3d(n.cross(u))}) {
        t.landmark.push_back(semi.surface[s]);
        t.direction.push_back(d);
      }
    }
    return t;
  }
  const bool reuse = kept && kept->size() == semi.surface.size();
  if (kept && !reuse) kept->assign(semi.surface.size(), {});
  const ConfigCloud cloud{y};
  Tree tree(3, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(10));
  if (!reuse) tree.buildIndex();
  std::size_t found[kSurfaceNeighbours + 1];
  double dist[kSurfaceNeighbours + 1];
  for (std::size_t s = 0; s < semi.surface.size(); ++s) {
    const Eigen::Index p = semi.surface[s];
    std::vector<Eigen::Index> near;
    if (reuse) {
      near = (*kept)[s];
    } else {
      const double query[3] = {y(p, 0), y(p, 1), y(p, 2)};
      const std::size_t got = tree.knnSearch(query, kSurfaceNeighbours + 1, found, dist);
      // Its four nearest others (the point may be tied with a landmark at
      // the same place: it counts once).
      for (std::size_t j = 0; j < got && near.size() < kSurfaceNeighbours; ++j)
        if (static_cast<Eigen::Index>(found[j]) != p)
          near.push_back(static_cast<Eigen::Index>(found[j]));
      if (kept) (*kept)[s] = near;
    }
    Eigen::Matrix<double, Eigen::Dynamic, 3> pts(kSurfaceNeighbours + 1, 3);
    pts.row(0) = y.row(p);
    Eigen::Index rows = 1;
    for (Eigen::Index q : near) pts.row(rows++) = y.row(q);
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
    step = dense_energy_step(r, t, energy);
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

  const bool together = be && semi.sliding_dimensions() > options.dense_limit;
  auto energy_of = [be](const shape::Config& target) {
    return be ? bending_energy_matrix(target) : Eigen::MatrixXd();
  };
  // With a fixed target a specimen that no longer moves stays where it is:
  // later passes leave it out.
  std::vector<bool> resting(static_cast<std::size_t>(n), false);
  // Each specimen's surface neighbourhoods, once the default keeps them.
  std::vector<Neighbourhoods> neighbourhoods(static_cast<std::size_t>(n));
  std::vector<double> crit(static_cast<std::size_t>(n));
  // With scans: each specimen's frame (raw to fitted) and its surface
  // points' normals there, in the fitted frame.
  const SurfaceProjection* projection = options.projection.get();
  std::vector<Frame> frames;
  std::vector<std::vector<Eigen::RowVector3d>> normals;
  auto normals_of = [&](Eigen::Index i) {
    return projection ? &normals[static_cast<std::size_t>(i)] : nullptr;
  };
  // Every semilandmark of `y` (specimen i, fitted frame) onto its scan.
  auto project = [&](Eigen::Index i, shape::Config& y) {
    const Frame& f = frames[static_cast<std::size_t>(i)];
    for (const auto& c : semi.curves)
      y.row(c.slider) = f.to_fitted(projection->nearest(i, f.to_raw(y.row(c.slider))).point);
    auto& ns = normals[static_cast<std::size_t>(i)];
    ns.resize(semi.surface.size());
    for (std::size_t s = 0; s < semi.surface.size(); ++s) {
      const Eigen::Index p = semi.surface[s];
      const SurfaceProjection::Nearest on = projection->nearest(i, f.to_raw(y.row(p)));
      y.row(p) = f.to_fitted(on.point);
      ns[s] = on.normal * f.turn;
    }
  };
  if (projection) {
    if (projection->raw.n() != n || projection->raw.k() != out.fitted.k() || !projection->nearest)
      throw NumericError("The scans to project onto do not match the sample: " +
                         std::to_string(projection->raw.n()) + " specimens of " +
                         std::to_string(projection->raw.k()) + " landmarks against " +
                         std::to_string(n) + " of " + std::to_string(out.fitted.k()) + ".");
    frames.resize(static_cast<std::size_t>(n));
    normals.resize(static_cast<std::size_t>(n));
    for_each_specimen(n, [&](Eigen::Index i) {
      const shape::Config raw = projection->raw.slice(i);
      const Eigen::RowVector3d centre = raw.colwise().mean();
      const double scale = 1 / shape::centroid_size(raw.rowwise() - centre);
      const Eigen::Matrix3d cross =
          ((raw.rowwise() - centre) * scale).transpose() * out.fitted.slice(i);
      const Eigen::Matrix3d turn = shape::rotation_from_cross_product(cross).rotation;
      frames[static_cast<std::size_t>(i)] = {scale, turn, -scale * centre * turn};
      shape::Config y = out.fitted.slice(i);
      project(i, y);
      out.fitted.slice(i) = y;
    });
  }
  // One pass toward `target`: every specimen slid and fitted onto it, in
  // place; the largest distance a specimen moved and the criterion summed.
  // A pass toward the default's fixed template lets specimens come to rest
  // and, with `keep_neighbourhoods`, keeps their surface neighbourhoods.
  auto pass = [&](const shape::Config& target, const Eigen::MatrixXd& energy, bool toward_template,
                  bool keep_neighbourhoods, double& largest_move, double& total) {
    std::vector<double> moved(static_cast<std::size_t>(n));
    std::vector<Tangents> tangents(static_cast<std::size_t>(n));
    std::vector<shape::Config> slid(static_cast<std::size_t>(n));
    if (together) {
      std::vector<Eigen::Index> moving;
      for (Eigen::Index i = 0; i < n; ++i)
        if (!resting[static_cast<std::size_t>(i)]) moving.push_back(i);
      std::vector<shape::Config> residuals(moving.size());
      std::vector<const Tangents*> of(moving.size());
      for_each_specimen(static_cast<Eigen::Index>(moving.size()), [&](Eigen::Index a) {
        const Eigen::Index i = moving[static_cast<std::size_t>(a)];
        const auto at = static_cast<std::size_t>(i);
        tangents[at] =
            tangents_of(out.fitted.slice(i), semi, specimen_name(i),
                        keep_neighbourhoods ? &neighbourhoods[at] : nullptr, normals_of(i));
        residuals[static_cast<std::size_t>(a)] = out.fitted.slice(i) - target;
        of[static_cast<std::size_t>(a)] = &tangents[at];
      });
      const std::vector<Eigen::VectorXd> steps = energy_steps(of, residuals, energy);
      for (std::size_t a = 0; a < moving.size(); ++a) {
        const auto at = static_cast<std::size_t>(moving[a]);
        slid[at] = out.fitted.slice(moving[a]);
        for (std::size_t j = 0; j < tangents[at].landmark.size(); ++j)
          slid[at].row(tangents[at].landmark[j]) +=
              steps[a](static_cast<Eigen::Index>(j)) * tangents[at].direction[j];
      }
    }
    for_each_specimen(n, [&](Eigen::Index i) {
      const auto at = static_cast<std::size_t>(i);
      if (resting[at]) return;
      const shape::Config y = out.fitted.slice(i);
      if (!together) {
        const Tangents t =
            tangents_of(y, semi, specimen_name(i),
                        keep_neighbourhoods ? &neighbourhoods[at] : nullptr, normals_of(i));
        slid[at] = slide_once(y, target, t, options.criterion, energy);
      }
      if (projection) project(i, slid[at]);
      Frame step;
      const shape::Config next = fitted_onto(target, slid[at], projection ? &step : nullptr);
      if (projection) {
        frames[at] = frames[at].followed_by(step);
        for (Eigen::RowVector3d& normal : normals[at]) normal = normal * step.turn;
      }
      moved[at] = (next - y).norm();
      crit[at] = sliding_criterion(next, target, options.criterion, energy);
      out.fitted.slice(i) = next;
    });
    if (toward_template)
      for (std::size_t i = 0; i < moved.size(); ++i)
        resting[i] = resting[i] || moved[i] < kSlidingConvergence;
    largest_move = *std::max_element(moved.begin(), moved.end());
    total = 0;
    for (double c : crit) total += c;
  };

  if (options.passes > 0) {
    // The plain iteration: every pass toward the last pass's consensus.
    for (int p = 0; p < options.passes; ++p) {
      double move = 0, total = 0;
      pass(out.reference, energy_of(out.reference), false, false, move, total);
      const shape::Config next = mean_of(out.fitted);
      out.moves.push_back((next - out.reference).norm());
      out.criterion.push_back(total);
      out.reference = next;
    }
    out.passes = options.passes;
    return out;
  }

  // The default: the consensus of the plain iteration's template_pass-th
  // pass is the template every later pass slides toward, until the
  // specimens rest.
  double move = 0, total = 0;
  const int plain = template_pass(options.criterion);
  for (int p = 0; p < plain; ++p) {
    pass(out.reference, energy_of(out.reference), false, false, move, total);
    const shape::Config next = mean_of(out.fitted);
    out.moves.push_back((next - out.reference).norm());
    out.criterion.push_back(total);
    out.reference = next;
  }
  const shape::Config target = out.reference;
  // The template stays, and so does its bending energy.
  const Eigen::MatrixXd energy = energy_of(target);
  out.passes = plain;
  out.converged = false;
  while (out.passes < kMostSlidingPasses) {
    // The neighbourhoods found anew for the first passes toward the
    // template, while the points travel; kept from then on, so that the
    // tangents change continuously and the specimens come to rest (a
    // neighbour swapped for another as a point passes it would turn its
    // tangent plane at a jump, back and forth).
    pass(target, energy, true, out.passes > plain + kFreeNeighbourhoodPasses, move, total);
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
