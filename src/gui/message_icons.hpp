#pragma once

#include "platform/value/value.hpp"

namespace velmora::gui {

/// Side of a message-box icon, in pixels (and in points on the window).
inline constexpr std::size_t kIconSize = 32;

enum class StockIcon { Help, Warn, Error };

/// A 32×32 index image, row 1 at the top: 1 marks the black drawing, 2 the
/// window's background.  "warn" is an exclamation mark in a triangle,
/// "help" an "i" in a ring, "error" a cross in a ring.
Value stock_icon_image(StockIcon icon);

/// The two-entry colour map of a stock icon: [black; background], 2×3.
/// @param background 1×3 RGB colour in 0…1
Value stock_icon_colormap(const Value& background);

}  // namespace velmora::gui
