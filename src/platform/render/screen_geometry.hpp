#pragma once

#include <array>
#include <vector>

#include "platform/render/scene.hpp"

namespace velmora::render {

/// Room on the right of an axes for its colour bar, in pixels.
inline constexpr double kColorBarBandPx = 90;

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
/// corner does, the one that overlaps least; a corner whose box leaves
/// `inside` (when given) only when every corner does.  The chosen box is
/// added to `taken`.  Labels that centre on their point stay where they are.
std::pair<HAlign, VAlign> place_label(std::array<double, 2> point, double margin,
                                      std::array<double, 2> size, HAlign halign, VAlign valign,
                                      std::vector<ScreenBox>& taken,
                                      const ScreenBox* inside = nullptr);

/// Small boxes along the twelve edges of a box whose eight corners are
/// `corners` on the screen (corner i has bit 1, 2, 4 set at the upper x, y,
/// z limit), for free_corner to avoid.
std::vector<ScreenBox> box_edge_marks(const std::vector<std::array<double, 2>>& corners);

/// Where a box of `size` (width, height) goes in `area`, `inset` pixels
/// from its sides: the first of its top-right, top-left, bottom-right and
/// bottom-left corners where it overlaps none of `avoid`, else the corner
/// where it overlaps least (top-right first among equals).
ScreenBox free_corner(const ScreenBox& area, std::array<double, 2> size, double inset,
                      const std::vector<ScreenBox>& avoid);

}  // namespace velmora::render
