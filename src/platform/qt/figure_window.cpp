#include "platform/qt/figure_window.hpp"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <functional>

#include "platform/graphics/graphics.hpp"
#include "platform/qt/axes_view.hpp"
#include "platform/qt/convert.hpp"
#include "platform/qt/window_set.hpp"

namespace velmora::qt {

namespace {

int rounded(double x) {
  return static_cast<int>(std::lround(x));
}

}  // namespace

QRect flipped_rect(const std::array<double, 4>& px, double height_px) {
  return QRect(rounded(px[0]), rounded(height_px - px[1] - px[3]), rounded(px[2]), rounded(px[3]));
}

// --- Canvas -------------------------------------------------------------------

Canvas::Canvas(gfx::Handle figure, WindowSet& set, QWidget* parent)
    : QWidget(parent), figure_(figure), set_(set) {
  setFocusPolicy(Qt::ClickFocus);
}

AxesView* Canvas::axes_at(QPointF pos) const {
  const QObjectList& kids = children();  // bottom to top
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    auto* view = dynamic_cast<AxesView*>(*it);
    if (!view || !view->isVisible() || !view->plot_rect().contains(pos)) continue;
    const gfx::Graphics& g = gfx::graphics();
    if (g.valid(view->handle()) && g.get_text(view->handle(), "Visible") == "on") return view;
  }
  return nullptr;
}

void Canvas::paintEvent(QPaintEvent*) {
  QColor color(240, 240, 240);
  WindowSet::guarded([&] {
    const gfx::Graphics& g = gfx::graphics();
    if (g.valid(figure_)) color = qcolor(g.get(figure_, "Color"), color);
  });
  QPainter(this).fillRect(rect(), color);
}

void Canvas::resizeEvent(QResizeEvent*) {
  set_.place_children(figure_);
}

void Canvas::mousePressEvent(QMouseEvent* event) {
  AxesView* view = event->button() == Qt::LeftButton ? axes_at(event->position()) : nullptr;
  if (!view) {
    event->ignore();
    return;
  }
  gfx::Handle ax = view->handle();
  end_drag();
  set_.axes_clicked(ax);
  WindowSet::guarded([&] {
    // The callback may have deleted the axes or its figure.
    AxesView* still = set_.axes_view(ax);
    if (!still || !still->three_d()) return;
    Value v = gfx::graphics().get(ax, "View");
    drag_ = Drag{ax, event->position(), {v(0), v(1)}};
  });
}

void Canvas::mouseMoveEvent(QMouseEvent* event) {
  if (!drag_ || !(event->buttons() & Qt::LeftButton)) return;
  QPointF d = event->position() - drag_->start;
  std::array<double, 2> view = dragged_view(drag_->view, d.x(), d.y());
  gfx::Handle ax = drag_->axes;
  WindowSet::guarded([&] {
    gfx::Graphics& g = gfx::graphics();
    if (!g.valid(ax)) return drag_.reset();
    if (AxesView* v = set_.axes_view(ax)) v->set_dragging(true);
    g.set(ax, "View", Value::row({view[0], view[1]}));
  });
}

void Canvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) end_drag();
}

void Canvas::end_drag() {
  if (drag_)
    if (AxesView* v = set_.axes_view(drag_->axes)) v->set_dragging(false);
  drag_.reset();
}

void Canvas::mouseDoubleClickEvent(QMouseEvent* event) {
  AxesView* view = event->button() == Qt::LeftButton ? axes_at(event->position()) : nullptr;
  if (!view) return;
  gfx::Handle ax = view->handle();
  end_drag();
  WindowSet::guarded([&] {
    gfx::Graphics& g = gfx::graphics();
    g.set_appdata(ax, "ViewZoom", 1.0);
    if (view->three_d()) g.set(ax, "View", Value::row({kDefaultView[0], kDefaultView[1]}));
    view->view_changed();
  });
}

void Canvas::wheelEvent(QWheelEvent* event) {
  AxesView* view = axes_at(event->position());
  if (!view || event->angleDelta().y() == 0) {
    event->ignore();
    return;
  }
  double notches = event->angleDelta().y() / 120.0;
  WindowSet::guarded([&] {
    gfx::Graphics& g = gfx::graphics();
    gfx::Handle ax = view->handle();
    double zoom = g.has_appdata(ax, "ViewZoom") ? g.appdata(ax, "ViewZoom").to_scalar() : 1.0;
    g.set_appdata(ax, "ViewZoom", wheel_zoom(zoom, notches));
    view->view_changed();
  });
}

// --- FigureWindow -------------------------------------------------------------

namespace {

// Scrolls the canvas with its scroll bars and the wheel; keys go on to the
// figure window, whose key handler reports them, arrows included.
class CanvasScrollArea : public QScrollArea {
 public:
  explicit CanvasScrollArea(QWidget* parent) : QScrollArea(parent) { setFocusPolicy(Qt::NoFocus); }
  std::function<void()> on_resize;  // the canvas follows the area's size

 protected:
  void keyPressEvent(QKeyEvent* event) override { event->ignore(); }
  void resizeEvent(QResizeEvent* event) override {
    QScrollArea::resizeEvent(event);
    if (on_resize) on_resize();
  }
};

// The docked view's tab: the view fills it, whatever its size.
class DockArea : public QWidget {
 public:
  std::function<void()> on_resize;

 protected:
  void resizeEvent(QResizeEvent*) override {
    if (on_resize) on_resize();
  }
  void showEvent(QShowEvent*) override {
    if (on_resize) on_resize();
  }
};

// A window manager's title bar and border before the window has been shown
// and its frame is known.
constexpr int kTitleBarGuessPx = 30, kBorderGuessPx = 4;

}  // namespace

bool FigureWindow::keep_frame_on_screen(QRect& client) const {
  // Windows without a screen (the offscreen platform) have no frame.
  if (QGuiApplication::platformName() == "offscreen") return false;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return false;
  const QRect asked = client;
  QRect avail = screen->availableGeometry();
  QRect frame = frameGeometry();
  int top = frame.top() < geometry().top() ? geometry().top() - frame.top() : kTitleBarGuessPx;
  int left = frame.left() < geometry().left() ? geometry().left() - frame.left() : kBorderGuessPx;
  // The title bar is what moves the window: it must never lie above the screen.
  if (client.top() - top < avail.top()) client.moveTop(avail.top() + top);
  if (client.left() - left < avail.left()) client.moveLeft(avail.left() + left);
  return client != asked;
}

FigureWindow::FigureWindow(gfx::Handle figure, WindowSet& set)
    : QWidget(nullptr), figure_(figure), set_(set) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);
  menu_bar_ = new QMenuBar(this);
  menu_bar_->setNativeMenuBar(false);
  menu_bar_->hide();
  auto* scroll = new CanvasScrollArea(this);
  scroll_ = scroll;
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(false);
  canvas_ = new Canvas(figure, set, nullptr);
  scroll_->setWidget(canvas_);
  // In a tab the area is sized by the tab widget, not by lay_out.
  scroll->on_resize = [this] {
    if (tabs_) fit_canvas();
  };
}

FigureWindow::~FigureWindow() {
  // A docked view is another figure's window: it goes with its own figure.
  if (docked_view_) {
    docked_view_->host_ = nullptr;
    docked_view_->hide();
    docked_view_->setParent(nullptr);
  }
}

void FigureWindow::dock(FigureWindow* view) {
  if (view == docked_view_ && view) return show_docked_view();
  if (FigureWindow* old = docked_view_) {
    docked_view_ = nullptr;
    old->host_ = nullptr;
    old->setParent(nullptr, Qt::Window);
    // Back at the size it had before it filled the tab, where it is now.
    if (gfx::graphics().valid(old->figure_)) {
      const auto& px = gfx::graphics().object(old->figure_).pos_px;
      set_.moved_by_user(old->figure_, {px[0], px[1], old->own_size_[0], old->own_size_[1]});
    }
    old->sync_geometry();
    if (gfx::graphics().get_text(old->handle(), "Visible") == "on") old->show();
  }
  if (!view && tabs_) {
    tabs_->removeTab(0);
    scroll_->setParent(this);
    scroll_->show();
    tabs_->deleteLater();
    tabs_ = nullptr;
    dock_area_ = nullptr;
  }
  if (view) {
    if (FigureWindow* other = view->host_) other->dock(nullptr);
    if (!tabs_) {
      tabs_ = new QTabWidget(this);
      tabs_->setDocumentMode(true);
      tabs_->addTab(scroll_, "Analysis");
      auto* area = new DockArea;
      area->on_resize = [this] { fill_dock_area(); };
      dock_area_ = area;
      tabs_->addTab(dock_area_, "3-D View");
      tabs_->show();
    }
    const auto& px = gfx::graphics().object(view->figure_).pos_px;
    view->own_size_ = {px[2], px[3]};
    view->hide();
    view->host_ = this;
    docked_view_ = view;
    view->setParent(dock_area_);
    view->show();
  }
  sync_geometry();
  if (view) {
    show_docked_view();
    fill_dock_area();
  }
}

void FigureWindow::fill_dock_area() {
  // Only a tab in view has been given its size.
  if (!docked_view_ || !dock_area_ || !dock_area_->isVisible()) return;
  if (docked_view_->geometry() != dock_area_->rect()) docked_view_->setGeometry(dock_area_->rect());
  // Also where the view is hidden and Qt holds its resize event back.
  docked_view_->geometry_changed();
}

bool FigureWindow::docked_view_in_front() const {
  return tabs_ && docked_view_ && tabs_->currentWidget() == dock_area_;
}

void FigureWindow::show_own_contents() {
  if (tabs_) tabs_->setCurrentWidget(scroll_);
}

void FigureWindow::show_docked_view() {
  if (tabs_ && docked_view_) tabs_->setCurrentWidget(dock_area_);
}

void FigureWindow::sync_title() {
  const gfx::Graphics& g = gfx::graphics();
  QString name = qstr(g.get_text(figure_, "Name"));
  if (g.get_text(figure_, "NumberTitle") == "on") {
    QString number = "Figure " + QString::number(static_cast<long long>(std::lround(figure_)));
    name = name.isEmpty() ? number : number + ": " + name;
  }
  setWindowTitle(name);
}

int FigureWindow::menu_bar_height() const {
  return menu_bar_->isVisibleTo(this) ? menu_bar_->sizeHint().height() : 0;
}

int FigureWindow::chrome_height() const {
  return menu_bar_height() + (tabs_ ? tabs_->tabBar()->sizeHint().height() : 0);
}

void FigureWindow::lay_out() {
  int mb = menu_bar_height();
  menu_bar_->setGeometry(0, 0, width(), mb);
  QWidget* area = tabs_ ? static_cast<QWidget*>(tabs_) : scroll_;
  area->setGeometry(0, mb, width(), std::max(0, height() - mb));
  fit_canvas();
}

void FigureWindow::fit_canvas() {
  QSize need = set_.content_size(figure_);
  int w = scroll_->width(), h = scroll_->height();
  // A scroll bar along one edge takes room from the other direction.
  const int bar = scroll_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
  bool across = need.width() > w, down = need.height() > h;
  if (across) h -= bar;
  if (down) w -= bar;
  if (!across && need.width() > w) h -= bar;
  if (!down && need.height() > h) w -= bar;
  QSize size(std::max(w, need.width()), std::max(h, need.height()));
  if (canvas_->size() != size) canvas_->resize(size);
}

void FigureWindow::sync_geometry() {
  const auto& px = gfx::graphics().object(figure_).pos_px;
  int mb = chrome_height();
  QRect inner = flipped_rect(px, set_.screen_height_px());
  QRect outer = inner.adjusted(0, -mb, 0, 0);
  if (host_) {
    // Docked: the window fills the host's tab whatever the figure says, and
    // the figure takes the tab's size back once the event loop runs.
    applying_ = true;
    host_->fill_dock_area();
    lay_out();
    applying_ = false;
    QTimer::singleShot(0, this, [this] { geometry_changed(); });
    return;
  }
  if (keep_frame_on_screen(outer))
    // The figure learns where its window went once the event loop runs.
    QTimer::singleShot(0, this, [this] { geometry_changed(); });
  applying_ = true;
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  setGeometry(outer);
  lay_out();
  applying_ = false;
  apply_resize_policy();
}

void FigureWindow::apply_resize_policy() {
  if (gfx::graphics().get_text(figure_, "Resize") == "off") {
    setFixedSize(size());
  } else {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
}

void FigureWindow::sync_menu_bar() {
  bool any = false;
  for (QAction* a : menu_bar_->actions()) any = any || a->isVisible();
  if (any == menu_bar_->isVisibleTo(this)) return;
  menu_bar_->setVisible(any);
  sync_geometry();
}

void FigureWindow::sync_window_style() {
  const gfx::Graphics& g = gfx::graphics();
  Qt::WindowModality modality =
      g.get_text(figure_, "WindowStyle") == "modal" ? Qt::ApplicationModal : Qt::NonModal;
  if (modality != windowModality()) {
    // Qt takes a new modality only while the window is hidden.
    bool shown = isVisible();
    if (shown) hide();
    setWindowModality(modality);
    if (shown) show();
  }
  apply_resize_policy();
}

void FigureWindow::sync_visible() {
  bool on = gfx::graphics().get_text(figure_, "Visible") == "on";
  if (on == isVisible()) return;
  if (on) {
    show();
    // Shown windows take their place again in case a window manager moved
    // them while hidden.
    sync_geometry();
  } else {
    hide();
  }
}

std::array<double, 4> FigureWindow::inner_position_px() const {
  QRect g = geometry();
  int mb = chrome_height();
  double top = g.y() + mb, h = g.height() - mb;
  return {static_cast<double>(g.x()), set_.screen_height_px() - top - h,
          static_cast<double>(g.width()), h};
}

void FigureWindow::geometry_changed() {
  if (applying_) return;
  if (host_) {
    // Docked: the figure takes the size of the tab, as from a user resize,
    // and keeps its place on the screen for when it is a window again.
    const gfx::Graphics& g = gfx::graphics();
    if (!g.valid(figure_)) return;
    const auto& px = g.object(figure_).pos_px;
    const auto inner = inner_position_px();
    set_.moved_by_user(figure_, {px[0], px[1], inner[2], inner[3]});
    return;
  }
  if (!isVisible()) return;
  set_.moved_by_user(figure_, inner_position_px());
}

void FigureWindow::closeEvent(QCloseEvent* event) {
  // The object model decides: the window goes when its figure is deleted.
  event->ignore();
  set_.close_requested(figure_);
}

void FigureWindow::moveEvent(QMoveEvent*) {
  geometry_changed();
}

void FigureWindow::resizeEvent(QResizeEvent*) {
  lay_out();
  geometry_changed();
}

void FigureWindow::keyPressEvent(QKeyEvent* event) {
  std::u16string ch;
  switch (event->key()) {
    // The arrow keys report the character codes 28 to 31.
    case Qt::Key_Left:
      ch = u"\x1c";
      break;
    case Qt::Key_Right:
      ch = u"\x1d";
      break;
    case Qt::Key_Up:
      ch = u"\x1e";
      break;
    case Qt::Key_Down:
      ch = u"\x1f";
      break;
    default:
      ch = event->text().left(1).toStdU16String();
      break;
  }
  if (ch.empty()) {
    QWidget::keyPressEvent(event);
    return;
  }
  set_.key_pressed(figure_, ch);
}

}  // namespace velmora::qt
