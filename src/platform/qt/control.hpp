#pragma once

#include <QStringList>
#include <string>
#include <string_view>

#include "platform/graphics/backend.hpp"
#include "platform/value/value.hpp"

class QWidget;

namespace velmora::qt {

class WindowSet;

/// The entries of a control's "String": the lines of a text (split at line
/// feeds, and at '|' when `split_bars`) or the texts of a cell.
QStringList string_items(const Value& string, bool split_bars);

/// The Qt widget of one uicontrol, built for its "Style" and kept in step
/// with its properties:
///  pushbutton → QPushButton, togglebutton → checkable QPushButton,
///  text → QLabel, edit → QLineEdit, checkbox → QCheckBox,
///  radiobutton → QRadioButton, popupmenu → QComboBox,
///  listbox → QListWidget, frame → QFrame (a box), splitter → a grip the
///  user drags up or down (its "Value" is then where it was let go: its
///  bottom, in pixels from the window's bottom); other styles show their
///  text as a label.
/// What the user does sets "String" or "Value" first, then runs the
/// "Callback" through WindowSet::activate.
class Control {
 public:
  /// Builds the widget as a child of `canvas`, which owns it.
  Control(gfx::Handle h, QWidget* canvas, WindowSet& set);
  ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  QWidget* widget() const { return widget_; }
  /// Applies one changed property; a new Style builds a new widget.
  void sync(std::string_view name);
  /// Places the widget from the control's Position in a canvas
  /// `figure_height_px` pixels high.
  void place(double figure_height_px);
  /// Gives up the widget, which the caller deletes.
  QWidget* take_widget();

 private:
  void build();
  /// Replaces the widget by one built for the control's present style.
  void rebuild();
  void sync_all();
  void apply_string();
  void apply_value();
  void apply_range();
  void apply_enable();
  void apply_colors();
  void apply_font();
  void apply_alignment();
  void connect_signals();

  gfx::Handle h_;
  QWidget* canvas_;
  WindowSet& set_;
  QWidget* widget_ = nullptr;
  std::string style_;
};

}  // namespace velmora::qt
