#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/backend.hpp"

class QAction;

namespace velmora::qt {

class AxesView;
class Control;
class FigureWindow;
class MenuEntries;

/// The widgets of every figure, kept in step with the graphics objects, and
/// the way back: user input on a widget becomes property changes and
/// callbacks of its object.
///
/// Every entry point from Qt runs guarded: an error is printed on the
/// console and never crosses the event loop.  Widgets of deleted objects are
/// hidden at once and deleted later, since a callback may delete the very
/// control whose signal is running.
class WindowSet {
 public:
  explicit WindowSet(const gfx::Backend& screen);
  ~WindowSet();
  WindowSet(const WindowSet&) = delete;
  WindowSet& operator=(const WindowSet&) = delete;

  // --- notifications from the object model ---------------------------------
  void created(gfx::Handle h);
  void deleted(gfx::Handle h);
  void changed(gfx::Handle h, std::string_view name);
  /// Raises a figure's window; a docked one's host, with its tab forward.
  void raise(gfx::Handle figure);
  /// Shows the window of `figure` in a tab of the window of `host`, or, for
  /// nullopt, as a window of its own again (see FigureWindow::dock).
  void dock(gfx::Handle figure, std::optional<gfx::Handle> host);

  // --- input from the widgets ---------------------------------------------
  /// The user closed a figure's window: its CloseRequestFcn decides (the
  /// window stays unless the callback deletes the figure); a figure without
  /// one is deleted.
  void close_requested(gfx::Handle figure);
  /// The user moved or resized a window; `inner_px` is its new inner area.
  void moved_by_user(gfx::Handle figure, const std::array<double, 4>& inner_px);
  /// A key with a character was pressed in a figure's window.
  void key_pressed(gfx::Handle figure, const std::u16string& character);
  /// A click on an axes: it becomes current, then its ButtonDownFcn runs.
  void axes_clicked(gfx::Handle axes);
  /// A control or menu entry was used: its figure becomes current, `update`
  /// records what the user changed, then its Callback runs (or the
  /// callback property named `callback`).
  void activate(gfx::Handle h, const std::function<void()>& update = {},
                std::string_view callback = "Callback");
  /// The room the children of `figure` in fixed units need, in pixels from
  /// the canvas's bottom-left corner.
  QSize content_size(gfx::Handle figure) const;
  /// Re-places the children of a figure after its canvas changed size.
  void place_children(gfx::Handle figure);

  /// Runs the event loop until no figure remains.
  int run_event_loop();
  /// Keeps a top-level window that is not a figure's (message boxes) until
  /// it closes or the set goes.
  void adopt(QWidget* window);
  /// Deletes every window now (the application is going away).
  void release_all();

  // --- lookups -----------------------------------------------------------
  FigureWindow* window(gfx::Handle figure) const;
  QWidget* widget(gfx::Handle h) const;
  QAction* action(gfx::Handle menu) const;
  AxesView* axes_view(gfx::Handle axes) const;
  double screen_height_px() const { return screen_.screen_size_px()[1]; }
  /// The receiver that scopes connections and timers to the set's life.
  QObject* anchor() const { return anchor_.get(); }

  /// Runs `fn`, printing any error on the console instead of throwing.
  static void guarded(const std::function<void()>& fn) noexcept;

 private:
  void after_action();
  void retire(QWidget* w);
  void place(gfx::Handle h);
  gfx::Handle axes_of(gfx::Handle h) const;

  const gfx::Backend& screen_;
  std::unique_ptr<QObject> anchor_;
  std::map<gfx::Handle, FigureWindow*> windows_;
  std::map<gfx::Handle, AxesView*> axes_;
  std::map<gfx::Handle, std::unique_ptr<Control>> controls_;
  std::unique_ptr<MenuEntries> menus_;
  std::vector<QPointer<QWidget>> retired_;
  std::vector<QPointer<QWidget>> adopted_;
  bool looping_ = false;
  bool moving_ = false;  // a user move is being written to the model
};

}  // namespace velmora::qt
