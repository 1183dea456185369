// Semilandmarks: their definition files, how they slide, and the slid
// coordinates saved.
#include <algorithm>
#include <cmath>
#include <string>

#include "app/actions.hpp"
#include "app/presenting.hpp"
#include "app/script_recorder.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/shown_text.hpp"
#include "io/semilandmark_files.hpp"
#include "platform/runtime/console.hpp"
#include "view/loaders.hpp"
#include "view/main_window.hpp"
#include "view/places.hpp"

namespace velmora::app::actions {

namespace {

void report_counts(Workspace& ws, const std::string& what, const std::string& name,
                   const analysis::SemilandmarkReport& r) {
  console().line(what + " \"" + shown_name(name) + "\": " + r.message);
  show_data_box(ws);
  show_status(what + " loaded from " + shown_name(name) + ": " + r.message +
              " They slide when the superimposition is next needed.");
}

// A definition file chosen, read for the sample's landmarks and made the
// session's.
template <class Read, class Set>
void load_definitions(Workspace& ws, const std::string& what, Read read, Set set) {
  auto pick = pick_file_to_load("*.*");
  if (!pick) return;
  const auto k = static_cast<std::size_t>(ws.session.sample().landmarks());
  report_counts(ws, what, pick->name, (ws.session.*set)(read(pick->path(), k), pick->path()));
}

}  // namespace

void load_curves(Workspace& ws, const Value&) {
  load_definitions(ws, "Curves", io::load_curve_file, &analysis::Session::set_curves);
}

void load_surface_points(Workspace& ws, const Value&) {
  load_definitions(ws, "Surface points", io::load_surface_point_file,
                   &analysis::Session::set_surface_points);
}

void set_sliding(Workspace& ws, const Value& fpass) {
  const std::string word = fpass.is_char() ? fpass.to_string() : std::string();
  analysis::SlidingChoice c;
  if (word == "be") {
    c = analysis::SlidingChoice::BendingEnergy;
  } else if (word == "procd") {
    c = analysis::SlidingChoice::ProcrustesDistance;
  } else if (word == "none") {
    c = analysis::SlidingChoice::None;
  } else {
    refuse(
        "SetSliding takes \"be\" (bending energy), \"procd\" (Procrustes distance) or "
        "\"none\", not \"" +
        shown_text(script_argument(fpass)) + "\".");
  }
  ws.session.set_sliding(c);
  check_menu_items({{"SlidingBE", c == analysis::SlidingChoice::BendingEnergy},
                    {"SlidingProcD", c == analysis::SlidingChoice::ProcrustesDistance},
                    {"SlidingNone", c == analysis::SlidingChoice::None}});
}

void set_sliding_passes(Workspace& ws, const Value& fpass) {
  std::string word = fpass.is_char() ? fpass.to_string() : std::string();
  // A script line's number arrives as a number.
  if (fpass.is_double() && fpass.numel() == 1 && std::floor(fpass(0)) == fpass(0) &&
      std::abs(fpass(0)) <= 1e6)
    word = std::to_string(static_cast<long>(fpass(0)));
  int passes = -1;
  if (word == "auto") {
    passes = 0;
  } else {
    std::size_t used = 0;
    try {
      passes = std::stoi(word, &used);
    } catch (...) {
      used = 0;
    }
    if (used != word.size() || word.empty() || passes < 1 || passes > 1000) passes = -1;
  }
  if (passes < 0)
    refuse(
        "SetSlidingPasses takes \"auto\" (slide until the specimens rest) or a number of "
        "plain passes from 1 to 1000, not \"" +
        shown_text(script_argument(fpass)) + "\".");
  ws.session.set_sliding_passes(passes);
  check_menu_items({{"SlidingPassesAuto", passes == 0},
                    {"SlidingPasses3", passes == 3},
                    {"SlidingPasses10", passes == 10}});
}

void load_surfaces(Workspace& ws, const Value&) {
  const std::vector<gfx::FilePick> picks = pick_files_to_load("*.ply;*.obj;*.stl;*.off");
  if (picks.empty()) return;
  std::vector<std::string> paths;
  for (const auto& p : picks) paths.push_back(p.path());
  const analysis::LoadScansReport r = ws.session.load_scans(paths);
  for (const std::string& note : r.notes) console().line(note);
  if (!r.notes.empty()) show_message_box(r.notes.front(), "Load Surfaces");
  console().line("Scans: " + r.message);
  log_report(ws, "Scans loaded", r.message);
  show_data_box(ws);
  show_status("Scans: " + r.message);
}

void set_sliding_projection(Workspace& ws, const Value& fpass) {
  const std::string word = fpass.is_char() ? fpass.to_string() : std::string();
  if (word != "on" && word != "off")
    refuse(
        "SetSlidingProjection takes \"on\" (project the semilandmarks onto the scans as they "
        "slide) or \"off\", not \"" +
        shown_text(script_argument(fpass)) + "\".");
  ws.session.set_sliding_projection(word == "on");
  check_menu_items(
      {{"SlidingProjectionOn", word == "on"}, {"SlidingProjectionOff", word == "off"}});
}

void place_semilandmarks(Workspace& ws, const Value& fpass) {
  std::vector<std::string> w = argument_words(fpass);
  if (w.empty()) {
    const auto typed = choose_or_type("Place Semilandmarks",
                                      "How many surface semilandmarks, spread over the first "
                                      "specimen's scan?",
                                      {"100", "200", "500", "1000"});
    if (!typed) return;
    w = {*typed};
  }
  const std::string how =
      "Place Semilandmarks takes the number of points, from 1 to 100000, and optionally the "
      "template specimen's number or name, as in PlaceSemilandmarks 200 or PlaceSemilandmarks "
      "200 3";
  analysis::PlaceSemilandmarksParams p;
  std::size_t used = 0;
  long count = 0;
  try {
    count = std::stol(w[0], &used);
  } catch (...) {
    used = 0;
  }
  if (used != w[0].size() || count < 1 || count > 100000)
    refuse(how + "; not \"" + shown_text(w[0]) + "\".", "Place Semilandmarks");
  p.count = count;
  if (w.size() > 1) {
    std::string name;
    for (std::size_t i = 1; i < w.size(); ++i) name += (i > 1 ? " " : "") + w[i];
    const auto& names = ws.session.sample().names;
    const auto at = std::find(names.begin(), names.end(), name);
    if (at != names.end()) {
      p.template_specimen = at - names.begin();
    } else {
      long number = 0;
      used = 0;
      try {
        number = std::stol(name, &used);
      } catch (...) {
        used = 0;
      }
      if (used != name.size() || number < 1)
        refuse("There is no specimen \"" + shown_text(name) + "\" to place the points on.",
               "Place Semilandmarks");
      p.template_specimen = number - 1;
    }
  }
  const analysis::PlaceSemilandmarksReport r = ws.session.place_semilandmarks(p);
  console().line(r.message);
  log_report(ws, "Semilandmarks placed", r.message);
  show_data_box(ws);
  show_status(r.message + " They slide when the superimposition is next needed.");
}

}  // namespace velmora::app::actions
