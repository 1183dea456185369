#pragma once

#include <array>
#include <string>
#include <variant>

#include "platform/graphics/graphics.hpp"
#include "platform/value/value.hpp"

namespace velmora::gui {

/// Where `movegui` puts a window: one of the names "north", "south",
/// "east", "west", "northeast", "southeast", "northwest", "southwest",
/// "center", "onscreen", or an explicit [left, bottom] in pixels (a
/// negative value counts from the right or top screen edge).
using Placement = std::variant<std::string, std::array<double, 2>>;

/// Width and height of the screen in `units` ("pixels", "points" …), read
/// from the root's "ScreenSize" with the root's "Units" set back afterwards.
std::array<double, 2> screen_size(std::string_view units);

/// True for the ten position names (exact, case-sensitive).
bool is_placement_name(std::string_view name);

/// Moves figure `fig` on the screen, in pixels on its outer position (frame
/// included): the window is shrunk to the screen size where it is larger,
/// then placed by `where`.  The figure's "Units" and
/// "ActivePositionProperty" are kept.  An unknown name raises RuntimeError
/// "unrecognized position".
void movegui(gfx::Handle fig, const Placement& where = std::string("onscreen"));

/// The call-by-name form: at most three arguments in any order, a handle
/// (its figure is moved), a position name or a two-number [left bottom].
/// Defaults: the callback's figure, else the current figure; "onscreen".
/// While a callback runs an unusable first argument is skipped.
/// Refusals: "handle of figure or descendant required", "unrecognized
/// position", "unrecognized input argument".
void movegui(const ValueList& args);

}  // namespace velmora::gui
