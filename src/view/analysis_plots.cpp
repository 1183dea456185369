#include "view/analysis_plots.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "platform/render/scene.hpp"
#include "report/report_text.hpp"
#include "view/document.hpp"
#include "view/figure3d.hpp"
#include "view/group_plots.hpp"
#include "view/main_window.hpp"
#include "view/plot_style.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

void plot_distance_test(Document& doc, const analysis::DistanceTestReport& t) {
  auto& g = graphics();
  const Eigen::RowVectorXd& dist = t.test.distances;
  const Eigen::VectorXd& x = t.regressor;
  Handle ax = g.current_axes();
  // The groups are drawn over an empty plot; only they have a legend.
  if (!t.within.empty()) g.clear_axes(ax);
  g.set_appdata(ax, "Legend", Value(0.0));
  style_value_plot(ax);
  std::vector<double> xs(x.data(), x.data() + x.size()), ys(dist.data(), dist.data() + dist.size());
  // A colour a group of the chosen factor, with their legend.
  if (!plot_by_groups(doc, ax, x, dist.transpose())) g.plot(ax, xs, ys, {}, "ko", false);
  const std::string within = report::within_text(t.within);
  // The start shape by its count and by X's name ("the 3 specimens of
  // smallest age"), the plot by what it is against.
  const std::shared_ptr<const analysis::XVariable> xv = doc.session.x();
  const std::string start = "from the mean of the " + std::to_string(t.start_specimens);
  g.set(g.get(ax, "XLabel")(0), "String", t.axis_label);
  // The title names the start shape and the axis what is measured, each
  // short enough for the plot's width in the window; the x label says what
  // the distance is plotted on.
  g.set(g.get(ax, "Title")(0), "String",
        "Distance " + start + " specimens of smallest " +
            (xv && !xv->name.empty() ? xv->name : std::string("X")) + within);
  g.set(g.get(ax, "YLabel")(0), "String", "Squared Procrustes distance");

  const stats::RegressionStats& r = t.test.fit;
  // The fitted line across the range of the regressor, over the points.
  const double x0 = x.minCoeff(), x1 = x.maxCoeff();
  const std::string next_plot = g.get_text(ax, "NextPlot");
  g.hold(ax, true);
  g.plot(ax, {x0, x1}, {r.intercept + r.slope * x0, r.intercept + r.slope * x1}, {}, "k-", false);
  g.set(ax, "NextPlot", next_plot);
}

void plot_pca_scatter(Document& doc, const shape::ShapePca& pca, bool corrected,
                      const std::string& of) {
  auto& g = graphics();
  const WindowState& s = doc.window;
  const Handle ax = control("axes1");
  clear_main_plot();
  g.set(g.get(ax, "Title")(0), "String",
        !of.empty() ? "Principal components of " + of
        : corrected ? std::string("Principal components of size-corrected shapes")
                    : std::string("Principal components of shape"));
  const Eigen::VectorXd pc1 = pca.scores.col(0), pc2 = pca.scores.col(1);
  const std::shared_ptr<const analysis::XVariable> xv = doc.session.x();
  const Eigen::VectorXd* x = xv ? &xv->values : nullptr;
  if (plot_by_groups(doc, ax, pc1, pc2)) {
    x = nullptr;  // coloured by the chosen factor's groups
  } else if (x && x->size() == pc1.size() && x->maxCoeff() > x->minCoeff()) {
    // Eight colour classes from blue (smallest X) to red (largest).
    constexpr int kClasses = 8;
    const double lo = x->minCoeff(), hi = x->maxCoeff();
    g.hold(ax, true);
    for (int c = 0; c < kClasses; ++c) {
      std::vector<double> xs, ys;
      for (Eigen::Index i = 0; i < pc1.size(); ++i) {
        const int cls =
            std::min(kClasses - 1, static_cast<int>(kClasses * ((*x)(i)-lo) / (hi - lo)));
        if (cls == c) xs.push_back(pc1(i)), ys.push_back(pc2(i));
      }
      if (xs.empty()) continue;
      const Handle line = g.plot(ax, xs, ys, {}, "o", false);
      const render::Rgb rgb = render::blue_red_class(c, kClasses);
      const Value colour = Value::row({rgb.r, rgb.g, rgb.b});
      g.set(line, "Color", colour);
      g.set(line, "MarkerFaceColor", colour);
    }
    g.hold(ax, false);
  } else {
    g.plot(ax, std::vector<double>(pc1.data(), pc1.data() + pc1.size()),
           std::vector<double>(pc2.data(), pc2.data() + pc2.size()), {}, "ko", false);
  }
  g.set(g.get(ax, "XLabel")(0), "String", "PC1 (" + report::percent_text(pca.shares(0)) + ")");
  g.set(g.get(ax, "YLabel")(0), "String", "PC2 (" + report::percent_text(pca.shares(1)) + ")");
  style_pca_scatter(ax, x && x->size() == pc1.size() ? x : nullptr, xv ? xv->name : std::string());
  double marker_pt = 6;
  for (Handle c : g.children(ax))
    if (g.type(c) == gfx::Type::Line) marker_pt = g.get_number(c, "MarkerSize");
  label_specimens(ax, pc1, pc2, doc.session.sample().names, marker_pt, s.display.specimen_labels);
}

void plot_cv_scores(Document& doc, const Eigen::MatrixXd& scores) {
  auto& g = graphics();
  const Handle ax = control("axes1");
  clear_main_plot();  // and its labels: no title of an earlier plot stays
  const bool two = scores.cols() >= 2;
  if (two)
    plot_by_groups(doc, ax, scores.col(0), scores.col(1));
  else
    histogram_by_groups(doc, ax, scores.col(0));
  g.set(g.get(ax, "XLabel")(0), "String", "CV1");
  g.set(g.get(ax, "YLabel")(0), "String", two ? "CV2" : "Count");
}

}  // namespace velmora::app
