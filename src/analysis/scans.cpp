// The specimens' scans: loaded for the semilandmarks to be projected onto as
// they slide, and for placing surface semilandmarks on them.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "analysis/session.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "mesh/nearest.hpp"
#include "shape/centroid_size.hpp"
#include "tps/point_warp.hpp"

namespace velmora::analysis {

struct Session::Scan {
  std::string file_name;
  mesh::Surface mesh;
  mesh::SurfaceIndex index;
  Scan(std::string name, mesh::Surface m)
      : file_name(std::move(name)), mesh(std::move(m)), index(mesh) {}
};

namespace {

std::string in_quote_marks(const std::string& s) {
  return "\"" + shown_name(s) + "\"";
}

// Landmarks that are neither curve sliders nor surface points.
std::vector<Eigen::Index> fixed_landmarks(const tps::Semilandmarks& semi, Eigen::Index k) {
  std::vector<bool> slides(static_cast<std::size_t>(k), false);
  for (const auto& c : semi.curves) slides[static_cast<std::size_t>(c.slider)] = true;
  for (Eigen::Index p : semi.surface) slides[static_cast<std::size_t>(p)] = true;
  std::vector<Eigen::Index> fixed;
  for (Eigen::Index i = 0; i < k; ++i)
    if (!slides[static_cast<std::size_t>(i)]) fixed.push_back(i);
  return fixed;
}

shape::Config rows_of(const shape::Config& c, const std::vector<Eigen::Index>& which) {
  shape::Config out(static_cast<Eigen::Index>(which.size()), 3);
  for (std::size_t j = 0; j < which.size(); ++j)
    out.row(static_cast<Eigen::Index>(j)) = c.row(which[j]);
  return out;
}

// `count` vertices of `surface` spread evenly: each the vertex farthest
// from the landmarks and the vertices taken before it.
std::vector<Eigen::Index> farthest_vertices(const mesh::Points& vertices,
                                            const shape::Config& landmarks, Eigen::Index count) {
  const Eigen::Index v = vertices.rows();
  Eigen::VectorXd nearest = Eigen::VectorXd::Constant(v, std::numeric_limits<double>::infinity());
  auto take = [&](const Eigen::RowVector3d& p) {
    nearest = nearest.cwiseMin((vertices.rowwise() - p).rowwise().squaredNorm());
  };
  for (Eigen::Index i = 0; i < landmarks.rows(); ++i) take(landmarks.row(i));
  std::vector<Eigen::Index> chosen;
  for (Eigen::Index j = 0; j < count; ++j) {
    Eigen::Index far = 0;
    nearest.maxCoeff(&far);
    chosen.push_back(far);
    take(vertices.row(far));
  }
  return chosen;
}

}  // namespace

Eigen::Index Session::scan_count() const {
  return static_cast<Eigen::Index>(
      std::count_if(scans_.begin(), scans_.end(), [](const auto& s) { return s != nullptr; }));
}

LoadScansReport Session::load_scans(const std::vector<std::string>& paths) {
  require(kNeedSample);
  const Sample& s = *sample_;
  std::vector<std::shared_ptr<const Scan>> scans = scans_;
  scans.resize(static_cast<std::size_t>(s.specimens()));
  std::vector<std::string> from(scans.size());
  const shape::Stack raw = s.raw();
  LoadScansReport r;
  for (const std::string& path : paths) {
    const std::filesystem::path p(path);
    const std::string file = p.filename().string(), stem = p.stem().string();
    const auto at = std::find(s.names.begin(), s.names.end(), stem);
    if (at == s.names.end())
      refuse("The scan " + in_quote_marks(file) +
             " names no specimen: its name without the extension, " + in_quote_marks(stem) +
             ", should be a specimen's name (the first is " + in_quote_marks(s.names.front()) +
             ").");
    const auto i = static_cast<std::size_t>(at - s.names.begin());
    if (!from[i].empty())
      refuse("The scans " + in_quote_marks(from[i]) + " and " + in_quote_marks(file) +
             " are both of specimen " + in_quote_marks(stem) + ": choose one.");
    from[i] = file;
    mesh::Surface m = guarded([&] { return mesh::read_surface(path); });
    const auto more =
        surface_placement_notes(m.vertices, raw.slice(static_cast<Eigen::Index>(i)), file, stem);
    r.notes.insert(r.notes.end(), more.begin(), more.end());
    scans[i] = guarded([&] { return std::make_shared<const Scan>(file, std::move(m)); });
    ++r.loaded;
  }
  scans_ = std::move(scans);
  r.with_scan = scan_count();
  const Eigen::Index n = s.specimens();
  r.message = std::to_string(r.loaded) + (r.loaded == 1 ? " scan" : " scans") + " loaded: " +
              (r.with_scan == n ? std::string("every specimen has one.")
                                : std::to_string(r.with_scan) + " of the " + std::to_string(n) +
                                      " specimens have one.");
  if (projection_ && slides()) slide_pending_ = true;
  return r;
}

void Session::set_sliding_projection(bool on) {
  if (on != projection_ && slides()) slide_pending_ = true;
  projection_ = on;
}

std::shared_ptr<const tps::SurfaceProjection> Session::projection_of(
    const shape::Stack& raw) const {
  if (!projection_) return nullptr;
  std::vector<std::string> without;
  for (std::size_t i = 0; i < static_cast<std::size_t>(raw.n()); ++i)
    if (i >= scans_.size() || !scans_[i]) without.push_back(sample_->names[i]);
  if (!without.empty()) {
    std::string list;
    for (std::size_t j = 0; j < without.size() && j < 5; ++j)
      list += std::string(j ? ", " : "") + in_quote_marks(without[j]);
    if (without.size() > 5) list += ", …";
    refuse("Projecting the semilandmarks onto the scans needs a scan of every specimen; " +
           std::to_string(without.size()) + " of " + std::to_string(raw.n()) + " have none (" +
           list + "). Load them with Load Surfaces…, or set the projection off.");
  }
  auto p = std::make_shared<tps::SurfaceProjection>();
  p->raw = raw;
  std::vector<std::shared_ptr<const Scan>> scans = scans_;
  p->nearest = [scans](Eigen::Index i, const Eigen::RowVector3d& q) {
    const mesh::NearestPoint on = scans[static_cast<std::size_t>(i)]->index.nearest(q);
    return tps::SurfaceProjection::Nearest{on.point, on.normal};
  };
  return p;
}

PlaceSemilandmarksReport Session::place_semilandmarks(const PlaceSemilandmarksParams& params) {
  require(kNeedSample);
  const Sample& s = *sample_;
  const Eigen::Index n = s.specimens(), k = s.landmarks(), count = params.count;
  const Eigen::Index t = params.template_specimen.value_or(0);
  if (t < 0 || t >= n)
    refuse("There is no specimen " + std::to_string(t + 1) + ": the sample has " +
           std::to_string(n) + ".");
  if (count < 1) refuse("Place at least one semilandmark, not " + std::to_string(count) + ".");
  if (scan_count() < n || static_cast<Eigen::Index>(scans_.size()) < n)
    refuse("Placing semilandmarks needs a scan of every specimen; " +
           std::to_string(n - scan_count()) + " of " + std::to_string(n) +
           " have none. Load them with Load Surfaces….");
  const std::vector<Eigen::Index> fixed = fixed_landmarks(semi_, k);
  if (fixed.size() < 4)
    refuse(
        "Placing semilandmarks carries them by the thin-plate spline of the fixed landmarks, "
        "which needs at least 4; the sample has " +
        std::to_string(fixed.size()) + ".");
  const Scan& from = *scans_[static_cast<std::size_t>(t)];
  if (count > from.mesh.vertex_count())
    refuse("The scan " + in_quote_marks(from.file_name) + " has " +
           std::to_string(from.mesh.vertex_count()) + " vertices: it cannot hold " +
           std::to_string(count) + " semilandmarks.");
  const double work = static_cast<double>(count) * static_cast<double>(from.mesh.vertex_count());
  if (note && work > 2e9)
    note("Spreading " + std::to_string(count) + " points over the " +
         std::to_string(from.mesh.vertex_count()) + " vertices of " +
         in_quote_marks(from.file_name) + " takes a while…");

  const shape::Stack raw = s.raw();
  const shape::Config template_raw = raw.slice(t);
  const std::vector<Eigen::Index> chosen =
      farthest_vertices(from.mesh.vertices, template_raw, count);
  tps::PointRows points(count, 3);
  for (Eigen::Index j = 0; j < count; ++j)
    points.row(j) = from.mesh.vertices.row(chosen[static_cast<std::size_t>(j)]);
  const shape::Config source = rows_of(template_raw, fixed);

  PlaceSemilandmarksReport r;
  Eigen::MatrixXd rows(n, 3 * (k + count) + 1);
  std::vector<tps::PointRows> placed(static_cast<std::size_t>(n));
  guarded([&] {
    for (Eigen::Index i = 0; i < n; ++i) {
      tps::PointRows on = points;
      if (i != t) {
        const tps::ThinPlateSpline spline(source, rows_of(raw.slice(i), fixed));
        const tps::PointRows carried = spline.warp(points);
        const mesh::SurfaceIndex& index = scans_[static_cast<std::size_t>(i)]->index;
        for (Eigen::Index j = 0; j < count; ++j) {
          const mesh::NearestPoint np = index.nearest(carried.row(j));
          on.row(j) = np.point;
          if (np.distance > r.largest_projection) {
            r.largest_projection = np.distance;
            r.largest_projection_specimen = s.names[static_cast<std::size_t>(i)];
          }
        }
      }
      placed[static_cast<std::size_t>(i)] = std::move(on);
    }
  });
  shape::Stack grown(k + count, n);
  for (Eigen::Index i = 0; i < n; ++i) {
    grown.slice(i).topRows(k) = raw.slice(i);
    grown.slice(i).bottomRows(count) = placed[static_cast<std::size_t>(i)];
    const shape::Config c = grown.slice(i);
    for (Eigen::Index j = 0; j < k + count; ++j)
      for (int d = 0; d < 3; ++d) rows(i, 3 * j + d) = c(j, d);
    rows(i, 3 * (k + count)) = shape::centroid_size(c);
  }
  std::vector<std::string> notes;
  auto fit = Superimposition::fit(grown, method_, notes);

  // Nothing failed: the sample grows.
  const bool table_matched = table_ && table_names_ == s.names && table_rows_ == s.rows;
  sample_->rows = std::move(rows);
  if (table_matched) table_rows_ = sample_->rows;
  for (Eigen::Index j = 0; j < count; ++j) {
    semi_.surface.push_back(k + j);
    surface_lines_.push_back(static_cast<std::size_t>(j + 1));
  }
  if (surface_label_.empty() || surface_lines_.size() == static_cast<std::size_t>(count))
    surface_label_ = "points placed on " + from.file_name;
  semi_landmarks_ = k + count;
  fit_ = std::move(fit);
  if (surface_) {
    auto moved = std::make_shared<SpecimenSurface>(*surface_);
    moved->landmarks = grown.slice(moved->specimen);
    moved->centroid_size = shape::centroid_size(moved->landmarks);
    surface_ = std::move(moved);
    mean_surface_.reset();
  }
  slide_pending_ = slides();
  r.placed = count;
  r.first = k + 1;
  r.message =
      std::to_string(count) + " surface semilandmarks placed on " + in_quote_marks(from.file_name) +
      " and carried to the other " + std::to_string(n - 1) +
      " scans by the thin-plate spline of the " + std::to_string(fixed.size()) +
      " fixed landmarks: landmarks " + std::to_string(k + 1) + " to " + std::to_string(k + count) +
      ". The farthest a carried point lay from its scan: " + message_number(r.largest_projection) +
      (r.largest_projection_specimen.empty()
           ? std::string()
           : " (specimen " + in_quote_marks(r.largest_projection_specimen) + ")") +
      ".";
  return r;
}

}  // namespace velmora::analysis
