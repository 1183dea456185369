#include "analysis/superimposition.hpp"

#include <cstdio>
#include <utility>

#include "analysis/model_id.hpp"
#include "shape/procrustes.hpp"
#include "shape/rotation.hpp"
#include "shape/tangent_coordinates.hpp"
#include "tps/scores.hpp"

namespace velmora::analysis {

Superimposition::Superimposition(shape::Config reference, shape::Stack fitted, Method method,
                                 std::string note, std::string sliding)
    : reference_(std::move(reference)),
      fitted_(std::move(fitted)),
      method_(method),
      note_(std::move(note)),
      sliding_(std::move(sliding)),
      id_(next_model_id()) {}

std::shared_ptr<const Superimposition> Superimposition::fit(shape::Stack raw, Method method,
                                                            std::vector<std::string>& notes) {
  shape::GpaResult gpa = method == Method::Optimal ? shape::gpa_to_convergence(std::move(raw))
                                                   : shape::generalized_procrustes(std::move(raw));
  shape::PrincipalAxes axes = shape::principal_axes(gpa.reference);
  shape::rotate_all(gpa.fitted, axes.axes);

  std::string note;
  if (!gpa.converged) {
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "Note: the superimposition did not converge in %i passes; its reference still "
                  "moved by %.3g in the last pass.",
                  gpa.passes, gpa.last_move);
    note = buf;
    notes.push_back(note);
  }
  // A specimen that fits best as a mirror image is usually a left/right
  // mix-up in digitizing; it was fitted by a proper rotation all the same.
  for (Eigen::Index i : gpa.mirrored) {
    notes.push_back("specimen " + std::to_string(i + 1) +
                    " fits the reference best as a mirror image: check its landmark order");
  }
  return std::make_shared<const Superimposition>(std::move(axes.reference), std::move(gpa.fitted),
                                                 method, std::move(note));
}

std::shared_ptr<const Superimposition> Superimposition::fit(shape::Stack raw, Method method,
                                                            const tps::Semilandmarks& semi,
                                                            const tps::SlidingOptions& options,
                                                            std::vector<std::string>& notes,
                                                            tps::SlidingResult* slid) {
  if (semi.empty()) return fit(std::move(raw), method, notes);
  const shape::GpaResult start = shape::gpa_to_convergence(std::move(raw));
  tps::SlidingResult r = tps::slide_semilandmarks(start, semi, options);
  shape::PrincipalAxes axes = shape::principal_axes(r.reference);
  shape::rotate_all(r.fitted, axes.axes);
  std::string what;
  if (!semi.curves.empty())
    what = std::to_string(semi.curves.size()) +
           (semi.curves.size() == 1 ? " curve slider" : " curve sliders");
  if (!semi.surface.empty())
    what += (what.empty() ? "" : " and ") + std::to_string(semi.surface.size()) +
            (semi.surface.size() == 1 ? " surface point" : " surface points");
  what += " slid by ";
  what += options.criterion == tps::SlidingCriterion::BendingEnergy ? "bending energy"
                                                                    : "Procrustes distance";
  if (options.projection) what += " on the scans";
  if (options.passes > 0) {
    what += ": " + std::to_string(r.passes) + (r.passes == 1 ? " plain pass" : " plain passes");
  } else if (r.converged) {
    what += ": converged in " + std::to_string(r.passes) + " passes";
  } else {
    what += ": did not converge in " + std::to_string(r.passes) + " passes";
  }
  std::string note;
  if (options.passes == 0 && !r.converged) {
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "Note: the sliding did not converge in %i passes; a specimen still moved by "
                  "%.3g in the last pass.",
                  r.passes, r.moves.empty() ? 0.0 : r.moves.back());
    note = buf;
    notes.push_back(note);
  }
  auto out = std::make_shared<const Superimposition>(std::move(axes.reference), std::move(r.fitted),
                                                     method, std::move(note), std::move(what));
  if (slid) *slid = std::move(r);
  return out;
}

std::shared_ptr<const Superimposition> Superimposition::turned(const Eigen::Matrix3d& roto) const {
  shape::Stack fitted = fitted_;
  shape::rotate_all(fitted, roto);
  return std::make_shared<const Superimposition>(reference_ * roto, std::move(fitted), method_,
                                                 note_, sliding_);
}

std::shared_ptr<const tps::WarpBasis> Superimposition::basis(const Notify& note) const {
  if (!basis_)
    basis_ = std::make_shared<const tps::WarpBasis>(tps::thin_plate_basis(reference_, note));
  return basis_;
}

std::shared_ptr<const Eigen::MatrixXd> Superimposition::scores(const Notify& note) const {
  if (!scores_) {
    const auto b = basis(note);
    scores_ = std::make_shared<const Eigen::MatrixXd>(tps::warp_scores(*b, reference_, fitted_));
  }
  return scores_;
}

std::shared_ptr<const Eigen::MatrixXd> Superimposition::tangent() const {
  if (!tangent_) {
    tangent_ =
        std::make_shared<const Eigen::MatrixXd>(shape::tangent_coordinates(reference_, fitted_));
  }
  return tangent_;
}

std::shared_ptr<const shape::ShapePca> Superimposition::components() const {
  if (!components_) {
    components_ = std::make_shared<const shape::ShapePca>(shape::principal_components(*tangent()));
  }
  return components_;
}

}  // namespace velmora::analysis
