#include <cmath>
#include <string>
#include <vector>

#include "core/shown_text.hpp"
#include "io/import_formats.hpp"
#include "io/import_text.hpp"

namespace velmora::io {

namespace {

using namespace import_text;

bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

/// The axis a column name says: "x1", "X_3", "x", "lm4.y", "nasion_z" name
/// an axis; "zygion" or "width" do not (0).
char axis_of(std::string_view name) {
  const std::string lower = lower_text(trim(name));
  if (lower.empty()) return 0;
  auto is_axis = [](char c) { return c == 'x' || c == 'y' || c == 'z'; };
  if (is_axis(lower.front()) && (lower.size() == 1 || !is_letter(lower[1]))) return lower.front();
  if (is_axis(lower.back()) && lower.size() > 1 && !is_letter(lower[lower.size() - 2]))
    return lower.back();
  return 0;
}

/// The delimiter of a comma-separated file: ';' when its first non-empty
/// line holds semicolons but no comma (spreadsheets of decimal-comma
/// locales), else ','.
char comma_or_semicolon(std::string_view text) {
  LineReader lines(text);
  TextLine line;
  while (lines.next(line)) {
    if (trim(line.text).empty()) continue;
    const bool commas = line.text.find(',') != std::string_view::npos;
    const bool semicolons = line.text.find(';') != std::string_view::npos;
    return !commas && semicolons ? ';' : ',';
  }
  return ',';
}

std::string header_example(char delimiter) {
  const std::string d = delimiter == '\t' ? "<tab>" : std::string(1, delimiter);
  return "specimen" + d + "x1" + d + "y1" + d + "z1" + d + "x2" + d + "…";
}

}  // namespace

ImportedSample parse_table_sample(std::string_view text, std::string_view label, char delimiter,
                                  const MissingValues& missing) {
  if (delimiter == ',') delimiter = comma_or_semicolon(text);
  SampleParts parts;
  parts.missing_values = missing;
  parts.label = std::string(label);
  parts.format = delimiter == '\t' ? "TSV table" : "CSV table";

  RecordReader records(text, delimiter, label);
  std::vector<Field> fields;
  bool any = false;
  while ((any = records.next(fields)) && fields.empty()) {
  }
  if (!any) {
    refuse_file(label, "the file holds no header row (" + header_example(delimiter) + ").");
  }
  const std::size_t header_line = fields.front().line;
  std::vector<std::string> header;
  bool all_numbers = fields.size() > 1;
  for (std::size_t c = 0; c < fields.size(); ++c) {
    header.push_back(field_text(fields[c]));
    double v = 0;
    if (c > 0) all_numbers = all_numbers && parse_double(header.back(), v);
  }
  if (all_numbers) {
    refuse_line(label, header_line,
                "the first row holds numbers; a table needs a header row (" +
                    header_example(delimiter) + ").");
  }
  const std::size_t cols = header.size() - 1;
  if (cols == 0 || cols % 3 != 0) {
    refuse_line(label, header_line,
                "after the specimen column the header names " + std::to_string(cols) +
                    (cols == 1 ? " column" : " columns") +
                    "; a table needs x, y and z for every landmark (a multiple of 3: " +
                    header_example(delimiter) + ").");
  }
  std::size_t named = 0;
  for (std::size_t c = 1; c <= cols; ++c) named += axis_of(header[c]) != 0;
  if (named == cols) {
    for (std::size_t c = 1; c <= cols; ++c) {
      const char want = "xyz"[(c - 1) % 3];
      if (axis_of(header[c]) != want) {
        refuse_line(label, header_line,
                    "column " + quoted_word(header[c]) + " stands where the " + want +
                        " of landmark " + std::to_string((c - 1) / 3 + 1) +
                        " belongs; the columns must run x1, y1, z1, x2, y2, z2, … .");
      }
    }
  }
  parts.k = cols / 3;
  // A coordinate usually takes eight bytes of text or more; the vector grows if not.
  parts.coords.reserve(text.size() / 8);

  std::size_t specimen = 0;
  while (records.next(fields)) {
    if (fields.empty()) continue;
    const std::size_t line = fields.front().line;
    if (fields.size() != cols + 1) {
      refuse_line(label, line,
                  "expected " + std::to_string(cols + 1) + " fields (the specimen and " +
                      std::to_string(cols) + " coordinates), found " +
                      std::to_string(fields.size()) + ".");
    }
    ++specimen;
    parts.first_lines.push_back(line);
    parts.names.push_back(field_text(fields[0]));
    for (std::size_t c = 1; c <= cols; ++c) {
      const Field& f = fields[c];
      std::string unquoted;
      std::string_view word = f.raw;
      if (f.quoted) {
        unquoted = field_text(f);
        word = unquoted;
      } else {
        word = trim(word);
      }
      double v = 0;
      const bool number = parse_double(word, v);
      const SampleParts::Reading reading = parts.read_coordinate(word, number, v);
      if (reading != SampleParts::Reading::Value) {
        parts.note_missing(f.line, specimen, (c - 1) / 3 + 1, word.empty() ? "empty" : word,
                           reading);
        v = 0;
      } else if (!number || !std::isfinite(v)) {
        refuse_number(label, f.line, f.column, word);
      }
      parts.coords.push_back(v);
    }
  }
  return finish_sample(std::move(parts));
}

}  // namespace velmora::io
