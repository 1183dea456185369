// The session's semilandmarks: their definitions, how they slide, and the
// one slide the settings ask for when an action first needs it.
#include <algorithm>

#include "analysis/session.hpp"

namespace velmora::analysis {

namespace {

// From this many landmarks in all (specimens × landmarks) a slide is
// announced before it starts.
constexpr Eigen::Index kSlowSlidingLandmarks = 20000;

// How messages name an entry of a definition file, and begin a refusal.
std::string source(const std::string& label, std::size_t line) {
  return "\"" + label + "\" line " + std::to_string(line);
}
std::string where(const std::string& label, std::size_t line) {
  return source(label, line) + ": ";
}

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
    if (semi_.curves[i].slider == landmark) return source(curve_label_, curve_lines_[i]);
  for (std::size_t i = 0; i < semi_.surface.size(); ++i)
    if (semi_.surface[i] == landmark) return source(surface_label_, surface_lines_[i]);
  return {};
}

SemilandmarkReport Session::set_curves(const io::CurveFile& file, const std::string& label) {
  require(kNeedSample);
  const Eigen::Index k = sample_->landmarks();
  std::vector<tps::Semilandmarks::CurveSlider> curves;
  const shape::Config& m = fit_->reference();  // at unit centroid size
  for (std::size_t i = 0; i < file.sliders.size(); ++i) {
    const auto& [before, slider, after] = file.sliders[i];
    const std::string at = where(label, file.lines[i]);
    const auto b = static_cast<Eigen::Index>(before) - 1, s = static_cast<Eigen::Index>(slider) - 1,
               a = static_cast<Eigen::Index>(after) - 1;
    if (b >= k || s >= k || a >= k)
      refuse(at + "the sample has " + std::to_string(k) + " landmarks.");
    if (std::find(semi_.surface.begin(), semi_.surface.end(), s) != semi_.surface.end())
      refuse(at + "landmark " + std::to_string(slider) + " is already a surface point (" +
             semilandmark_source(s) +
             "): a landmark slides on a curve or on the surface, not both.");
    if ((m.row(a) - m.row(b)).norm() <= 1e-9)
      refuse(at + "the neighbours " + std::to_string(before) + " and " + std::to_string(after) +
             " of the slider " + std::to_string(slider) +
             " coincide in the consensus: its tangent is undefined.");
    curves.push_back({b, s, a});
  }
  semi_.curves = std::move(curves);
  return adopt_semilandmarks(curve_label_, label, curve_lines_, file.lines);
}

SemilandmarkReport Session::set_surface_points(const io::SurfacePointFile& file,
                                               const std::string& label) {
  require(kNeedSample);
  const Eigen::Index k = sample_->landmarks();
  std::vector<Eigen::Index> points;
  for (std::size_t i = 0; i < file.points.size(); ++i) {
    const std::string at = where(label, file.lines[i]);
    const auto p = static_cast<Eigen::Index>(file.points[i]) - 1;
    if (p >= k) refuse(at + "the sample has " + std::to_string(k) + " landmarks.");
    for (const auto& c : semi_.curves)
      if (c.slider == p)
        refuse(at + "landmark " + std::to_string(p + 1) + " is already a curve slider (" +
               semilandmark_source(p) +
               "): a landmark slides on a curve or on the surface, not both.");
    points.push_back(p);
  }
  semi_.surface = std::move(points);
  return adopt_semilandmarks(surface_label_, label, surface_lines_, file.lines);
}

SemilandmarkReport Session::adopt_semilandmarks(std::string& label_member, const std::string& label,
                                                std::vector<std::size_t>& lines_member,
                                                const std::vector<std::size_t>& lines) {
  label_member = label;
  lines_member = lines;
  semi_landmarks_ = sample_->landmarks();
  slide_pending_ = true;
  return semilandmark_counts();
}

void Session::semilandmarks_for_new_sample(const io::ImportedSample& in, LoadSampleReport& r) {
  scans_.clear();  // scans belong to the specimens of the sample they were loaded for
  if (!in.curve_sliders.empty()) {
    semi_ = {};
    curve_lines_.clear();
    for (const auto& [before, slider, after] : in.curve_sliders) {
      semi_.curves.push_back({static_cast<Eigen::Index>(before) - 1,
                              static_cast<Eigen::Index>(slider) - 1,
                              static_cast<Eigen::Index>(after) - 1});
      curve_lines_.push_back(slider);
    }
    curve_label_ = sample_->file_name;
    semi_landmarks_ = r.landmarks;
    r.semilandmark_note = "Curve markups: " + std::to_string(semi_.curves.size()) +
                          " of the curve's points slide along it.";
  } else if (!semi_.empty() && semi_landmarks_ != r.landmarks) {
    r.semilandmark_note = "The semilandmarks were loaded for samples of " +
                          std::to_string(semi_landmarks_) + " landmarks; this sample has " +
                          std::to_string(r.landmarks) + ": semilandmarks removed.";
    semi_ = {};
    semi_landmarks_ = 0;
  }
  slide_pending_ = slides();
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
  if (!slides()) return Superimposition::fit(std::move(raw), method, notes);
  tps::SlidingOptions options = options_of(sliding_choice_, sliding_passes_);
  options.projection = projection_of(raw);
  return Superimposition::fit(std::move(raw), method, semi_, options, notes, slid);
}

SettleReport Session::settle_sliding() {
  SettleReport r;
  if (!slide_pending_ || !sample_) return r;
  tps::SlidingResult slid;
  const Eigen::Index n = sample_->specimens(), k = sample_->landmarks();
  if (note && n * k >= kSlowSlidingLandmarks)
    note("Sliding the " + std::to_string(semi_.curves.size() + semi_.surface.size()) +
         " semilandmarks of " + std::to_string(n) + " specimens of " + std::to_string(k) +
         " landmarks: this takes a while (about 2.5 s a pass at 100 × 1,000 on two cores, "
         "growing with the square of the landmarks).");
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
