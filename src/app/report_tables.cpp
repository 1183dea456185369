// The tables of the group reports as rows of printed cells, and Save Table,
// which writes the last of them as CSV.
#include "app/report_tables.hpp"

#include "app/actions.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/file_bytes.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "io/result_tables.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/safe_file.hpp"
#include "view/loaders.hpp"
#include "view/main_window.hpp"

namespace velmora::app {

TableRows pairwise_table(const analysis::PairwiseReport& r, bool full) {
  TableRows rows;
  if (r.slopes)
    rows.push_back(
        {"GROUPS", "distance", "Pr(>d)", "angle", "Pr(>angle)", "length", "Pr(>length)"});
  else
    rows.push_back({"GROUPS", "distance", "Pr(>d)"});
  for (const analysis::GroupPair& p : r.pairs) {
    std::vector<std::string> row = {shown_text(p.first) + ":" + shown_text(p.second),
                                    table_cell(p.distance, full), table_cell(p.distance_p, full)};
    if (r.slopes) {
      row.insert(row.end(), {table_cell(p.angle, full), table_cell(p.angle_p, full),
                             table_cell(p.length_difference, full), table_cell(p.length_p, full)});
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

TableRows cva_distance_table(const stats::CanonicalVariates& cva, bool full) {
  const auto g = static_cast<Eigen::Index>(cva.levels.size());
  TableRows rows = {{"GROUPS", "Mahalanobis", "Pr(>D)", "Procrustes", "Pr(>d)"}};
  for (Eigen::Index i = 0; i < g; ++i)
    for (Eigen::Index j = i + 1; j < g; ++j)
      rows.push_back(
          {shown_text(cva.levels[static_cast<std::size_t>(i)]) + ":" +
               shown_text(cva.levels[static_cast<std::size_t>(j)]),
           table_cell(cva.mahalanobis(i, j), full), table_cell(cva.mahalanobis_p(i, j), full),
           table_cell(cva.procrustes(i, j), full), table_cell(cva.procrustes_p(i, j), full)});
  return rows;
}

TableRows cva_classification_table(const stats::CanonicalVariates& cva) {
  const auto g = static_cast<Eigen::Index>(cva.levels.size());
  TableRows table = {{""}};
  for (const std::string& l : cva.levels) table[0].push_back(shown_text(l));
  for (Eigen::Index i = 0; i < g; ++i) {
    table.push_back({shown_text(cva.levels[static_cast<std::size_t>(i)])});
    for (Eigen::Index j = 0; j < g; ++j)
      table.back().push_back(std::to_string(cva.classification(i, j)));
  }
  return table;
}

void actions::save_table(Workspace& ws, const Value&) {
  const std::optional<LastTable>& table = ws.window.last_table;
  if (!table)
    refuse(
        "No table has been reported yet: Save Table writes the table of the last Procrustes "
        "ANOVA, Pairwise Group Comparisons or Canonical Variates.",
        "Table not saved");
  auto pick = pick_file_to_save("*.csv", "Save Table");
  if (!pick) return;
  const TableRows rows = table->rows(ws.window.full_precision);
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

}  // namespace velmora::app
