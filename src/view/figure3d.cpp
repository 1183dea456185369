#include "view/figure3d.hpp"

#include <algorithm>
#include <optional>

#include "plot/primitives.hpp"
#include "view/display_style.hpp"
#include "view/document.hpp"
#include "view/main_layout.hpp"
#include "view/shown_shapes.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

Handle new_figure3d(Document& doc) {
  auto screen = graphics().backend().screen_size_px();
  const double w = doc.window.view3d.width, h = doc.window.view3d.height;
  Handle f =
      graphics().new_figure({{"Name", "Velmora 3D display"},
                             {"Color", Value::row({1, 1, 1})},
                             {"Position", Value::row({std::max(0.0, screen[0] - w - 40),
                                                      std::max(0.0, (screen[1] - h) / 2), w, h})}});
  // Beside the main window where the screen allows, never over its controls.
  const std::optional<Handle> main = doc.window.main_window;
  if (main && graphics().valid(*main) && graphics().type(*main) == gfx::Type::Figure) {
    Value outer = graphics().get(f, "OuterPosition");
    gui::ScreenRect r = beside_main_window(*main, {outer(2), outer(3)});
    graphics().set(f, "OuterPosition", Value::row({r[0], r[1], r[2], r[3]}));
    // Where it covers the main window it is shown in a tab of it instead,
    // unless the user chose otherwise.
    const Value m = graphics().get(*main, "OuterPosition");
    if (!doc.window.dock3d)
      doc.window.dock3d =
          r[0] < m(0) + m(2) && m(0) < r[0] + r[2] && r[1] < m(1) + m(3) && m(1) < r[1] + r[3];
    if (*doc.window.dock3d) graphics().backend().dock_figure(f, *main);
    // The window may have been narrowed to fit beside the main window, or
    // fill its tab: that is now the 3D window's size, which later redraws
    // keep.
    const auto& px = graphics().object(f).pos_px;
    doc.window.view3d.width = px[2];
    doc.window.view3d.height = px[3];
  }
  doc.window.figure3d = f;
  return f;
}

void draw_reference(Document& doc) {
  const analysis::Session& a = doc.session;
  const shape::Config& ref = a.superimposition()->reference();
  const std::vector<Handle> points = plot::showshape3D(ref, "gp");
  assign_role(points, role::kReference, "Reference (consensus)");
  mark_shown_shape(points, ref, "Reference (consensus)");
  if (a.wires()) assign_role(plot::wire3d(ref, *a.wires(), "k-"), role::kReferenceWire, "");
  style_figure3d(doc);
}

Handle make_figure3d_current(Document& doc) {
  const Handle f = figure3d(doc);
  graphics().make_current(f);
  return f;
}

void begin_figure3d_display(Document& doc) {
  auto& g = graphics();
  g.make_current(figure3d(doc));
  g.clear_figure(g.current_figure());
}

void redraw_reference(Document& doc) {
  auto& g = graphics();
  g.make_current(figure3d(doc));
  g.clear_axes(g.current_axes());
  draw_reference(doc);
}

void show_new_reference(Document& doc) {
  auto& g = graphics();
  if (figure3d_open(doc)) {
    g.clear_figure(*doc.window.figure3d);
    g.make_current(*doc.window.figure3d);
  } else {
    g.make_current(new_figure3d(doc));
  }
  draw_reference(doc);
}

Value redraw_reference_in_current_axes(Document& doc) {
  auto& g = graphics();
  const Handle ax = g.current_axes();
  g.clear_axes(ax);
  draw_reference(doc);
  return Value(ax);
}

Eigen::MatrixXd wire_list(const Document& doc) {
  const auto& wires = doc.session.wires();
  return wires ? *wires : Eigen::MatrixXd();
}

bool figure3d_open(const Document& doc) {
  auto& g = graphics();
  const std::optional<Handle>& f = doc.window.figure3d;
  return f && g.valid(*f) && g.type(*f) == gfx::Type::Figure;
}

Handle figure3d(Document& doc) {
  auto& g = graphics();
  if (figure3d_open(doc)) return *doc.window.figure3d;
  // The user closed the 3D window: open a new one showing the reference.
  Handle f = new_figure3d(doc);
  g.make_current(f);
  draw_reference(doc);
  return f;
}

void make_main_current(const Document& doc) {
  auto& g = graphics();
  const std::optional<Handle>& h = doc.window.main_window;
  if (h && g.valid(*h)) g.make_current(*h);
}

Handle control(std::string_view tag) {
  return graphics().find_tag(tag);
}

}  // namespace velmora::app
