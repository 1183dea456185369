#include "report/tables.hpp"

#include "core/shown_text.hpp"

namespace velmora::report {

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

}  // namespace velmora::report
