// How the main window's plots look besides their data.
#include "view/plot_style.hpp"

namespace velmora::app {

void style_pca_scatter(gfx::Handle ax, const Eigen::VectorXd* x, const std::string& x_name) {
  auto& g = gfx::graphics();
  g.axis(ax, "equal");
  if (x && x->size() > 1 && x->maxCoeff() > x->minCoeff()) {
    g.set_appdata(ax, "ColorBar", Value::row({x->minCoeff(), x->maxCoeff()}));
    g.set_appdata(ax, "ColorBarLabel", Value(x_name.empty() ? std::string("X") : x_name));
  } else {
    g.set_appdata(ax, "ColorBar", Value());
  }
}

void label_specimens(gfx::Handle ax, const Eigen::VectorXd& x, const Eigen::VectorXd& y,
                     const std::vector<std::string>& names, double marker_pt, bool shown) {
  auto& g = gfx::graphics();
  for (Eigen::Index i = 0; i < x.size() && i < y.size(); ++i) {
    const auto at = static_cast<std::size_t>(i);
    const std::string name = at < names.size() ? names[at] : std::to_string(i + 1);
    const gfx::Handle t = g.text(ax, x(i), y(i), 0, Value(name));
    g.set(t, {{"Tag", std::string(kSpecimenLabelTag)},
              {"HorizontalAlignment", "left"},
              {"VerticalAlignment", "bottom"},
              {"FontSize", 8.0},
              {"Color", Value::row({0.25, 0.25, 0.25})},
              {"Margin", 0.5 * marker_pt + 1},
              {"Visible", shown ? "on" : "off"}});
  }
}

bool show_specimen_labels(gfx::Handle ax, bool shown) {
  auto& g = gfx::graphics();
  bool any = false;
  for (gfx::Handle c : g.children(ax)) {
    if (g.type(c) != gfx::Type::Text || g.get_text(c, "Tag") != kSpecimenLabelTag) continue;
    g.set(c, "Visible", shown ? "on" : "off");
    any = true;
  }
  return any;
}

void style_value_plot(gfx::Handle ax) {
  auto& g = gfx::graphics();
  g.axis(ax, "normal");
  g.set_appdata(ax, "ColorBar", Value());
}

}  // namespace velmora::app
