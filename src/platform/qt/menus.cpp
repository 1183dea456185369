#include "platform/qt/menus.hpp"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "platform/graphics/graphics.hpp"
#include "platform/qt/convert.hpp"
#include "platform/qt/figure_window.hpp"
#include "platform/qt/window_set.hpp"

namespace velmora::qt {

QKeySequence menu_shortcut(std::string_view accelerator) {
  const QString text = qstr(accelerator).trimmed();
  if (text.isEmpty()) return {};
  // One letter is the Ctrl shortcut; a longer text names a key ("F1").
  if (text.size() == 1) return QKeySequence("Ctrl+" + text.toUpper());
  return QKeySequence(text);
}

void MenuEntries::add(gfx::Handle h, FigureWindow& window) {
  const gfx::Graphics& g = gfx::graphics();
  gfx::Handle parent = g.parent(h);
  Entry e;
  e.window = &window;
  if (g.type(parent) == gfx::Type::Figure) {
    e.container = window.menu_bar();
    e.top_level = true;
  } else {
    auto it = entries_.find(parent);
    if (it == entries_.end()) return;
    e.container = submenu_of(it->first, it->second);
    e.separator = new QAction(&window);
    e.separator->setSeparator(true);
    e.container->addAction(e.separator);
  }
  e.action = new QAction(&window);
  e.container->addAction(e.action);
  QAction* a = e.action;
  QObject::connect(a, &QAction::triggered, set_.anchor(), [this, h, a] {
    if (action(h) != a) return;
    set_.activate(h);
    // Qt toggled the check mark; the callback decides what it shows.
    auto it = entries_.find(h);
    if (it != entries_.end()) WindowSet::guarded([&] { apply_checked(h, it->second); });
  });
  auto& stored = entries_[h] = e;
  apply(h, stored);
}

QMenu* MenuEntries::submenu_of(gfx::Handle h, Entry& parent) {
  if (parent.submenu) return parent.submenu;
  QMenu* menu = new QMenu(parent.window);
  menu->setToolTipsVisible(true);  // entries that explain a word say so on hover
  parent.submenu = menu;
  parent.action->setMenu(menu);
  // A menu's own Callback runs as it opens, before its entries show.
  QObject::connect(menu, &QMenu::aboutToShow, set_.anchor(), [this, h, menu] {
    auto it = entries_.find(h);
    if (it == entries_.end() || it->second.submenu != menu) return;
    bool has_callback = false;
    WindowSet::guarded([&] { has_callback = !gfx::graphics().get(h, "Callback").empty(); });
    if (has_callback) set_.activate(h);
  });
  return menu;
}

QAction* MenuEntries::action(gfx::Handle h) const {
  auto it = entries_.find(h);
  return it == entries_.end() ? nullptr : it->second.action;
}

void MenuEntries::apply_checked(gfx::Handle h, Entry& e) {
  bool on = gfx::graphics().get_text(h, "Checked") == "on";
  e.action->setCheckable(on);
  e.action->setChecked(on);
}

// A shortcut works in every window of the program, not only in the one
// whose menu holds it: a key pressed while the 3-D window has focus runs the
// main window's entry.  Qt fires neither of two application-wide shortcuts
// with the same keys (it finds them ambiguous), so each key sequence is
// registered once, by the first entry that asks for it; another window's
// entry with the same accelerator only shows the keys beside its label and
// takes the shortcut over when the first entry goes.
void MenuEntries::apply_accelerator(gfx::Handle h, Entry& e) {
  const QKeySequence key = menu_shortcut(gfx::graphics().get_text(h, "Accelerator"));
  const QString name = key.toString(QKeySequence::PortableText);
  std::erase_if(owners_, [&](const auto& o) { return o.second == h && o.first != name; });
  e.shown_key.clear();
  if (key.isEmpty()) {
    e.action->setShortcut({});
  } else if (owners_.try_emplace(name, h).first->second == h) {
    e.action->setShortcut(key);
    e.action->setShortcutContext(Qt::ApplicationShortcut);
  } else {
    e.action->setShortcut({});
    e.shown_key = key.toString(QKeySequence::NativeText);
  }
  apply_label(h, e);
}

void MenuEntries::apply_label(gfx::Handle h, const Entry& e) {
  // In a menu, the text after a tab is shown right-aligned as the shortcut.
  const QString label = qstr(gfx::graphics().get_text(h, "Label"));
  e.action->setText(e.shown_key.isEmpty() ? label : label + '\t' + e.shown_key);
  // Without a tooltip of its own Qt shows the label again.
  const QString tip = qstr(gfx::graphics().get_text(h, "TooltipString"));
  e.action->setToolTip(tip.isEmpty() ? label : tip);
}

void MenuEntries::apply(gfx::Handle h, Entry& e) {
  const gfx::Graphics& g = gfx::graphics();
  apply_accelerator(h, e);
  e.action->setEnabled(g.get_text(h, "Enable") == "on");
  bool visible = g.get_text(h, "Visible") == "on";
  e.action->setVisible(visible);
  if (e.separator) e.separator->setVisible(visible && g.get_text(h, "Separator") == "on");
  apply_checked(h, e);
  if (e.top_level) e.window->sync_menu_bar();
}

void MenuEntries::sync(gfx::Handle h, std::string_view name) {
  auto it = entries_.find(h);
  if (it == entries_.end()) return;
  Entry& e = it->second;
  if (name == "label" || name == "tooltipstring") {
    apply_label(h, e);
  } else if (name == "accelerator") {
    apply_accelerator(h, e);
  } else if (name == "checked") {
    apply_checked(h, e);
  } else if (name == "enable" || name == "visible" || name == "separator") {
    apply(h, e);
  }
}

void MenuEntries::remove(gfx::Handle h) {
  auto it = entries_.find(h);
  if (it == entries_.end()) return;
  Entry e = it->second;
  entries_.erase(it);
  // Its shortcut passes to another entry with the same keys, if any.
  if (std::erase_if(owners_, [h](const auto& o) { return o.second == h; }) != 0) {
    for (auto& [other, entry] : entries_)
      if (!entry.shown_key.isEmpty()) apply_accelerator(other, entry);
  }
  // Deleted later: the entry's own signal may be running.
  for (QAction* a : {e.action, e.separator}) {
    if (!a) continue;
    e.container->removeAction(a);
    a->deleteLater();
  }
  if (e.submenu) e.submenu->deleteLater();
  if (e.top_level) e.window->sync_menu_bar();
}

}  // namespace velmora::qt
