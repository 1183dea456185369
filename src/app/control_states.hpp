#pragma once

#include <string>

#include "view/controls.hpp"

namespace velmora::app {

struct Workspace;

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

}  // namespace velmora::app
