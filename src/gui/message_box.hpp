#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "platform/value/value.hpp"

namespace velmora::gui {

/// The first input that makes `msgboxd` act as the message window's key
/// handler instead of opening a window.
inline constexpr const char* kKeyPressMarker = "#FigKeyPressFcn";
/// Messages are wrapped at this many characters per line.
inline constexpr std::size_t kMessageWrapColumns = 75;

/// Message-window layout, in points.
struct MessageBoxLayout {
  static constexpr double kOffset = 7;  // margin around every part
  static constexpr double kIconSide = 32;
  static constexpr double kButtonWidth = 40;
  static constexpr double kButtonHeight = 20;
  static constexpr double kInitialHeight = 50;
  static constexpr double kInitialWidth = 210;  // without an icon
  static constexpr double kInitialWidthWithIcon = 190;
  static constexpr double kFontSize = 14;
  static constexpr double kTextRaise = 5;       // text drawn above its box's bottom
  static constexpr double kTableFieldPad = 24;  // a table's field: frame, margins, a line
  /// A table's window takes at most this share of the screen's width and
  /// height; a larger table scrolls inside it.
  static constexpr double kTableScreenShare = 0.9;
};

/// How a message window is made, after the call forms are resolved.
struct MessageBoxSetup {
  std::string title = " ";
  /// "none", "help", "warn", "error" or "custom".
  std::string icon = "none";
  Value icon_data;      // custom icon: m×n index image (or m×n×3 colours)
  Value icon_colormap;  // custom icon: k×3 colour map
  /// "non-modal", "modal" or "replace".
  std::string mode = "non-modal";
  /// The message text's interpreter ("none" unless a mode record says).
  std::string interpreter = "none";
  /// The message is a table: its lines are shown as they are (never
  /// wrapped) in a fixed-width font, so that its columns line up, in a
  /// read-only field that can be selected and copied and that scrolls when
  /// the table is larger than the screen allows.
  bool table = false;
};

/// The fixed-width font of a table in a message window.
inline constexpr const char* kTableFontName = "DejaVu Sans Mono";

/// Resolves the call forms (message, title, icon, icon data, colour map,
/// create mode) into a setup; the message is args[0] and is not read.
/// A create-mode word (any letter case) or record as the second or third
/// input is taken as the mode.  Unknown icon and mode names fall back to
/// "none" and "non-modal" with a "Warning: ..." line on the console; icon
/// data with another icon than "custom" forces "custom" with a warning.
/// RuntimeError for a mode word as fifth of five inputs, fewer than one or
/// more than six inputs, or a title that is not text.
MessageBoxSetup resolve_message_box_args(const ValueList& args);

/// The message as wrapped lines: text is split at line feeds (a cell array
/// gives one paragraph per entry), then every paragraph is broken at the
/// last blank within `columns` characters (a longer word is cut).
std::vector<std::u16string> wrap_message(const Value& message,
                                         std::size_t columns = kMessageWrapColumns);

/// Opens (or, for "modal" and "replace", reuses the window with "Tag" and
/// "Name" equal to the title) a message window with the message, an OK
/// button that closes it, an optional icon, and a key handler that closes
/// it on a blank or a return.  The window is sized to the wrapped text
/// (never narrower than its initial width), centred on the screen, visible
/// with "HandleVisibility" "callback", and announced to the backend.
/// @return the window's handle
gfx::Handle msgboxd(const Value& message, const MessageBoxSetup& setup = {});

/// The call-by-name form: the key-press marker runs the key handler and
/// returns nothing; otherwise the inputs are resolved and the window opened.
std::optional<gfx::Handle> msgboxd(const ValueList& args);

/// The message window's key handler: closes the window (the callback's
/// figure, else the current one) when its "CurrentCharacter" is a blank or
/// a return.
void message_box_key_press();

}  // namespace velmora::gui
