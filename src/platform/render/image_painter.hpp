#pragma once

#include "platform/render/projection.hpp"
#include "platform/render/scene.hpp"
#include "platform/render/svg_writer.hpp"

namespace velmora::render {

/// Draws a raster image over its data rectangle in the z = 0 plane as
/// `projection` puts it on the screen, each pixel a sharp-edged cell; an
/// image whose pixel count does not match its size draws nothing.
void paint_image(const Ink& ink, const Projection& projection, const SceneImage& image);

}  // namespace velmora::render
