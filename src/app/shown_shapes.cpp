// The shape displays of the 3-D view (a pair of shapes, a deformation) and
// File > Save Shown Shapes: the configurations the view shows, one a line in
// the layout of a landmark file, or as a table named by the legend.
#include "app/shown_shapes.hpp"

#include "app/actions.hpp"
#include "app/display_style.hpp"
#include "app/loaders.hpp"
#include "app/main_window.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "io/result_files.hpp"
#include "io/result_tables.hpp"
#include "io/row_layout.hpp"
#include "platform/runtime/safe_file.hpp"
#include "plot/deformation.hpp"
#include "plot/primitives.hpp"
#include "shape/centroid_size.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

namespace {

constexpr std::string_view kShapeData = "ShownShape";
constexpr std::string_view kShapeName = "ShownShapeName";

}  // namespace

void draw_shape_pair(Workspace& ws, const shape::Config& low, const shape::Config& high,
                     const std::string& type, const std::string& low_name,
                     const std::string& high_name) {
  const Eigen::MatrixXd wires = wire_list(ws);
  const bool wired = plot::wires_present(wires);
  const std::vector<gfx::Handle> low_points = plot::showshape3D(low, "bo");
  assign_role(low_points, role::kLow, low_name);
  mark_shown_shape(low_points, low, low_name);
  if (wired) assign_role(plot::wire3d(low, wires, "b-"), role::kLowWire, "");
  const std::vector<gfx::Handle> high_points = plot::showshape3D(high, "ro");
  assign_role(high_points, role::kHigh, high_name);
  mark_shown_shape(high_points, high, high_name);
  if (wired && type == "b") assign_role(plot::wire3d(high, wires, "r-"), role::kHighWire, "");
  style_figure3d(ws);
}

std::string signed_number(double v) {
  return (v < 0 ? "\u2212" : "+") + format_number(std::abs(v));
}

// The deformation display of `target` against the reference in the current
// axes: every part with its role and legend name, arrowheads on the
// displacement vectors, and the display settings applied.
void draw_deformation(Workspace& ws, const shape::Config& reference, const shape::Config& target,
                      const std::string& type, const std::string& change_name,
                      const std::string& reference_name) {
  const WindowState& s = ws.window;
  const Eigen::MatrixXd wires = wire_list(ws);
  plot::DeformationLines lines = plot::plot_deformation(
      reference, shape::Stack(target), s.display.reference_symbol, s.display.target_symbol, type,
      wires, plot::wires_present(wires), plot::wires_present(wires), "r");
  assign_role(lines.reference, role::kMean, reference_name);
  assign_role(lines.reference_wires, role::kReferenceWire, "");
  assign_role(lines.target, role::kTarget, "Target: " + change_name);
  assign_role(lines.target_wires, role::kTargetWire, "");
  assign_role(lines.vectors, role::kVector, "Displacement: " + change_name);
  mark_shown_shape(lines.reference, reference, reference_name);
  // Vectors without target symbols show the target where they end.
  mark_shown_shape(lines.target.empty() ? lines.vectors : lines.target, target,
                   "Target: " + change_name);
  if (!lines.vectors.empty()) {
    // Heads in proportion to the shape, so that long vectors keep slim heads.
    const Eigen::RowVector3d extent =
        reference.colwise().maxCoeff() - reference.colwise().minCoeff();
    assign_role({plot::arrowheads3d(reference, target, "b-", 0.05 * extent.maxCoeff())},
                role::kArrowHead, "");
  }
  style_figure3d(ws);
}

void mark_shown_shape(const std::vector<Handle>& lines, const shape::Config& config,
                      std::string_view name) {
  if (lines.empty()) return;
  auto& g = graphics();
  g.set_appdata(lines.front(), kShapeData, Value::matrix(config));
  g.set_appdata(lines.front(), kShapeName, Value(std::string(name)));
}

std::vector<ShownShape> shown_shapes(Workspace& ws) {
  auto& g = graphics();
  std::vector<ShownShape> out;
  const std::optional<Handle>& fig = ws.window.figure3d;
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

void actions::save_shown_shapes(Workspace& ws, const Value&) {
  const std::vector<ShownShape> shapes = shown_shapes(ws);
  if (shapes.empty())
    refuse(
        "The 3-D view shows no landmark configuration: draw one first (Show Regression, Show "
        "PCA, Show Mean Shape …).",
        "Save Shown Shapes");
  const Eigen::Index k = shapes.front().config.rows();
  Eigen::MatrixXd rows(static_cast<Eigen::Index>(shapes.size()), 3 * k + 1);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    const shape::Config& c = shapes[i].config;
    if (c.rows() != k)
      refuse("The 3-D view shows configurations of " + std::to_string(k) + " and " +
                 std::to_string(c.rows()) + " landmarks: they cannot share one file.",
             "Save Shown Shapes");
    const std::vector<double> row =
        io::config_to_row({c.data(), static_cast<std::size_t>(c.size())},
                          static_cast<std::size_t>(k), shape::centroid_size(c));
    rows.row(static_cast<Eigen::Index>(i)) =
        Eigen::Map<const Eigen::RowVectorXd>(row.data(), static_cast<Eigen::Index>(row.size()));
    names.push_back(shapes[i].name);
  }
  auto pick = pick_file_to_save("*.*", "Save Shown Shapes");
  if (!pick) return;
  const io::NumberFormat format =
      ws.window.full_precision ? io::NumberFormat::FullPrecision : io::NumberFormat::SixDigits;
  const bool table = io::names_a_table(pick->name);
  try {
    write_file_safely(pick->path(), table ? io::shapes_table_text(names, rows, format)
                                          : io::format_g_lines(rows, format));
  } catch (const std::exception& e) {
    refuse(e.what(), "File not saved");
  }
  show_status("Saved the shown shapes: " + pick->path() + " (" + std::to_string(shapes.size()) +
              (shapes.size() == 1 ? " configuration" : " configurations") + " of " +
              std::to_string(k) + " landmarks)");
}

}  // namespace velmora::app
