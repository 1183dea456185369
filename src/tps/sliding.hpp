#pragma once

#include <Eigen/Core>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shape/procrustes.hpp"
#include "shape/types.hpp"

namespace velmora::tps {

/// The semilandmarks of a sample, by 0-based landmark number: curve
/// sliders, each with its neighbours before and after it on the curve, and
/// surface points.  Every other landmark is fixed.
struct Semilandmarks {
  struct CurveSlider {
    Eigen::Index before = 0, slider = 0, after = 0;
  };
  std::vector<CurveSlider> curves;
  std::vector<Eigen::Index> surface;

  bool empty() const { return curves.empty() && surface.empty(); }
  /// The directions the semilandmarks slide in: one a curve slider, two a
  /// surface point.
  Eigen::Index sliding_dimensions() const {
    return static_cast<Eigen::Index>(curves.size() + 2 * surface.size());
  }
  /// Landmarks that are neither curve sliders nor surface points.
  Eigen::Index fixed_count(Eigen::Index k) const {
    return k - static_cast<Eigen::Index>(curves.size() + surface.size());
  }
};

/// What a slide minimises: the bending energy of the thin-plate spline from
/// the consensus to the specimen (kernel U(r) = r), or the Procrustes
/// distance between them.
enum class SlidingCriterion { BendingEnergy, ProcrustesDistance };

/// The specimens' own surfaces (scans), for projecting the slid
/// semilandmarks back onto them.
struct SurfaceProjection {
  /// The raw specimens the superimposition was fitted from, whose
  /// coordinates the scans share.
  shape::Stack raw;
  /// The point of specimen i's scan nearest to `p` (raw coordinates) and
  /// the scan's unit normal there.  Called from two threads at once.
  struct Nearest {
    Eigen::RowVector3d point, normal;
  };
  std::function<Nearest(Eigen::Index specimen, const Eigen::RowVector3d& p)> nearest;
};

/// How the superimposition slides.
struct SlidingOptions {
  SlidingCriterion criterion = SlidingCriterion::BendingEnergy;
  /// 0: the convergent default; K > 0: exactly K passes of the plain
  /// iteration (every pass slides toward, and fits onto, the last pass's
  /// consensus), as other programs run it.
  int passes = 0;
  /// A sample whose semilandmarks slide in more directions than this has
  /// each slide's bending-energy system solved by conjugate gradients, all
  /// specimens at once (the energy matrix is shared, so each step is one
  /// matrix product); up to it by a Cholesky factor per specimen.
  Eigen::Index dense_limit = 400;
  /// When set: after every slide each semilandmark (curve sliders too) is
  /// moved to the nearest point of its specimen's scan, and a surface
  /// point's tangent plane is the scan's, square to its normal there,
  /// instead of its neighbours' principal plane.  The points are projected
  /// once before the first pass as well.
  std::shared_ptr<const SurfaceProjection> projection;
};

/// The plain pass whose consensus the convergent default keeps as its
/// template.  By Procrustes distance every plain pass lowers the summed
/// squared distance, the drift included (the semilandmarks gather where the
/// specimens vary least), so the template is taken after ten passes and
/// settling toward it ends no higher than ten plain passes.  By bending
/// energy the passes after the first gain less than settling does, and the
/// first pass's consensus is the template.
inline int template_pass(SlidingCriterion criterion) {
  return criterion == SlidingCriterion::ProcrustesDistance ? 10 : 1;
}
/// The most passes the convergent default runs before it gives up.
inline constexpr int kMostSlidingPasses = 500;
/// The convergent default stops when no specimen moves more than this in a
/// pass (at unit centroid size).
inline constexpr double kSlidingConvergence = 1e-10;

/// A superimposition with sliding semilandmarks.
struct SlidingResult {
  shape::Config reference;  ///< k×3 consensus, centred, unit centroid size
  shape::Stack fitted;      ///< the slid specimens, centred, unit size, fitted onto it
  int passes = 0;           ///< sliding passes run
  bool converged = true;    ///< the default settled (always true for K plain passes)
  /// Per pass: the largest distance a specimen moved (the default), or the
  /// distance the consensus moved (the plain iteration).
  std::vector<double> moves;
  /// Per pass: the sum over specimens of the criterion at that pass's
  /// consensus (bending energy, or squared Procrustes distance).
  std::vector<double> criterion;
};

/// Slides the semilandmarks of a sample, starting from its standard
/// superimposition `start`.  One pass, for each specimen y:
///  1. tangents from y's own coordinates: a curve slider takes the unit
///     vector of (after − before); a surface point the first two principal
///     axes of itself and its 4 nearest other landmarks;
///  2. the slide toward a target T by the closed form: bending energy
///     y − U(UᵀBU)⁻¹UᵀB(y − T), B = E(T) ⊗ I₃, E the bending-energy matrix
///     of T; Procrustes distance y − UUᵀ(y − T);
///  3. centre, scale to unit centroid size, rotate onto T (the rotation of
///     least distance).
/// The plain iteration (options.passes = K) takes T = the consensus of the
/// last pass (the centred unit-size mean) and returns pass K's step 3 as it
/// is.  It has no fixed point: the consensus' own semilandmarks slide along
/// their tangents and every specimen follows them, by about the same amount
/// each pass.  The default removes that freedom: T is the consensus after
/// template_pass plain passes and stays fixed, the passes run until no specimen
/// moves more than kSlidingConvergence (each specimen then rests where
/// sliding toward T and fitting onto T leave it, and is left out of later
/// passes; after the first 40 passes toward T each specimen keeps its
/// surface points' neighbourhoods), and the slid specimens
/// are superimposed to convergence once more, so that the consensus is
/// their mean.
/// @throws NumericError naming the curve slider whose neighbours coincide
///         in a specimen or the consensus, or when the consensus' bending
///         energy is undefined (its landmarks in one plane or coinciding)
SlidingResult slide_semilandmarks(const shape::GpaResult& start, const Semilandmarks& semi,
                                  const SlidingOptions& options);

/// k×k bending-energy matrix of `config` (positive semidefinite; the
/// negated upper-left block of the inverse of [K Q; Qᵀ 0], K the distances,
/// Q = [1 X Y Z]), for the configuration centred and scaled to unit size.
/// @throws NumericError when the landmarks lie in one plane or coincide
Eigen::MatrixXd bending_energy_matrix(const shape::Config& config);

/// The tangent directions of the semilandmarks of `y`: for each sliding
/// direction the landmark it moves and the unit direction, curve sliders
/// first, then two a surface point.
struct Tangents {
  std::vector<Eigen::Index> landmark;
  std::vector<Eigen::RowVector3d> direction;
};
/// The four nearest other landmarks of each surface point, in the order of
/// Semilandmarks::surface.
using Neighbourhoods = std::vector<std::vector<Eigen::Index>>;
/// `kept`, when given: its neighbourhoods are used when it has one for
/// every surface point, else it receives those found.
/// @throws NumericError naming the curve slider whose neighbours coincide
/// `normals`, when given: one unit normal a surface point (in y's frame);
/// its tangent plane is then the plane square to it.
Tangents tangents_of(const shape::Config& y, const Semilandmarks& semi, const std::string& specimen,
                     Neighbourhoods* kept = nullptr,
                     const std::vector<Eigen::RowVector3d>* normals = nullptr);

/// One slide of `y` toward `target` along `t` by `criterion` (step 2 above;
/// `energy` is bending_energy_matrix(target), unused for the distance).
shape::Config slide_once(const shape::Config& y, const shape::Config& target, const Tangents& t,
                         SlidingCriterion criterion, const Eigen::MatrixXd& energy);

/// The criterion of `y` against `target`: its bending energy
/// (y − T)ᵀB(y − T), or its squared distance.
double sliding_criterion(const shape::Config& y, const shape::Config& target,
                         SlidingCriterion criterion, const Eigen::MatrixXd& energy);

}  // namespace velmora::tps
