#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/graphics/graphics.hpp"
#include "platform/value/value.hpp"

namespace velmora::gui {

enum class LabelAxis { X, Y, Z };

/// Sets the axis title of the current axes: copies the axes' "FontAngle",
/// "FontName", "FontSize" and "FontWeight" to the title text, sets its
/// "String" to `label`, then applies `pairs` (name, value, name, value …)
/// in order, so they can override the copied font.  An odd number of
/// further arguments is refused with "Incorrect number of input arguments"
/// before anything changes.
/// @return the title text's handle
gfx::Handle axis_label(LabelAxis axis, const Value& label, const ValueList& pairs = {});

/// Grid lines of axes `ax`.  `option` "on" or "off" sets all three grids;
/// no option toggles each of "XGrid", "YGrid", "ZGrid" separately; any
/// other (also an empty one) is refused with "Unknown command option.".
void grid(gfx::Handle ax, std::optional<std::string_view> option = std::nullopt);

/// The call-by-name form: (), (option), (axes), (axes, option).  Options
/// are lower-cased.  Refusals: "First argument must be an axes handle.",
/// "Axes handle must be a scalar", "Unknown command option.".
void grid(const ValueList& args);

/// Deletes the visible plotted children of the current axes (the axes and
/// their labels stay).  No options are supported.
/// @return the current axes
gfx::Handle cla(const ValueList& options = {});

/// Deletes the visible children of the current figure and redraws it.  No
/// options are supported.
/// @return the current figure
gfx::Handle clf(const ValueList& options = {});

}  // namespace velmora::gui
