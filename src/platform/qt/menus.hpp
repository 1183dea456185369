#pragma once

#include <QString>
#include <map>
#include <string_view>

#include "platform/graphics/backend.hpp"

class QAction;
class QKeySequence;
class QMenu;
class QWidget;

namespace velmora::qt {

class FigureWindow;
class WindowSet;

/// The shortcut of a menu "Accelerator": one letter is Ctrl and that
/// letter ("q" gives Ctrl+Q); a longer text is a key name as Qt reads it
/// ("F1", "Ctrl+Shift+E"); an empty one is no shortcut.
QKeySequence menu_shortcut(std::string_view accelerator);

/// The uimenus of every figure as Qt menus: a figure's top-level uimenus
/// are the entries of its menu bar in creation order, a uimenu with
/// children opens a submenu, a leaf is an action that runs its Callback.
/// "Label", "TooltipString" (shown on hover), "Enable", "Visible" and
/// "Checked" (a check mark) follow the
/// objects; "Separator" on puts a separator line before the entry; an
/// "Accelerator" becomes the entry's shortcut (see menu_shortcut), active in
/// every window of the program; of several entries with the same keys only
/// the first holds the shortcut, the others show the keys.
class MenuEntries {
 public:
  explicit MenuEntries(WindowSet& set) : set_(set) {}

  /// Adds the entry of a new uimenu of the figure shown in `window`.
  void add(gfx::Handle h, FigureWindow& window);
  /// Applies one changed property.
  void sync(gfx::Handle h, std::string_view name);
  /// Removes the entry of a deleted uimenu (its children are gone already).
  void remove(gfx::Handle h);
  bool contains(gfx::Handle h) const { return entries_.count(h) != 0; }
  QAction* action(gfx::Handle h) const;
  /// Forgets every entry (their windows are being deleted).
  void clear() {
    entries_.clear();
    owners_.clear();
  }

 private:
  struct Entry {
    QAction* action = nullptr;     // the entry in its menu or the menu bar
    QAction* separator = nullptr;  // drawn before the entry
    QMenu* submenu = nullptr;      // made when the first child appears
    QWidget* container = nullptr;  // the menu bar or the parent's submenu
    FigureWindow* window = nullptr;
    bool top_level = false;
    QString shown_key;  // keys shown beside the label, held by another entry
  };

  QMenu* submenu_of(gfx::Handle h, Entry& parent);
  void apply(gfx::Handle h, Entry& e);
  void apply_checked(gfx::Handle h, Entry& e);
  void apply_accelerator(gfx::Handle h, Entry& e);
  void apply_label(gfx::Handle h, const Entry& e);

  WindowSet& set_;
  std::map<gfx::Handle, Entry> entries_;
  std::map<QString, gfx::Handle> owners_;  // who holds each shortcut (keys as text)
};

}  // namespace velmora::qt
