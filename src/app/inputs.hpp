#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/action_report.hpp"
#include "platform/graphics/backend.hpp"
#include "view/input_table.hpp"
#include "view/window_state.hpp"

namespace velmora::app {

struct Workspace;

/// The main window's input controls (view/input_controls.def), in the order
/// a script sets them.
const std::vector<InputControl>& input_controls();
/// The input control tagged `tag`, or nullptr.
const InputControl* find_input(std::string_view tag);
/// The tags of the input controls `action` reads, in table order.
std::vector<std::string_view> inputs_read_by(std::string_view action);

/// Gives each input control of the main window `main` the callback that
/// takes its value into the model, and shows the model's values in them.
void connect_inputs(Workspace& ws, gfx::Handle main);

/// Takes the value `control` now holds into the model, as entering it does:
/// a bad value is refused with a message box, the model keeps its value and
/// the control shows it again.  The report is also kept as `ws.last_input`.
ActionReport take_input(Workspace& ws, gfx::Handle control);

/// Shows the model's value in the main window's control tagged `tag`.
void show_input(Workspace& ws, std::string_view tag);

/// The value of input `tag` in `in` as a batch-script word: the number in
/// the shortest form that reads back to the same double; "1"/"0" for a
/// check box; the entry number for a pop-up.
std::string input_script_value(std::string_view tag, const Inputs& in);

/// The refusal of a text that is not a whole number from `lo` to `hi`.
std::string not_whole_number_text(std::string_view what, std::string_view text, long long lo,
                                  long long hi);

/// The deformation code ("a" … "d") of the chosen display type.
std::string display_code(const Inputs& in);

}  // namespace velmora::app
