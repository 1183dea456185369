#pragma once

#include "app/app_state.hpp"

namespace velmora::app {

/// Takes the 3-D window's view (azimuth, elevation, zoom of its 3-D axes)
/// and its inner size into the model.  The user turns, zooms and resizes the
/// window between actions; every action starts by reading them back.
/// Nothing changes when the 3-D window is closed.
void capture_view3d();

/// Shows the model's view in every 3-D axes of the 3-D window and gives the
/// window the model's size (its top-left corner stays).  Called after every
/// action, so a redraw never loses the view the user chose.
void apply_view3d();

}  // namespace velmora::app
