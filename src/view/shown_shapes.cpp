// The shape displays of the 3-D view (a pair of shapes, a deformation) and
// File > Save Shown Shapes: the configurations the view shows, one a line in
// the layout of a landmark file, or as a table named by the legend.
#include "view/shown_shapes.hpp"

#include <algorithm>
#include <cmath>

#include "core/errors.hpp"
#include "io/result_files.hpp"
#include "io/result_tables.hpp"
#include "io/row_layout.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"
#include "plot/deformation.hpp"
#include "plot/primitives.hpp"
#include "shape/centroid_size.hpp"
#include "tps/grid.hpp"
#include "view/display_style.hpp"
#include "view/document.hpp"
#include "view/figure3d.hpp"
#include "view/group_plots.hpp"
#include "view/loaders.hpp"
#include "view/main_window.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

namespace {

constexpr std::string_view kShapeData = "ShownShape";
constexpr std::string_view kShapeName = "ShownShapeName";

}  // namespace

namespace {

// A display drawn into new axes takes the 3-D window's view, as the user
// left it, rather than the axes' plan view.
void show_in_view3d(Document& doc) {
  auto& g = graphics();
  g.set(g.current_axes(), "View",
        Value::row({doc.window.view3d.azimuth, doc.window.view3d.elevation}));
}

}  // namespace

void draw_shape_pair(Document& doc, const shape::Config& low, const shape::Config& high,
                     const std::string& type, const std::string& low_name,
                     const std::string& high_name) {
  const Eigen::MatrixXd wires = wire_list(doc);
  const bool wired = plot::wires_present(wires);
  show_in_view3d(doc);
  const std::vector<gfx::Handle> low_points = plot::showshape3D(low, "bo");
  assign_role(low_points, role::kLow, low_name);
  mark_shown_shape(low_points, low, low_name);
  // Both shapes carry the wireframe ("Symbols and wireframes"), or neither
  // ("Reference and target symbols"): a pair is drawn alike.
  if (wired && type == "b") assign_role(plot::wire3d(low, wires, "b-"), role::kLowWire, "");
  const std::vector<gfx::Handle> high_points = plot::showshape3D(high, "ro");
  assign_role(high_points, role::kHigh, high_name);
  mark_shown_shape(high_points, high, high_name);
  if (wired && type == "b") assign_role(plot::wire3d(high, wires, "r-"), role::kHighWire, "");
  style_figure3d(doc);
}

std::string signed_number(double v) {
  return (v < 0 ? "\u2212" : "+") + format_number(std::abs(v));
}

// The deformation display of `target` against the reference in the current
// axes: every part with its role and legend name, arrowheads on the
// displacement vectors, and the display settings applied.
void draw_deformation(Document& doc, const shape::Config& reference, const shape::Config& target,
                      const std::string& type, const std::string& change_name,
                      const std::string& reference_name) {
  const WindowState& s = doc.window;
  const Eigen::MatrixXd wires = wire_list(doc);
  if (type == "f") return draw_transformation_grid(doc, reference, target, change_name);
  show_in_view3d(doc);
  // Lollipops ("e"): the displacement vectors without their heads, from
  // each landmark of the reference to its target.
  const bool lollipops = type == "e";
  plot::DeformationLines lines = plot::plot_deformation(
      reference, shape::Stack(target), s.display.reference_symbol, s.display.target_symbol,
      lollipops ? "c" : type, wires, plot::wires_present(wires), plot::wires_present(wires), "r");
  assign_role(lines.reference, role::kMean, reference_name);
  assign_role(lines.reference_wires, role::kReferenceWire, "");
  assign_role(lines.target, role::kTarget, "Target: " + change_name);
  assign_role(lines.target_wires, role::kTargetWire, "");
  assign_role(lines.vectors, role::kVector, "Displacement: " + change_name);
  mark_shown_shape(lines.reference, reference, reference_name);
  // Vectors without target symbols show the target where they end.
  mark_shown_shape(lines.target.empty() ? lines.vectors : lines.target, target,
                   "Target: " + change_name);
  if (!lines.vectors.empty() && !lollipops) {
    // Heads in proportion to the shape, so that long vectors keep slim heads.
    const Eigen::RowVector3d extent =
        reference.colwise().maxCoeff() - reference.colwise().minCoeff();
    assign_role({plot::arrowheads3d(reference, target, "b-", 0.05 * extent.maxCoeff())},
                role::kArrowHead, "");
  }
  style_figure3d(doc);
}

void draw_transformation_grid(Document& doc, const shape::Config& reference,
                              const shape::Config& target, const std::string& change_name) {
  tps::TransformationGrid grid;
  try {
    grid = tps::transformation_grid(reference, target);
  } catch (const NumericError&) {
    refuse(
        "The transformation grid needs a mean shape of four landmarks or more that do not "
        "all lie in one plane; choose another display under Deformation.");
  }
  auto& g = graphics();
  const Handle ax = g.current_axes();
  g.hold(ax, true);
  // The view looks at the grid's plane square-on (a grid seen edge-on shows
  // nothing); the user may turn it from there.
  const Eigen::RowVector3d eye =
      grid.normal.z() < 0 ? Eigen::RowVector3d(-grid.normal) : grid.normal;
  constexpr double kDegrees = 180 / 3.14159265358979323846;
  View3d& view = doc.window.view3d;
  view.azimuth = std::atan2(eye.x(), -eye.y()) * kDegrees;
  view.elevation = std::asin(std::clamp(eye.z(), -1.0, 1.0)) * kDegrees;
  g.set(ax, "View", Value::row({view.azimuth, view.elevation}));
  // The grid first, so that the landmarks lie over it.
  std::vector<Handle> grid_lines;
  auto line = [&](Eigen::Index first, Eigen::Index count, Eigen::Index step) {
    Eigen::RowVectorXd x(count), y(count), z(count);
    for (Eigen::Index i = 0; i < count; ++i) {
      const auto p = grid.warped.row(first + i * step);
      x(i) = p(0), y(i) = p(1), z(i) = p(2);
    }
    grid_lines.push_back(g.create(gfx::Type::Line, ax,
                                  {{"XData", Value::matrix(x)},
                                   {"YData", Value::matrix(y)},
                                   {"ZData", Value::matrix(z)},
                                   {"Marker", "none"},
                                   {"LineStyle", "-"}}));
  };
  const Eigen::Index across = grid.columns + 1;
  for (Eigen::Index j = 0; j <= grid.rows; ++j) line(j * across, across, 1);
  for (Eigen::Index i = 0; i <= grid.columns; ++i) line(i, grid.rows + 1, across);
  assign_role(grid_lines, role::kGrid, "Grid: " + change_name);
  const Eigen::MatrixXd wires = wire_list(doc);
  plot::DeformationLines lines = plot::plot_deformation(
      reference, shape::Stack(target), doc.window.display.reference_symbol,
      doc.window.display.target_symbol, "d", wires, false, plot::wires_present(wires), "r");
  assign_role(lines.target, role::kTarget, "Target: " + change_name);
  assign_role(lines.target_wires, role::kTargetWire, "");
  mark_shown_shape(lines.target, target, "Target: " + change_name);
  g.hold(ax, false);
  style_figure3d(doc);
}

void mark_shown_shape(const std::vector<Handle>& lines, const shape::Config& config,
                      std::string_view name) {
  if (lines.empty()) return;
  auto& g = graphics();
  g.set_appdata(lines.front(), kShapeData, Value::matrix(config));
  g.set_appdata(lines.front(), kShapeName, Value(std::string(name)));
}

std::vector<ShownShape> shown_shapes(Document& doc) {
  auto& g = graphics();
  std::vector<ShownShape> out;
  const std::optional<Handle>& fig = doc.window.figure3d;
  if (!fig || !g.valid(*fig) || g.type(*fig) != gfx::Type::Figure) return out;
  for (Handle ax : g.children(*fig)) {
    if (g.type(ax) != gfx::Type::Axes) continue;
    for (Handle c : g.children(ax)) {
      if (g.type(c) != gfx::Type::Line || !g.has_appdata(c, kShapeData)) continue;
      out.push_back({g.appdata(c, kShapeName).text_or_empty(),
                     shape::Config(g.appdata(c, kShapeData).to_matrix("a shown shape"))});
    }
  }
  return out;
}

void draw_group_shapes(Document& doc, const std::vector<ShownShape>& shapes) {
  auto& g = graphics();
  g.clear_figure(g.current_figure());
  const Handle ax = g.current_axes();
  g.hold(ax, true);
  for (std::size_t c = 0; c < shapes.size(); ++c) {
    const shape::Config& mean = shapes[c].config;
    const std::string& name = shapes[c].name;
    const render::Rgb rgb = group_colour(c);
    const Value colour = Value::row({rgb.r, rgb.g, rgb.b});
    const std::vector<Handle> points = plot::showshape3D(shape::Config(mean), "o");
    mark_shown_shape(points, mean, name);
    for (std::size_t i = 0; i < points.size(); ++i) {
      g.set(points[i], "Color", colour);
      g.set(points[i], "MarkerFaceColor", colour);
      g.set(points[i], "MarkerSize", 7.0);
      g.set(points[i], "DisplayName", i ? std::string() : name);
    }
    if (doc.session.wires())
      for (Handle h : plot::wire3d(shape::Config(mean), wire_list(doc), "-")) {
        g.set(h, "Color", colour);
        g.set(h, "DisplayName", std::string());
      }
  }
  g.hold(ax, false);
  style_figure3d(doc);
}

namespace {

// The mean shape in the reference symbol, with the wireframe, on top of
// everything drawn before.
void draw_mean_on_top(Document& doc) {
  const WindowState& s = doc.window;
  const shape::Config& ref = doc.session.superimposition()->reference();
  if (doc.session.wires())
    assign_role(plot::wire3d(ref, *doc.session.wires(), "k-"), role::kReferenceWire, "");
  const tps::Semilandmarks& semi = doc.session.semilandmarks();
  if (semi.empty() || semi.fixed_count(ref.rows()) == 0) {
    const std::vector<Handle> points = plot::showshape3D(ref, s.display.reference_symbol);
    assign_role(points, role::kMean, "Mean shape");
    mark_shown_shape(points, ref, "Mean shape");
    return;
  }
  // The curves as lines through their sliders, then the fixed landmarks,
  // then the semilandmarks smaller.
  if (!semi.curves.empty()) {
    Eigen::MatrixXd wires(static_cast<Eigen::Index>(2 * semi.curves.size()), 3);
    Eigen::Index w = 0;
    for (const auto& c : semi.curves) {
      wires.row(w) << double(w + 1), double(c.before + 1), double(c.slider + 1);
      ++w;
      wires.row(w) << double(w + 1), double(c.slider + 1), double(c.after + 1);
      ++w;
    }
    assign_role(plot::wire3d(ref, wires, "-"), role::kCurve, "Curves");
  }
  std::vector<bool> sliding(static_cast<std::size_t>(ref.rows()), false);
  for (const auto& c : semi.curves) sliding[static_cast<std::size_t>(c.slider)] = true;
  for (Eigen::Index p : semi.surface) sliding[static_cast<std::size_t>(p)] = true;
  const Eigen::Index fixed = semi.fixed_count(ref.rows());
  shape::Config fixed_points(fixed, 3), semi_points(ref.rows() - fixed, 3);
  for (Eigen::Index l = 0, f = 0, m = 0; l < ref.rows(); ++l)
    (sliding[static_cast<std::size_t>(l)] ? semi_points.row(m++) : fixed_points.row(f++)) =
        ref.row(l);
  const std::vector<Handle> points = plot::showshape3D(fixed_points, s.display.reference_symbol);
  assign_role(points, role::kMean, "Mean shape: fixed landmarks");
  // Save Shown Shapes writes the whole mean, every landmark in order.
  mark_shown_shape(points, ref, "Mean shape");
  assign_role(plot::showshape3D(semi_points, s.display.reference_symbol), role::kSemilandmark,
              "Mean shape: semilandmarks");
}

}  // namespace

void draw_procrustes_fit(Document& doc) {
  auto& g = graphics();
  const shape::Stack& fitted = doc.session.superimposition()->fitted();
  // The figure shows this display alone: nothing of an earlier one stays,
  // in the plot or in its legend.
  g.clear_figure(g.current_figure());
  const std::vector<std::string>& names = doc.session.sample().names;
  for (Eigen::Index i = 0; i < fitted.n(); ++i) {
    const shape::Config specimen = fitted.slice(i);
    std::vector<Handle> drawn = plot::showshape3D(specimen, "bo");
    assign_role(drawn, role::kSpecimen, i == 0 ? "Specimens" : "");
    // Saved under its own name: the legend names them all at once.
    mark_shown_shape(drawn, specimen, names[static_cast<std::size_t>(i)]);
    g.set(drawn.front(), "UserData", Value(static_cast<double>(i)));
  }
  draw_mean_on_top(doc);
  style_figure3d(doc);
}

void draw_mean_shape(Document& doc) {
  auto& g = graphics();
  g.clear_figure(g.current_figure());
  // The wireframe goes first into the new axes: they keep every line and
  // show the 3-D view from the start.
  const Handle ax = g.current_axes();
  g.hold(ax, true);
  g.set(ax, "View", Value::row({doc.window.view3d.azimuth, doc.window.view3d.elevation}));
  draw_mean_on_top(doc);
  style_figure3d(doc);
}

}  // namespace velmora::app
