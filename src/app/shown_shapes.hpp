#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "shape/types.hpp"

// The landmark configurations the 3-D view shows (the mean, a target, the
// pair of a component, group means …), kept with the line objects that
// draw them, so that File > Save Shown Shapes writes exactly what is shown
// and nothing of an earlier picture.

namespace velmora::app {

struct Workspace;

/// A configuration the 3-D view shows, under the name its legend gives it.
struct ShownShape {
  std::string name;
  shape::Config config;  ///< k×3, in the view's units
};

/// Records that `lines` (the first of them) show `config` under `name`.
/// Nothing when `lines` is empty (the display type draws no such part).
void mark_shown_shape(const std::vector<gfx::Handle>& lines, const shape::Config& config,
                      std::string_view name);

/// The configurations the 3-D window shows now, in drawing order (the
/// legend's); none when the window is closed or shows none.
std::vector<ShownShape> shown_shapes(Workspace& ws);

}  // namespace velmora::app
