#pragma once

#include <string>

#include "platform/graphics/graphics.hpp"
#include "platform/value/value.hpp"

namespace velmora::gui {

/// Name of the figure's application data that holds the window data.
inline constexpr const char* kGuiDataName = "UsedByGUIData_m";
/// Refusal of a handle that is not a figure or one of its descendants.
inline constexpr const char* kNotFigureHandleText =
    "H must be the handle to a figure or figure descendent.";

/// The figure that holds `h`: climbs "Parent" until an object of "Type"
/// "figure".  -1 when `h` is not one valid handle or lies outside every
/// figure (the root object).
gfx::Handle parent_figure(const Value& h);

/// The handle structure of figure `fig`: one field per distinct valid tag
/// (`isvarname`), holding the 1×n row of the handles of all objects with
/// that tag in search order (the figure first, then its descendants depth
/// first, hidden ones included).  The empty value when no object carries a
/// valid tag.
Value guihandles(gfx::Handle fig);
/// The handle structure of the figure that holds `h`; RuntimeError
/// kNotFigureHandleText when there is none.
Value guihandles(const Value& h);
/// The handle structure of the current figure.
Value guihandles();

/// The window data of the figure that holds `h` (empty when never set).
Value guidata(const Value& h);
/// Stores `data` as the window data of the figure that holds `h`.
void guidata(const Value& h, Value data);

}  // namespace velmora::gui
