#include "io/specimen_table.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/errors.hpp"
#include "core/shown_text.hpp"
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
  const std::string l = lower_text(trim(h));
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

namespace {

/// The separator of a table: the tab, comma or semicolon that its first
/// line that is not empty holds most often outside quotes, or `fallback`.
char header_delimiter(std::string_view text, char fallback) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::size_t i = 0;
  while (i < text.size() && (text[i] == '\n' || text[i] == '\r')) ++i;
  std::size_t tabs = 0, commas = 0, semicolons = 0;
  bool quoted = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted) {
      if (c == '\n' || c == '\r') break;
      tabs += c == '\t';
      commas += c == ',';
      semicolons += c == ';';
    }
  }
  if (tabs + commas + semicolons == 0) return fallback;
  if (tabs >= commas && tabs >= semicolons) return '\t';
  return commas >= semicolons ? ',' : ';';
}

}  // namespace

SpecimenTable parse_specimen_table(std::string_view text, std::string_view label, char fallback,
                                   const std::vector<std::string>& names,
                                   const std::vector<std::string>& label_names) {
  RecordReader records(text, header_delimiter(text, fallback), label);
  std::vector<Field> fields;
  bool any = false;
  while ((any = records.next(fields)) && fields.empty()) {
  }
  if (!any) refuse_file(label, "the specimen table holds no header row.");
  const std::size_t header_line = fields.front().line;
  std::vector<std::string> header;
  std::vector<std::size_t> header_column;
  std::unordered_map<std::string, std::size_t> header_index;
  for (const Field& f : fields) {
    header.push_back(field_text(f));
    header_column.push_back(f.column);
    if (header.back().empty())
      refuse_at(label, f.line, f.column,
                "column " + std::to_string(header.size()) + " of the header has no name.");
    const auto [at, fresh] = header_index.emplace(header.back(), header.size() - 1);
    if (!fresh)
      refuse_at(label, f.line, f.column,
                "the header names " + quoted_word(header.back()) + " twice (columns " +
                    std::to_string(at->second + 1) + " and " + std::to_string(header.size()) +
                    ").");
  }
  const std::size_t cols = header.size();
  const std::size_t n = names.size();
  // The rows are counted before any cell is kept: a table of many more rows
  // than specimens is refused at the cost of one scan.
  std::size_t row_count = 0;
  for (RecordReader scan = records; scan.next(fields);) {
    if (fields.empty()) continue;
    if (fields.size() != cols) {
      refuse_line(label, fields.front().line,
                  "expected " + std::to_string(cols) + " fields as the header on line " +
                      std::to_string(header_line) + " names, found " +
                      std::to_string(fields.size()) + ".");
    }
    ++row_count;
  }
  if (row_count == 0)
    refuse_line(label, header_line, "the specimen table has no row after its header.");
  if (row_count > 2 * n) {
    refuse_file(label, "the specimen table has " + std::to_string(row_count) + " rows for the " +
                           std::to_string(n) + " specimens of the sample; each specimen has one.");
  }
  std::vector<std::vector<Cell>> rows;
  rows.reserve(row_count);
  while (records.next(fields)) {
    if (fields.empty()) continue;
    std::vector<Cell> row;
    row.reserve(cols);
    for (const Field& f : fields) row.push_back({field_text(f), f.line, f.column});
    rows.push_back(std::move(row));
  }

  const bool generated = generated_names(names);
  SpecimenTable table;
  table.file_name = std::string(label);
  // order[r] = the specimen of row r.
  std::vector<std::size_t> order(rows.size());
  std::unordered_map<std::string, std::size_t> index;
  for (std::size_t i = 0; i < n; ++i) index.emplace(names[i], i);
  // The name column: the one whose values name the most specimens, else
  // (for generated names) one headed as a name column.
  std::size_t name_col = cols, best = 0;
  for (std::size_t c = 0; c < cols; ++c) {
    std::size_t hits = 0;
    for (const auto& row : rows) hits += index.count(row[c].text);
    if (hits > best) best = hits, name_col = c;
  }
  for (std::size_t c = 0; c < cols && name_col == cols && generated; ++c)
    if (is_name_header(header[c])) name_col = c;
  if (name_col == cols && !generated) {
    refuse_file(label,
                "no column of the specimen table holds the names of the sample's "
                "specimens (such as " +
                    quoted_word(names.front()) + ").");
  }
  if (name_col == cols) {
    if (rows.size() != n) {
      refuse_file(label, "the specimen table has " + std::to_string(rows.size()) +
                             " rows for the " + std::to_string(n) +
                             " specimens of the sample, whose specimens have no names, so the "
                             "rows are taken in order.");
    }
    for (std::size_t r = 0; r < n; ++r) order[r] = r;
  } else {
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
    if (generated && !problems.empty()) {
      problems += " The sample's specimens have only the generated names " +
                  quoted_word(names.front()) +
                  (n > 1 ? " to " + quoted_word(names.back()) : std::string()) + ".";
    }
    if (!problems.empty()) {
      refuse_file(label, "the names in " + column_text(name_col, header[name_col]) +
                             " do not match the sample's " + std::to_string(n) +
                             " specimens (the table has " + std::to_string(rows.size()) +
                             " rows)." + problems);
    }
    table.name_column = header[name_col];
  }

  // A column may not take a name that a model already reads otherwise.
  for (std::size_t c = 0; c < cols; ++c) {
    if (c == name_col) continue;
    std::string meaning;
    if (header[c] == "CS")
      meaning = "the centroid size, which CS always means in a model";
    else if (header[c] == "X")
      meaning = "the X list, which X always means in a model";
    else if (std::find(label_names.begin(), label_names.end(), header[c]) != label_names.end())
      meaning = "a label of the landmark file, which a model would read instead";
    if (!meaning.empty()) {
      refuse_at(label, header_line, header_column[c],
                column_text(c, header[c]) + " has the name of " + meaning + "; rename the column.");
    }
  }

  for (std::size_t c = 0; c < cols; ++c) {
    if (c == name_col) continue;
    SpecimenColumn column;
    column.name = header[c];
    std::size_t numbers = 0, finite = 0;
    for (const auto& row : rows) {
      const Cell& cell = row[c];
      if (is_missing_value(cell.text)) {
        refuse_at(label, cell.line, cell.column,
                  column_text(c, header[c]) + " has no value (" + quoted_word(cell.text) +
                      "); every specimen needs one.");
      }
      double v = 0;
      const bool number = parse_double(cell.text, v);
      numbers += number;
      finite += number && std::isfinite(v);
    }
    // At least half numbers: a covariate, and every value must be one.
    column.numeric = 2 * numbers >= rows.size();
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
                            what.substr(colon) +
                            (finite + 1 == rows.size()
                                 ? " The other values of the column are numbers."
                                 : " " + std::to_string(finite) + " of the column's " +
                                       std::to_string(rows.size()) +
                                       " values are numbers; a covariate needs one in every "
                                       "row."));
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

SpecimenTable read_specimen_table(const std::string& path, const std::vector<std::string>& names,
                                  const std::vector<std::string>& label_names) {
  const FileText file = read_import_file(path);
  std::string lower = lower_text(path);
  auto ends = [&](std::string_view e) {
    return lower.size() >= e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0;
  };
  const char fallback = ends(".tsv") || ends(".tab") || ends(".txt") ? '\t' : ',';
  return parse_specimen_table(file.text(), base_name(path), fallback, names, label_names);
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
