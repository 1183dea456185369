// Display settings: line and symbol styling, grid, menus with check marks,
// labels, axes visibility and clearing of the 3D figure.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "app/actions.hpp"
#include "app/app_state.hpp"
#include "app/switchyard.hpp"
#include "platform/runtime/cformat.hpp"
#include "gui/axes_helpers.hpp"
#include "plot/primitives.hpp"

namespace velmora::app::actions {

using gfx::graphics;
using gfx::Handle;

namespace {

// Applies `style` to the current axes of the current figure, then to the
// current axes of the 3D figure.
void both_halves(void (*style)(Handle, double), double amount) {
  auto& g = graphics();
  style(g.current_axes(), amount);
  g.make_current(*state().figure3d);
  style(g.current_axes(), amount);
}

// A radio-style menu: entry tags with the argument each stands for.
template <typename Arg>
void check_menu(const std::vector<std::pair<const char*, Arg>>& entries, bool (*same)(const Value&, const Arg&),
                const Value& fpass) {
  auto& g = graphics();
  std::vector<Handle> handles;
  for (const auto& e : entries) handles.push_back(control(e.first));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!same(fpass, entries[i].second)) continue;
    for (std::size_t j = 0; j < entries.size(); ++j)
      g.set(handles[j], "Checked", i == j ? "on" : "off");
    return;
  }
}

bool same_number(const Value& v, const double& x) {
  return v.is_double() && v.numel() == 1 && v(0) == x;
}

bool same_text(const Value& v, const std::string& s) { return v.is_char() && v.to_string() == s; }

// The argument of a menu entry that stands for a plot style.
std::string style_argument(const Value& fpass, std::string_view action) {
  if (!fpass.is_char()) {
    refuse(std::string(action) + " takes a plot style such as \"ko\", not " +
           (fpass.empty() ? std::string("nothing") : "a number") + ".");
  }
  return fpass.to_string();
}

}  // namespace

void line_thickness_up(const Value&) { both_halves(plot::incrementlinethickness, 1); }
void line_thickness_down(const Value&) { both_halves(plot::incrementlinethickness, -1); }
void symbol_size_up(const Value&) { both_halves(plot::incrementsymbolsize, 1); }
void symbol_size_down(const Value&) { both_halves(plot::incrementsymbolsize, -1); }
void symbol_fill(const Value&) { both_halves(plot::setsymbolfill, 1); }
void symbol_empty(const Value&) { both_halves(plot::setsymbolfill, 0); }

void turn_grid_on(const Value&) { gui::grid(ValueList{}); }

void set_plot_density(const Value& fpass) {
  if (!fpass.is_double() || fpass.numel() != 1) refuse("SetPlotDensity takes a number such as 20.");
  check_menu<double>({{"Density10", 10}, {"Density20", 20}, {"Density30", 30}, {"Density50", 50}},
                     same_number, fpass);
  state().display.plot_density = fpass(0);
}

void arrow_heads(const Value&) {
  auto& g = graphics();
  g.set(control("ArrowHeads"), "Checked", "on");
  g.set(control("NoArrowHeads"), "Checked", "off");
  state().display.arrow_heads = true;
}

void no_arrow_heads(const Value&) {
  auto& g = graphics();
  g.set(control("ArrowHeads"), "Checked", "off");
  g.set(control("NoArrowHeads"), "Checked", "on");
  state().display.arrow_heads = false;
}

void set_reference_symbol(const Value& fpass) {
  const std::string style = style_argument(fpass, "SetReferenceSymbol");
  check_menu<std::string>(
      {{"RefSquare", "ks"}, {"RefDiamond", "kd"}, {"RefCircle", "ko"}, {"RefPlus", "k+"}},
      same_text, fpass);
  state().display.reference_symbol = style;
}

void set_line_format1(const Value& fpass) {
  const std::string style = style_argument(fpass, "SetLineFormat1");
  check_menu<std::string>({{"Line1Red", "r"}, {"Line1Black", "k"}, {"Line1Dotted", "k:"}},
                          same_text, fpass);
  state().display.line_format = style;
  echo("vlineformat1", fpass);
}

void set_line_width(const Value& fpass) {
  if (!fpass.is_double() || fpass.numel() != 1 || !std::isfinite(fpass(0))) {
    refuse("The line width must be a number in tenths of a point, such as 15 for 1.5 points.");
  }
  auto& g = graphics();
  const std::vector<std::pair<const char*, double>> entries = {
      {"Weight10", 10}, {"Weight15", 15}, {"Weight20", 20}, {"Weigth25", 25}, {"Weight5", 5}};
  for (const auto& [tag, width] : entries)
    g.set(control(tag), "Checked", fpass(0) != width ? "off" : "on");
  state().display.line_width = fpass(0) / 10;
  plot::setlinethickness(g.current_axes(), fpass(0) / 10);
}

void toggle_dots(const Value&) {
  auto& g = graphics();
  Handle dots = control("DotCheck");
  std::string checked = g.get_text(dots, "Checked");
  g.set(dots, "Checked", checked.size() > 1 && checked[1] == 'n' ? "Off" : "On");
}

void label_axis(const Value&) {
  gui::axis_label(gui::LabelAxis::X, Value("x"));
  gui::axis_label(gui::LabelAxis::Y, Value("y"));
  gui::axis_label(gui::LabelAxis::Z, Value("z"));
}

void label_landmarks(const Value&) {
  auto& g = graphics();
  const shape::Config& ref = state().sample->reference;
  const double offset = 0.01;
  Handle ax = g.current_axes();
  for (Eigen::Index i = 0; i < ref.rows(); ++i) {
    g.text(ax, ref(i, 0) + offset, ref(i, 1) + offset, ref(i, 2) + offset,
           Value(cformat("%i", {static_cast<double>(i + 1)})));
  }
}

void d_axis_on(const Value&) { graphics().axis(graphics().current_axes(), "on"); }
void d_axis_off(const Value&) { graphics().axis(graphics().current_axes(), "off"); }

void d_figure_clear(const Value&) {
  auto& g = graphics();
  Handle fig = g.current_figure();
  g.clear_figure(fig);
  echo("ans", Value(fig));
}

}  // namespace velmora::app::actions
