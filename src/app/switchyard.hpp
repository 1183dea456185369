#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "analysis/session.hpp"
#include "app/action_report.hpp"
#include "platform/runtime/function_table.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/value/value.hpp"
#include "view/controls.hpp"

namespace velmora::app {

/// What an action needs before it can run.  A missing need refuses the
/// action with a message box that says what to do first; nothing changes.
/// All but kNeed3D are the session's own needs (analysis::Need), checked by
/// the session with its texts.
enum Need : unsigned {
  kNeedNothing = analysis::kNeedNothing,
  kNeedSample = analysis::kNeedSample,          ///< a loaded landmark file (LoadData)
  kNeedX = analysis::kNeedX,                    ///< the independent variable (LoadXList or UseCS)
  kNeedScores = analysis::kNeedScores,          ///< partial warp scores (LoadXList or DoRegression)
  kNeedRegression = analysis::kNeedRegression,  ///< gvector and delta (DoRegression)
  kNeed3D = 1u << 4,  ///< the 3D display figure (reopened if the user closed it)
  kNeedSurface = analysis::kNeedSurface,  ///< a specimen's surface (LoadSurface)
  /// Not a need: the action only sets what the sliding of semilandmarks
  /// uses, and leaves the slide to the next action that needs the
  /// superimposition (every other action that needs the sample slides
  /// first when the settings changed).
  kDefersSliding = 1u << 6,
};

/// Which figure an action works on.
enum class FigureRule {
  AsIs,          ///< whatever figure is current when the action starts
  Start3D,       ///< makes the 3D figure current first and leaves it current
  Start3DEnd2D,  ///< makes the 3D figure current first, the main window at the end
};

struct Workspace;

/// An action: it works on `ws` with the optional argument `fpass`.
using ActionFn = void (*)(Workspace& ws, const Value& fpass);

struct ActionSpec {
  std::string_view name;
  ActionFn run;
  unsigned needs;
  FigureRule figure;
  /// The most arguments an action line may give it.  Several arguments
  /// reach the action as one cell row; action_arguments() unpacks it.
  std::size_t most_arguments = 1;
};

/// The actions in dispatch order: the 39 of the main window, then Velmora's
/// own additions.
const std::vector<ActionSpec>& action_table();
const ActionSpec* find_action(std::string_view name);

/// The arguments an action was given, one value each: none for an empty
/// `fpass`, the items of a cell row (several arguments), else `fpass` alone.
ValueList action_arguments(const Value& fpass);

/// Runs one action as `velmorasw(action, fpass)` does: exact dispatch, the
/// precondition checks, the figure rule, and the error policy (a data refusal
/// shows its message box; a run-time error ends the action, keeps what it
/// assigned, and is reported on standard error with the action's name).
/// The report is also kept as `ws.last_action`.
ActionReport run_action(Workspace& ws, const Value& action, const Value& fpass);

/// Registers `velmorasw` (2 inputs, 0 outputs), running on the program's
/// workspace.
void register_switchyard(FunctionTable& table);

// --- the main window's buttons ----------------------------------------------

// Which of the main window's buttons can run now: the action table's
// needs checked against the session, and the reason shown where not.

/// The tooltip reason of a button that needs landmarks.
inline constexpr const char* kLoadLandmarksFirst =
    "Load landmarks first (File ▸ Load Landmarks…, Ctrl+O).";
/// The tooltip reason of a button that needs X.
inline constexpr const char* kLoadXFirst = "Load X first (Load X List… or Use Centroid Size as X).";

/// Why a button of an action with `needs` (the switchyard's Need bits)
/// cannot run on the session as it is, empty when it can.
std::string why_disabled(Workspace& ws, unsigned needs);

/// Brings the main window up to date with the session: every button that
/// runs an action of the switchyard is enabled when the action's needs are
/// met (the Rotate buttons also while the reference may be turned), else
/// greyed with the reason first in its tooltip; the start hint shows in the
/// plot while no sample is loaded.  Without a main window it does nothing.
void sync_main_controls(Workspace& ws);

/// Lets the Rotate buttons (tags "RotX" and "RotZ") turn the reference, or
/// not: they may only while no scores were computed on it.
void allow_rotation(Workspace& ws, bool allowed);

// --- helpers for the actions ----------------------------------------------

/// Shows a value on the console under a name.
void echo(std::string_view name, const Value& v);
}  // namespace velmora::app
