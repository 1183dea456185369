#pragma once

#include <QString>
#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/backend.hpp"

class QWidget;

namespace velmora::qt {

/// The Qt name filter of a pattern list: "*.eps" gives
/// "Files (*.eps);;All files (*)", "*.png;*.svg" gives
/// "Files (*.png *.svg);;All files (*)"; "", "*" and "*.*" give
/// "All files (*)".
QString name_filter(std::string_view patterns);

/// Splits an absolute path into its folder (with a trailing '/') and name.
gfx::FilePick split_path(const QString& path);

/// Asks for a file to open (an existing one) or to save, starting in the
/// working folder.  When the patterns name one extension, a name typed
/// without one gets it.  nullopt when the user cancelled.
std::optional<gfx::FilePick> ask_for_file(bool save, std::string_view patterns,
                                          std::string_view title, QWidget* parent);

/// Asks for one or more existing files to open, starting in the working
/// folder; the files in the order the dialog gives them (the order chosen),
/// none when the user cancelled.
std::vector<gfx::FilePick> ask_for_files(std::string_view patterns, std::string_view title,
                                         QWidget* parent);

/// Asks the user to pick one of `items` from a list (not editable); the
/// index of the chosen item, nullopt when the user cancelled.
std::optional<std::size_t> ask_for_item(std::string_view title, std::string_view prompt,
                                        const std::vector<std::string>& items, QWidget* parent);
/// The list dialog with an editable entry: the text chosen or typed (blanks
/// at its ends removed), or nullopt for a cancel or an empty text.
std::optional<std::string> ask_for_text_or_item(std::string_view title, std::string_view prompt,
                                                const std::vector<std::string>& items,
                                                QWidget* parent);

/// A warning box, modal to the whole program but shown without a nested
/// event loop, that deletes itself when closed; `parent` (may be null) is
/// the window it is centred on.  While one is open a further message is
/// added to its text (once) rather than shown in a second box.
QWidget* show_message_box(std::string_view text, std::string_view title, QWidget* parent);

/// A modal question with Yes and No (No is the default); true for Yes.
bool ask_yes_no(std::string_view text, std::string_view title, QWidget* parent);

/// A window that shows a Markdown document read-only (links open in the
/// desktop's browser); it deletes itself when closed.
QWidget* show_document_window(std::string_view title, std::string_view markdown);

/// Replaces the clipboard contents with every MIME type given; a PNG is also
/// set as image data, so programs that paste images get a picture.
void put_on_clipboard(const std::map<std::string, std::string>& data);

/// Width and height in points of text (lines separated by '\n') in a font
/// of `size_pt` points, measured with Qt's font metrics on the primary
/// screen.  An empty font name means DejaVu Sans.
std::array<double, 2> measure_text_pt(std::string_view text, double size_pt,
                                      std::string_view font_name);

/// The primary screen's size in logical pixels and its logical dots per
/// inch, or nullopt without a screen.
std::optional<std::array<double, 2>> primary_screen_size();
std::optional<double> primary_screen_dpi();

}  // namespace velmora::qt
