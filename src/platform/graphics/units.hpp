#pragma once

#include <string_view>

// Length units of positions and extents.  Internal to the object model.
namespace velmora::gfx {

/// Pixels in one `units` ("pixels", "points", "inches", "centimeters",
/// "characters"; any letter case) on a screen of `ppi` pixels per inch.  A
/// character cell is 5/96 inch wide and 13/96 inch high (`vertical`).
/// Throws RuntimeError for other units ("normalized" is relative to the
/// parent and has no fixed size).
double pixels_per_unit(std::string_view units, bool vertical, double ppi);

}  // namespace velmora::gfx
