// The two settings for comparisons with other tools: the superimposition
// method and the precision of the result files.
#include <string>

#include "app/actions.hpp"
#include "app/app_state.hpp"
#include "app/session.hpp"
#include "app/superimpose.hpp"
#include "app/switchyard.hpp"
#include "io/row_layout.hpp"
#include "platform/runtime/console.hpp"

namespace velmora::app::actions {

using gfx::graphics;

namespace {

// The argument as one of two words, or a refusal that names the action.
std::string one_of(const Value& fpass, std::string_view action, const char* a, const char* b) {
  const std::string word = fpass.is_char() ? fpass.to_string() : std::string();
  if (word != a && word != b) {
    refuse(std::string(action) + " takes \"" + a + "\" or \"" + b + "\", not \"" +
           script_argument(fpass) + "\".");
  }
  return word;
}

void check_pair(std::string_view on_tag, std::string_view off_tag, bool on) {
  auto& g = graphics();
  g.set(control(on_tag), "Checked", on ? "on" : "off");
  g.set(control(off_tag), "Checked", on ? "off" : "on");
}

bool has_sample() {
  const AppState& s = state();
  return !s.DATA.empty() && !s.DATAV.empty() && !s.reference.empty();
}

}  // namespace

void set_superimposition(const Value& fpass) {
  auto& g = graphics();
  AppState& s = state();
  const std::string method = one_of(fpass, "SetSuperimposition", "optimal", "classic");
  const bool optimal = method == "optimal";
  const bool switched = optimal != optimal_superimposition();

  // Superimpose the loaded sample again before anything changes, so that a
  // failure leaves the old setting and sample in place.
  std::optional<SuperimposedSample> fit;
  if (switched && has_sample()) {
    const std::size_t n = s.DATA.rows(), c = s.DATA.cols(), k = c / 3;
    shape::Stack raw(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(n),
                     io::vertxy3D(n, c, s.DATA.data()));
    fit = superimpose_sample(std::move(raw), optimal);
  }

  s.vsuperimposition = Value(method);
  check_pair("SuperimposeOptimal", "SuperimposeClassic", optimal);
  if (!fit) return;
  s.DATAV = shape::stack_to_value(std::move(fit->fitted));
  s.reference = Value::matrix(fit->reference);
  // Results computed on the old superimposition no longer describe the
  // sample.
  s.pwscores = Value();
  s.gvector = Value();
  s.delta = Value();
  // Without scores the reference may be turned again, as after LoadData.
  g.set(control("RotX"), "Enable", "On");
  g.set(control("RotZ"), "Enable", "On");
  console().line(
      std::string("The sample was superimposed again ") +
      (optimal ? "with the optimal rotation, to convergence" : "with the classic three passes") +
      "; its scores and regression were cleared.");
  if (g.valid(s.h3dfig) && g.type(s.h3dfig(0)) == gfx::Type::Figure) {
    g.make_current(s.h3dfig(0));
    g.clear_axes(g.current_axes());
    draw_reference();
    make_main_current();
  }
}

void set_full_precision(const Value& fpass) {
  const std::string word = one_of(fpass, "SetFullPrecision", "on", "off");
  state().vfullprecision = Value(word);
  check_pair("FullPrecisionOn", "FullPrecisionOff", word == "on");
}

}  // namespace velmora::app::actions
