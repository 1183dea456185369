#pragma once

/// Numerical tolerances shared by the file readers, the superimposition, the
/// spline and the statistics code.  Every threshold the numerics compare
/// against lives here.
namespace velmora {

/// A configuration counts as collapsed (all landmarks coinciding) when its
/// centroid size is at most this fraction of √k times the distance of its
/// centroid from the origin.  Centring identical coordinates leaves rounding
/// noise of about 1e-16 of their magnitude, far below this.  Also the level at
/// which a score column counts as constant.
/// The file readers use it too: a specimen whose centroid size is at most
/// this fraction of its largest absolute coordinate has all its landmarks on
/// one point.
inline constexpr double kCoincidentTolerance = 1e-12;

/// A subject counts as of full rank for the least-squares rotation when every
/// Cholesky pivot of subjectᵀ·subject (a spread, in coordinate units) exceeds
/// this fraction of the largest spread.
inline constexpr double kRankTolerance = 1e-7;

/// Bending-energy eigenvalues at or below max(kWarpAbsoluteTolerance,
/// kWarpRelativeTolerance · largest |eigenvalue|) belong to the affine null
/// space and form no partial warp.
inline constexpr double kWarpAbsoluteTolerance = 1e-14;
inline constexpr double kWarpRelativeTolerance = 1e-10;

/// A reference is flat (all landmarks in one plane) when its least principal
/// spread is at most this fraction of its greatest (standard deviations).
inline constexpr double kFlatTolerance = 1e-10;

/// Two reference landmarks coincide when their distance is at most this
/// fraction of the reference's largest inter-landmark distance.
inline constexpr double kCoincidentLandmarkTolerance = 1e-12;

/// The spline system L counts as singular below this reciprocal condition
/// number estimate.
inline constexpr double kSingularTolerance = 1e-14;

/// A sums-of-squares matrix, scaled to unit diagonal, counts as singular when
/// a squared Cholesky pivot falls to this level.
inline constexpr double kSscpSingularTolerance = 1e-13;

/// The superimposition to convergence stops when its unit-size reference
/// moves less than this between passes (Frobenius norm of the change) ...
inline constexpr double kGpaConvergence = 1e-12;
/// ... or after this many passes.
inline constexpr int kGpaMaxPasses = 100;

/// The values of a regressor count as all equal when their range is at most
/// this fraction of their largest magnitude (all zero included): the mean of
/// equal values can differ from them in the last bit, which would otherwise
/// leave a spread of rounding noise to divide by.
inline constexpr double kEqualXTolerance = 1e-12;

/// A permuted statistic counts as reaching the observed one of a permutation
/// test when it is at least (1 − this) times it: orderings that tie in exact
/// arithmetic differ by rounding in the last bits of a sum.
inline constexpr double kPermutationTieTolerance = 1e-10;

/// A principal component of shape is kept when its singular value exceeds
/// this fraction of the largest; smaller ones are rounding noise of the
/// centring and of the superimposition's constraints.
inline constexpr double kComponentTolerance = 1e-9;

/// Sign convention of eigenvectors: entries whose magnitude is within this
/// fraction of the largest count as tied for largest, and the first of them
/// decides the sign.
inline constexpr double kSignTieTolerance = 1e-9;

/// The sign convention of principal axes: a sum of cubed coordinates counts
/// as zero when it is below this fraction of the sum of their absolute
/// values, and a coordinate counts as zero below this fraction of the
/// largest.
inline constexpr double kAxisSignTolerance = 1e-6;

/// Superimposed specimens whose root-mean-square Procrustes distance from
/// the consensus (at unit centroid size) is below this have no shape
/// variation: what is left is rounding noise.
inline constexpr double kShapeVariationTolerance = 1e-9;

/// Gamma distribution functions with a shape parameter above this use the
/// Wilson–Hilferty normal approximation, whose error falls like 1/shape, and
/// which the series and continued fractions cannot beat there.
inline constexpr double kLargeGammaShape = 1e10;

}  // namespace velmora
