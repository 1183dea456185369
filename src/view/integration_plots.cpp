#include "view/integration_plots.hpp"

#include <string>
#include <vector>

#include "core/number_text.hpp"
#include "platform/graphics/graphics.hpp"
#include "view/document.hpp"
#include "view/figure3d.hpp"
#include "view/group_plots.hpp"
#include "view/main_window.hpp"
#include "view/plot_style.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

void plot_pls_scores(Document& doc, const Eigen::VectorXd& left, const Eigen::VectorXd& right,
                     const std::string& left_name, const std::string& right_name, double r_pls) {
  auto& g = graphics();
  const Handle ax = control("axes1");
  clear_main_plot();
  g.set(g.get(ax, "Title")(0), "String", "Two-block PLS, r-PLS = " + message_number(r_pls));
  if (!plot_by_groups(doc, ax, left, right))
    g.plot(ax, std::vector<double>(left.data(), left.data() + left.size()),
           std::vector<double>(right.data(), right.data() + right.size()), {}, "ko", false);
  g.set(g.get(ax, "XLabel")(0), "String", "PLS1 of " + left_name);
  g.set(g.get(ax, "YLabel")(0), "String", "PLS1 of " + right_name);
  style_pca_scatter(ax, nullptr, std::string());
  double marker_pt = 6;
  for (Handle c : g.children(ax))
    if (g.type(c) == gfx::Type::Line) marker_pt = g.get_number(c, "MarkerSize");
  label_specimens(ax, left, right, doc.session.sample().names, marker_pt,
                  doc.window.display.specimen_labels);
}

}  // namespace velmora::app
