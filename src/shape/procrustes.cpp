#include "shape/procrustes.hpp"

#include <Eigen/Eigenvalues>
#include <cmath>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "core/errors.hpp"
#include "core/tolerances.hpp"
#include "shape/centroid_size.hpp"
#include "shape/rotation.hpp"

namespace velmora::shape {

namespace {

// How error messages name a configuration: index < 0 is a lone subject.
std::string specimen_name(Eigen::Index index) {
  return index < 0 ? std::string("the subject") : "specimen " + std::to_string(index + 1);
}

[[noreturn]] void throw_not_finite(Eigen::Index index) {
  throw NumericError("Cannot superimpose " + specimen_name(index) +
                     ": its coordinates include values that are not finite numbers.");
}

[[noreturn]] void throw_collapsed(Eigen::Index index) {
  throw NumericError("Cannot superimpose " + specimen_name(index) +
                     ": all its landmarks coincide (centroid size 0), so it cannot be "
                     "scaled to unit size.");
}

// A fixed reference that a fit turns specimens onto.
void require_finite_reference(const Config& reference) {
  if (!reference.allFinite()) {
    throw NumericError(
        "Cannot superimpose onto the reference: its coordinates include values that are not "
        "finite numbers.");
  }
}

// Centres `s` in place and returns its centroid size after checking that it
// can be scaled.  A non-finite coordinate makes the size non-finite; landmarks
// that all coincide leave only rounding noise, far below the distance of
// their centroid from the origin.
double centre_checked(Eigen::Map<Config> s, Eigen::Index index) {
  const Eigen::RowVector3d mean = s.colwise().mean();
  s.rowwise() -= mean;
  const double size = robust_norm(s);
  if (!std::isfinite(size)) throw_not_finite(index);
  const double offset = robust_norm(mean) * std::sqrt(static_cast<double>(s.rows()));
  if (size <= kCoincidentTolerance * offset || size == 0) throw_collapsed(index);
  return size;
}

enum class Method { LeastSquaresPolar, CrossProduct };

// Centres `s`, scales it to unit centroid size and turns it onto `reference`,
// in place; returns whether its best orthogonal fit was a reflection.
// `scratch` is a k×3 work matrix, so a pass over a sample allocates nothing
// per specimen.
bool fit_onto(const Config& reference, Eigen::Map<Config> s, Config& scratch, Eigen::Index index,
              Method method = Method::LeastSquaresPolar) {
  double size = centre_checked(s, index);
  // Coordinates near the limits of the doubles (1e-300, 1e300) are brought to
  // unit size first, so the products below neither underflow nor overflow.
  if (!(size > kPlainNormLow && size < kPlainNormHigh)) {
    s /= size;
    size = 1;
  }
  // The rotation does not depend on the subject's scale, so it is found from
  // the centred subject and the scale folded into the matrix applied.
  const Eigen::Matrix3d str = s.transpose().lazyProduct(reference);
  const RotationFit fit = method == Method::CrossProduct
                              ? rotation_from_cross_product(str)
                              : rotation_from_products(s.transpose().lazyProduct(s), str);
  const Eigen::Matrix3d map = fit.rotation / size;
  // Column by column, so every step runs over contiguous coordinates.
  for (int c = 0; c < 3; ++c)
    scratch.col(c) = s.col(0) * map(0, c) + s.col(1) * map(1, c) + s.col(2) * map(2, c);
  s = scratch;
  return fit.mirrored;
}

/// Samples of at least this many landmarks in all are fitted on two threads.
constexpr Eigen::Index kParallelFitLandmarks = 200'000;

// Fits every specimen of `data` onto `reference` in place, as fit_onto does
// one by one; `mirrored` gets 1 for each one whose best fit was a
// reflection; `scratch` is a k×3 work matrix.  Large samples are fitted in two halves on two
// threads: each specimen's fit is its own, so the result is the same to the bit, and an error names
// the first specimen in order that cannot be fitted, as the serial pass does.
void fit_all(const Config& reference, Stack& data, Method method, std::vector<char>& mirrored,
             Config& scratch) {
  const Eigen::Index n = data.n(), k = data.k();
  mirrored.assign(static_cast<std::size_t>(n), 0);
  auto fit_range = [&](Eigen::Index from, Eigen::Index to, Config& scratch) {
    for (Eigen::Index i = from; i < to; ++i)
      mirrored[static_cast<std::size_t>(i)] =
          fit_onto(reference, data.slice(i), scratch, i, method);
  };
  if (n * k < kParallelFitLandmarks || n < 2 || std::thread::hardware_concurrency() < 2) {
    fit_range(0, n, scratch);
    return;
  }
  const Eigen::Index half = n / 2;
  std::exception_ptr upper_error;
  std::thread upper([&] {
    try {
      Config own(k, 3);
      fit_range(half, n, own);
    } catch (...) {
      upper_error = std::current_exception();
    }
  });
  try {
    fit_range(0, half, scratch);
  } catch (...) {
    upper.join();
    throw;
  }
  upper.join();
  if (upper_error) std::rethrow_exception(upper_error);
}

Config fit_one(const Config& reference, const Config& subject) {
  require_same_landmarks(reference.rows(), "The reference", subject.rows(), "the subject");
  require_finite_reference(reference);
  Config y = subject;
  Config scratch(y.rows(), 3);
  fit_onto(reference, Eigen::Map<Config>(y.data(), y.rows(), 3), scratch, -1);
  return y;
}

// Rescales a centred consensus to unit centroid size.  `magnitude` is the
// scale of what was summed into it, against which rounding noise is judged.
void normalise_consensus(Config& reference, double magnitude, const char* what) {
  const double size = centroid_size(reference);
  if (!(size > kCoincidentTolerance * magnitude) || !std::isfinite(size)) {
    throw NumericError(std::string("Cannot superimpose the sample: ") + what +
                       " has centroid size 0.");
  }
  reference /= size;
}

// +1 or −1: the sign that makes the sum of the cubed coordinates along an
// axis positive; when that sum is zero up to rounding (a symmetric
// configuration), the sign that makes the first coordinate clear of zero
// positive.
double axis_sign(const Eigen::VectorXd& along) {
  const Eigen::ArrayXd cubes = along.array().cube();
  const double sum = cubes.sum();
  if (std::abs(sum) >= kAxisSignTolerance * cubes.abs().sum()) return sum < 0 ? -1 : 1;
  const double bar = kAxisSignTolerance * along.cwiseAbs().maxCoeff();
  for (Eigen::Index i = 0; i < along.size(); ++i)
    if (std::abs(along(i)) > bar) return along(i) < 0 ? -1 : 1;
  return 1;
}

}  // namespace

Config procrustes_fit(const Config& reference, const Config& subject) {
  return fit_one(reference, subject);
}

namespace {

// The superimposition shared by both methods: a stack of one is centred and
// scaled; otherwise the summed raw start, then passes until `done` says the
// reference has settled.
template <typename Done>
GpaResult superimpose(Stack data, Method method, Done done) {
  const Eigen::Index k = data.k(), n = data.n();
  if (n == 0) throw NumericError("Cannot superimpose the sample: it holds no specimens.");
  if (n == 1) {
    const double size = centre_checked(data.slice(0), 0);
    data.slice(0) /= size;
    Config reference = data.slice(0);
    return {std::move(reference), std::move(data), {}, 0, true, 0};
  }
  double magnitude = 0;
  for (Eigen::Index i = 0; i < n; ++i) {
    if (!data.slice(i).allFinite()) throw_not_finite(i);
    magnitude += data.slice(i).cwiseAbs().maxCoeff();
  }

  // The raw configurations are summed as they are; their positions cancel in
  // the centring, their sizes and orientations do not.
  Config reference = Config::Zero(k, 3);
  for (Eigen::Index i = 0; i < n; ++i) reference += data.slice(i);
  reference.rowwise() -= reference.colwise().mean();
  normalise_consensus(reference, magnitude, "the sum of the specimens");

  GpaResult result;
  result.mirrored.reserve(static_cast<std::size_t>(n));
  Config sum(k, 3), scratch(k, 3);
  std::vector<char> mirrored;
  do {
    fit_all(reference, data, method, mirrored, scratch);
    result.mirrored.clear();
    sum.setZero();
    for (Eigen::Index i = 0; i < n; ++i) {
      if (mirrored[static_cast<std::size_t>(i)]) result.mirrored.push_back(i);
      sum += data.slice(i);
    }
    scratch = reference;
    reference = sum / static_cast<double>(n);
    // Fitted specimens have unit size, so their mean is judged against 1.
    normalise_consensus(reference, 1.0, "the mean of the fitted specimens");
    result.last_move = (reference - scratch).norm();
    ++result.passes;
  } while (!done(result));
  result.reference = std::move(reference);
  result.fitted = std::move(data);
  return result;
}

}  // namespace

GpaResult generalized_procrustes(Stack data) {
  constexpr int kPasses = 3;
  return superimpose(std::move(data), Method::LeastSquaresPolar,
                     [](const GpaResult& r) { return r.passes == kPasses; });
}

GpaResult gpa_to_convergence(Stack data) {
  return superimpose(std::move(data), Method::CrossProduct, [](GpaResult& r) {
    if (r.last_move < kGpaConvergence) return true;
    if (r.passes < kGpaMaxPasses) return false;
    r.converged = false;
    return true;
  });
}

namespace {

// Every specimen fitted onto one fixed reference by `method`.
Stack fit_onto(const Config& reference, Stack data, Method method) {
  require_same_landmarks(reference.rows(), "The reference", data.k(), "each specimen");
  require_finite_reference(reference);
  std::vector<char> mirrored;
  Config scratch(data.k(), 3);
  fit_all(reference, data, method, mirrored, scratch);
  return data;
}

}  // namespace

Stack fit_to_fixed_reference(const Config& reference, Stack data) {
  return fit_onto(reference, std::move(data), Method::LeastSquaresPolar);
}

Stack fit_by_optimal_rotation(const Config& reference, Stack data) {
  return fit_onto(reference, std::move(data), Method::CrossProduct);
}

PrincipalAxes principal_axes(const Config& reference) {
  const Eigen::Index k = reference.rows();
  if (k < 2) {
    throw NumericError(
        "The principal axes of a configuration need at least two landmarks; it has " +
        std::to_string(k) + ".");
  }
  if (!reference.allFinite()) {
    throw NumericError(
        "The principal axes cannot be found: the reference has coordinates that are not finite "
        "numbers.");
  }
  const Config centred = reference.rowwise() - reference.colwise().mean();
  const Eigen::Matrix3d cov = centred.transpose() * centred / static_cast<double>(k - 1);
  const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> eig(cov);
  Eigen::Matrix3d u = eig.eigenvectors();
  // The solver's signs are arbitrary, so a turned copy of the sample could
  // come out with its axes flipped: the two axes of largest spread are
  // signed by the skew of the landmarks along them.
  for (int c = 1; c < 3; ++c) {
    const Eigen::VectorXd along = centred * u.col(c);
    if (axis_sign(along) < 0) u.col(c) = -u.col(c);
  }
  // The third completes a proper rotation: a mirrored sample would swap left
  // and right.
  u.col(0) = u.col(1).cross(u.col(2));
  Config y = reference * u;
  return {std::move(y), u};
}

}  // namespace velmora::shape
