#pragma once

#include <string>

#include "shape/types.hpp"

namespace velmora::app {

/// A loaded sample superimposed and turned into its principal axes.
struct SuperimposedSample {
  shape::Config reference;  ///< k×3 consensus, centred, unit centroid size, principal axes
  shape::Stack fitted;      ///< n×(k×3) fitted specimens, turned with the reference
  /// "Note: the superimposition did not converge …" when the passes ran out
  /// before the reference settled; empty otherwise.
  std::string note;
};

/// The superimposition of a loaded sample: generalized Procrustes by the
/// chosen method (gpa_to_convergence, the standard fit, or generalized_procrustes for the
/// classic three passes), then principal_axes, and the sample turned by the same axes
/// (rotate_all).  Writes to the console a warning for every specimen whose
/// best orthogonal fit was a mirror image and, for the optimal method, a
/// note when the passes did not converge.  Changes no state.
/// @param raw     n raw configurations, k×3 each, as read from the file
/// @param optimal the optimal rotation to convergence instead of the three
///                classic passes
/// @throws RuntimeError as generalized_procrustes and principal_axes
SuperimposedSample superimpose_sample(shape::Stack raw, bool optimal);

/// The superimposition by the method currently chosen (SetSuperimposition).
SuperimposedSample superimpose_sample(shape::Stack raw);

}  // namespace velmora::app
