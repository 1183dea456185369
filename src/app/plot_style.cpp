// How the main window's plots look besides their data.
#include "app/plot_style.hpp"

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

void style_value_plot(gfx::Handle ax) {
  auto& g = gfx::graphics();
  g.axis(ax, "normal");
  g.set_appdata(ax, "ColorBar", Value());
}

}  // namespace velmora::app
