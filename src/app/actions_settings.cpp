// The two settings for comparisons with other tools: the superimposition
// method and the precision of the result files.
#include <string>

#include "app/actions.hpp"
#include "app/script_recorder.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/shown_text.hpp"
#include "platform/runtime/console.hpp"
#include "view/figure3d.hpp"
#include "view/main_window.hpp"
#include "view/places.hpp"

namespace velmora::app::actions {

namespace {

// The argument as one of two words, or a refusal that names the action.
std::string one_of(const Value& fpass, std::string_view action, const char* a, const char* b) {
  const std::string word = fpass.is_char() ? fpass.to_string() : std::string();
  if (word != a && word != b) {
    refuse(std::string(action) + " takes \"" + a + "\" or \"" + b + "\", not \"" +
           shown_text(script_argument(fpass)) + "\".");
  }
  return word;
}

}  // namespace

void set_superimposition(Workspace& ws, const Value& fpass) {
  const std::string method = one_of(fpass, "SetSuperimposition", "optimal", "classic");
  const bool optimal = method == "optimal";
  // The session superimposes the loaded sample again before anything
  // changes, so that a failure leaves the old setting and sample in place;
  // results computed on the old superimposition no longer describe it.
  const analysis::SuperimposeReport r =
      ws.session.superimpose({optimal ? analysis::Method::Optimal : analysis::Method::Classic});
  for (const std::string& note : r.notes) console().line(note);
  check_menu_pair("SuperimposeOptimal", "SuperimposeClassic", optimal);
  if (!r.redone) return;
  // Without scores the reference may be turned again, as after LoadData.
  allow_rotation(ws, true);
  console().line(r.message);
  if (figure3d_open(ws)) {
    redraw_reference(ws);
    make_main_current(ws);
  }
}

void set_full_precision(Workspace& ws, const Value& fpass) {
  const std::string word = one_of(fpass, "SetFullPrecision", "on", "off");
  ws.window.full_precision = word == "on";
  check_menu_pair("FullPrecisionOn", "FullPrecisionOff", word == "on");
}

}  // namespace velmora::app::actions
