#include <cmath>
#include <map>
#include <optional>
#include <string>

#include "core/shown_text.hpp"
#include "io/import_formats.hpp"
#include "io/import_text.hpp"

namespace velmora::io {

namespace {

using namespace import_text;

/// Landmark, curve and point counts above this are typing errors, refused
/// before anything is reserved for them.
constexpr std::size_t kLargestCount = 10'000'000;

bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

/// For "KEY=value" (a letter, then letters, digits or '_', then '='): the
/// upper-case key and the trimmed value.
bool split_key(std::string_view t, std::string& key, std::string_view& value) {
  if (t.empty() || !is_letter(t[0])) return false;
  std::size_t i = 1;
  while (i < t.size() && (is_letter(t[i]) || (t[i] >= '0' && t[i] <= '9') || t[i] == '_')) ++i;
  if (i >= t.size() || t[i] != '=') return false;
  key.assign(t.substr(0, i));
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  value = trim(t.substr(i + 1));
  return true;
}

/// The whole number of "KEY=value", or a refusal naming the line.
std::size_t count_value(std::string_view label, const TextLine& line, const std::string& key,
                        std::string_view value, const char* what) {
  std::size_t n = 0;
  bool ok = !value.empty() && value.size() <= 8;
  for (char c : value) {
    ok = ok && c >= '0' && c <= '9';
    if (ok) n = 10 * n + static_cast<std::size_t>(c - '0');
  }
  if (!ok || n > kLargestCount) {
    refuse_line(label, line.number,
                shown_text(key) + "=" + shown_text(value) + " is not " + what +
                    " (a whole number from 0 to " + std::to_string(kLargestCount) + ").");
  }
  return n;
}

class TpsReader {
 public:
  TpsReader(std::string_view text, std::string_view label, const MissingValues& missing)
      : text_(text), label_(label) {
    parts_.missing_values = missing;
    parts_.label = std::string(label);
    parts_.format = "TPS";
  }

  ImportedSample read() {
    parts_.coords.reserve(text_.size() / 8);
    LineReader lines(text_);
    TextLine line;
    while (lines.next(line)) {
      if (have_ < expected_) {
        read_landmark(line);
      } else if (points_left_ > 0) {
        if (!trim(line.text).empty()) --points_left_;
      } else {
        read_other(line);
      }
    }
    if (have_ < expected_) {
      refuse_line(label_, lines.line_number(),
                  "the file ends after " + std::to_string(have_) + " of the " +
                      std::to_string(expected_) + " landmarks that LM3= on line " +
                      std::to_string(lm_line_) + " announces for specimen " +
                      std::to_string(specimen_) + ".");
    }
    if (points_left_ > 0) {
      refuse_line(
          label_, lines.line_number(),
          "the file ends inside the POINTS= block on line " + std::to_string(points_line_) + ".");
    }
    close_specimen();
    read_keys();
    if (scaled_ > 0) {
      parts_.notes.push_back(
          in_quotes(label_) + ": coordinates multiplied by their SCALE= for " +
          std::to_string(scaled_) + " of the " + std::to_string(specimen_) + " specimens" +
          (scaled_ < specimen_ ? "; the others stay in their digitizing units." : "."));
    }
    if (with_curves_ > 0) {
      parts_.notes.push_back(in_quotes(label_) + ": the curves (CURVES=) of " +
                             std::to_string(with_curves_) +
                             (with_curves_ == 1 ? " specimen are" : " specimens are") +
                             " not read; only the landmarks of LM3= are.");
    }
    return finish_sample(std::move(parts_));
  }

 private:
  void read_landmark(const TextLine& line) {
    const char* p = line.text.data();
    const char* const e = p + line.text.size();
    double xyz[3] = {0, 0, 0};
    std::size_t count = 0;
    for (;;) {
      while (p < e && is_blank(*p)) ++p;
      if (p == e) break;
      const char* w = p;
      while (p < e && !is_blank(*p)) ++p;
      const std::string_view word(w, static_cast<std::size_t>(p - w));
      if (count == 0 && is_letter(*w) && word.find('=') != std::string_view::npos) {
        refuse_line(label_, line.number,
                    "specimen " + std::to_string(specimen_) + " has " + std::to_string(have_) +
                        " of the " + std::to_string(expected_) + " landmarks that LM3= on line " +
                        std::to_string(lm_line_) + " announces.");
      }
      if (count < 3) {
        double v = 0;
        const bool number = parse_double(word, v);
        const SampleParts::Reading reading = parts_.read_coordinate(word, number, v);
        if (reading != SampleParts::Reading::Value) {
          parts_.note_missing(line.number, specimen_, have_ + 1, word, reading);
          v = 0;
        } else if (!number || !std::isfinite(v)) {
          refuse_number(label_, line.number, column_of(line.text, word), word);
        }
        xyz[count] = v;
      }
      ++count;
    }
    if (count == 0) return;  // a blank line among the landmarks
    if (count != 3) {
      refuse_line(label_, line.number,
                  "landmark " + std::to_string(have_ + 1) + " of specimen " +
                      std::to_string(specimen_) + " needs 3 numbers (x y z), found " +
                      std::to_string(count) + ".");
    }
    parts_.coords.insert(parts_.coords.end(), xyz, xyz + 3);
    ++have_;
  }

  void read_other(const TextLine& line) {
    const std::string_view t = trim(line.text);
    if (t.empty()) return;
    std::string key;
    std::string_view value;
    if (!split_key(t, key, value)) {
      if (specimen_ == 0) {
        refuse_line(label_, line.number,
                    "expected LM3= to begin a specimen, found " + quoted_word(t) + ".");
      }
      refuse_line(label_, line.number,
                  "specimen " + std::to_string(specimen_) + " already has the " +
                      std::to_string(expected_) + " landmarks that LM3= on line " +
                      std::to_string(lm_line_) + " announces; expected a KEY=value line or " +
                      "the next LM3=, found " + quoted_word(t) + ".");
    }
    if (key == "LM") {
      refuse_line(
          label_, line.number,
          "LM=" + shown_text(value) + " holds 2-D landmarks; Velmora reads 3-D landmarks (LM3=).");
    }
    if (key == "LM3") {
      begin_specimen(line, count_value(label_, line, key, value, "a landmark count"));
      return;
    }
    if (specimen_ == 0) {
      refuse_line(label_, line.number,
                  "expected LM3= to begin a specimen, found " + quoted_word(t) + ".");
    }
    if (key == "ID" || key == "IMAGE") {
      std::optional<std::string>& slot = key == "ID" ? id_ : image_;
      if (slot)
        refuse_line(label_, line.number,
                    "a second " + key + "= for specimen " + std::to_string(specimen_) + ".");
      slot = std::string(value);
    } else if (key == "SCALE") {
      double v = 0;
      if (scale_)
        refuse_line(label_, line.number,
                    "a second SCALE= for specimen " + std::to_string(specimen_) + ".");
      if (!parse_double(value, v) || !std::isfinite(v) || v <= 0) {
        refuse_line(label_, line.number,
                    "SCALE=" + shown_text(value) + " is not a positive number.");
      }
      scale_ = v;
    } else if (key == "CURVES") {
      if (count_value(label_, line, key, value, "a curve count") > 0) curves_ = true;
    } else if (key == "POINTS") {
      points_left_ = count_value(label_, line, key, value, "a point count");
      points_line_ = line.number;
    } else if (key != "COMMENT" && key != "VARIABLES") {
      // The keys of other programs describe the specimen without changing
      // its landmarks; those every specimen has become its labels.
      keys_[key].emplace(specimen_, std::string(value));
    }
  }

  /// The keys every specimen gives, as labels (numeric when every value is
  /// a number); keys some specimens lack are noted.
  void read_keys() {
    for (auto& [key, values] : keys_) {
      if (values.size() != specimen_) {
        parts_.notes.push_back(in_quotes(label_) + ": " + key + "= is given for " +
                               std::to_string(values.size()) + " of the " +
                               std::to_string(specimen_) + " specimens; it is not read.");
        continue;
      }
      SpecimenLabel out{key, Eigen::VectorXd(static_cast<Eigen::Index>(specimen_)), {}, {}};
      for (auto& [i, text] : values) {
        double v = 0;
        if (out.numeric() && parse_double(text, v) && std::isfinite(v))
          out.values(static_cast<Eigen::Index>(i - 1)) = v;
        else if (out.numeric())
          out.not_numeric = quoted_word(text) + " for specimen " + std::to_string(i);
        out.texts.push_back(std::move(text));
      }
      if (!out.numeric()) out.values.resize(0);
      parts_.labels.push_back(std::move(out));
    }
  }

  void begin_specimen(const TextLine& line, std::size_t k) {
    close_specimen();
    ++specimen_;
    if (specimen_ == 1) {
      parts_.k = k;
    } else if (k != parts_.k) {
      refuse_line(label_, line.number,
                  "LM3=" + std::to_string(k) + " gives specimen " + std::to_string(specimen_) +
                      " " + std::to_string(k) + " landmarks; the specimens before it have " +
                      std::to_string(parts_.k) + ".");
    }
    expected_ = k;
    have_ = 0;
    lm_line_ = line.number;
    parts_.first_lines.push_back(line.number);
  }

  void close_specimen() {
    if (specimen_ == 0 || parts_.names.size() == specimen_) return;
    if (id_ && !id_->empty())
      parts_.names.push_back(*id_);
    else if (image_ && !image_->empty())
      parts_.names.push_back(*image_);
    else
      parts_.names.push_back("specimen " + std::to_string(specimen_));
    if (scale_) {
      double* xyz = parts_.coords.data() + 3 * parts_.k * (specimen_ - 1);
      for (std::size_t c = 0; c < 3 * parts_.k; ++c) xyz[c] *= *scale_;
      ++scaled_;
    }
    if (curves_) ++with_curves_;
    id_.reset();
    image_.reset();
    scale_.reset();
    curves_ = false;
  }

  std::string_view text_;
  std::string_view label_;
  SampleParts parts_;
  std::size_t specimen_ = 0;  // the open specimen, from 1
  std::size_t expected_ = 0, have_ = 0, lm_line_ = 0;
  std::size_t points_left_ = 0, points_line_ = 0;
  std::optional<std::string> id_, image_;
  std::optional<double> scale_;
  bool curves_ = false;
  std::map<std::string, std::map<std::size_t, std::string>> keys_;
  std::size_t scaled_ = 0, with_curves_ = 0;
};

}  // namespace

ImportedSample parse_tps_sample(std::string_view text, std::string_view label,
                                const MissingValues& missing) {
  return TpsReader(text, label, missing).read();
}

}  // namespace velmora::io
