// The session's semilandmarks: their definitions, how they slide, and the
// one slide the settings ask for when an action first needs it.
#include <algorithm>
#include <cmath>

#include "analysis/session.hpp"

namespace velmora::analysis {

namespace {

std::string counted(Eigen::Index n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

tps::SlidingOptions options_of(SlidingChoice c, int passes) {
  tps::SlidingOptions o;
  o.criterion = c == SlidingChoice::ProcrustesDistance ? tps::SlidingCriterion::ProcrustesDistance
                                                       : tps::SlidingCriterion::BendingEnergy;
  o.passes = passes;
  return o;
}

}  // namespace

SemilandmarkReport Session::semilandmark_counts() const {
  SemilandmarkReport r;
  const Eigen::Index k = sample_ ? sample_->landmarks() : semi_landmarks_;
  r.curve_sliders = static_cast<Eigen::Index>(semi_.curves.size());
  r.surface_points = static_cast<Eigen::Index>(semi_.surface.size());
  r.fixed = semi_.fixed_count(k);
  r.message = counted(k, "landmark", "landmarks") + ": " + std::to_string(r.fixed) + " fixed, " +
              counted(r.curve_sliders, "curve slider", "curve sliders") + ", " +
              counted(r.surface_points, "surface point", "surface points") + ".";
  return r;
}

std::string Session::semilandmark_source(Eigen::Index landmark) const {
  for (std::size_t i = 0; i < semi_.curves.size(); ++i)
    if (semi_.curves[i].slider == landmark)
      return "\"" + curve_label_ + "\" line " + std::to_string(curve_lines_[i]);
  for (std::size_t i = 0; i < semi_.surface.size(); ++i)
    if (semi_.surface[i] == landmark)
      return "\"" + surface_label_ + "\" line " + std::to_string(surface_lines_[i]);
  return {};
}

SemilandmarkReport Session::set_curves(const io::CurveFile& file, const std::string& label) {
  require(kNeedSample);
  const Eigen::Index k = sample_->landmarks();
  std::vector<tps::Semilandmarks::CurveSlider> curves;
  const shape::Config& m = fit_->reference();
  const double size = std::sqrt(m.squaredNorm());
  for (std::size_t i = 0; i < file.sliders.size(); ++i) {
    const auto& [before, slider, after] = file.sliders[i];
    const std::string where = "\"" + label + "\" line " + std::to_string(file.lines[i]) + ": ";
    const auto b = static_cast<Eigen::Index>(before) - 1, s = static_cast<Eigen::Index>(slider) - 1,
               a = static_cast<Eigen::Index>(after) - 1;
    if (b >= k || s >= k || a >= k)
      refuse(where + "the sample has " + std::to_string(k) + " landmarks.");
    if (std::find(semi_.surface.begin(), semi_.surface.end(), s) != semi_.surface.end())
      refuse(where + "landmark " + std::to_string(slider) + " is already a surface point (" +
             semilandmark_source(s) +
             "): a landmark slides on a curve or on the surface, not both.");
    if ((m.row(a) - m.row(b)).norm() <= 1e-9 * size)
      refuse(where + "the neighbours " + std::to_string(before) + " and " + std::to_string(after) +
             " of the slider " + std::to_string(slider) +
             " coincide in the consensus: its tangent is undefined.");
    curves.push_back({b, s, a});
  }
  semi_.curves = std::move(curves);
  curve_label_ = label;
  curve_lines_ = file.lines;
  semi_landmarks_ = k;
  slide_pending_ = true;
  return semilandmark_counts();
}

SemilandmarkReport Session::set_surface_points(const io::SurfacePointFile& file,
                                               const std::string& label) {
  require(kNeedSample);
  const Eigen::Index k = sample_->landmarks();
  std::vector<Eigen::Index> points;
  for (std::size_t i = 0; i < file.points.size(); ++i) {
    const std::string where = "\"" + label + "\" line " + std::to_string(file.lines[i]) + ": ";
    const auto p = static_cast<Eigen::Index>(file.points[i]) - 1;
    if (p >= k) refuse(where + "the sample has " + std::to_string(k) + " landmarks.");
    for (const auto& c : semi_.curves)
      if (c.slider == p)
        refuse(where + "landmark " + std::to_string(p + 1) + " is already a curve slider (" +
               semilandmark_source(p) +
               "): a landmark slides on a curve or on the surface, not both.");
    points.push_back(p);
  }
  semi_.surface = std::move(points);
  surface_label_ = label;
  surface_lines_ = file.lines;
  semi_landmarks_ = k;
  slide_pending_ = true;
  return semilandmark_counts();
}

void Session::set_sliding(SlidingChoice choice) {
  if (choice != sliding_choice_ && !semi_.empty()) slide_pending_ = true;
  sliding_choice_ = choice;
}

void Session::set_sliding_passes(int passes) {
  if (passes < 0 || passes > 1000)
    refuse("The sliding passes are \"auto\" or a whole number from 1 to 1000, not " +
           std::to_string(passes) + ".");
  if (passes != sliding_passes_ && !semi_.empty()) slide_pending_ = true;
  sliding_passes_ = passes;
}

std::shared_ptr<const Superimposition> Session::fit_with_sliding(shape::Stack raw, Method method,
                                                                 std::vector<std::string>& notes,
                                                                 tps::SlidingResult* slid) const {
  if (semi_.empty() || sliding_choice_ == SlidingChoice::None)
    return Superimposition::fit(std::move(raw), method, notes);
  return Superimposition::fit(std::move(raw), method, semi_,
                              options_of(sliding_choice_, sliding_passes_), notes, slid);
}

SettleReport Session::settle_sliding() {
  SettleReport r;
  if (!slide_pending_ || !sample_) return r;
  tps::SlidingResult slid;
  auto fit = guarded([&] { return fit_with_sliding(sample_->raw(), method_, r.notes, &slid); });
  // The scores and regression of the old superimposition stay with it.
  fit_ = std::move(fit);
  slide_pending_ = false;
  r.done = true;
  r.moves = std::move(slid.moves);
  r.criterion = std::move(slid.criterion);
  r.message = fit_->sliding().empty()
                  ? std::string("The sample was superimposed again without sliding.")
                  : "Semilandmarks: " + fit_->sliding() + ".";
  return r;
}

}  // namespace velmora::analysis
