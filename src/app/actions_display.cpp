// Display settings: each action changes the settings of the 3D figure
// (line width, symbols, grid, axes, labels, colours, legend) and shows the
// change at once; the menu check marks follow after every action.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "app/actions.hpp"
#include "app/script_recorder.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/shown_text.hpp"
#include "view/display_style.hpp"
#include "view/figure3d.hpp"
#include "view/places.hpp"
#include "view/plot_style.hpp"
#include "view/view3d.hpp"

namespace velmora::app::actions {

namespace {

// A menu choice: the setting changes and the 3D figure shows it at once.
template <typename Change>
void choose(Workspace& ws, Change change) {
  change(ws.window.display);
  style_figure3d(ws);
}

// The argument of a menu entry that stands for a plot style.
std::string style_argument(const Value& fpass, std::string_view action) {
  if (!fpass.is_char()) {
    refuse(std::string(action) + " takes a plot style such as \"ko\", not " +
           (fpass.empty() ? std::string("nothing") : "a number") + ".");
  }
  return fpass.to_string();
}

// A style that the 3D figure could not draw is refused before it is kept.
void check_style(const std::string& style, std::string_view action) {
  if (!check_plot_style(style).valid) {
    refuse(std::string(action) + ": \"" + shown_text(style) +
           "\" is not a plot style; use a colour letter, a marker and a line style, such as "
           "\"ko\" or \"k-\".");
  }
}

constexpr double kLineStep = 1;    // points, Thicker and Thinner Lines
constexpr double kSymbolStep = 1;  // points, Larger and Smaller Symbols
// How far Smaller Symbols may go below the chosen sizes, and Larger above.
constexpr double kSmallestChange = -8, kLargestChange = 30;

}  // namespace

void line_thickness_up(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) { d.line_width += kLineStep; });
}

void line_thickness_down(Workspace& ws, const Value&) {
  // At the thinnest width the menu item is greyed out; a script that asks
  // all the same leaves the width where it is.
  choose(ws, [](DisplaySettings& d) {
    d.line_width = std::max(kThinnestLine, d.line_width - kLineStep);
  });
}

void symbol_size_up(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) {
    d.symbol_size_change = std::min(kLargestChange, d.symbol_size_change + kSymbolStep);
  });
}

void symbol_size_down(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) {
    d.symbol_size_change = std::max(kSmallestChange, d.symbol_size_change - kSymbolStep);
  });
}

void symbol_fill(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) { d.filled_symbols = true; });
}
void symbol_empty(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) { d.filled_symbols = false; });
}
void turn_grid_on(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) { d.grid = !d.grid; });
}

void set_plot_density(Workspace& ws, const Value& fpass) {
  if (!fpass.is_double() || fpass.numel() != 1) refuse("SetPlotDensity takes a number such as 20.");
  ws.window.display.plot_density = fpass(0);
}

void arrow_heads(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) { d.arrow_heads = true; });
}
void no_arrow_heads(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) { d.arrow_heads = false; });
}

void set_reference_symbol(Workspace& ws, const Value& fpass) {
  const std::string style = style_argument(fpass, "SetReferenceSymbol");
  check_style(style, "SetReferenceSymbol");
  if (!check_plot_style(style).marker) {
    refuse("SetReferenceSymbol: \"" + shown_text(style) +
           "\" has no symbol; use a colour letter and a marker, such as \"ks\".");
  }
  choose(ws, [&](DisplaySettings& d) { d.reference_symbol = style; });
}

void set_line_format1(Workspace& ws, const Value& fpass) {
  const std::string style = style_argument(fpass, "SetLineFormat1");
  check_style(style, "SetLineFormat1");
  choose(ws, [&](DisplaySettings& d) { d.line_format = style; });
  echo("vlineformat1", fpass);
}

void set_line_width(Workspace& ws, const Value& fpass) {
  if (!fpass.is_double() || fpass.numel() != 1 || !std::isfinite(fpass(0)) ||
      fpass(0) / 10 < kThinnestLine) {
    refuse(
        "The line width must be a number in tenths of a point from 5 (0.5 points) up, such "
        "as 15 for 1.5 points.");
  }
  choose(ws, [&](DisplaySettings& d) { d.line_width = fpass(0) / 10; });
}

void toggle_dots(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) { d.dash_dot_target = !d.dash_dot_target; });
}

void label_axis(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) { d.axis_labels = !d.axis_labels; });
}

void label_landmarks(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) { d.landmark_numbers = !d.landmark_numbers; });
}

void toggle_legend(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) { d.legend = !d.legend; });
}

void colour_by_x(Workspace& ws, const Value&) {
  const WindowState& s = ws.window;
  if (!s.display.colour_by_x && !ws.session.x()) {
    refuse(
        "Colouring the specimens by X needs the independent variable: load it first (Load X "
        "List), or use centroid size as X (Use CS).");
  }
  choose(ws, [](DisplaySettings& d) { d.colour_by_x = !d.colour_by_x; });
}

// "on" or "off"; without an argument (the menu entry) the other of the two,
// recorded as the one chosen so that a replay does not depend on the start.
void set_specimen_labels(Workspace& ws, const Value& fpass) {
  bool& on = ws.window.display.specimen_labels;
  const std::string word = fpass.is_char() ? fpass.to_string() : "";
  if (!fpass.empty() && word != "on" && word != "off") refuse("SetSpecimenLabels takes on or off.");
  on = fpass.empty() ? !on : word == "on";
  ws.recorder.record_argument(on ? "on" : "off");
  show_specimen_labels(control("axes1"), on);
}

// "on": the 3-D window in a tab of the main window, "off": a window of its
// own; without an argument the other of the two, recorded as chosen.
void dock_view(Workspace& ws, const Value& fpass) {
  WindowState& s = ws.window;
  const std::string word = fpass.is_char() ? fpass.to_string() : "";
  if (!fpass.empty() && word != "on" && word != "off") refuse("DockView takes on or off.");
  s.dock3d = fpass.empty() ? !s.dock3d.value_or(false) : word == "on";
  ws.recorder.record_argument(*s.dock3d ? "on" : "off");
  apply_dock_choice(ws);
}

void d_axis_on(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) { d.axes_shown = true; });
}
void d_axis_off(Workspace& ws, const Value&) {
  choose(ws, [](DisplaySettings& d) { d.axes_shown = false; });
}

void d_figure_clear(Workspace&, const Value&) {
  echo("ans", clear_current_figure());
}

}  // namespace velmora::app::actions
