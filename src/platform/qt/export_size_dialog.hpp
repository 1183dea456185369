#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "platform/graphics/backend.hpp"

class QWidget;

namespace velmora::qt {

/// Asks the size and resolution of a figure export in a small modal dialog:
/// "The window's size" or a custom width × height in cm or in, and a
/// resolution in dpi (only for a raster picture, `raster`), with the
/// picture's size in pixels beside them.  `window_px` is the window's size;
/// `start` fills the fields.  nullopt when the user cancelled.
///
/// Its widgets carry object names a test can find: "windowSize" and
/// "customSize" (radio buttons), "width" and "height" (QDoubleSpinBox),
/// "unit" (QComboBox: cm, in), "dpi" (QSpinBox), "pixels" (QLabel).
std::optional<gfx::ExportSize> ask_for_export_size(std::string_view title,
                                                   const gfx::ExportSize& start,
                                                   std::array<double, 2> window_px, bool raster,
                                                   QWidget* parent);

/// Asks the frames of an animation export: their count, their size in
/// pixels, how many a second a GIF or video shows, and the heat scale's top
/// (its lowest value: the display's own).  nullopt when the user cancelled.
/// Object names: "frames", "width", "height", "fps" (QSpinBox), "scaleTop"
/// (QDoubleSpinBox).
std::optional<gfx::AnimationSettings> ask_for_animation(std::string_view title,
                                                        const gfx::AnimationSettings& start,
                                                        QWidget* parent);

}  // namespace velmora::qt
