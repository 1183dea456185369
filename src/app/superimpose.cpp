#include "app/superimpose.hpp"

#include <string>

#include "app/app_state.hpp"
#include "platform/runtime/cformat.hpp"
#include "platform/runtime/console.hpp"
#include "shape/procrustes.hpp"
#include "shape/rotation.hpp"

namespace velmora::app {

SuperimposedSample superimpose_sample(shape::Stack raw) {
  return superimpose_sample(std::move(raw), state().optimal_superimposition);
}

SuperimposedSample superimpose_sample(shape::Stack raw, bool optimal) {
  shape::GpaResult gpa = optimal ? shape::gpa_to_convergence(std::move(raw))
                                 : shape::generalized_procrustes(std::move(raw));
  shape::PrincipalAxes axes = shape::principal_axes(gpa.reference);
  shape::rotate_all(gpa.fitted, axes.axes);

  std::string note;
  if (!gpa.converged) {
    note = cformat(
        "Note: the superimposition did not converge in %i passes; its reference still moved by "
        "%.3g in the last pass.",
        {static_cast<double>(gpa.passes), gpa.last_move});
    console().line(note);
  }
  // A specimen that fits best as a mirror image is usually a left/right
  // mix-up in digitizing; it was fitted by a proper rotation all the same.
  for (Eigen::Index i : gpa.mirrored) {
    console().line("specimen " + std::to_string(i + 1) +
                   " fits the reference best as a mirror image: check its landmark order");
  }
  return {std::move(axes.reference), std::move(gpa.fitted), std::move(note)};
}

}  // namespace velmora::app
