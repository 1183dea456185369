#include "io/specimen_table.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "core/errors.hpp"
#include "io/import_text.hpp"
#include "io/text_matrix.hpp"

namespace velmora::io {

namespace {

using namespace import_text;

/// The most names listed in one message; the rest are counted.
constexpr std::size_t kListed = 10;

struct Cell {
  std::string text;
  std::size_t line = 0, column = 0;
};

bool is_missing_value(std::string_view t) {
  return t.empty() || t == "NA" || t == "na" || t == "N/A" || t == "?";
}

bool is_name_header(std::string_view h) {
  const std::string l = lower_ascii(trim(h));
  return l == "name" || l == "names" || l == "specimen" || l == "specimens" || l == "id";
}

std::string listed(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size() && i < kListed; ++i) out += (i ? ", " : "") + items[i];
  if (items.size() > kListed) out += " and " + std::to_string(items.size() - kListed) + " more";
  return out;
}

std::string column_text(std::size_t c, const std::string& header) {
  return "column " + std::to_string(c + 1) + " (" + quoted_word(header) + ")";
}

}  // namespace

bool generated_names(const std::vector<std::string>& names) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] != "specimen " + std::to_string(i + 1)) return false;
  return true;
}

SpecimenTable parse_specimen_table(std::string_view text, std::string_view label, char delimiter,
                                   const std::vector<std::string>& names) {
  if (delimiter == ',') {
    LineReader lines(text);
    TextLine line;
    while (lines.next(line) && trim(line.text).empty()) {
    }
    if (line.text.find(',') == std::string_view::npos &&
        line.text.find(';') != std::string_view::npos)
      delimiter = ';';
  }
  RecordReader records(text, delimiter, label);
  std::vector<Field> fields;
  bool any = false;
  while ((any = records.next(fields)) && fields.empty()) {
  }
  if (!any) refuse_file(label, "the specimen table holds no header row.");
  const std::size_t header_line = fields.front().line;
  std::vector<std::string> header;
  for (const Field& f : fields) {
    header.push_back(field_text(f));
    if (header.back().empty())
      refuse_at(label, f.line, f.column,
                "column " + std::to_string(header.size()) + " of the header has no name.");
    for (std::size_t c = 0; c + 1 < header.size(); ++c) {
      if (header[c] == header.back())
        refuse_at(label, f.line, f.column,
                  "the header names " + quoted_word(header.back()) + " twice (columns " +
                      std::to_string(c + 1) + " and " + std::to_string(header.size()) + ").");
    }
  }
  const std::size_t cols = header.size();
  std::vector<std::vector<Cell>> rows;
  while (records.next(fields)) {
    if (fields.empty()) continue;
    if (fields.size() != cols) {
      refuse_line(label, fields.front().line,
                  "expected " + std::to_string(cols) + " fields as the header on line " +
                      std::to_string(header_line) + " names, found " +
                      std::to_string(fields.size()) + ".");
    }
    std::vector<Cell> row;
    for (const Field& f : fields) row.push_back({field_text(f), f.line, f.column});
    rows.push_back(std::move(row));
  }
  if (rows.empty())
    refuse_line(label, header_line, "the specimen table has no row after its header.");

  const std::size_t n = names.size();
  SpecimenTable table;
  table.file_name = std::string(label);
  // order[r] = the specimen of row r.
  std::vector<std::size_t> order(rows.size());
  std::size_t name_col = cols;
  if (generated_names(names)) {
    if (rows.size() != n) {
      refuse_file(label, "the specimen table has " + std::to_string(rows.size()) +
                             " rows for the " + std::to_string(n) +
                             " specimens of the sample, whose specimens have no names, so the "
                             "rows are taken in order.");
    }
    for (std::size_t r = 0; r < n; ++r) order[r] = r;
    for (std::size_t c = 0; c < cols && name_col == cols; ++c)
      if (is_name_header(header[c])) name_col = c;
  } else {
    std::map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < n; ++i) index.emplace(names[i], i);
    std::size_t best = 0;
    for (std::size_t c = 0; c < cols; ++c) {
      std::size_t hits = 0;
      for (const auto& row : rows) hits += index.count(row[c].text);
      if (hits > best) best = hits, name_col = c;
    }
    if (name_col == cols) {
      refuse_file(label,
                  "no column of the specimen table holds the names of the sample's "
                  "specimens (such as " +
                      quoted_word(names.front()) + ").");
    }
    std::vector<std::string> unknown, twice, missing;
    std::vector<std::size_t> row_of(n, 0);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const Cell& cell = rows[r][name_col];
      auto it = index.find(cell.text);
      if (it == index.end()) {
        unknown.push_back(quoted_word(cell.text) + " (line " + std::to_string(cell.line) + ")");
        continue;
      }
      if (row_of[it->second]) {
        twice.push_back(quoted_word(cell.text) + " (lines " +
                        std::to_string(rows[row_of[it->second] - 1][name_col].line) + " and " +
                        std::to_string(cell.line) + ")");
        continue;
      }
      row_of[it->second] = r + 1;
      order[r] = it->second;
    }
    for (std::size_t i = 0; i < n; ++i)
      if (!row_of[i]) missing.push_back(quoted_word(names[i]));
    std::string problems;
    if (!unknown.empty()) problems += " Not specimens of the sample: " + listed(unknown) + ".";
    if (!twice.empty()) problems += " Given twice: " + listed(twice) + ".";
    if (!missing.empty()) problems += " Without a row: " + listed(missing) + ".";
    if (!problems.empty()) {
      refuse_file(label, "the names in " + column_text(name_col, header[name_col]) +
                             " do not match the sample's " + std::to_string(n) +
                             " specimens (the table has " + std::to_string(rows.size()) +
                             " rows)." + problems);
    }
    table.name_column = header[name_col];
  }
  if (name_col < cols && generated_names(names)) table.name_column = header[name_col];

  for (std::size_t c = 0; c < cols; ++c) {
    if (c == name_col) continue;
    SpecimenColumn column;
    column.name = header[c];
    std::size_t numbers = 0;
    for (const auto& row : rows) {
      const Cell& cell = row[c];
      if (is_missing_value(cell.text)) {
        refuse_at(label, cell.line, cell.column,
                  column_text(c, header[c]) + " has no value (" + quoted_word(cell.text) +
                      "); every specimen needs one.");
      }
      double v = 0;
      numbers += parse_double(cell.text, v);
    }
    column.numeric = 2 * numbers > rows.size();
    if (column.numeric) {
      column.values.resize(static_cast<Eigen::Index>(n));
      for (std::size_t r = 0; r < rows.size(); ++r) {
        const Cell& cell = rows[r][c];
        double v = 0;
        if (!parse_double(cell.text, v) || !std::isfinite(v)) {
          try {
            refuse_number(label, cell.line, cell.column, cell.text);
          } catch (const FileError& e) {
            // The column's name helps more than its place alone.
            std::string what = e.what();
            const std::size_t colon = what.find(": ", in_quotes(label).size());
            throw FileError(what.substr(0, colon) + " (" + quoted_word(header[c]) + ")" +
                            what.substr(colon) + " The other values of the column are numbers.");
          }
        }
        column.values(static_cast<Eigen::Index>(order[r])) = v;
      }
    } else {
      column.levels.resize(n);
      for (std::size_t r = 0; r < rows.size(); ++r) column.levels[order[r]] = rows[r][c].text;
    }
    table.columns.push_back(std::move(column));
  }
  if (table.columns.empty())
    refuse_line(label, header_line, "the specimen table has no column besides the names.");
  return table;
}

SpecimenTable read_specimen_table(const std::string& path, const std::vector<std::string>& names) {
  const FileText file = read_import_file(path);
  std::string lower = lower_ascii(path);
  auto ends = [&](std::string_view e) {
    return lower.size() >= e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0;
  };
  const char delimiter = ends(".tsv") || ends(".tab") || ends(".txt") ? '\t' : ',';
  return parse_specimen_table(file.text(), base_name(path), delimiter, names);
}

std::vector<SpecimenColumn> label_columns(const std::vector<SpecimenLabel>& labels) {
  std::vector<SpecimenColumn> out;
  for (const SpecimenLabel& l : labels) {
    SpecimenColumn c;
    c.name = l.name;
    c.numeric = l.numeric();
    if (c.numeric)
      c.values = l.values;
    else
      c.levels = l.texts;
    out.push_back(std::move(c));
  }
  return out;
}

}  // namespace velmora::io
