// The two settings for comparisons with other tools: the superimposition
// method and the precision of the result files.
#include <string>

#include "app/actions.hpp"
#include "app/app_state.hpp"
#include "app/main_window.hpp"
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

}  // namespace

void set_superimposition(const Value& fpass) {
  auto& g = graphics();
  AppState& s = state();
  const std::string method = one_of(fpass, "SetSuperimposition", "optimal", "classic");
  const bool optimal = method == "optimal";
  const bool switched = optimal != s.optimal_superimposition;

  // Superimpose the loaded sample again before anything changes, so that a
  // failure leaves the old setting and sample in place.
  std::optional<SuperimposedSample> fit;
  if (switched && s.sample) {
    const Eigen::MatrixXd& rows = s.sample->rows;
    const auto n = static_cast<std::size_t>(rows.rows()), c = static_cast<std::size_t>(rows.cols());
    shape::Stack raw(static_cast<Eigen::Index>(c / 3), static_cast<Eigen::Index>(n),
                     io::rows_to_stack(n, c, {rows.data(), n * c}));
    fit = superimpose_sample(std::move(raw), optimal);
  }

  s.optimal_superimposition = optimal;
  check_pair("SuperimposeOptimal", "SuperimposeClassic", optimal);
  if (!fit) return;
  s.sample->fitted = std::move(fit->fitted);
  s.sample->reference = std::move(fit->reference);
  s.sample->fit_note = std::move(fit->note);
  s.sample->forget_scores();
  // Results computed on the old superimposition no longer describe the
  // sample.
  s.scores.reset();
  s.regression.reset();
  // Without scores the reference may be turned again, as after LoadData.
  allow_rotation(true);
  console().line(
      std::string("The sample was superimposed again ") +
      (optimal ? "with the optimal rotation, to convergence" : "with the classic three passes") +
      "; its scores and regression were cleared.");
  if (s.figure3d && g.valid(*s.figure3d) && g.type(*s.figure3d) == gfx::Type::Figure) {
    g.make_current(*s.figure3d);
    g.clear_axes(g.current_axes());
    draw_reference();
    make_main_current();
  }
}

void set_full_precision(const Value& fpass) {
  const std::string word = one_of(fpass, "SetFullPrecision", "on", "off");
  state().full_precision = word == "on";
  check_pair("FullPrecisionOn", "FullPrecisionOff", word == "on");
}

}  // namespace velmora::app::actions
