#pragma once

#include <Eigen/Core>
#include <string>
#include <vector>

#include "core/notify.hpp"
#include "shape/types.hpp"

namespace velmora::tps {

/// The shape basis of a reference: partial warps of the three-dimensional
/// thin-plate spline (kernel U(r) = r, Bookstein 1989 bending energy) followed
/// by five uniform components.  Displacement vectors use the stacked layout:
/// 3k entries, all x components, then all y, then all z.
struct WarpBasis {
  /// k×k eigenvectors of the bending-energy matrix, unit columns, in the
  /// solver's ascending order of eigenvalue; each has its entry of largest
  /// magnitude positive (shape::orient_by_largest_entry), whichever solver
  /// found it, so a turned copy of a reference gets the same partial warps.
  Eigen::MatrixXd eigenvectors;
  /// k eigenvalues, ascending, matching the columns above.
  Eigen::VectorXd eigenvalues;
  /// 3k×5 uniform components U1, U2, U3 (shears in the xy, yz and xz planes)
  /// and T1, T2 (stretches along y and z), unit columns.
  Eigen::MatrixXd uniform;
  /// The columns of `eigenvectors` that carry a partial warp, in order.
  std::vector<Eigen::Index> kept;
  /// p, the number of retained eigenvectors (k − 4 in general position).
  int retained = 0;

  /// Number of landmarks k.
  Eigen::Index landmarks() const { return eigenvectors.rows(); }
  /// Number of warp-matrix columns, 3p + 5.
  Eigen::Index columns() const { return 3 * static_cast<Eigen::Index>(retained) + 5; }
  /// k×p: the retained eigenvectors, in order.
  Eigen::MatrixXd retained_vectors() const;
  /// 3k×(3p+5) warp matrix: for each retained eigenvector e, in order, the
  /// columns [e;0;0], [0;e;0], [0;0;e]; then the five uniform columns.
  /// Built on request: it is nine times the size of the eigenvectors and
  /// mostly zeros, so the basis itself does not keep it.
  Eigen::MatrixXd warp_matrix() const;
};

/// k×k kernel of the spline: Euclidean distances between landmarks, zero
/// diagonal.
/// @param reference k×3
Eigen::MatrixXd landmark_distances(const shape::Config& reference);

/// Above this many landmarks the basis comes from the projected solver
/// (see thin_plate_basis); up to it from the inverse of the whole spline system.
inline constexpr Eigen::Index kProjectedBasisLandmarks = 200;

/// Indices of the eigenvalues that carry a partial warp: |λi| >
/// max(kWarpAbsoluteTolerance, kWarpRelativeTolerance · max |λ|), strictly.
/// The order is kept; nothing is sorted.
std::vector<Eigen::Index> retained_warps(const Eigen::VectorXd& eigenvalues);

/// Landmark counts above this get a note with the expected time
/// before the basis is built.
inline constexpr Eigen::Index kSlowBasisLandmarks = 2000;

/// Bytes that building the basis of k landmarks holds at its peak.  Up to
/// kProjectedBasisLandmarks: the k×k kernel, the (k+4)×(k+4) system, its
/// factors and inverse, the eigen-decomposition and the 3k×3k warp matrix;
/// above: the projected kernel, the solver's workspace and the eigenvectors.
double basis_bytes(Eigen::Index k);

/// Seconds that building the basis of k landmarks (above
/// kProjectedBasisLandmarks) is expected to take on one desktop core (the
/// eigen-decomposition grows as k³).
double basis_seconds(Eigen::Index k);

/// The note given before a basis of more than
/// kSlowBasisLandmarks landmarks ("Building the thin-plate spline basis of
/// 2500 landmarks: expect about 12 seconds."); "" for fewer.
std::string basis_time_note(Eigen::Index k);

/// Refuses a basis of k landmarks that cannot fit in `available` bytes.
/// @throws NumericError `The thin-plate spline basis of K landmarks needs
///   about X GB of memory; only Y GB can be had.`
void check_basis_memory(Eigen::Index k, double available);

/// The fewest landmarks a spline basis can be built for.
inline constexpr Eigen::Index kMinBasisLandmarks = 4;

/// The refusal of a basis for a reference of k < 4 landmarks: "The
/// thin-plate spline basis of the reference is undefined: it needs at least
/// four landmarks, and the reference has 3."
std::string too_few_basis_landmarks_text(Eigen::Index k);

/// Builds the shape basis of a reference.  The bending-energy matrix E is the
/// upper-left k×k block of the inverse of L = [K Q; Qᵀ 0], Q = [1 X Y Z],
/// found for the reference centred and scaled to unit centroid size and
/// divided by its size, so a reference of any size or position (1e-12 or 1e7)
/// is judged singular, and its warps retained, exactly as its unit copy;
/// `eigenvalues` are in the reference's own units (energy per unit length).
/// Up to kProjectedBasisLandmarks landmarks L is inverted and E decomposed by
/// a symmetric eigen-solver.  Above, with H the orthogonal matrix of a
/// Householder QR of Q whose first four columns span Q,
/// E = H₂ (H₂ᵀ K H₂)⁻¹ H₂ᵀ for the other k − 4 columns H₂; H₂ᵀ K H₂ is
/// negative definite (the kernel r is conditionally negative definite), so
/// one symmetric eigen-decomposition of −H₂ᵀ K H₂ = V M Vᵀ (LAPACK's divide
/// and conquer) gives E's eigenvectors H₂V with eigenvalues −1/M, and H's
/// first four columns its null space, with no inverse.  Both give the same
/// eigenvalues and the same eigenvectors, signed by the largest-entry rule.
/// @param reference k×3, normally centred, unit centroid size, in principal
///        axes (then the uniform columns are orthonormal and orthogonal to the
///        partial warps)
/// @throws NumericError when L is singular, saying why: fewer than four
///         landmarks, two landmarks coinciding, all landmarks in one plane,
///         non-finite coordinates; and before anything large is allocated
///         when the basis cannot fit in the memory the process can have
///         (check_basis_memory), or with a message saying so when an
///         allocation fails all the same.  Above kSlowBasisLandmarks it
///         first gives `note` the expected time (basis_time_note), once
///         the reference and the memory have passed their checks.
WarpBasis thin_plate_basis(const shape::Config& reference, const Notify& note = {});

}  // namespace velmora::tps
