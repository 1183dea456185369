#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "analysis/session.hpp"
#include "app/action_report.hpp"
#include "app/app_state.hpp"
#include "app/script_recorder.hpp"
#include "app/surface_view.hpp"
#include "platform/value/value.hpp"

namespace velmora::app {

/// Everything an action works on: the analysis with its choices (the
/// session), what only the window has, the recording of the actions run,
/// and what the 3-D window shows of a surface.  Every action takes it; the
/// program holds one from start to end.
struct Workspace {
  Workspace();

  analysis::Session session;  ///< sample, superimposition, X, results and the model choices
  WindowState window;         ///< handles, display settings, inputs, flags and the results log
  ScriptRecorder recorder;    ///< the actions run at the window, for Save Session Script
  ShownSurface surface;       ///< the surface the 3-D window shows, and its target
  ActionReport last_action;   ///< how the latest action ended
  ActionReport last_input;    ///< how the latest typed input ended

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
