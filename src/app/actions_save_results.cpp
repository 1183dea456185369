// The result files: scores, reference, regression vector, principal
// component scores, specimen names and landmarks, each as text or, for a
// name ending in .csv, as a table.
#include <optional>
#include <span>

#include "app/actions.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/shown_text.hpp"
#include "io/result_files.hpp"
#include "io/result_tables.hpp"
#include "io/row_layout.hpp"
#include "io/sample_text.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/safe_file.hpp"
#include "report/report_text.hpp"
#include "shape/centroid_size.hpp"
#include "view/group_plots.hpp"
#include "view/loaders.hpp"
#include "view/main_window.hpp"
#include "view/shown_shapes.hpp"

namespace velmora::app::actions {
namespace {

io::NumberFormat number_format(Workspace& ws) {
  return ws.window.full_precision ? io::NumberFormat::FullPrecision : io::NumberFormat::SixDigits;
}

// Asks for the file, then writes the text `write_pieces` makes safely; a
// failed write is shown with the path and the reason.  The path written, or
// nullopt when the user cancelled.
// A name ending in .csv gets the text `table` makes instead, when given.
std::optional<std::string> save_text(std::string_view title, const PieceWriter& write_pieces,
                                     const std::function<std::string()>& table = {}) {
  auto pick = pick_file_to_save("*.*", title);
  if (!pick) return std::nullopt;
  try {
    if (table && io::names_a_table(pick->name))
      write_file_safely(pick->path(), table());
    else
      write_file_safely(pick->path(), write_pieces);
  } catch (const std::exception& e) {
    refuse(e.what(), "File not saved");
  }
  return pick->path();
}

std::optional<std::string> save_text(std::string_view title, const std::string& content,
                                     const std::function<std::string()>& table = {}) {
  return save_text(
      title, [&content](const auto& put) { put(content); }, table);
}

// "80 × 30": the rows and columns of a file written.
std::string size_text(Eigen::Index rows, Eigen::Index cols) {
  return std::to_string(rows) + " × " + std::to_string(cols);
}

}  // namespace

void save_warp(Workspace& ws, const Value&) {
  const analysis::Session& a = ws.session;
  const std::shared_ptr<const Eigen::MatrixXd> scores = a.scores();
  echo("ans",
       Value::row({static_cast<double>(scores->rows()), static_cast<double>(scores->cols())}));
  const Eigen::VectorXd cs = a.sample().centroid_sizes();
  const std::span<const double> sizes(cs.data(), static_cast<std::size_t>(cs.size()));
  // A large score file is written while it is being formatted.
  const auto path = save_text(
      "File Name for Partial Warp Scores",
      [&](const auto& put) { io::put_score_file(*scores, sizes, number_format(ws), put); },
      [&] { return io::score_table_text(a.sample().names, *scores, sizes, number_format(ws)); });
  if (!path) return;
  ws.window.scores_unsaved = false;
  // The scores and the centroid size column.
  show_status("Saved scores: " + *path + " (" + size_text(scores->rows(), scores->cols() + 1) +
              ")");
}

void save_ref(Workspace& ws, const Value&) {
  const shape::Config& ref = ws.session.superimposition()->reference();
  echo("m", Value(static_cast<double>(ref.rows())));
  echo("n", Value(static_cast<double>(ref.cols())));
  const std::vector<double> row =
      io::config_to_row({ref.data(), static_cast<std::size_t>(ref.size())},
                        static_cast<std::size_t>(ref.rows()), 1.0);
  const auto path = save_text("File Name for Reference", io::row_file_text(row, number_format(ws)),
                              [&] { return io::reference_table_text(ref, number_format(ws)); });
  if (path) {
    show_status("Saved reference: " + *path + " (" + std::to_string(ref.rows()) + " landmarks)");
  }
}

void save_vector(Workspace& ws, const Value&) {
  const Eigen::RowVectorXd& row = ws.session.regression()->slopes;
  const std::span<const double> slopes(row.data(), static_cast<std::size_t>(row.size()));
  const auto path =
      save_text("File Name for Regression Vector", io::vector_file_text(slopes, number_format(ws)),
                [&] { return io::vector_table_text(slopes, number_format(ws)); });
  if (!path) return;
  ws.window.regression_unsaved = false;
  show_status("Saved regression vector: " + *path + " (" + std::to_string(slopes.size()) +
              " slopes)");
}

void save_pca(Workspace& ws, const Value&) {
  const analysis::PcaReport report = ws.session.pca({ws.session.pca_correction()});
  const shape::ShapePca& pca = *report.pca;
  const std::span<const double> variances(pca.variances.data(),
                                          static_cast<std::size_t>(pca.variances.size()));
  // One line of component scores a specimen, then one line of the variances.
  std::string text = io::format_g_lines(pca.scores, number_format(ws));
  io::append_g_line(text, variances, number_format(ws));
  const auto path = save_text("File Name for Principal Component Scores", text, [&] {
    return io::pca_table_text(ws.session.sample().names, pca.scores, variances, number_format(ws));
  });
  if (path) {
    show_status(
        "Saved principal component scores" +
        (report.corrected.empty() ? std::string() : " of " + pca_shapes_text(report.corrected)) +
        ": " + *path + " (" + size_text(pca.scores.rows(), pca.scores.cols()) +
        ", then the variances)");
  }
}

// --- the loaded sample as files ----------------------------------------------

void save_names(Workspace& ws, const Value&) {
  const analysis::Session& a = ws.session;
  const analysis::Sample& sample = a.sample();
  const std::shared_ptr<const Eigen::MatrixXd> scores = a.scores();
  const bool with_scores = scores && scores->rows() == sample.specimens();
  // The names beside what was computed for each specimen, so that other
  // programs can match the rows of the score file to specimens.
  std::vector<std::string> headers;
  Eigen::MatrixXd values;
  if (with_scores) {
    values.resize(sample.specimens(), scores->cols() + 1);
    values << *scores, sample.centroid_sizes();
    headers = io::score_names(scores->cols());
  } else {
    values = sample.centroid_sizes();
  }
  headers.push_back("CS");
  const auto path =
      save_text("File Name for Specimen Names",
                io::specimen_names_text(sample.names, values, headers, number_format(ws)));
  if (!path) return;
  if (with_scores) ws.window.scores_unsaved = false;
  show_status("Saved specimen names: " + *path + " (" + std::to_string(sample.specimens()) +
              " specimens, " + std::to_string(values.cols()) + " values each)");
}

void save_landmarks(Workspace& ws, const Value&) {
  const analysis::Sample& sample = ws.session.sample();
  io::ImportedSample out;
  out.rows = sample.rows;
  out.names = sample.names;
  // A .csv name gets the table that spreadsheets and R read; any other the
  // native layout, one specimen a line.
  const auto path = save_text(
      "File Name for Landmarks", [&](const auto& put) { put(io::native_sample_text(out)); },
      [&] { return io::csv_sample_text(out); });
  if (!path) return;
  show_status("Saved landmarks: " + *path + " (" + std::to_string(sample.specimens()) +
              " specimens × " + std::to_string(sample.landmarks()) + " landmarks)");
}

void save_procrustes(Workspace& ws, const Value&) {
  const analysis::Sample& sample = ws.session.sample();
  const auto fit = ws.session.superimposition();
  const shape::Stack& fitted = fit->fitted();
  const Eigen::Index k = fitted.k(), n = fitted.n();
  // One specimen a line at unit centroid size, in the native layout, then
  // the specimen's raw centroid size.
  Eigen::MatrixXd rows(n, 3 * k + 1);
  const shape::Stack raw = sample.raw();
  for (Eigen::Index i = 0; i < n; ++i) {
    const shape::Config c = fitted.slice(i);
    const std::vector<double> row =
        io::config_to_row({c.data(), static_cast<std::size_t>(c.size())},
                          static_cast<std::size_t>(k), shape::centroid_size(raw.slice(i)));
    rows.row(i) =
        Eigen::Map<const Eigen::RowVectorXd>(row.data(), static_cast<Eigen::Index>(row.size()));
  }
  const auto path = save_text(
      "File Name for Procrustes Coordinates",
      [&](const auto& put) { put(io::format_g_lines(rows, number_format(ws))); },
      [&] { return io::shapes_table_text(sample.names, rows, number_format(ws)); });
  if (!path) return;
  show_status("Saved Procrustes coordinates: " + *path + " (" + std::to_string(n) +
              " specimens × " + std::to_string(k) + " landmarks" +
              (fit->sliding().empty() ? std::string() : "; " + fit->sliding()) + ")");
}

void save_shown_shapes(Workspace& ws, const Value&) {
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

void save_table(Workspace& ws, const Value&) {
  const std::optional<LastTable>& table = ws.window.last_table;
  if (!table)
    refuse(
        "No table has been reported yet: Save Table writes the table of the last Procrustes "
        "ANOVA, Pairwise Group Comparisons or Canonical Variates.",
        "Table not saved");
  auto pick = pick_file_to_save("*.csv", "Save Table");
  if (!pick) return;
  const report::TableRows rows = table->rows(ws.window.full_precision);
  try {
    write_file_safely(pick->path(), io::csv_table_text(rows));
  } catch (const std::exception& e) {
    refuse(e.what(), "Table not saved");
  }
  const std::size_t n = rows.size() - 1;
  const std::string what = "Saved table: " + shown_name(pick->path()) + " (" + table->title + ", " +
                           std::to_string(n) + (n == 1 ? " row)" : " rows)");
  console().line(what);
  show_status(what);
}

}  // namespace velmora::app::actions
