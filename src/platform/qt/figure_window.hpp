#pragma once

#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <array>
#include <optional>

#include "platform/graphics/backend.hpp"

class QMenuBar;
class QScrollArea;
class QTabWidget;

namespace velmora::qt {

class AxesView;
class WindowSet;

/// A rectangle [left bottom width height] in pixels from the bottom-left of
/// an area `height_px` high, as a Qt rectangle from its top-left.
QRect flipped_rect(const std::array<double, 4>& px, double height_px);

/// The area of a figure that holds its axes and controls.  It paints the
/// figure's colour and turns mouse input over an axes into clicks, rotating
/// drags, wheel zooms and double-click resets of that axes.
class Canvas : public QWidget {
 public:
  Canvas(gfx::Handle figure, WindowSet& set, QWidget* parent);

  /// The topmost visible axes whose plot rectangle holds `pos`, or nullptr.
  AxesView* axes_at(QPointF pos) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  struct Drag {
    gfx::Handle axes;
    QPointF start;
    std::array<double, 2> view;
  };

  void end_drag();

  gfx::Handle figure_;
  WindowSet& set_;
  std::optional<Drag> drag_;
};

/// The top-level window of one figure: a menu bar (shown while the figure
/// has a visible top-level menu) above the canvas.  The area below the menu
/// bar is the figure's inner area, the one its Position describes; the
/// canvas fills it, or scrolls in it when the children need more room.
class FigureWindow : public QWidget {
 public:
  FigureWindow(gfx::Handle figure, WindowSet& set);
  ~FigureWindow() override;

  gfx::Handle handle() const { return figure_; }
  QMenuBar* menu_bar() const { return menu_bar_; }
  Canvas* canvas() const { return canvas_; }

  /// Title from "Name", prefixed "Figure N: " while "NumberTitle" is on.
  void sync_title();
  /// Window geometry from the figure's Position.
  void sync_geometry();
  /// Shows or hides the menu bar as the top-level menus require.
  void sync_menu_bar();
  /// Modality from "WindowStyle", a fixed size when "Resize" is off.
  void sync_window_style();
  /// Shown or hidden by "Visible".
  void sync_visible();
  /// Sizes the canvas to the window's inner area, or larger where the
  /// children need more room; the window then scrolls.
  void fit_canvas();
  QScrollArea* scroll_area() const { return scroll_; }

  /// The inner area [left bottom width height] in pixels as the window is
  /// now, bottom counted from the bottom of the screen.
  std::array<double, 4> inner_position_px() const;

  /// Shows the window of another figure, `view`, in a tab of this one
  /// beside the canvas ("3-D View"), and brings that tab forward; nullptr
  /// gives the one shown back to the desktop as a window of its own where
  /// its figure says.  The view fills the tab and follows its size: its
  /// figure's Position takes that size as from a user resize (so it exports
  /// what is shown), and the size it had before when it is a window again.
  void dock(FigureWindow* view);
  FigureWindow* docked_view() const { return docked_view_; }
  /// The window whose tab shows this one, or nullptr.
  FigureWindow* host() const { return host_; }
  /// Brings the tab of the docked view forward.
  void show_docked_view();
  /// Whether the docked view's tab is in front of the canvas.
  bool docked_view_in_front() const;
  /// Brings the canvas's tab forward again.
  void show_own_contents();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  /// Local files dragged onto the window are taken where the backend opens
  /// dropped files; dropped, they go to it.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  int menu_bar_height() const;
  /// The menu bar and, while a view is docked, the tab bar above the canvas.
  int chrome_height() const;
  void apply_resize_policy();
  /// Moves a window's rectangle down or right so that its frame and title
  /// bar lie on the screen; true if it moved.
  bool keep_frame_on_screen(QRect& client) const;
  void lay_out();
  void geometry_changed();
  /// Sizes the docked view to its tab.
  void fill_dock_area();

  gfx::Handle figure_;
  WindowSet& set_;
  QMenuBar* menu_bar_;
  QScrollArea* scroll_;
  Canvas* canvas_;
  bool applying_ = false;
  QTabWidget* tabs_ = nullptr;    // the canvas and the docked view, while one is
  QWidget* dock_area_ = nullptr;  // the docked view's tab
  QPointer<FigureWindow> docked_view_;
  QPointer<FigureWindow> host_;
  std::array<double, 2> own_size_{};  // the inner size before docking
};

}  // namespace velmora::qt
