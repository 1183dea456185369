// Scatter plots coloured by the chosen factor, with a legend and the
// groups' outlines.
#include "view/group_plots.hpp"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "stats/model_formula.hpp"
#include "view/document.hpp"

namespace velmora::app {

namespace {

// The 0.95 quantile of the chi-squared distribution with two degrees of
// freedom, −2 ln 0.05: the ellipse that holds a bivariate normal's mean
// with 95 % confidence.
const double kChiSquared95 = -2 * std::log(0.05);

using Points = std::vector<std::pair<double, double>>;

// The 95 % confidence ellipse of the mean of `p` (covariance of the mean:
// the sample covariance over the count), as a closed line of 73 points.
Points mean_ellipse(const Points& p) {
  const double n = static_cast<double>(p.size());
  double mx = 0, my = 0;
  for (const auto& [x, y] : p) mx += x / n, my += y / n;
  double sxx = 0, sxy = 0, syy = 0;
  for (const auto& [x, y] : p)
    sxx += (x - mx) * (x - mx), sxy += (x - mx) * (y - my), syy += (y - my) * (y - my);
  Eigen::Matrix2d c;
  c << sxx, sxy, sxy, syy;
  c /= (n - 1) * n;
  // c = L·Lᵀ (with a zero-variance axis the ellipse flattens to a segment).
  Eigen::SelfAdjointEigenSolver<Eigen::Matrix2d> eig(c);
  const Eigen::Vector2d radii =
      eig.eigenvalues().cwiseMax(0).cwiseSqrt() * std::sqrt(kChiSquared95);
  Points out;
  for (int i = 0; i <= 72; ++i) {
    const double t = 2 * std::numbers::pi * i / 72;
    const Eigen::Vector2d q =
        eig.eigenvectors() * Eigen::Vector2d(radii(0) * std::cos(t), radii(1) * std::sin(t));
    out.emplace_back(mx + q(0), my + q(1));
  }
  return out;
}

double cross(const std::pair<double, double>& o, const std::pair<double, double>& a,
             const std::pair<double, double>& b) {
  return (a.first - o.first) * (b.second - o.second) - (a.second - o.second) * (b.first - o.first);
}

// The convex hull of `p` as a closed line (Andrew's monotone chain).
Points convex_hull(Points p) {
  std::sort(p.begin(), p.end());
  p.erase(std::unique(p.begin(), p.end()), p.end());
  if (p.size() < 3) return p;
  Points hull(2 * p.size());
  std::size_t k = 0;
  for (const auto& q : p) {
    while (k >= 2 && cross(hull[k - 2], hull[k - 1], q) <= 0) --k;
    hull[k++] = q;
  }
  for (std::size_t i = p.size() - 1, lower = k + 1; i-- > 0;) {
    while (k >= lower && cross(hull[k - 2], hull[k - 1], p[i]) <= 0) --k;
    hull[k++] = p[i];
  }
  hull.resize(k);  // the last point is the first again: closed
  return hull;
}

// The values of the chosen factor, one a specimen of `n`; null when no
// factor is chosen or the sample has no such factor.
const std::vector<std::string>* chosen_factor_values(
    Document& doc, const std::vector<stats::ModelVariable>& variables, Eigen::Index n) {
  const analysis::ModelChoice& choice = doc.session.choices();
  if (choice.factor.empty()) return nullptr;
  for (const stats::ModelVariable& v : variables)
    if (!v.numeric && v.name == choice.factor)
      return v.levels.size() == static_cast<std::size_t>(n) ? &v.levels : nullptr;
  return nullptr;
}

// The plot's legend names the groups: each group's line under its name
// and count, as a swatch of its marker (or line) in a corner of the plot
// that covers the fewest points.
void name_in_legend(gfx::Handle ax, gfx::Handle line, const std::string& name) {
  auto& g = gfx::graphics();
  g.set(line, "DisplayName", name);
  g.set_appdata(ax, "Legend", Value(1.0));
}

// A round bin width at least `raw`: 1, 2, 2.5 or 5 times a power of ten.
double round_width(double raw) {
  const double decade = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double m : {1.0, 2.0, 2.5, 5.0})
    if (m * decade >= raw) return m * decade;
  return 10 * decade;
}

Value rgb_value(const render::Rgb& rgb) {
  return Value::row({rgb.r, rgb.g, rgb.b});
}

}  // namespace

render::Rgb group_colour(std::size_t g) {
  static const render::Rgb kColours[] = {
      {0.902, 0.624, 0.0}, {0.337, 0.706, 0.914}, {0.0, 0.620, 0.451},   {0.941, 0.894, 0.259},
      {0.0, 0.447, 0.698}, {0.835, 0.369, 0.0},   {0.800, 0.475, 0.655}, {0.0, 0.0, 0.0}};
  return kColours[g % std::size(kColours)];
}

bool plot_by_groups(Document& doc, gfx::Handle ax, const Eigen::VectorXd& x,
                    const Eigen::VectorXd& y) {
  const std::vector<stats::ModelVariable> variables = doc.session.model_variables();
  const std::vector<std::string>* values = chosen_factor_values(doc, variables, x.size());
  if (!values) return false;
  auto& g = gfx::graphics();
  const std::vector<std::string> levels = stats::factor_levels(*values);
  g.hold(ax, true);
  struct Outline {
    std::vector<double> x, y;
    render::Rgb rgb;
  };
  std::vector<Outline> outlines;
  for (std::size_t k = 0; k < levels.size(); ++k) {
    Points p;
    for (Eigen::Index i = 0; i < x.size(); ++i)
      if ((*values)[static_cast<std::size_t>(i)] == levels[k]) p.emplace_back(x(i), y(i));
    std::vector<double> xs, ys;
    for (const auto& [a, b] : p) xs.push_back(a), ys.push_back(b);
    const render::Rgb rgb = group_colour(k);
    const Value colour = rgb_value(rgb);
    const gfx::Handle line = g.plot(ax, xs, ys, {}, "o", false);
    g.set(line, "Color", colour);
    g.set(line, "MarkerFaceColor", colour);
    if (doc.window.outline != GroupOutline::None && p.size() >= 2) {
      const Points o =
          doc.window.outline == GroupOutline::Ellipses ? mean_ellipse(p) : convex_hull(p);
      std::vector<double> ox, oy;
      for (const auto& [a, b] : o) ox.push_back(a), oy.push_back(b);
      outlines.push_back({std::move(ox), std::move(oy), rgb});
    }
    name_in_legend(ax, line, levels[k] + " (" + std::to_string(p.size()) + ")");
  }
  // The outlines go over every group's points, in a darker shade of the
  // group's colour, so a group's ellipse or hull shows on its own points.
  for (const Outline& o : outlines) {
    const gfx::Handle line = g.plot(ax, o.x, o.y, {}, "-", false);
    g.set(line, "Color", rgb_value({0.6 * o.rgb.r, 0.6 * o.rgb.g, 0.6 * o.rgb.b}));
    g.set(line, "LineWidth", 1.5);
  }
  g.hold(ax, false);
  return true;
}

bool histogram_by_groups(Document& doc, gfx::Handle ax, const Eigen::VectorXd& x) {
  const std::vector<stats::ModelVariable> variables = doc.session.model_variables();
  const std::vector<std::string>* values = chosen_factor_values(doc, variables, x.size());
  if (!values || x.size() == 0) return false;
  const std::vector<std::string> levels = stats::factor_levels(*values);
  const std::size_t groups = levels.size();
  // Sturges' number of bins over the range, at a round width from a
  // multiple of it; a single value gets one bin of width 1 around it.
  const double lo_x = x.minCoeff(), hi_x = x.maxCoeff();
  const double bins_wanted = std::ceil(std::log2(static_cast<double>(x.size()))) + 1;
  const double width = hi_x > lo_x ? round_width((hi_x - lo_x) / bins_wanted) : 1.0;
  const double lo = hi_x > lo_x ? std::floor(lo_x / width) * width : lo_x - 0.5;
  const auto bins =
      std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil((hi_x - lo) / width)));
  std::vector<std::vector<int>> counts(groups, std::vector<int>(bins, 0));
  std::vector<int> sizes(groups, 0);
  for (Eigen::Index i = 0; i < x.size(); ++i) {
    const auto k = static_cast<std::size_t>(
        std::find(levels.begin(), levels.end(), (*values)[static_cast<std::size_t>(i)]) -
        levels.begin());
    const auto b = std::min(bins - 1, static_cast<std::size_t>(std::max(0.0, (x(i) - lo) / width)));
    ++counts[k][b];
    ++sizes[k];
  }
  int most = 1;
  for (const auto& c : counts) most = std::max(most, *std::max_element(c.begin(), c.end()));
  auto& g = gfx::graphics();
  g.hold(ax, true);
  // Each group's bars as one outlined line: up, across and down for each
  // bin it has specimens in, a group's share of the bin beside the others'.
  const double share = 0.8 * width / static_cast<double>(groups);
  for (std::size_t k = 0; k < groups; ++k) {
    std::vector<double> xs, ys;
    for (std::size_t b = 0; b < bins; ++b) {
      if (counts[k][b] == 0) continue;
      const double left =
          lo + static_cast<double>(b) * width + 0.1 * width + share * static_cast<double>(k);
      const double c = counts[k][b];
      xs.insert(xs.end(), {left, left, left + share, left + share});
      ys.insert(ys.end(), {0.0, c, c, 0.0});
    }
    const gfx::Handle bars = g.plot(ax, xs, ys, {}, "-", false);
    g.set(bars, "Color", rgb_value(group_colour(k)));
    g.set(bars, "LineWidth", 1.5);
    name_in_legend(ax, bars, levels[k] + " (" + std::to_string(sizes[k]) + ")");
  }
  // One baseline under every bar, as wide as their outlines, over the
  // groups' joins along it.
  const double hi = lo + static_cast<double>(bins) * width;
  const gfx::Handle base = g.plot(ax, {lo, hi}, {0.0, 0.0}, {}, "-", false);
  g.set(base, "Color", Value::row({0.0, 0.0, 0.0}));
  g.set(base, "LineWidth", 1.5);
  // Room above the highest bar for the legend: an invisible line spans it,
  // so that the limits stay automatic for the next plot.
  const double top = most / (1 - 0.07 * static_cast<double>(groups + 1));
  const gfx::Handle span = g.plot(ax, {lo, lo}, {0.0, top}, {}, "", false);
  g.set(span, "LineStyle", "none");
  g.set(span, "Marker", "none");
  g.hold(ax, false);
  return true;
}

}  // namespace velmora::app
