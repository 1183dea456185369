#pragma once

#include <Eigen/Core>
#include <string_view>

#include "platform/graphics/backend.hpp"
#include "platform/value/value.hpp"

namespace velmora::app {

struct Document;

/// Whether the 3-D figure is open (the user may have closed it).
bool figure3d_open(const Document& doc);
/// The 3D display figure (valid: reopened and redrawn if the user closed it).
gfx::Handle figure3d(Document& doc);
/// Opens a new 3D display figure and records it as the document's.
gfx::Handle new_figure3d(Document& doc);
/// Makes the main window current, when it is still open.
void make_main_current(const Document& doc);
/// Draws the reference in the current axes as LoadData does ("gp", with the
/// wireframe in "k-" when one is active).
void draw_reference(Document& doc);
/// Makes the 3-D figure current (reopened if the user closed it); its handle.
gfx::Handle make_figure3d_current(Document& doc);
/// Makes the 3-D figure current and empties it for a new display: nothing
/// of an earlier one stays, in the plot or in its legend.
void begin_figure3d_display(Document& doc);
/// Makes the 3-D figure current and draws the reference alone in its axes,
/// emptied first (the legend and the view stay).
void redraw_reference(Document& doc);
/// A new sample's reference in the 3-D figure: the open one emptied and
/// reused (its view, size and place kept), else a new one.
void show_new_reference(Document& doc);
/// The reference drawn again in the current axes, emptied first; the
/// axes' handle.
Value redraw_reference_in_current_axes(Document& doc);
/// The loaded wireframe as the drawing functions take it (empty without one).
Eigen::MatrixXd wire_list(const Document& doc);
/// The first control tagged `tag` in any open window.
gfx::Handle control(std::string_view tag);

}  // namespace velmora::app
