#include "io/landmark_import.hpp"

#include "core/errors.hpp"
#include "core/shown_text.hpp"
#include "io/import_formats.hpp"
#include "io/import_text.hpp"

namespace velmora::io {

namespace {

using namespace import_text;

enum class Reader { Native, Tps, Nts, Morphologika, MarkupsCsv, MarkupsJson, CsvTable, TsvTable };

/// The first line of `text` that holds more than blanks, trimmed.  A
/// Morphologika file may begin with "'" comment lines.
std::string_view first_content_line(std::string_view text) {
  LineReader lines(text);
  TextLine line;
  while (lines.next(line)) {
    const std::string_view t = trim(line.text);
    if (!t.empty()) return t;
  }
  return {};
}

bool is_count(std::string_view w) {
  if (!w.empty() && (w.back() == 'L' || w.back() == 'l')) w.remove_suffix(1);
  if (w.empty()) return false;
  for (char c : w)
    if (c < '0' || c > '9') return false;
  return true;
}

/// "1 n 3k 0 …" with at most six words, or any line with "dim=": an NTS
/// header.  A native landmark line of four to six numbers is no sample.
bool looks_like_nts_header(std::string_view line) {
  std::vector<std::string_view> words;
  std::string_view rest = line;
  for (std::string_view w = next_word(rest); !w.empty(); w = next_word(rest)) {
    if (lower_text(w).starts_with("dim=")) return true;
    words.push_back(w);
  }
  return words.size() >= 4 && words.size() <= 6 && words[0] == "1" && is_count(words[1]) &&
         is_count(words[2]) && (words[3] == "0" || words[3] == "1");
}

/// True when every word of the line, split at blanks, tabs, commas and
/// semicolons, is a number.
bool all_numbers(std::string_view line) {
  std::size_t words = 0;
  std::size_t b = 0;
  while (b < line.size()) {
    auto sep = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == ';'; };
    while (b < line.size() && sep(line[b])) ++b;
    std::size_t e = b;
    while (e < line.size() && !sep(line[e])) ++e;
    if (e > b) {
      double v = 0;
      if (!parse_double(line.substr(b, e - b), v)) return false;
      ++words;
    }
    b = e;
  }
  return words > 0;
}

Reader by_content(std::string_view first) {
  const std::string lower = lower_text(first.substr(0, 4));
  if (first.starts_with("[") || first.starts_with("'")) return Reader::Morphologika;
  if (lower.starts_with("lm3=") || lower.starts_with("lm=")) return Reader::Tps;
  if (first.starts_with("\"") || looks_like_nts_header(first)) return Reader::Nts;
  if (first.starts_with("{")) return Reader::MarkupsJson;
  return Reader::Native;
}

Reader choose_reader(std::string_view text, std::string_view label) {
  const std::string name = lower_text(base_name(label));
  if (name.ends_with(".json")) return Reader::MarkupsJson;
  if (name.ends_with(".fcsv")) return Reader::MarkupsCsv;
  if (name.ends_with(".tps")) return Reader::Tps;
  if (name.ends_with(".nts")) return Reader::Nts;
  const bool csv = name.ends_with(".csv");
  if (csv || name.ends_with(".tsv") || name.ends_with(".tab")) {
    const std::string_view first = first_content_line(text);
    if (!first.empty() && all_numbers(first)) return Reader::Native;
    return csv ? Reader::CsvTable : Reader::TsvTable;
  }
  return by_content(first_content_line(text));
}

}  // namespace

ImportedSample import_landmark_text(std::string_view text, std::string_view label,
                                    const MissingValues& missing) {
  switch (choose_reader(text, label)) {
    case Reader::Tps:
      return parse_tps_sample(text, label, missing);
    case Reader::Nts:
      return parse_nts_sample(text, label, missing);
    case Reader::Morphologika:
      return parse_morphologika_sample(text, label, missing);
    case Reader::MarkupsCsv:
      return parse_markups_csv_sample(text, label, missing);
    case Reader::MarkupsJson:
      return parse_markups_json_sample(text, label, missing);
    case Reader::CsvTable:
      return parse_table_sample(text, label, ',', missing);
    case Reader::TsvTable:
      return parse_table_sample(text, label, '\t', missing);
    case Reader::Native:
      break;
  }
  return parse_native_sample(text, label, missing);
}

ImportedSample import_landmarks(const std::string& path, const MissingValues& missing) {
  const FileText file = read_import_file(path);
  return import_landmark_text(file.text(), path, missing);
}

ImportedSample import_landmark_files(const std::vector<std::string>& paths,
                                     const MissingValues& missing) {
  if (paths.empty()) throw FileError("No landmark file was chosen.");
  ImportedSample sample = import_landmarks(paths.front(), missing);
  if (paths.size() == 1) return sample;
  std::vector<ImportedSample> more;
  for (std::size_t f = 1; f < paths.size(); ++f) {
    more.push_back(import_landmarks(paths[f], missing));
    const ImportedSample& s = more.back();
    if (s.rows.cols() != sample.rows.cols()) {
      throw FileError(in_quotes(paths[f]) + ": " + std::to_string(s.rows.cols() / 3) +
                      " landmarks, but " + in_quotes(paths.front()) + " has " +
                      std::to_string(sample.rows.cols() / 3) +
                      "; every specimen needs the same landmarks.");
    }
  }
  Eigen::Index n = sample.rows.rows();
  for (const ImportedSample& s : more) n += s.rows.rows();
  Eigen::MatrixXd rows(n, sample.rows.cols());
  rows.topRows(sample.rows.rows()) = sample.rows;
  Eigen::Index at = sample.rows.rows();
  // Labels are kept only when every file gives the same ones.
  bool same_labels = true;
  for (ImportedSample& s : more) {
    rows.middleRows(at, s.rows.rows()) = s.rows;
    for (AbsentLandmark a : s.missing) {
      a.specimen += static_cast<std::size_t>(at);
      sample.missing.push_back(a);
    }
    at += s.rows.rows();
    sample.names.insert(sample.names.end(), s.names.begin(), s.names.end());
    sample.notes.insert(sample.notes.end(), s.notes.begin(), s.notes.end());
    if (s.curve_sliders != sample.curve_sliders) {
      throw FileError(in_quotes(paths[1 + static_cast<std::size_t>(&s - more.data())]) +
                      ": its curve differs from that of " + in_quotes(paths.front()) +
                      " (a curve or not, open or closed); every specimen needs the same.");
    }
    if (s.format != sample.format && sample.format.find(s.format) == std::string::npos)
      sample.format += ", " + s.format;
    same_labels = same_labels && s.labels.size() == sample.labels.size();
    for (std::size_t j = 0; same_labels && j < s.labels.size(); ++j)
      same_labels = s.labels[j].name == sample.labels[j].name;
  }
  if (!same_labels) sample.labels.clear();
  for (std::size_t j = 0; j < sample.labels.size(); ++j) {
    SpecimenLabel& label = sample.labels[j];
    for (std::size_t f = 0; f < more.size() && label.numeric(); ++f) {
      const SpecimenLabel& next = more[f].labels[j];
      if (!next.numeric()) label.not_numeric = next.not_numeric + " of " + in_quotes(paths[f + 1]);
    }
    if (!label.numeric()) {
      label.values.resize(0);
      continue;
    }
    Eigen::VectorXd x(n);
    Eigen::Index from = label.values.size();
    x.head(from) = label.values;
    for (const ImportedSample& s : more) {
      x.segment(from, s.labels[j].values.size()) = s.labels[j].values;
      from += s.labels[j].values.size();
    }
    label.values = std::move(x);
  }
  sample.rows = std::move(rows);
  return sample;
}

bool is_markup_file(std::string_view path) {
  const std::string name = lower_text(base_name(path));
  return name.ends_with(".fcsv") || name.ends_with(".json");
}

ImportedSample import_landmark_selection(const std::vector<std::string>& paths,
                                         const MissingValues& missing) {
  if (paths.size() == 1) return import_landmarks(paths.front(), missing);
  // Checked before any file is read, so that a mixed choice reads nothing.
  for (const std::string& p : paths) {
    if (!is_markup_file(p)) {
      throw FileError(in_quotes(p) +
                      ": only markup files (.fcsv, .mrk.json) can be loaded several at a time, "
                      "one specimen a file; load this file on its own.");
    }
  }
  return import_landmark_files(paths, missing);
}

}  // namespace velmora::io
