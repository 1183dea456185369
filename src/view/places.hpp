#pragma once
// The main window's places an action writes to (the file and wire boxes,
// the X-scale buttons, the test status, the Settings menu's ticks), the
// questions it asks (a list to choose from, a message box) and the figures
// it empties.  The application says what to show; these say where.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/backend.hpp"
#include "platform/value/value.hpp"

namespace velmora::app {

struct Document;

/// The window current when an action starts (the main window, for the
/// loads that name it).
gfx::Handle current_window();
/// The file kept in place `slot` (1-based) of File > Recent Files, or "".
std::string recent_file_in_menu(int slot);
/// The main window's input control tagged `tag` shows `value`: as its
/// text (`as_text`, an edit box) or as its number (a pop-up menu's entry, a
/// check box).  Nothing without such a control.
void show_control_value(std::string_view tag, bool as_text, const std::string& value);
/// The tag of control `h` ("" when it is gone).
std::string control_tag(gfx::Handle h);
/// What control `h` holds: its text (`as_text`) or its number.
Value control_value(gfx::Handle h, bool as_text);
/// Calls `taken` with the control whenever the user enters a value in one
/// of the controls of window `main` whose tag `wanted` takes.
void on_control_input(gfx::Handle main, const std::function<bool(std::string_view tag)>& wanted,
                      void (*taken)(gfx::Handle control));
/// The control tagged `tag` among the objects of window `main`, or none.
std::optional<gfx::Handle> window_control(gfx::Handle main, std::string_view tag);
/// The entries of pop-up menu `h`.
std::vector<std::string> popup_items(gfx::Handle h);
/// Calls `file_answered` with every answer of a file dialog (`kind` "open"
/// or "save"; none when cancelled) and `item_answered` with every answer of
/// a list dialog, from now on.
void observe_dialogs(
    std::function<void(std::string_view kind, const std::optional<gfx::FilePick>& pick)>
        file_answered,
    std::function<void(const std::optional<std::string>& item)> item_answered);
/// The file box's text: what is loaded ("No File Loaded" when nothing is).
void show_file_box(const std::string& text);
/// The wireframe box's text ("No Wireframe Loaded" when none is).
void show_wire_box(const std::string& text);
/// The X-scale buttons: Ln X pressed on the logarithmic scale, Linear X
/// pressed otherwise.
void show_x_scale(bool ln);
/// Ticks menu item `on_tag` and unticks `off_tag` (`on`), or the other way.
void check_menu_pair(std::string_view on_tag, std::string_view off_tag, bool on);
/// Ticks each menu item tagged as given, or unticks it.
void check_menu_items(std::initializer_list<std::pair<std::string_view, bool>> items);
/// The test status line under the test buttons; a long test shows how far
/// it is, and the window keeps answering while it runs.
void show_test_status(const std::string& text);
/// A message box with `text` under `title`, left open beside the window;
/// its handle (empty where no window can show it).
Value show_message_window(const std::string& text, const std::string& title);
/// A report's message window with its table in a fixed-width font; its
/// handle.
Value show_table_window(const std::string& text, const std::string& title);
/// A message box that the action's outcome shows (a refusal, a note).
void show_message_box(const std::string& text, const std::string& title);
/// The About box: `text` under "About Velmora" with the help icon, in
/// place of an open one.
void show_about_box(const std::string& text);
/// A document (Markdown) in a window of its own, under `title`.
void show_document(const std::string& title, const std::string& markdown);
/// Whether the user answered yes to `question` under `title`.
bool ask_yes_no(const std::string& question, const std::string& title);
/// Closes every window, the 3-D window and the reports too; the program
/// ends with the last one.
void close_all_windows();
/// The entry of `items` the user chose in a list dialog, or none.
std::optional<std::size_t> choose_from_list(std::string_view title, std::string_view prompt,
                                            const std::vector<std::string>& items);
/// The text the user chose among `items` or typed in an editable list
/// dialog, or none.
std::optional<std::string> choose_or_type(std::string_view title, std::string_view prompt,
                                          const std::vector<std::string>& items);
/// Empties the current figure (its axes, legend and colour bar) for a new
/// display; its handle.
Value clear_current_figure();
/// Whether the 3-D view is a tab of the main window, in front.
bool docked_view_in_front(const Document& doc);
/// Brings the main window's own contents (controls, plot, log) to the
/// front, where the 3-D view is one of its tabs.
void show_main_window_contents(const Document& doc);
/// Shows the open 3-D figure in a tab of the main window or in a window of
/// its own, as the window state's dock choice says; docked, the view takes
/// the tab's size, which later redraws keep.
void apply_dock_choice(Document& doc);
/// Empties the main window's plot and, when it is open, the 3-D figure (the
/// windows stay); the handle of the axes that were current.
Value clear_plot_and_figure3d(Document& doc);

}  // namespace velmora::app
