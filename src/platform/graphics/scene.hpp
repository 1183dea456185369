#pragma once

#include "platform/graphics/graphics.hpp"
#include "platform/render/scene.hpp"

namespace velmora::gfx {

/// The renderer's description of one axes and of a whole figure, read from
/// the objects as they are now.  What the screen shows is what gets printed.
render::AxesScene axes_scene(const Graphics& g, Handle ax);
render::FigureScene figure_scene(const Graphics& g, Handle fig, bool include_controls);

}  // namespace velmora::gfx
