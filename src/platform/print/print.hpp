#pragma once

#include <string>
#include <vector>

#include "platform/graphics/graphics.hpp"

namespace velmora::gfx {

/// Prints figure `fig` of `g`: "-dmeta" to the clipboard (SVG and PNG),
/// "-depsc" "-dpsc" "-dpng" "-dsvg" "-dpdf" to `path`; "-noui" leaves
/// controls out; "-rN" sets the resolution of PNG output in dots per inch.
/// A bad figure, option, device or missing file name throws RuntimeError.
///
/// Printing draws through the Cairo renderer, so it lives in its own
/// library (velmora_print): a program that prints links it; the object
/// model itself links no drawing code.
void print_figure(Graphics& g, Handle fig, const std::vector<std::string>& options,
                  const std::string& path = {});

}  // namespace velmora::gfx
