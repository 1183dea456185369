#include "view/main_window.hpp"

#include "core/file_bytes.hpp"
#include "core/shown_text.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/cformat.hpp"
#include "platform/runtime/console.hpp"
#include "view/document.hpp"
#include "view/figure3d.hpp"
#include "view/places.hpp"
#include "view/recent_files.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

namespace {

// The first object tagged `tag`, if the open windows have one.
std::optional<Handle> tagged(std::string_view tag) {
  const std::vector<Handle> found = graphics().find_by_tag(tag);
  if (found.empty()) return std::nullopt;
  return found.front();
}

void set_string(std::string_view tag, Value v) {
  if (auto h = tagged(tag)) graphics().set(*h, "String", std::move(v));
}

std::string settings_words(Document& doc) {
  const analysis::Session& a = doc.session;
  std::string words =
      std::string(a.scale() == analysis::Scale::Log ? "regress on ln X" : "regress on X") + ", " +
      (a.method() == analysis::Method::Optimal ? "optimal" : "classic") + " superimposition";
  // The specimen table and the model every report was made with.
  if (const auto table = a.specimen_table()) words += ", specimen table " + table->file_name;
  if (!doc.session.choices().formula.empty())
    words += ", model " + shown_text(doc.session.choices().formula, kShownFormulaBytes);
  if (!doc.session.choices().factor.empty())
    words += ", groups by " + shown_text(doc.session.choices().factor);
  return words;
}

std::string count_of(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "&" starts a mnemonic in a menu label; "&&" shows one.
std::string menu_text(const std::string& s) {
  std::string out;
  for (char c : s) {
    out += c;
    if (c == '&') out += '&';
  }
  return out;
}

void fill_recent_menu(const std::vector<std::string>& files) {
  auto& g = graphics();
  for (std::size_t i = 0; i < kRecentFiles; ++i) {
    auto entry = tagged("RecentFile" + std::to_string(i + 1));
    if (!entry) continue;
    if (i < files.size()) {
      const std::string& path = files[i];
      const auto slash = path.find_last_of('/');
      const std::string name = path.substr(slash + 1);
      const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
      g.set(*entry, "Label",
            std::to_string(i + 1) + "  " + menu_text(name) + "  —  " + menu_text(folder));
      g.set(*entry, "UserData", Value(path));
      g.set(*entry, "Visible", "on");
    } else {
      g.set(*entry, "Label", std::to_string(i + 1));
      g.set(*entry, "UserData", Value());
      g.set(*entry, "Visible", "off");
    }
  }
  if (auto none = tagged("RecentNone")) g.set(*none, "Visible", files.empty() ? "on" : "off");
}

}  // namespace

namespace {

std::size_t& status_changes() {
  static std::size_t n = 0;
  return n;
}

}  // namespace

void show_status(const std::string& text) {
  ++status_changes();
  // One line: a name's control bytes show escaped.
  set_string("StatusBar", Value(shown_name(text)));
}

void show_status_now(const std::string& text) {
  show_status(text);
  graphics().backend().process_events();
}

std::size_t status_count() {
  return status_changes();
}

void log_report(Document& doc, const std::string& title, const std::string& text) {
  WindowState& s = doc.window;
  const analysis::Session& a = doc.session;
  s.log.add({local_time_now(), a.has_sample() ? a.sample().file_name : std::string(),
             a.x() ? a.x()->source_text : std::string(), settings_words(doc), title, text});
  show_results_log(doc);
}

void show_data_box(Document& doc) {
  const analysis::Session& a = doc.session;
  if (!a.has_sample()) return;
  const analysis::Sample& s = a.sample();
  std::string text = cformat(
      "File: %s \\n %3.0f Specimens \\n %3.0f Landmarks",
      {s.file_name, static_cast<double>(s.specimens()), static_cast<double>(s.landmarks())});
  if (!a.semilandmarks().empty()) {
    const analysis::SemilandmarkReport c = a.semilandmark_counts();
    text += "\n " + std::to_string(c.fixed) + " fixed, " + std::to_string(c.curve_sliders) +
            " on curves, " + std::to_string(c.surface_points) + " on the surface";
  }
  // Bilateral symmetry and repeatability.
  if (const io::LandmarkPairs* pairs = a.landmark_pairs())
    text += "\n " + std::to_string(pairs->pairs.size()) + " landmark pairs, " +
            std::to_string(s.landmarks() - 2 * static_cast<Eigen::Index>(pairs->pairs.size())) +
            " on the midline";
  show_file_box(text);
}

void show_results_log(Document& doc) {
  const std::vector<std::string> lines = doc.window.log.lines();
  // An empty log says what will appear in it, in grey.
  if (auto log = tagged("ResultsLog"))
    graphics().set(*log, "ForegroundColor",
                   lines.empty() ? Value::row({0.45, 0.45, 0.45}) : Value::row({0, 0, 0}));
  if (lines.empty()) {
    set_string("ResultsLog", Value(kResultsLogPlaceholder));
    return;
  }
  ValueList items;
  items.reserve(lines.size());
  for (const std::string& line : lines) items.emplace_back(line);
  set_string("ResultsLog", Value::cell_row(std::move(items)));
}

void show_x_source(Document& doc) {
  const std::shared_ptr<const analysis::XVariable> x = doc.session.x();
  std::string text = "No File Loaded";
  if (x && x->source_text == kCentroidSizeX) {
    text = kCentroidSizeX;
  } else if (x) {
    text = x->source_text + " — " +
           count_of(static_cast<std::size_t>(x->values.size()), "value", "values");
  }
  set_string("GroupBox", Value(text));
}

void show_recent_files(Document& doc) {
  fill_recent_menu(doc.window.desktop ? read_recent_files() : std::vector<std::string>{});
}

namespace {

void keep_recent_files(const std::vector<std::string>& files) {
  try {
    write_recent_files(files);
  } catch (const std::exception& e) {
    // The list is a convenience: the load itself went well.
    console().error(std::string("Warning: ") + e.what());
  }
  fill_recent_menu(files);
}

}  // namespace

void remember_recent_file(Document& doc, const std::string& path) {
  if (!doc.window.desktop) return;
  keep_recent_files(with_recent_file(read_recent_files(), path));
}

void forget_recent_file(Document& doc, const std::string& path) {
  if (!doc.window.desktop) return;
  keep_recent_files(without_file(read_recent_files(), path));
}

std::vector<std::string> unsaved_results(Document& doc) {
  const WindowState& s = doc.window;
  std::vector<std::string> out;
  if (doc.session.scores() && s.scores_unsaved) out.emplace_back("the partial warp scores");
  if (doc.session.regression() && s.regression_unsaved) out.emplace_back("the regression vector");
  if (const std::size_t n = s.log.unsaved())
    out.push_back(count_of(n, "results log entry", "results log entries"));
  return out;
}

void clear_main_plot() {
  auto& g = graphics();
  auto ax = tagged("axes1");
  if (!ax) return;
  g.clear_axes(*ax);
  // No legend of an earlier plot's groups stays.
  g.set_appdata(*ax, "Legend", Value(0.0));
  for (const char* label : {"XLabel", "YLabel", "Title"}) {
    const Value h = g.get(*ax, label);
    if (g.valid(h)) g.set(h(0), "String", "");
  }
}

}  // namespace velmora::app
