#pragma once

#include "analysis/session.hpp"
#include "view/surface_view.hpp"
#include "view/window_state.hpp"

namespace velmora::app {

/// What the windows show and what only they hold: the session (sample,
/// superimposition, X, results and the model choices), the window's state
/// (handles, display settings, inputs, flags and the results log) and the
/// surface the 3-D window shows.  The view's functions take it; the
/// application's workspace is one, with the recording of the actions run.
struct Document {
  analysis::Session session;
  WindowState window;
  ShownSurface surface;
};

}  // namespace velmora::app
