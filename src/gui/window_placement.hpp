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

/// A rectangle on the screen [left bottom width height] in pixels, bottom
/// counted from the bottom of the screen.
using ScreenRect = std::array<double, 4>;

/// Narrowest a window placed beside another is made.
inline constexpr double kMinBesideWidthPx = 420;

/// Where a new window of outer size `want` (width, height) goes next to the
/// window `main` (outer rectangle) on a screen of `screen` (width, height):
/// right of it where at least kMinBesideWidthPx is free there, else left
/// of it, its top level with main's top and narrowed to the free width;
/// where neither side has room, inside `open` – the part of main without
/// controls – at its top-right corner, no larger than `open`.  The result
/// always lies on the screen.
ScreenRect place_beside(const ScreenRect& main, const ScreenRect& open,
                        const std::array<double, 2>& want, const std::array<double, 2>& screen);

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
