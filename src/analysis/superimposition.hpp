#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/notify.hpp"
#include "shape/principal_components.hpp"
#include "shape/types.hpp"
#include "tps/sliding.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::analysis {

/// How the sample is superimposed.
enum class Method {
  Classic,  ///< three passes of generalized_procrustes
  Optimal,  ///< the optimal rotation to convergence (gpa_to_convergence)
};

/// A sample superimposed and turned into the principal axes of its
/// consensus, with what is computed from it.  Immutable: a change of
/// superimposition or orientation makes a new object, so the basis, scores,
/// tangent coordinates and principal components kept here (each computed on
/// first use) always describe this reference and these specimens.  `id` is
/// unique in the process, for results that depend on it and on more.
/// Not for use from several threads at once.
class Superimposition {
 public:
  /// @param note "Note: the superimposition did not converge …" when the
  ///        passes ran out before the reference settled; empty otherwise
  Superimposition(shape::Config reference, shape::Stack fitted, Method method,
                  std::string note = {}, std::string sliding = {});

  /// The generalized Procrustes superimposition of `raw` by `method`, then
  /// principal_axes and the sample turned by the same axes (rotate_all).  `notes`
  /// receives, for the console, a line when the optimal passes did not
  /// converge (kept as note() too) and one for every specimen whose best
  /// orthogonal fit was a mirror image.
  /// @throws NumericError as generalized_procrustes and principal_axes
  static std::shared_ptr<const Superimposition> fit(shape::Stack raw, Method method,
                                                    std::vector<std::string>& notes);
  /// The superimposition with sliding semilandmarks: the standard
  /// superimposition (to convergence, whatever `method`), then
  /// tps::slide_semilandmarks, then the principal axes.  Without
  /// semilandmarks, fit(raw, method, notes).  `slid` receives the sliding's
  /// passes and history.
  /// @throws NumericError as fit and tps::slide_semilandmarks
  static std::shared_ptr<const Superimposition> fit(shape::Stack raw, Method method,
                                                    const tps::Semilandmarks& semi,
                                                    const tps::SlidingOptions& options,
                                                    std::vector<std::string>& notes,
                                                    tps::SlidingResult* slid = nullptr);

  /// This superimposition with reference and specimens turned by `roto`
  /// (applied on the right).
  std::shared_ptr<const Superimposition> turned(const Eigen::Matrix3d& roto) const;

  const shape::Config& reference() const { return reference_; }  ///< k×3, unit size, principal axes
  const shape::Stack& fitted() const {
    return fitted_;
  }  ///< n specimens, turned with the reference
  Method method() const { return method_; }
  std::uint64_t id() const { return id_; }
  /// The note that the passes did not converge, which every report of this
  /// superimposition carries; empty when they did.
  const std::string& note() const { return note_; }
  /// How the semilandmarks were slid ("4 curve sliders and 4 surface points
  /// slid by bending energy: converged in 12 passes"); empty without.
  const std::string& sliding() const { return sliding_; }

  /// The thin-plate spline basis of the reference (thin_plate_basis); `note` hears
  /// the expected time when a dense reference's basis is first built.
  std::shared_ptr<const tps::WarpBasis> basis(const Notify& note = {}) const;
  /// n×m partial warp and uniform scores of the specimens on that basis.
  std::shared_ptr<const Eigen::MatrixXd> scores(const Notify& note = {}) const;
  /// n×3k Procrustes tangent coordinates of the specimens at the reference.
  std::shared_ptr<const Eigen::MatrixXd> tangent() const;
  /// Their principal components.
  /// @throws NumericError as shape::principal_components
  std::shared_ptr<const shape::ShapePca> components() const;

 private:
  shape::Config reference_;
  shape::Stack fitted_;
  Method method_;
  std::string note_;
  std::string sliding_;
  std::uint64_t id_;
  mutable std::shared_ptr<const tps::WarpBasis> basis_;
  mutable std::shared_ptr<const Eigen::MatrixXd> scores_;
  mutable std::shared_ptr<const Eigen::MatrixXd> tangent_;
  mutable std::shared_ptr<const shape::ShapePca> components_;
};

}  // namespace velmora::analysis
