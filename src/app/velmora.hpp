#pragma once

#include <string_view>
#include <vector>

#include "platform/graphics/backend.hpp"
#include "platform/runtime/function_table.hpp"

namespace velmora::app {

/// The main window function.  With no input it opens the window from
/// Velmora.fig (reusing an open one; the working folder's copy before the
/// installed one), sets its colour and stores the handles of its tagged
/// objects as window data; output 1 is the window.  A layout that cannot
/// be read or lacks what the window needs raises gui::LayoutError (no
/// window is left); a new window from a layout other than the installed
/// one names its file on the console.  With a
/// text first input it calls the window callback or the function of that
/// name with the other inputs, printing any error instead of raising it.
ValueList velmora(const ValueList& args, int nargout);

/// Whether a command-line argument names a file to open rather than a
/// function to call: a file that exists, or a name that ends in an
/// extension Velmora reads (a landmark file, or a .velmora script).
bool names_a_file(const std::string& argument);

/// Opens `paths` in the open main window `main`, one after the other: a
/// .velmora script runs in the window, landmark files load as Load
/// Landmarks would (consecutive markup files as one sample).  A missing
/// file, or a refused or stopped one, ends the opening with a message box.
void open_in_window(const std::vector<std::string>& paths, gfx::Handle main);

/// The program's command line `velmora NAME ARG...`: as velmora() with
/// output 1, except that an error is raised (the program then exits 1)
/// and a function that declares no outputs is asked for none.
ValueList command_line_call(const ValueList& args);

/// The 40 placeholder callbacks of the window, in table order.
const std::vector<std::string_view>& window_callbacks();

/// The tags the actions look their controls up by.
const std::vector<std::string_view>& required_tags();

/// Refuses a freshly opened main window that lacks a tagged control of
/// required_tags() or a control or menu for an action of the switchyard:
/// destroys it and raises gui::LayoutError `Layout file "PATH": no control
/// is tagged "FileBox"; the main window needs it.` (or `no control or menu
/// runs the action "LoadData"`).
void check_main_layout(gfx::Handle fig);

/// The program's functions callable by name, in the order the table keeps
/// them (position 0 first).
const std::vector<std::string>& function_order();

/// Registers `Velmora` and every function of every layer, in the order of
/// function_order().
void register_all_functions();

}  // namespace velmora::app
