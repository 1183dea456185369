// Semilandmarks: their definition files, how they slide, and the slid
// coordinates saved.
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

}  // namespace velmora::app::actions
