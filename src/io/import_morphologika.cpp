#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "core/shown_text.hpp"
#include "io/import_formats.hpp"
#include "io/import_text.hpp"

namespace velmora::io {

namespace {

using namespace import_text;

/// Counts above this are typing errors, refused before anything is reserved.
constexpr std::size_t kLargestCount = 100'000'000;

struct Section {
  std::string name;             ///< as written, without the brackets
  std::size_t line = 0;         ///< the line of "[name]"
  std::vector<TextLine> lines;  ///< its lines, blank and comment lines left out
};

bool is_comment(std::string_view t) {
  return !t.empty() && t.front() == '\'';
}

class MorphologikaReader {
 public:
  MorphologikaReader(std::string_view text, std::string_view label, const MissingValues& missing)
      : label_(label) {
    parts_.missing_values = missing;
    parts_.label = std::string(label);
    parts_.format = "Morphologika";
    split_sections(text);
  }

  ImportedSample read() {
    const std::size_t n = count_of("individuals");
    const std::size_t k = count_of("landmarks");
    const Section& dims = required("dimensions");
    const std::size_t dim = count_of("dimensions");
    if (dim == 2) {
      refuse_line(label_, dims.line,
                  "the file holds 2-D landmarks ([dimensions] 2); Velmora reads 3-D landmarks.");
    }
    if (dim != 3) {
      refuse_line(label_, dims.line,
                  "[dimensions] " + std::to_string(dim) +
                      ": Velmora reads 3-D landmarks only ([dimensions] 3).");
    }
    parts_.k = k;
    read_names(n);
    read_points(n, k);
    read_labels(n);
    read_groups(n);
    std::vector<const Section*> unread;
    for (const auto& [key, s] : sections_)
      if (!known(key)) unread.push_back(&s);
    std::sort(unread.begin(), unread.end(),
              [](const Section* a, const Section* b) { return a->line < b->line; });
    for (const Section* s : unread) {
      parts_.notes.push_back(in_quotes(label_) + ": section [" + s->name + "] (line " +
                             std::to_string(s->line) + ") is not read.");
    }
    return finish_sample(std::move(parts_));
  }

 private:
  static bool known(const std::string& key) {
    return key == "individuals" || key == "landmarks" || key == "dimensions" || key == "names" ||
           key == "rawpoints" || key == "labels" || key == "labelvalues" || key == "groups";
  }

  void split_sections(std::string_view text) {
    LineReader lines(text);
    TextLine line;
    Section* current = nullptr;
    while (lines.next(line)) {
      const std::string_view t = trim(line.text);
      if (t.empty() || is_comment(t)) continue;
      if (t.front() == '[' && t.back() == ']' && t.size() >= 2) {
        const std::string key = lower_text(trim(t.substr(1, t.size() - 2)));
        auto [it, fresh] = sections_.try_emplace(key);
        if (!fresh) {
          refuse_line(label_, line.number,
                      "a second " + std::string(t) + " section (the first is on line " +
                          std::to_string(it->second.line) + ").");
        }
        it->second.name = std::string(trim(t.substr(1, t.size() - 2)));
        it->second.line = line.number;
        current = &it->second;
        continue;
      }
      if (!current) {
        refuse_line(
            label_, line.number,
            "expected a Morphologika section such as [individuals], found " + quoted_word(t) + ".");
      }
      current->lines.push_back(line);
    }
  }

  const Section& required(const char* key) const {
    auto it = sections_.find(key);
    if (it == sections_.end())
      refuse_file(label_, "the Morphologika file has no [" + std::string(key) + "] section.");
    return it->second;
  }

  const Section* optional(const char* key) const {
    auto it = sections_.find(key);
    return it == sections_.end() ? nullptr : &it->second;
  }

  /// The one whole number of a section such as [individuals].
  std::size_t count_of(const char* key) const {
    const Section& s = required(key);
    if (s.lines.empty()) refuse_line(label_, s.line, "the [" + s.name + "] section is empty.");
    const TextLine& line = s.lines.front();
    const std::string_view t = trim(line.text);
    std::size_t n = 0;
    bool ok = !t.empty() && t.size() <= 9;
    for (char c : t) {
      ok = ok && c >= '0' && c <= '9';
      if (ok) n = 10 * n + static_cast<std::size_t>(c - '0');
    }
    if (!ok || n > kLargestCount) {
      refuse_line(label_, line.number,
                  "[" + s.name + "] must hold one whole number, found " + quoted_word(t) + ".");
    }
    if (s.lines.size() > 1) {
      refuse_line(label_, s.lines[1].number,
                  "[" + s.name + "] must hold one whole number; a second line follows it.");
    }
    return n;
  }

  void read_names(std::size_t n) {
    const Section* s = optional("names");
    if (!s) return;
    if (s->lines.size() != n) {
      refuse_line(label_, s->line,
                  "[" + s->name + "] holds " + std::to_string(s->lines.size()) + " names for the " +
                      std::to_string(n) + " individuals.");
    }
    for (const TextLine& line : s->lines) parts_.names.emplace_back(trim(line.text));
  }

  void read_points(std::size_t n, std::size_t k) {
    const Section& s = required("rawpoints");
    const std::size_t want = n * k;
    if (s.lines.size() != want) {
      const std::size_t at = s.lines.size() > want ? s.lines[want].number : s.line;
      refuse_line(label_, at,
                  "[" + s.name + "] holds " + std::to_string(s.lines.size()) +
                      " landmark lines; [individuals] " + std::to_string(n) + " × [landmarks] " +
                      std::to_string(k) + " needs " + std::to_string(want) + ".");
    }
    parts_.coords.reserve(3 * want);
    for (std::size_t r = 0; r < want; ++r) {
      const TextLine& line = s.lines[r];
      const std::size_t specimen = r / k + 1, landmark = r % k + 1;
      if (landmark == 1) parts_.first_lines.push_back(line.number);
      std::string_view rest = line.text;
      std::size_t count = 0;
      for (std::string_view w = next_word(rest); !w.empty(); w = next_word(rest), ++count) {
        if (count >= 3) continue;
        double v = 0;
        const bool number = parse_double(w, v);
        const SampleParts::Reading reading = parts_.read_coordinate(w, number, v);
        if (reading != SampleParts::Reading::Value) {
          parts_.note_missing(line.number, specimen, landmark, w, reading);
          v = 0;
        } else if (!number || !std::isfinite(v)) {
          refuse_number(label_, line.number, column_of(line.text, w), w);
        }
        parts_.coords.push_back(v);
      }
      if (count != 3) {
        refuse_line(label_, line.number,
                    "landmark " + std::to_string(landmark) + " of specimen " +
                        std::to_string(specimen) + " needs 3 numbers (x y z), found " +
                        std::to_string(count) + ".");
      }
    }
  }

  void read_labels(std::size_t n) {
    const Section* values = optional("labelvalues");
    const Section* labels = optional("labels");
    if (!values) return;
    std::vector<std::string> names;
    if (labels) {
      for (const TextLine& line : labels->lines) {
        std::string_view rest = line.text;
        for (std::string_view w = next_word(rest); !w.empty(); w = next_word(rest))
          names.emplace_back(w);
      }
    }
    if (values->lines.size() != n) {
      refuse_line(label_, values->line,
                  "[" + values->name + "] holds " + std::to_string(values->lines.size()) +
                      " lines for the " + std::to_string(n) + " individuals.");
    }
    std::vector<std::vector<std::string_view>> table;
    for (const TextLine& line : values->lines) {
      std::vector<std::string_view> row;
      std::string_view rest = line.text;
      for (std::string_view w = next_word(rest); !w.empty(); w = next_word(rest)) row.push_back(w);
      if (!labels && table.empty())
        for (std::size_t j = 1; j <= row.size(); ++j) names.push_back("label " + std::to_string(j));
      if (row.size() != names.size()) {
        refuse_line(label_, line.number,
                    "expected " + std::to_string(names.size()) + " label values, found " +
                        std::to_string(row.size()) + ".");
      }
      table.push_back(std::move(row));
    }
    for (std::size_t j = 0; j < names.size(); ++j) {
      SpecimenLabel out{names[j], Eigen::VectorXd(static_cast<Eigen::Index>(n)), {}, {}};
      for (std::size_t i = 0; i < n; ++i) out.texts.emplace_back(table[i][j]);
      for (std::size_t i = 0; i < n && out.numeric(); ++i) {
        double v = 0;
        if (parse_double(table[i][j], v) && std::isfinite(v)) {
          out.values(static_cast<Eigen::Index>(i)) = v;
        } else {
          out.not_numeric =
              quoted_word(table[i][j]) + " on line " + std::to_string(values->lines[i].number);
        }
      }
      if (!out.numeric()) {
        out.values.resize(0);
        parts_.notes.push_back(in_quotes(label_) + ": label " + quoted_word(names[j]) +
                               " is not a number for every specimen (" + out.not_numeric +
                               "); it cannot be used as X.");
      }
      parts_.labels.push_back(std::move(out));
    }
  }

  /// [groups]: lines "NAME COUNT" giving consecutive runs of specimens,
  /// read as the factor "group".
  void read_groups(std::size_t n) {
    const Section* s = optional("groups");
    if (!s) return;
    SpecimenLabel out{"group", {}, "", {}};
    for (const TextLine& line : s->lines) {
      const std::string_view t = trim(line.text);
      const std::size_t blank = t.find_last_of(" \t");
      const std::string_view count = blank == std::string_view::npos ? t : t.substr(blank + 1);
      double v = 0;
      if (blank == std::string_view::npos || !parse_double(count, v) || v < 1 ||
          v != std::floor(v) || v > static_cast<double>(n)) {
        refuse_line(label_, line.number,
                    "[" + s->name +
                        "] lines hold a group name and its number of individuals, found " +
                        quoted_word(t) + ".");
      }
      const std::string name(trim(t.substr(0, blank)));
      if (out.texts.size() + static_cast<std::size_t>(v) > n) {
        refuse_line(label_, line.number,
                    "[" + s->name + "] counts more individuals than the " + std::to_string(n) +
                        " of [individuals].");
      }
      out.texts.insert(out.texts.end(), static_cast<std::size_t>(v), name);
    }
    if (out.texts.size() != n) {
      refuse_line(label_, s->line,
                  "[" + s->name + "] counts " + std::to_string(out.texts.size()) +
                      " individuals; [individuals] is " + std::to_string(n) + ".");
    }
    out.not_numeric = "a group name";
    parts_.labels.push_back(std::move(out));
  }

  std::string_view label_;
  SampleParts parts_;
  std::map<std::string, Section> sections_;
};

}  // namespace

ImportedSample parse_morphologika_sample(std::string_view text, std::string_view label,
                                         const MissingValues& missing) {
  return MorphologikaReader(text, label, missing).read();
}

}  // namespace velmora::io
