#pragma once

#include <array>
#include <vector>

#include "platform/render/scene.hpp"

namespace velmora::render {

/// Convex hull of a few screen points (monotone chain), counter-clockwise
/// in a y-up frame; fewer than three distinct points come back as they are
/// (sorted, without repeats).
std::vector<std::array<double, 2>> convex_hull(std::vector<std::array<double, 2>> points);

/// A screen rectangle [left top right bottom], rows growing downwards.
using ScreenBox = std::array<double, 4>;

/// Where a label beside a point goes: in the corner `halign`/`valign` ask
/// for, `margin` pixels off the point on both axes, unless its box of
/// `size` (width, height) would overlap one already in `taken`; then the
/// first of the other three corners that overlaps none, or, when every
/// corner does, the one that overlaps least.  The chosen box is added to
/// `taken`.  Labels that centre on their point stay where they are.
std::pair<HAlign, VAlign> place_label(std::array<double, 2> point, double margin,
                                      std::array<double, 2> size, HAlign halign, VAlign valign,
                                      std::vector<ScreenBox>& taken);

}  // namespace velmora::render
