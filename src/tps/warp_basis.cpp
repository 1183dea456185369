#include "tps/warp_basis.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <Eigen/Eigenvalues>
#include <Eigen/Householder>
#include <Eigen/LU>
#include <Eigen/QR>
#include <Eigen/SVD>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <new>
#include <string>

#include "core/blas.hpp"
#include "core/errors.hpp"
#include "core/tolerances.hpp"
#include "shape/decompositions.hpp"
#include "shape/principal_components.hpp"

namespace velmora::tps {

namespace {

/// Matrices of about k×k doubles alive at the peak of the inverse build:
/// kernel, system, its LU factors, inverse, bending energy, the solver's
/// vectors and workspace, the kept eigenvectors, and nine for the 3k×3k
/// warps.
constexpr double kPeakSquareMatrices = 18;
/// The same for the projected build: the projected kernel (overwritten by
/// the eigenvectors), the solver's workspace of two, and one for the
/// sample's own copies around it.
constexpr double kProjectedPeakSquareMatrices = 4;
/// Seconds per k³ of the projected build, measured on one core of the
/// 2-core development machine (about 1.5 s for 2,000 landmarks).
constexpr double kSecondsPerCubicLandmark = 2e-10;

/// What this process can still allocate: the physical memory, and within
/// an address-space limit what is left of it.
double available_memory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), page = ::sysconf(_SC_PAGESIZE);
  double available =
      pages > 0 && page > 0 ? static_cast<double>(pages) * static_cast<double>(page) : HUGE_VAL;
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    double used_pages = 0;
    std::ifstream("/proc/self/statm") >> used_pages;
    const double used = used_pages * static_cast<double>(page > 0 ? page : 4096);
    available = std::min(available, std::max(0.0, static_cast<double>(limit.rlim_cur) - used));
  }
  return available;
}

std::string gigabytes(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f GB", bytes / 1e9);
  return text;
}

[[noreturn]] void refuse(const std::string& why) {
  throw NumericError("The thin-plate spline basis of the reference is undefined: " + why);
}

void check_reference(const shape::Config& x) {
  const Eigen::Index k = x.rows();
  if (k < kMinBasisLandmarks) throw NumericError(too_few_basis_landmarks_text(k));
  if (!x.allFinite()) refuse("its coordinates include values that are not finite numbers.");
  // Singular values of the centred landmarks resolve a flat reference to
  // rounding level, which the eigenvalues of their scatter cannot.
  const Eigen::MatrixXd centred = x.rowwise() - x.colwise().mean();
  const Eigen::Vector3d spread = Eigen::JacobiSVD<Eigen::MatrixXd>(centred).singularValues();
  if (spread(2) <= kFlatTolerance * spread(0)) {
    refuse("all its landmarks lie in one plane (or on one line).");
  }
}

Eigen::MatrixXd distance_kernel(const shape::Config& x) {
  const Eigen::Index k = x.rows();
  Eigen::MatrixXd kernel = landmark_distances(x);
  const double longest = kernel.maxCoeff();
  for (Eigen::Index j = 0; j < k; ++j)
    for (Eigen::Index i = j + 1; i < k; ++i)
      if (kernel(i, j) <= kCoincidentLandmarkTolerance * longest) {
        refuse("landmarks " + std::to_string(j + 1) + " and " + std::to_string(i + 1) +
               " coincide.");
      }
  return kernel;
}

void normalise(Eigen::Ref<Eigen::VectorXd> v, const char* name) {
  const double length = v.norm();
  if (!(length > 0) || !std::isfinite(length)) {
    refuse(std::string("its uniform component ") + name + " has zero length.");
  }
  v /= length;
}

// Five unit uniform (affine) components in stacked layout: three shears, then
// two stretches made orthogonal to the shears and to each other.
Eigen::MatrixXd uniform_components(const shape::Config& x) {
  const Eigen::Index k = x.rows();
  const auto X = x.col(0), Y = x.col(1), Z = x.col(2);
  const double alpha = X.squaredNorm(), beta = Y.squaredNorm(), gamma = Z.squaredNorm();
  Eigen::MatrixXd s1 = Eigen::MatrixXd::Zero(3 * k, 5);
  auto block = [&](int column, int coordinate) {
    return s1.col(column).segment(coordinate * k, k);
  };
  block(0, 0) = alpha * Y;
  block(0, 1) = beta * X;
  block(1, 1) = beta * Z;
  block(1, 2) = gamma * Y;
  block(2, 0) = alpha * Z;
  block(2, 2) = gamma * X;
  normalise(s1.col(0), "U1");
  normalise(s1.col(1), "U2");
  normalise(s1.col(2), "U3");

  Eigen::VectorXd stretch_y(3 * k), stretch_z(3 * k);
  stretch_y << -beta * X, (1 - beta) * Y, -beta * Z;
  stretch_z << -gamma * X, -gamma * Y, (1 - gamma) * Z;
  const auto shears = s1.leftCols(3);
  // Every coefficient is taken with the unprojected stretch.
  s1.col(3) = stretch_y - shears * (shears.transpose() * stretch_y);
  normalise(s1.col(3), "T1");
  s1.col(4) =
      stretch_z - shears * (shears.transpose() * stretch_z) - s1.col(3) * s1.col(3).dot(stretch_z);
  normalise(s1.col(4), "T2");
  return s1;
}

}  // namespace

Eigen::MatrixXd landmark_distances(const shape::Config& x) {
  const Eigen::Index k = x.rows();
  // Column by column over the landmarks as rows of a 3×k matrix, which
  // keeps the inner loop on contiguous memory.
  const Eigen::Matrix3Xd points = x.transpose();
  Eigen::MatrixXd kernel(k, k);
  for (Eigen::Index j = 0; j < k; ++j) {
    kernel(j, j) = 0;
    for (Eigen::Index i = j + 1; i < k; ++i) kernel(i, j) = (points.col(i) - points.col(j)).norm();
  }
  for (Eigen::Index j = 0; j < k; ++j)
    for (Eigen::Index i = j + 1; i < k; ++i) kernel(j, i) = kernel(i, j);
  return kernel;
}

Eigen::MatrixXd WarpBasis::retained_vectors() const {
  Eigen::MatrixXd out(landmarks(), retained);
  for (Eigen::Index r = 0; r < retained; ++r)
    out.col(r) = eigenvectors.col(kept[static_cast<std::size_t>(r)]);
  return out;
}

Eigen::MatrixXd WarpBasis::warp_matrix() const {
  const Eigen::Index k = landmarks(), p = retained;
  Eigen::MatrixXd warps = Eigen::MatrixXd::Zero(3 * k, columns());
  for (Eigen::Index r = 0; r < p; ++r)
    for (int c = 0; c < 3; ++c)
      warps.col(3 * r + c).segment(c * k, k) = eigenvectors.col(kept[static_cast<std::size_t>(r)]);
  warps.rightCols(5) = uniform;
  return warps;
}

std::string too_few_basis_landmarks_text(Eigen::Index k) {
  return "The thin-plate spline basis of the reference is undefined: it needs at least four "
         "landmarks, and the reference has " +
         std::to_string(k) + ".";
}

std::vector<Eigen::Index> retained_warps(const Eigen::VectorXd& eigenvalues) {
  const double largest = eigenvalues.size() ? eigenvalues.cwiseAbs().maxCoeff() : 0.0;
  const double threshold = std::max(kWarpAbsoluteTolerance, kWarpRelativeTolerance * largest);
  std::vector<Eigen::Index> kept;
  for (Eigen::Index i = 0; i < eigenvalues.size(); ++i)
    if (std::abs(eigenvalues(i)) > threshold) kept.push_back(i);
  return kept;
}

double basis_bytes(Eigen::Index k) {
  const double side = static_cast<double>(k) + 4;
  const double matrices =
      k > kProjectedBasisLandmarks ? kProjectedPeakSquareMatrices : kPeakSquareMatrices;
  return matrices * side * side * sizeof(double);
}

double basis_seconds(Eigen::Index k) {
  const double n = static_cast<double>(k);
  return kSecondsPerCubicLandmark * n * n * n;
}

std::string basis_time_note(Eigen::Index k) {
  if (k <= kSlowBasisLandmarks) return {};
  return "Building the thin-plate spline basis of " + std::to_string(k) +
         " landmarks: expect about " +
         std::to_string(static_cast<long long>(std::ceil(basis_seconds(k)))) + " seconds.";
}

void check_basis_memory(Eigen::Index k, double available) {
  const double needed = basis_bytes(k);
  if (needed > available) {
    throw NumericError("The thin-plate spline basis of " + std::to_string(k) +
                       " landmarks needs about " + gigabytes(needed) + " of memory; only " +
                       gigabytes(available) + " can be had.");
  }
}

namespace {

WarpBasis build_basis(const shape::Config& reference);
WarpBasis build_projected_basis(const shape::Config& reference);

}  // namespace

WarpBasis thin_plate_basis(const shape::Config& reference, const Notify& note) {
  check_reference(reference);
  const Eigen::Index k = reference.rows();
  check_basis_memory(k, available_memory());
  if (const std::string line = basis_time_note(k); !line.empty() && note) note(line);
  try {
    return k > kProjectedBasisLandmarks ? build_projected_basis(reference) : build_basis(reference);
  } catch (const std::bad_alloc&) {
    throw NumericError("There was not enough memory to build the thin-plate spline basis of " +
                       std::to_string(k) + " landmarks (about " + gigabytes(basis_bytes(k)) + ").");
  }
}

namespace {

WarpBasis build_basis(const shape::Config& reference) {
  const Eigen::Index k = reference.rows();
  WarpBasis basis;
  const Eigen::MatrixXd kernel = distance_kernel(reference);

  // The system is solved for the reference centred and scaled to unit
  // centroid size, so whether it is singular does not depend on the unit or
  // position of the coordinates.  The kernel U(r) = r is homogeneous of degree
  // one and translations only mix the affine columns, so the bending energy
  // of the reference is that of the unit copy divided by its size, with the
  // same eigenvectors.
  const Eigen::RowVector3d centroid = reference.colwise().mean();
  const double size = (reference.rowwise() - centroid).norm();
  Eigen::MatrixXd l = Eigen::MatrixXd::Zero(k + 4, k + 4);
  l.topLeftCorner(k, k) = kernel / size;
  l.block(0, k, k, 1).setOnes();
  l.block(0, k + 1, k, 3) = (reference.rowwise() - centroid) / size;
  l.bottomLeftCorner(4, k) = l.topRightCorner(k, 4).transpose();
  const Eigen::PartialPivLU<Eigen::MatrixXd> lu(l);
  if (!(lu.rcond() >= kSingularTolerance)) refuse("its spline system is singular.");
  const Eigen::MatrixXd l_inverse = lu.inverse();
  // The bending-energy block is symmetric up to rounding; the solver reads
  // one triangle, so both are averaged first.
  const Eigen::MatrixXd energy =
      0.5 * (l_inverse.topLeftCorner(k, k) + l_inverse.topLeftCorner(k, k).transpose());
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eig(energy);
  if (eig.info() != Eigen::Success) refuse("the eigen-decomposition of its bending energy failed.");
  basis.eigenvectors = eig.eigenvectors();
  shape::orient_by_largest_entry(basis.eigenvectors);
  // Warps are retained by the eigenvalues of the unit copy, so the same
  // landmarks in any unit give the same basis.
  basis.kept = retained_warps(eig.eigenvalues());
  basis.eigenvalues = eig.eigenvalues() / size;
  basis.retained = static_cast<int>(basis.kept.size());
  basis.uniform = uniform_components(reference);
  return basis;
}

// The eigenvalues (ascending) and eigenvectors of the symmetric n×n matrix
// whose lower triangle starts at `a` with leading dimension `lda`; the
// eigenvectors overwrite it.
Eigen::VectorXd symmetric_eigen_in_place(double* a, Eigen::Index n, Eigen::Index lda) {
  const int size = static_cast<int>(n), lead = static_cast<int>(lda);
  Eigen::VectorXd values(n);
  int info = 0, lwork = -1, liwork = -1, iwork_query = 0;
  double work_query = 0;
  dsyevd_("V", "L", &size, a, &lead, values.data(), &work_query, &lwork, &iwork_query, &liwork,
          &info);
  if (info != 0) refuse("the eigen-decomposition of its bending energy failed.");
  lwork = static_cast<int>(work_query);
  liwork = iwork_query;
  std::vector<double> work(static_cast<std::size_t>(lwork));
  std::vector<int> iwork(static_cast<std::size_t>(liwork));
  dsyevd_("V", "L", &size, a, &lead, values.data(), work.data(), &lwork, iwork.data(), &liwork,
          &info);
  if (info != 0) refuse("the eigen-decomposition of its bending energy failed.");
  return values;
}

WarpBasis build_projected_basis(const shape::Config& reference) {
  const Eigen::Index k = reference.rows(), m = k - 4;
  if (k > std::numeric_limits<int>::max() / k) {
    refuse("it has more landmarks than the eigen-solver can take.");
  }
  // The unit copy, as in build_basis: the same landmarks in any unit or
  // position give the same basis.
  const Eigen::RowVector3d centroid = reference.colwise().mean();
  const double size = (reference.rowwise() - centroid).norm();
  const shape::Config unit = (reference.rowwise() - centroid) / size;
  Eigen::MatrixXd a = distance_kernel(unit);

  Eigen::MatrixXd q(k, 4);
  q.col(0).setOnes();
  q.rightCols(3) = unit;
  const Eigen::HouseholderQR<Eigen::MatrixXd> qr(q);
  const auto h = qr.householderQ();
  // a = Hᵀ K H; its lower-right (k−4)×(k−4) block is H₂ᵀ K H₂.
  a.applyOnTheLeft(h.adjoint());
  a.applyOnTheRight(h);
  a.bottomRightCorner(m, m) *= -1;
  const Eigen::VectorXd spline = symmetric_eigen_in_place(&a(4, 4), m, k);
  if (!(spline(0) > kSingularTolerance * spline(m - 1))) refuse("its spline system is singular.");

  // E's eigenvectors in place: H [V 0; 0 I], the warps first (their
  // eigenvalues −1/M are negative and ascend with M), the four of the null
  // space last.
  for (Eigen::Index j = 0; j < m; ++j) {
    a.col(j).head(4).setZero();
    a.col(j).tail(m) = a.col(j + 4).tail(m);
  }
  a.rightCols(4).setZero();
  a.topRightCorner(4, 4).setIdentity();
  a.applyOnTheLeft(h);

  WarpBasis basis;
  Eigen::VectorXd energy = Eigen::VectorXd::Zero(k);
  energy.head(m) = -spline.cwiseInverse();
  basis.kept = retained_warps(energy);
  basis.eigenvalues = energy / size;
  basis.eigenvectors = std::move(a);
  shape::orient_by_largest_entry(basis.eigenvectors);
  basis.retained = static_cast<int>(basis.kept.size());
  basis.uniform = uniform_components(reference);
  return basis;
}

}  // namespace

}  // namespace velmora::tps
