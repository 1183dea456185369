#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "app/action_report.hpp"
#include "app/script_recorder.hpp"
#include "platform/value/value.hpp"
#include "view/document.hpp"

namespace velmora::app {

/// Everything an action works on: the document the windows show (the
/// session with its choices, what only the window has, and the surface the
/// 3-D window shows), with the recording of the actions run.  Every action
/// takes it; the program holds one from start to end.
struct Workspace : Document {
  Workspace();

  ScriptRecorder recorder;   ///< the actions run at the window, for Save Session Script
  ActionReport last_action;  ///< how the latest action ended
  ActionReport last_input;   ///< how the latest typed input ended

  /// Every part under the name the console and the tests know it by, as a
  /// value (empty when not set), in a fixed order.
  std::vector<std::pair<std::string_view, Value>> named() const;
  /// Forgets the analysis and the window's state (a fresh start, as for a
  /// batch run); the recording and the last reports stay.
  void reset();
};

/// The program's workspace: reached only where the program starts, where
/// the graphics run-time calls back (velmorasw, controls, sliders) and by
/// the tests; everything else is handed the workspace it works on.
Workspace& workspace();

}  // namespace velmora::app
