// The two settings for comparisons with other tools: the superimposition
// method and the precision of the result files.
#include <string>

#include "app/actions.hpp"
#include "app/main_window.hpp"
#include "app/script_recorder.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/shown_text.hpp"
#include "platform/runtime/console.hpp"

namespace velmora::app::actions {

using gfx::graphics;

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

void check_pair(std::string_view on_tag, std::string_view off_tag, bool on) {
  auto& g = graphics();
  g.set(control(on_tag), "Checked", on ? "on" : "off");
  g.set(control(off_tag), "Checked", on ? "off" : "on");
}

}  // namespace

void set_superimposition(Workspace& ws, const Value& fpass) {
  auto& g = graphics();
  WindowState& s = ws.window;
  const std::string method = one_of(fpass, "SetSuperimposition", "optimal", "classic");
  const bool optimal = method == "optimal";
  // The session superimposes the loaded sample again before anything
  // changes, so that a failure leaves the old setting and sample in place;
  // results computed on the old superimposition no longer describe it.
  const analysis::SuperimposeReport r =
      ws.session.superimpose({optimal ? analysis::Method::Optimal : analysis::Method::Classic});
  for (const std::string& note : r.notes) console().line(note);
  check_pair("SuperimposeOptimal", "SuperimposeClassic", optimal);
  if (!r.redone) return;
  // Without scores the reference may be turned again, as after LoadData.
  allow_rotation(ws, true);
  console().line(r.message);
  if (s.figure3d && g.valid(*s.figure3d) && g.type(*s.figure3d) == gfx::Type::Figure) {
    g.make_current(*s.figure3d);
    g.clear_axes(g.current_axes());
    draw_reference(ws);
    make_main_current(ws);
  }
}

void set_full_precision(Workspace& ws, const Value& fpass) {
  const std::string word = one_of(fpass, "SetFullPrecision", "on", "off");
  ws.window.full_precision = word == "on";
  check_pair("FullPrecisionOn", "FullPrecisionOff", word == "on");
}

}  // namespace velmora::app::actions
