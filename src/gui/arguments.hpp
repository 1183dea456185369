#pragma once

namespace velmora::gui {

/// The run-time's own argument-count refusals, raised by the functions
/// whose declared counts allow any number of arguments.
inline constexpr const char* kNotEnoughInputsText = "Not enough input arguments.";
inline constexpr const char* kTooManyInputsText = "Too many input arguments.";
inline constexpr const char* kTooManyOutputsText = "Too many output arguments.";

}  // namespace velmora::gui
