#include <cmath>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/shown_text.hpp"
#include "io/import_formats.hpp"
#include "io/import_text.hpp"

namespace velmora::io {

namespace {

using namespace import_text;

/// The columns of a markups CSV file that has no "# columns =" line.
const std::vector<std::string> kDefaultColumns = {
    "id", "x",   "y",   "z",    "ow",    "ox",   "oy",
    "oz", "vis", "sel", "lock", "label", "desc", "associatedNodeID"};

/// The specimen name of a one-specimen file: its file name without the
/// format's extension.
std::string name_from_label(std::string_view label, std::initializer_list<std::string_view> ends) {
  std::string name = base_name(label);
  const std::string lower = lower_text(name);
  for (std::string_view end : ends) {
    if (lower.size() > end.size() && lower.ends_with(end)) {
      name.resize(name.size() - end.size());
      break;
    }
  }
  return name;
}

/// "# columns = id,x,y,z,…": the column names, or false for another comment.
bool read_columns_comment(std::string_view t, std::vector<std::string>& columns) {
  t = trim(t.substr(1));
  if (lower_text(t.substr(0, 7)) != "columns") return false;
  t = trim(t.substr(7));
  if (t.empty() || t.front() != '=') return false;
  t.remove_prefix(1);
  columns.clear();
  while (true) {
    const std::size_t comma = t.find(',');
    columns.push_back(lower_text(trim(t.substr(0, comma))));
    if (comma == std::string_view::npos) break;
    t.remove_prefix(comma + 1);
  }
  return true;
}

std::size_t index_of(const std::vector<std::string>& columns, std::string_view name) {
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (columns[i] == name) return i;
  return columns.size();
}

/// Where a JSON parse error stopped: the line of byte `offset`.
std::size_t line_of_offset(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  std::size_t line = 1;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
      ++line;
  }
  return line;
}

/// The reason of a JSON parse error without the library's prefix and
/// position, control characters shown as '?'.
std::string json_reason(const std::string& what) {
  std::size_t at = what.find("] ");
  std::string reason = at == std::string::npos ? what : what.substr(at + 2);
  at = reason.find("column ");
  at = at == std::string::npos ? std::string::npos : reason.find(": ", at);
  if (at != std::string::npos) reason = reason.substr(at + 2);
  for (char& c : reason)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return reason;
}

std::string point_text(std::size_t index, const nlohmann::json& point) {
  std::string text = "control point " + std::to_string(index);
  auto label = point.find("label");
  if (label != point.end() && label->is_string())
    text += " (" + quoted_word(label->get_ref<const std::string&>()) + ")";
  return text;
}

/// A character iterator that records the furthest byte the JSON lexer has
/// read, so that the SAX events below know where in the text they are.
class TrackedChars {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  TrackedChars(const char* p, const char** seen) : p_(p), seen_(seen) {}
  const char& operator*() const {
    *seen_ = p_;
    return *p_;
  }
  TrackedChars& operator++() {
    ++p_;
    return *this;
  }
  TrackedChars operator++(int) {
    TrackedChars before = *this;
    ++p_;
    return before;
  }
  bool operator==(const TrackedChars& o) const { return p_ == o.p_; }

 private:
  const char* p_;
  const char** seen_;
};

/// Builds the document as nlohmann::json::parse does, and refuses a key
/// that an object already holds: the library would keep the last one
/// silently, which may be another specimen's.  Every open object keeps its
/// keys with the line each came on; the path of the object (as
/// markups[0].controlPoints[3]) names where the duplicate is.
class DuplicateKeyCheck : public nlohmann::detail::json_sax_dom_parser<nlohmann::json> {
  using Base = nlohmann::detail::json_sax_dom_parser<nlohmann::json>;

 public:
  DuplicateKeyCheck(nlohmann::json& doc, std::string_view text, std::string_view label,
                    const char** seen)
      : Base(doc, true), text_(text), label_(label), seen_(seen) {}

  bool start_object(std::size_t len) {
    enter_value();
    open_.push_back({true, 0, {}, {}});
    return Base::start_object(len);
  }
  bool end_object() {
    open_.pop_back();
    return Base::end_object();
  }
  bool start_array(std::size_t len) {
    enter_value();
    open_.push_back({false, 0, {}, {}});
    return Base::start_array(len);
  }
  bool end_array() {
    open_.pop_back();
    return Base::end_array();
  }
  bool key(std::string& k) {
    Open& o = open_.back();
    const std::size_t line = line_now();
    const auto [at, fresh] = o.keys.try_emplace(k, line);
    if (!fresh) {
      refuse_line(label_, line,
                  "the key " + quoted_word(k) + " comes a second time in " + path() +
                      " (first on line " + std::to_string(at->second) +
                      "); Velmora does not guess which one holds the landmarks.");
    }
    o.key = k;
    return Base::key(k);
  }
  // Scalars count as array elements.
  bool null() { return enter_value(), Base::null(); }
  bool boolean(bool v) { return enter_value(), Base::boolean(v); }
  bool number_integer(nlohmann::json::number_integer_t v) {
    return enter_value(), Base::number_integer(v);
  }
  bool number_unsigned(nlohmann::json::number_unsigned_t v) {
    return enter_value(), Base::number_unsigned(v);
  }
  bool number_float(nlohmann::json::number_float_t v, const std::string& s) {
    return enter_value(), Base::number_float(v, s);
  }
  bool string(std::string& v) { return enter_value(), Base::string(v); }

 private:
  struct Open {
    bool object;
    std::size_t elements;  // of an array: the values so far
    std::string key;       // of an object: the current key
    std::map<std::string, std::size_t, std::less<>> keys;
  };

  void enter_value() {
    if (!open_.empty() && !open_.back().object) ++open_.back().elements;
  }

  /// The line of the byte the lexer read last; it only moves forward.
  std::size_t line_now() {
    const auto end = std::min(static_cast<std::size_t>(*seen_ - text_.data()), text_.size());
    for (; counted_ < end; ++counted_) {
      const char c = text_[counted_];
      if (c == '\n' || (c == '\r' && (counted_ + 1 == text_.size() || text_[counted_ + 1] != '\n')))
        ++line_;
    }
    return line_;
  }

  std::string path() const {
    std::string out;
    for (std::size_t i = 0; i + 1 < open_.size(); ++i) {
      const Open& o = open_[i];
      if (o.object) {
        out += (out.empty() ? "" : ".") + shown_text(o.key);
      } else {
        out += "[" + std::to_string(o.elements - 1) + "]";
      }
    }
    return out.empty() ? std::string("the top-level object") : out;
  }

  std::string_view text_;
  std::string_view label_;
  const char** seen_;
  std::size_t counted_ = 0, line_ = 1;
  std::vector<Open> open_;
};

}  // namespace

ImportedSample parse_markups_csv_sample(std::string_view text, std::string_view label,
                                        const MissingValues& missing) {
  SampleParts parts;
  parts.missing_values = missing;
  parts.label = std::string(label);
  parts.format = "Markups CSV";
  parts.names.push_back(name_from_label(label, {".fcsv"}));
  std::vector<std::string> columns = kDefaultColumns;
  std::size_t columns_line = 0;
  std::vector<Field> fields;
  LineReader lines(text);
  TextLine line;
  std::size_t landmark = 0;
  while (lines.next(line)) {
    const std::string_view t = trim(line.text);
    if (t.empty()) continue;
    if (t.front() == '#') {
      if (read_columns_comment(t, columns)) columns_line = line.number;
      continue;
    }
    const std::size_t xc = index_of(columns, "x"), yc = index_of(columns, "y"),
                      zc = index_of(columns, "z");
    if (xc == columns.size() || yc == columns.size() || zc == columns.size()) {
      refuse_line(label, columns_line, "the \"# columns\" line names no x, y and z columns.");
    }
    const std::size_t label_column = index_of(columns, "label");
    RecordReader record(line.text, ',', label, line.number);
    record.next(fields);
    ++landmark;
    if (landmark == 1) parts.first_lines.push_back(line.number);
    const std::size_t needed = std::max({xc, yc, zc}) + 1;
    if (fields.size() < needed) {
      refuse_line(label, line.number,
                  "landmark " + std::to_string(landmark) + " needs x, y and z in fields " +
                      std::to_string(xc + 1) + ", " + std::to_string(yc + 1) + " and " +
                      std::to_string(zc + 1) + "; the line has " + std::to_string(fields.size()) +
                      " fields.");
    }
    for (std::size_t c : {xc, yc, zc}) {
      const std::string word = field_text(fields[c]);
      double v = 0;
      const bool number = parse_double(word, v);
      const SampleParts::Reading reading = parts.read_coordinate(word, number, v);
      if (reading != SampleParts::Reading::Value) {
        std::string code = word.empty() ? std::string("empty") : word;
        if (label_column < fields.size() && !field_text(fields[label_column]).empty())
          code += ", " + field_text(fields[label_column]);
        parts.note_missing(line.number, 1, landmark, code, reading);
        v = 0;
      } else if (!number || !std::isfinite(v)) {
        refuse_number(label, line.number, fields[c].column, word);
      }
      parts.coords.push_back(v);
    }
  }
  if (landmark == 0) refuse_file(label, "the file holds no landmark.");
  parts.k = landmark;
  return finish_sample(std::move(parts));
}

ImportedSample parse_markups_json_sample(std::string_view text, std::string_view label,
                                         const MissingValues& missing) {
  nlohmann::json doc;
  try {
    const char* seen = text.data();
    DuplicateKeyCheck sax(doc, text, label, &seen);
    nlohmann::json::sax_parse(TrackedChars(text.data(), &seen),
                              TrackedChars(text.data() + text.size(), &seen), &sax);
  } catch (const nlohmann::json::parse_error& e) {
    refuse_line(label, line_of_offset(text, e.byte > 0 ? e.byte - 1 : 0),
                "this is not valid JSON (" + json_reason(e.what()) + ").");
  } catch (const nlohmann::json::exception& e) {
    // A number beyond the range of a double.
    refuse_file(label, "this is not valid JSON (" + json_reason(e.what()) + ").");
  }
  const auto markups = doc.is_object() ? doc.find("markups") : doc.end();
  if (!doc.is_object() || markups == doc.end() || !markups->is_array()) {
    refuse_file(label,
                "the file holds no \"markups\" list; a markups file holds {\"markups\": "
                "[{\"controlPoints\": [...]}]}.");
  }
  const nlohmann::json* list = nullptr;
  std::size_t lists = 0;
  for (const nlohmann::json& m : *markups) {
    if (m.is_object() && m.contains("controlPoints")) {
      ++lists;
      if (!list) list = &m;
    }
  }
  if (lists == 0) refuse_file(label, "the file holds no markups control points.");
  if (lists > 1) {
    refuse_file(label, "the file holds " + std::to_string(lists) +
                           " markups lists; Velmora reads one list (one specimen) a file.");
  }
  const nlohmann::json& points = (*list)["controlPoints"];
  if (!points.is_array()) refuse_file(label, "\"controlPoints\" is not a list.");

  SampleParts parts;
  parts.missing_values = missing;
  parts.label = std::string(label);
  parts.format = "Markups JSON";
  // A point Slicer marks "missing" is a missing landmark; one not yet
  // placed ("undefined", no position, null) is no statement about the
  // specimen and stays refused.
  constexpr auto kRefused = SampleParts::Reading::Refused;
  parts.names.push_back(name_from_label(label, {".mrk.json", ".json"}));
  std::size_t landmark = 0;
  for (const nlohmann::json& point : points) {
    ++landmark;
    if (!point.is_object())
      refuse_file(label, "control point " + std::to_string(landmark) + " is not an object.");
    auto status = point.find("positionStatus");
    if (status != point.end() && status->is_string()) {
      const std::string& s = status->get_ref<const std::string&>();
      if (s == "missing" || s == "undefined") {
        parts.note_missing(0, 1, landmark, s + ", " + point_text(landmark, point),
                           s == "missing" ? SampleParts::Reading::Missing : kRefused);
        parts.coords.insert(parts.coords.end(), 3, 0.0);
        continue;
      }
    }
    auto position = point.find("position");
    if (position == point.end() || position->is_null()) {
      parts.note_missing(0, 1, landmark, "no position, " + point_text(landmark, point), kRefused);
      parts.coords.insert(parts.coords.end(), 3, 0.0);
      continue;
    }
    if (!position->is_array() || position->size() != 3) {
      refuse_file(
          label, point_text(landmark, point) + ": \"position\" must hold three numbers (x, y, z).");
    }
    for (const nlohmann::json& v : *position) {
      if (v.is_null()) {
        parts.note_missing(0, 1, landmark, "null, " + point_text(landmark, point), kRefused);
        parts.coords.push_back(0.0);
      } else if (!v.is_number()) {
        refuse_file(label, point_text(landmark, point) + ": " + quoted_word(v.dump()) +
                               " in \"position\" is not a number.");
      } else if (!std::isfinite(v.get<double>())) {
        refuse_file(label, point_text(landmark, point) + ": " + quoted_word(v.dump()) +
                               " in \"position\" is not a finite number.");
      } else {
        parts.coords.push_back(v.get<double>());
      }
    }
  }
  if (landmark == 0) refuse_file(label, "the file holds no landmark.");
  parts.k = landmark;
  ImportedSample out = finish_sample(std::move(parts));
  // A curve's points between its ends slide along it; a closed curve has
  // no ends.
  const auto type = list->find("type");
  const std::string kind = type != list->end() && type->is_string() ? type->get<std::string>() : "";
  if ((kind == "Curve" && landmark >= 3) || (kind == "ClosedCurve" && landmark >= 3)) {
    const bool closed = kind == "ClosedCurve";
    for (std::size_t i = closed ? 1 : 2; i <= (closed ? landmark : landmark - 1); ++i)
      out.curve_sliders.push_back({i == 1 ? landmark : i - 1, i, i == landmark ? 1 : i + 1});
  }
  return out;
}

}  // namespace velmora::io
