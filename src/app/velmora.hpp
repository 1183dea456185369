#pragma once

#include <string_view>
#include <vector>

#include "platform/runtime/function_table.hpp"

namespace velmora::app {

/// The main window function.  With no input it opens the window from
/// Velmora.fig (reusing an open one), sets its colour and stores the handles
/// of its tagged objects as window data; output 1 is the window.  With a
/// text first input it calls the window callback or the function of that
/// name with the other inputs, printing any error instead of raising it.
ValueList velmora(const ValueList& args, int nargout);

/// The 40 placeholder callbacks of the window, in table order.
const std::vector<std::string_view>& window_callbacks();

/// Registers `Velmora` and every function of every layer, in table order.
void register_all_functions();

}  // namespace velmora::app
