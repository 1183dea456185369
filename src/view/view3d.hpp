#pragma once

#include "platform/graphics/backend.hpp"
#include "view/window_state.hpp"

namespace velmora::app {

struct Document;

/// Takes the 3-D window's view (azimuth, elevation, zoom of its 3-D axes)
/// and its inner size into the model.  The user turns, zooms and resizes the
/// window between actions; every action starts by reading them back.
/// Nothing changes when the 3-D window is closed.
void capture_view3d(Document& doc);

/// Shows the model's view in every 3-D axes of the 3-D window and gives the
/// window the model's size (its top-left corner stays).  Called after every
/// action, so a redraw never loses the view the user chose.
void apply_view3d(Document& doc);

/// Gives figure `fig` an inner size of width×height pixels, its top-left
/// corner kept and its children in normalized units keeping their share, as
/// when the user resizes its window.
void resize_figure(gfx::Handle fig, double width, double height);

}  // namespace velmora::app
