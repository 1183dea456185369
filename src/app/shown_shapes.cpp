// File > Save Shown Shapes: the configurations of the 3-D view, one a line
// in the layout of a landmark file, or as a table named by the legend.
#include "app/shown_shapes.hpp"

#include "app/actions.hpp"
#include "app/app_state.hpp"
#include "app/loaders.hpp"
#include "app/main_window.hpp"
#include "app/switchyard.hpp"
#include "io/result_files.hpp"
#include "io/result_tables.hpp"
#include "io/row_layout.hpp"
#include "platform/runtime/safe_file.hpp"
#include "shape/centroid_size.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

namespace {

constexpr std::string_view kShapeData = "ShownShape";
constexpr std::string_view kShapeName = "ShownShapeName";

}  // namespace

void mark_shown_shape(const std::vector<Handle>& lines, const shape::Config& config,
                      std::string_view name) {
  if (lines.empty()) return;
  auto& g = graphics();
  g.set_appdata(lines.front(), kShapeData, Value::matrix(config));
  g.set_appdata(lines.front(), kShapeName, Value(std::string(name)));
}

std::vector<ShownShape> shown_shapes() {
  auto& g = graphics();
  std::vector<ShownShape> out;
  const std::optional<Handle>& fig = state().figure3d;
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

void actions::save_shown_shapes(const Value&) {
  const std::vector<ShownShape> shapes = shown_shapes();
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
      state().full_precision ? io::NumberFormat::FullPrecision : io::NumberFormat::SixDigits;
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
