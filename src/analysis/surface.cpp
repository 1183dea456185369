#include "analysis/surface.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "analysis/messages.hpp"
#include "analysis/regressor.hpp"
#include "analysis/session.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "shape/centroid_size.hpp"
#include "stats/model_formula.hpp"
#include "tps/deformation.hpp"
#include "tps/point_warp.hpp"

namespace velmora::analysis {
namespace {

std::string in_quotes(const std::string& s) {
  return "\"" + shown_name(s) + "\"";
}

/// Root-mean-square distance of the rows of `p` from their centre.
double rms_radius(const Eigen::Ref<const mesh::Points>& p, const Eigen::RowVector3d& centre) {
  return std::sqrt((p.rowwise() - centre).rowwise().squaredNorm().mean());
}

/// The consensus moved by `times` the change to the mean shape of `group`
/// of `factor`: the group's mean tangent coordinates (stacked all x, all y,
/// all z) added to it.
shape::Config group_shape(const Superimposition& fit, const stats::ModelVariable& factor,
                          const std::string& group, double times) {
  const Eigen::MatrixXd& tangent = *fit.tangent();
  Eigen::RowVectorXd sum = Eigen::RowVectorXd::Zero(tangent.cols());
  double count = 0;
  for (Eigen::Index i = 0; i < tangent.rows(); ++i)
    if (factor.levels[static_cast<std::size_t>(i)] == group) sum += tangent.row(i), ++count;
  return fit.reference() + shape::config_of_stacked(times * sum / count);
}

std::shared_ptr<const MeanSurface> carry_to_consensus(const SpecimenSurface& s,
                                                      const Superimposition& fit) {
  const tps::ThinPlateSpline spline(s.landmarks, fit.reference());
  auto mean = std::make_shared<MeanSurface>();
  mean->fit_id = fit.id();
  mean->vertices = spline.warp(s.mesh.vertices);
  return mean;
}

}  // namespace

mesh::Points in_specimen_units(const mesh::Points& consensus, double centroid_size) {
  return consensus * centroid_size;
}

std::vector<std::string> surface_placement_notes(const mesh::Points& vertices,
                                                 const shape::Config& landmarks,
                                                 const std::string& file_name,
                                                 const std::string& specimen_name) {
  std::vector<std::string> notes;
  const Eigen::RowVector3d cs = vertices.colwise().mean(), cl = landmarks.colwise().mean();
  const double rs = rms_radius(vertices, cs), rl = rms_radius(landmarks, cl);
  const std::string who = "specimen " + in_quotes(specimen_name) + "'s landmarks";
  if (rs > kSurfaceSizeRatioWarning * rl || rs * kSurfaceSizeRatioWarning < rl) {
    notes.push_back("Warning: the surface " + in_quotes(file_name) + " is " +
                    message_number(rs / rl) + " times the size of " + who +
                    " (root-mean-square radius " + message_number(rs) + " against " +
                    message_number(rl) + "): is it in other units, or another specimen's?");
  }
  const double offset = (cs - cl).norm(), radius = std::max(rs, rl);
  if (offset > kSurfaceOffsetWarning * radius) {
    notes.push_back("Warning: the centre of the surface " + in_quotes(file_name) + " lies " +
                    message_number(offset) + " from the centre of " + who + ", " +
                    message_number(offset / radius) + " times the larger radius (" +
                    message_number(radius) + "): is it another specimen's, or placed elsewhere?");
  }
  return notes;
}

LoadSurfaceReport Session::load_surface(LoadSurfaceParams params) {
  require(kNeedSample);
  const Sample& s = sample();
  const std::filesystem::path path(params.path);
  const std::string file_name = path.filename().string();
  LoadSurfaceReport report;
  mesh::Surface read = params.surface ? std::move(*params.surface)
                                      : guarded([&] { return mesh::read_surface(params.path); });
  Eigen::Index specimen = -1;
  if (params.specimen) {
    specimen = *params.specimen;
    if (specimen < 0 || specimen >= s.specimens())
      refuse("There is no specimen " + std::to_string(specimen + 1) + ": the sample has " +
             std::to_string(s.specimens()) + ".");
  } else {
    const std::string stem = path.stem().string();
    for (Eigen::Index i = 0; i < s.specimens(); ++i) {
      if (s.names[static_cast<std::size_t>(i)] == stem) {
        specimen = i;
        break;
      }
    }
    if (specimen < 0) {
      report.needs_choice = true;
      report.choices = s.names;
      report.read = std::move(read);
      return report;
    }
  }
  auto surface = std::make_shared<SpecimenSurface>();
  surface->file_name = file_name;
  surface->specimen = specimen;
  surface->specimen_name = s.names[static_cast<std::size_t>(specimen)];
  surface->landmarks = s.raw().slice(specimen);
  surface->centroid_size = shape::centroid_size(surface->landmarks);
  surface->mesh = std::move(read);
  auto mean = guarded([&] { return carry_to_consensus(*surface, *fit_); });
  report.notes = surface_placement_notes(surface->mesh.vertices, surface->landmarks, file_name,
                                         surface->specimen_name);
  report.log_line = "Surface " + in_quotes(file_name) + " (" +
                    std::to_string(surface->mesh.vertex_count()) + " vertices, " +
                    std::to_string(surface->mesh.triangle_count()) + " triangles) of specimen " +
                    in_quotes(surface->specimen_name) + ", carried onto the consensus.";
  surface_ = surface;
  mean_surface_ = std::move(mean);
  report.surface = std::move(surface);
  return report;
}

std::shared_ptr<const MeanSurface> Session::mean_surface() const {
  if (!mean_surface_ || mean_surface_->fit_id != fit_->id())
    mean_surface_ = guarded([&] { return carry_to_consensus(*surface_, *fit_); });
  return mean_surface_;
}

SurfaceWarpReport Session::warp_surface(const SurfaceWarpParams& params) const {
  require(kNeedSample);
  if (!surface_) refuse("There is no surface: load one first (Load Surface…).");
  const Sample& s = sample();
  const SpecimenSurface& surf = *surface_;
  if (surf.specimen >= s.specimens() ||
      s.names[static_cast<std::size_t>(surf.specimen)] != surf.specimen_name ||
      s.raw().slice(surf.specimen) != surf.landmarks)
    refuse("The surface " + in_quotes(surf.file_name) + " belongs to specimen " +
           in_quotes(surf.specimen_name) + " of a sample no longer loaded: load it again.");
  SurfaceWarpReport report;
  report.surface = surface_;
  const auto mean = mean_surface();
  const shape::Config& reference = fit_->reference();
  shape::Config target = reference;
  switch (params.target) {
    case SurfaceTarget::Mean:
      report.description = "the mean shape";
      break;
    case SurfaceTarget::Regression: {
      require(kNeedSample | kNeedRegression);
      const auto reg = regression();
      const Regressor x(x_, reg->scale, "The surface warp");
      report.x_low = x.x().minCoeff();
      report.x_high = x.x().maxCoeff();
      if (!std::isfinite(params.x) || (x.ln() && !(params.x > 0)))
        refuse("The surface warp needs X above 0 on the ln scale and finite, not " +
               message_number(params.x) + ".");
      const double at = x.ln() ? std::log(params.x) : params.x;
      const double span = x.values().maxCoeff() - x.values().minCoeff();
      if (std::abs(at - reg->x_mean) > kLargestSurfaceFactor * span)
        refuse("The surface warp takes X at most " + message_number(kLargestSurfaceFactor) +
               " (1e6) times the range of " + x.axis_label() + " (" + message_number(span) +
               ") from its mean, not " + message_number(params.x) + ".");
      if (params.x < report.x_low || params.x > report.x_high)
        report.notes.push_back(
            "Warning: X = " + message_number(params.x) + " lies outside the sample's range of " +
            x_axis_label(x.variable().name, false) + ", " + message_number(report.x_low) + " to " +
            message_number(report.x_high) + ": the surface shows the regression extrapolated.");
      target = guarded([&] {
        const auto scores = fit_->scores(note);
        const Eigen::RowVectorXd row =
            scores->colwise().mean() + params.exaggeration * (at - reg->x_mean) * reg->slopes;
        return shape::Config(
            tps::deformations_from_scores(*fit_->basis(note), reference, row).slice(0));
      });
      report.description =
          "the regression's prediction at " + x.variable().name + " = " + message_number(params.x);
      break;
    }
    case SurfaceTarget::Component: {
      if (!(std::abs(params.factor) <= kLargestSurfaceFactor))
        refuse("The surface warp takes a principal component score from -" +
               message_number(kLargestSurfaceFactor) + " to " +
               message_number(kLargestSurfaceFactor) + " (1e6) SD, not " +
               message_number(params.factor) + ".");
      ComponentShapeReport c =
          component_shape({params.component, params.factor * params.exaggeration});
      target = std::move(c.target);
      report.description = "principal component " + std::to_string(params.component) + " at " +
                           message_number(params.factor) + " SD";
      break;
    }
    case SurfaceTarget::Group: {
      const std::vector<stats::ModelVariable> variables = model_variables();
      const auto factor = std::find_if(variables.begin(), variables.end(), [&](const auto& v) {
        return !v.numeric && v.name == params.grouping;
      });
      if (factor == variables.end())
        refuse("The sample has no factor \"" + shown_text(params.grouping) + "\"" +
               "; load a specimen table with a text column of that name.");
      const std::vector<std::string> levels = stats::factor_levels(factor->levels);
      if (std::find(levels.begin(), levels.end(), params.group) == levels.end()) {
        std::string listed;
        for (const std::string& l : levels) listed += (listed.empty() ? "" : ", ") + shown_text(l);
        refuse("There is no group \"" + shown_text(params.group) + "\" in factor \"" +
               shown_text(params.grouping) + "\"; its levels are " + listed + ".");
      }
      target = group_shape(*fit_, *factor, params.group, params.exaggeration);
      report.description =
          "the mean of " + shown_text(params.grouping) + " " + shown_text(params.group);
      break;
    }
  }
  if (params.target != SurfaceTarget::Mean && params.exaggeration != 1)
    report.description += " (change × " + message_number(params.exaggeration) + ")";
  const double cs = surf.centroid_size;
  report.mean = in_specimen_units(mean->vertices, cs);
  if (params.target == SurfaceTarget::Mean) {
    report.vertices = report.mean;
  } else {
    report.vertices = guarded([&] {
      return in_specimen_units(tps::ThinPlateSpline(reference, target).warp(mean->vertices), cs);
    });
  }
  report.target_landmarks = target * cs;
  report.displacement = (report.vertices - report.mean).rowwise().norm();
  report.largest_displacement = report.displacement.size() ? report.displacement.maxCoeff() : 0;
  report.log_line = "Surface " + in_quotes(surf.file_name) + " of specimen " +
                    in_quotes(surf.specimen_name) + " warped from the mean shape to " +
                    report.description + "; largest displacement " +
                    message_number(report.largest_displacement) + " (specimen units).";
  return report;
}

}  // namespace velmora::analysis
