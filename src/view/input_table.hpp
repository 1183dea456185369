#pragma once
// The main window's input controls as view/input_controls.def defines them:
// the one place where a control's tag, kind, bounds, starting value and
// readers are written.

#include <cstddef>
#include <limits>
#include <string_view>

namespace velmora::app {

/// What kind of control holds an input, and so what `set` gives it.
enum class InputKind {
  Edit,   ///< an edit box: any text, checked when entered
  Popup,  ///< a pop-up menu: a 1-based entry
  Check,  ///< a check box: on or off
};

/// An input control of the main window, by its tag.
struct InputControl {
  std::string_view tag;
  InputKind kind;
  bool whole;                ///< an edit box that takes whole numbers only
  std::string_view what;     ///< the value's name in a refusal
  std::string_view example;  ///< a number a refusal suggests (edit boxes of any number)
  double lo, hi;             ///< the values allowed (±infinity: no bound)
  bool up_to_components;     ///< at most the loaded sample's number of principal components
  double start;              ///< the value of a new session and of the layout file
  std::string_view read_by;  ///< the actions reading it, blank-separated
};

namespace input_table {

inline constexpr double kUnbounded = std::numeric_limits<double>::infinity();
/// As an upper bound: the loaded sample's number of principal components.
inline constexpr double kComponents = -1;

// The model's type and the control's kind of each table type.
using Real = double;
using Whole = long long;
using Popup = std::size_t;
using Check = bool;
inline constexpr InputKind kKindReal = InputKind::Edit, kKindWhole = InputKind::Edit,
                           kKindPopup = InputKind::Popup, kKindCheck = InputKind::Check;
inline constexpr bool kWholeReal = false, kWholeWhole = true, kWholePopup = true,
                      kWholeCheck = true;

inline constexpr InputControl kControls[] = {
#define VELMORA_INPUT(type, member, tag, what, example, lo, hi, start, read_by) \
  {tag,                                                                         \
   kKind##type,                                                                 \
   kWhole##type,                                                                \
   what,                                                                        \
   example,                                                                     \
   lo,                                                                          \
   (hi) == kComponents ? kUnbounded : (hi),                                     \
   (hi) == kComponents,                                                         \
   start,                                                                       \
   read_by},
#include "view/input_controls.def"
#undef VELMORA_INPUT
};

}  // namespace input_table

}  // namespace velmora::app
