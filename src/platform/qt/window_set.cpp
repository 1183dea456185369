#include "platform/qt/window_set.hpp"

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <set>

#include "platform/graphics/graphics.hpp"
#include "platform/qt/axes_view.hpp"
#include "platform/qt/control.hpp"
#include "platform/qt/figure_window.hpp"
#include "platform/qt/menus.hpp"
#include "platform/runtime/console.hpp"

namespace velmora::qt {

namespace {

// Every live set, so that the windows go before the QApplication does
// (widgets cannot outlive it, while the graphics run-time may).
std::set<WindowSet*>& live_sets() {
  static std::set<WindowSet*> sets;
  return sets;
}

void release_live_sets() {
  for (WindowSet* s : live_sets()) s->release_all();
}

// A rectangle in pixels expressed in the figure units `units` (the figure's
// parent is the screen).
Value in_units(const gfx::Graphics& g, const std::array<double, 4>& px, const std::string& units,
               const std::array<double, 2>& screen) {
  if (units == "normalized")
    return Value::row({px[0] / screen[0], px[1] / screen[1], px[2] / screen[0], px[3] / screen[1]});
  double fx = g.pixels_per_unit(units, false), fy = g.pixels_per_unit(units, true);
  return Value::row({px[0] / fx, px[1] / fy, px[2] / fx, px[3] / fy});
}

}  // namespace

WindowSet::WindowSet(const gfx::Backend& screen)
    : screen_(screen),
      anchor_(std::make_unique<QObject>()),
      menus_(std::make_unique<MenuEntries>(*this)) {
  live_sets().insert(this);
  qAddPostRoutine(release_live_sets);
}

WindowSet::~WindowSet() {
  live_sets().erase(this);
  // No signal or timer reaches the set from here on.
  anchor_.reset();
  if (QCoreApplication::instance()) release_all();
}

void WindowSet::release_all() {
  anchor_.reset();
  controls_.clear();
  axes_.clear();
  menus_->clear();
  for (auto& [h, w] : windows_) delete w;
  windows_.clear();
  for (auto& list : {&retired_, &adopted_}) {
    for (QPointer<QWidget>& w : *list) delete w.data();
    list->clear();
  }
}

void WindowSet::guarded(const std::function<void()>& fn) noexcept {
  try {
    fn();
  } catch (const std::exception& e) {
    console().error(e.what());
  } catch (...) {
    console().error("Unexpected error in a window event.");
  }
}

// --- lookups -------------------------------------------------------------------

FigureWindow* WindowSet::window(gfx::Handle figure) const {
  auto it = windows_.find(figure);
  return it == windows_.end() ? nullptr : it->second;
}

AxesView* WindowSet::axes_view(gfx::Handle axes) const {
  auto it = axes_.find(axes);
  return it == axes_.end() ? nullptr : it->second;
}

QWidget* WindowSet::widget(gfx::Handle h) const {
  if (auto it = controls_.find(h); it != controls_.end()) return it->second->widget();
  return axes_view(h);
}

QAction* WindowSet::action(gfx::Handle menu) const {
  return menus_->action(menu);
}

gfx::Handle WindowSet::axes_of(gfx::Handle h) const {
  const gfx::Graphics& g = gfx::graphics();
  while (h >= 0 && g.valid(h)) {
    if (g.type(h) == gfx::Type::Axes) return h;
    h = g.parent(h);
  }
  return -1;
}

// --- notifications -------------------------------------------------------------

void WindowSet::created(gfx::Handle h) {
  guarded([&] {
    const gfx::Graphics& g = gfx::graphics();
    gfx::Type type = g.type(h);
    if (type == gfx::Type::Figure) {
      auto* w = new FigureWindow(h, *this);
      windows_[h] = w;
      w->sync_title();
      w->sync_geometry();
      w->sync_visible();
      return;
    }
    FigureWindow* w = window(g.figure_of(h));
    if (!w) return;
    if (type == gfx::Type::Axes) {
      auto* view = new AxesView(h, w->canvas());
      // Axes lie below every control; among themselves newer ones are on top.
      for (QObject* o : w->canvas()->children()) {
        auto* sibling = qobject_cast<QWidget*>(o);
        if (sibling && sibling != view && !dynamic_cast<AxesView*>(sibling)) {
          view->stackUnder(sibling);
          break;
        }
      }
      axes_[h] = view;
      place(h);
      view->show();
    } else if (type == gfx::Type::UiControl) {
      controls_[h] = std::make_unique<Control>(h, w->canvas(), *this);
      place(h);
    } else if (type == gfx::Type::UiMenu) {
      menus_->add(h, *w);
    } else if (AxesView* view = axes_view(axes_of(h))) {
      view->scene_changed();
    }
  });
}

void WindowSet::retire(QWidget* w) {
  if (!w) return;
  w->hide();
  w->deleteLater();
  retired_.emplace_back(w);
}

void WindowSet::deleted(gfx::Handle h) {
  guarded([&] {
    if (auto it = windows_.find(h); it != windows_.end()) {
      // A window docked in this one becomes a window of its own again.
      if (it->second->docked_view()) it->second->dock(nullptr);
      retire(it->second);
      windows_.erase(it);
      // The loop ends once the last figure is gone, whoever deleted it.
      QTimer::singleShot(0, anchor(), [this] { after_action(); });
    } else if (auto c = controls_.find(h); c != controls_.end()) {
      retire(c->second->take_widget());
      controls_.erase(c);
    } else if (auto a = axes_.find(h); a != axes_.end()) {
      retire(a->second);
      axes_.erase(a);
    } else if (menus_->contains(h)) {
      menus_->remove(h);
    } else if (AxesView* view = axes_view(axes_of(h))) {
      view->scene_changed();
    }
  });
  // Forget deleted widgets from time to time.
  std::erase_if(retired_, [](const QPointer<QWidget>& w) { return w.isNull(); });
}

void WindowSet::changed(gfx::Handle h, std::string_view name) {
  if (h == gfx::kRoot) return;
  guarded([&] {
    if (FigureWindow* w = window(h)) {
      if (name == "name" || name == "numbertitle") {
        w->sync_title();
      } else if (name == "position" || name == "outerposition") {
        if (!moving_) w->sync_geometry();
        place_children(h);
      } else if (name == "visible") {
        w->sync_visible();
      } else if (name == "color") {
        w->canvas()->update();
      } else if (name == "colormap") {
        // Indexed images take their colours from the figure.
        for (gfx::Handle c : gfx::graphics().children(h))
          if (AxesView* view = axes_view(c)) view->scene_changed();
      } else if (name == "windowstyle" || name == "resize") {
        w->sync_window_style();
      }
    } else if (auto c = controls_.find(h); c != controls_.end()) {
      if (name == "position" || name == "units") {
        place(h);
      } else {
        c->second->sync(name);
        if (name == "style") place(h);
      }
    } else if (AxesView* view = axes_view(h)) {
      if (name == "position") {
        place(h);
      } else if (name == "view") {
        view->view_changed();
      } else {
        view->scene_changed();
      }
    } else if (menus_->contains(h)) {
      menus_->sync(h, name);
    } else if (AxesView* owner = axes_view(axes_of(h))) {
      owner->scene_changed();
    }
  });
}

void WindowSet::raise(gfx::Handle figure) {
  FigureWindow* w = window(figure);
  if (w && w->host()) {
    w->host()->show_docked_view();
    w = w->host();
  }
  if (!w || !w->isVisible()) return;
  // Windows without a screen (the offscreen platform) have no stacking.
  if (QGuiApplication::platformName() == "offscreen") return;
  w->raise();
  w->activateWindow();
}

void WindowSet::dock(gfx::Handle figure, std::optional<gfx::Handle> host) {
  guarded([&] {
    FigureWindow* view = window(figure);
    if (!view) return;
    FigureWindow* into = host ? window(*host) : nullptr;
    if (into == view) return;
    if (into) {
      into->dock(view);
    } else if (FigureWindow* from = view->host()) {
      from->dock(nullptr);
    }
  });
}

QSize WindowSet::content_size(gfx::Handle figure) const {
  const gfx::Graphics& g = gfx::graphics();
  double w = 0, h = 0;
  if (!g.valid(figure)) return {};
  for (gfx::Handle c : g.children(figure)) {
    gfx::Type t = g.type(c);
    if (t != gfx::Type::UiControl && t != gfx::Type::Axes) continue;
    // Children in normalized units shrink with the window.
    if (g.get_text(c, "Units") == "normalized" || g.get_text(c, "Visible") != "on") continue;
    const auto& r = g.object(c).pos_px;
    w = std::max(w, r[0] + r[2]);
    h = std::max(h, r[1] + r[3]);
  }
  return {static_cast<int>(std::ceil(w)), static_cast<int>(std::ceil(h))};
}

void WindowSet::place(gfx::Handle h) {
  const gfx::Graphics& g = gfx::graphics();
  FigureWindow* w = window(g.figure_of(h));
  if (!w) return;
  // A child beyond the window's area makes the canvas larger (scrolling).
  w->fit_canvas();
  double height = w->canvas()->height();
  if (auto c = controls_.find(h); c != controls_.end()) c->second->place(height);
  if (AxesView* view = axes_view(h)) view->place(height);
}

void WindowSet::place_children(gfx::Handle figure) {
  guarded([&] {
    const gfx::Graphics& g = gfx::graphics();
    if (!g.valid(figure)) return;
    for (gfx::Handle c : g.children(figure)) place(c);
  });
}

// --- input ---------------------------------------------------------------------

void WindowSet::after_action() {
  if (looping_ && gfx::graphics().figures().empty()) QCoreApplication::exit(0);
}

void WindowSet::activate(gfx::Handle h, const std::function<void()>& update,
                         std::string_view callback) {
  guarded([&] {
    gfx::Graphics& g = gfx::graphics();
    if (!g.valid(h)) return;
    g.make_current(g.figure_of(h));
    if (update) update();
    if (g.valid(h)) g.run_callback(h, callback);
  });
  after_action();
}

void WindowSet::axes_clicked(gfx::Handle axes) {
  guarded([&] {
    gfx::Graphics& g = gfx::graphics();
    if (!g.valid(axes)) return;
    g.set_current_axes(axes);
    g.run_callback(axes, "ButtonDownFcn");
  });
  after_action();
}

void WindowSet::key_pressed(gfx::Handle figure, const std::u16string& character) {
  guarded([&] {
    gfx::Graphics& g = gfx::graphics();
    if (!g.valid(figure)) return;
    g.make_current(figure);
    g.set(figure, "CurrentCharacter", Value::from_u16(character));
    g.run_callback(figure, "KeyPressFcn");
  });
  after_action();
}

void WindowSet::close_requested(gfx::Handle figure) {
  guarded([&] {
    gfx::Graphics& g = gfx::graphics();
    if (!g.valid(figure)) return;
    g.make_current(figure);
    // A figure with a CloseRequestFcn closes when that callback deletes it
    // (it may ask first, and keep the window); any other closes at once.
    if (g.get(figure, "CloseRequestFcn").empty()) {
      g.destroy(figure);
    } else {
      g.run_callback(figure, "CloseRequestFcn");
    }
  });
  after_action();
}

void WindowSet::moved_by_user(gfx::Handle figure, const std::array<double, 4>& inner_px) {
  guarded([&] {
    gfx::Graphics& g = gfx::graphics();
    if (!g.valid(figure)) return;
    const auto& now = g.object(figure).pos_px;
    bool same = true;
    for (int i = 0; i < 4; ++i) same = same && std::fabs(now[i] - inner_px[i]) < 0.5;
    if (same) return;
    // Children in normalized units keep their share of the new size.
    std::vector<std::pair<gfx::Handle, Value>> relative;
    for (gfx::Handle c : g.children(figure))
      if (g.has_property(c, "Units") && g.get_text(c, "Units") == "normalized" &&
          g.has_property(c, "Position"))
        relative.emplace_back(c, g.get(c, "Position"));
    moving_ = true;
    try {
      g.set(figure, "Position",
            in_units(g, inner_px, g.get_text(figure, "Units"), screen_.screen_size_px()));
      for (auto& [c, pos] : relative) g.set(c, "Position", pos);
    } catch (...) {
      moving_ = false;
      throw;
    }
    moving_ = false;
  });
}

// --- the loop ------------------------------------------------------------------

int WindowSet::run_event_loop() {
  if (gfx::graphics().figures().empty()) return 0;
  bool quit_on_last = QGuiApplication::quitOnLastWindowClosed();
  // Message boxes are windows too; the figures alone keep the loop going.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  looping_ = true;
  int status = QApplication::exec();
  looping_ = false;
  QGuiApplication::setQuitOnLastWindowClosed(quit_on_last);
  return status;
}

void WindowSet::adopt(QWidget* window) {
  std::erase_if(adopted_, [](const QPointer<QWidget>& w) { return w.isNull(); });
  if (std::find(adopted_.begin(), adopted_.end(), window) == adopted_.end())
    adopted_.emplace_back(window);
}

}  // namespace velmora::qt
