#pragma once

#include <string_view>

#include "platform/graphics/backend.hpp"
#include "platform/graphics/object.hpp"
#include "platform/value/value.hpp"

// What each object type has and accepts: its properties with their defaults,
// which of them hold keywords, which are rectangles in the object's units,
// and the checks a new value passes before it is stored.  Internal to the
// object model.
namespace velmora::gfx {

/// The properties of type `t` with their defaults, in the order they are
/// applied ("Units" comes before "Position", so rectangles convert with it).
/// The figure is centred on the backend's screen.
PropList defaults_for(Type t, const Backend& backend);

/// Properties whose values are keywords (on/off and the like), stored and
/// read back in lower case.  `lname` is lower case.
bool is_keyword_property(std::string_view lname);

/// Properties that are never set by the user ("Type", "Children" …).
bool is_read_only_property(std::string_view lname);

/// Rectangles kept in pixels and converted to the object's "Units" on every
/// get and set (figure and outer position, axes and control position, the
/// root's screen size).
bool is_rect_property(Type t, std::string_view lname);

/// The value to store in property `lname` of an object of type `t`:
/// keywords lower-cased; sizes must be positive numbers, units known, handle
/// visibility on/off/callback, axis limits two increasing numbers.  Throws
/// RuntimeError with the text the user sees.  Checks that need other objects
/// (current figure, current axes) are the object tree's.
Value checked_value(Type t, std::string_view lname, Value v);

}  // namespace velmora::gfx
