#include "platform/qt/control.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/graphics/graphics.hpp"
#include "platform/qt/convert.hpp"
#include "platform/qt/figure_window.hpp"
#include "platform/qt/window_set.hpp"

namespace velmora::qt {

QStringList string_items(const Value& string, bool split_bars) {
  QStringList out;
  if (string.is_char()) {
    QString text = qstr(string.to_string());
    if (text.isEmpty()) return out;
    if (split_bars) text.replace('|', '\n');
    out = text.split('\n');
  } else if (string.is_cell()) {
    for (std::size_t i = 0; i < string.numel(); ++i) {
      const Value& item = string.at(i);
      out << (item.is_double() && item.numel() == 1 ? qstr(format_number(item(0)))
                                                    : qstr(item.text_or_empty()));
    }
  } else if (string.is_double() && string.numel() == 1) {
    out << qstr(format_number(string(0)));
  }
  return out;
}

namespace {

bool is_button(const std::string& style) {
  return style == "pushbutton" || style == "togglebutton" || style == "checkbox" ||
         style == "radiobutton";
}

// Styles whose field Qt paints in the platform's base colour (white); the
// control's BackgroundColor replaces it only when it differs from the
// run-time's default control colour.
bool has_field(const std::string& style) {
  return style == "edit" || style == "listbox" || style == "popupmenu";
}

// A slider's positions from Min to Max.
constexpr int kSliderSteps = 1000;
// A run of slider steps by key, click or wheel ends after this long without
// another.
constexpr int kSettleMs = 400;

// Marks a line edit whose editing ended with Return.
constexpr const char* kReturnPressed = "velmoraReturnPressed";

// An edit box of several lines: Max - Min > 1.
bool is_multi_line(gfx::Handle h) {
  const gfx::Graphics& g = gfx::graphics();
  return g.get_number(h, "Max") - g.get_number(h, "Min") > 1;
}

// Runs `fn` when the watched widget loses the keyboard focus.
class FocusOutWatch : public QObject {
 public:
  FocusOutWatch(QWidget* watched, std::function<void()> fn) : QObject(watched), fn_(std::move(fn)) {
    watched->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::FocusOut) fn_();
    return false;
  }

 private:
  std::function<void()> fn_;
};

// A splitter: a thin grip that the user drags up or down; the program
// moves what lies on either side when it is let go.
class SplitterGrip : public QWidget {
 public:
  explicit SplitterGrip(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::SizeVerCursor);
    setToolTip(QString());
  }
  /// Runs with the grip's new bottom, in pixels from the canvas' bottom.
  std::function<void(int)> released;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QColor line = palette().color(QPalette::Mid);
    const int mid = height() / 2, w = width();
    p.setPen(line);
    for (int x = w / 2 - 12; x <= w / 2 + 12; x += 4) p.drawPoint(x, mid);
    p.drawLine(0, mid - 2, w, mid - 2);
  }
  void mousePressEvent(QMouseEvent* e) override {
    grab_y_ = e->position().toPoint().y();
    start_top_ = y();
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (!(e->buttons() & Qt::LeftButton)) return;
    const int top = y() + e->position().toPoint().y() - grab_y_;
    move(x(), std::clamp(top, 0, std::max(0, parentWidget()->height() - height())));
  }
  void mouseReleaseEvent(QMouseEvent*) override {
    if (y() != start_top_ && released) released(parentWidget()->height() - (y() + height()));
  }

 private:
  int grab_y_ = 0, start_top_ = 0;
};

bool same_color(const Value& a, const Value& b) {
  if (!a.is_double() || !b.is_double() || a.numel() != 3 || b.numel() != 3) return false;
  for (std::size_t i = 0; i < 3; ++i)
    if (std::fabs(a(i) - b(i)) > 1e-9) return false;
  return true;
}

}  // namespace

Control::Control(gfx::Handle h, QWidget* canvas, WindowSet& set)
    : h_(h), canvas_(canvas), set_(set) {
  build();
}

Control::~Control() = default;

QWidget* Control::take_widget() {
  QWidget* w = widget_;
  widget_ = nullptr;
  return w;
}

void Control::build() {
  style_ = gfx::graphics().get_text(h_, "Style");
  if (style_ == "pushbutton" || style_ == "togglebutton") {
    auto* b = new QPushButton(canvas_);
    b->setCheckable(style_ == "togglebutton");
    b->setAutoDefault(false);
    widget_ = b;
  } else if (style_ == "edit" && is_multi_line(h_)) {
    auto* e = new QPlainTextEdit(canvas_);
    e->setLineWrapMode(QPlainTextEdit::WidgetWidth);  // long reports wrap, no sideways scrolling
    widget_ = e;
  } else if (style_ == "edit") {
    widget_ = new QLineEdit(canvas_);
  } else if (style_ == "checkbox") {
    widget_ = new QCheckBox(canvas_);
  } else if (style_ == "radiobutton") {
    auto* r = new QRadioButton(canvas_);
    // The program keeps radio pairs exclusive through their callbacks.
    r->setAutoExclusive(false);
    widget_ = r;
  } else if (style_ == "popupmenu") {
    widget_ = new QComboBox(canvas_);
  } else if (style_ == "listbox") {
    widget_ = new QListWidget(canvas_);
  } else if (style_ == "slider") {
    auto* sl = new QSlider(Qt::Horizontal, canvas_);
    sl->setRange(0, kSliderSteps);
    widget_ = sl;
  } else if (style_ == "splitter") {
    widget_ = new SplitterGrip(canvas_);
  } else if (style_ == "frame") {
    auto* f = new QFrame(canvas_);
    f->setFrameStyle(QFrame::Box | QFrame::Sunken);
    f->setAttribute(Qt::WA_TransparentForMouseEvents);
    widget_ = f;
  } else {
    auto* l = new QLabel(canvas_);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    widget_ = l;
  }
  if (!has_field(style_) && !is_button(style_)) widget_->setAutoFillBackground(true);
  if (style_ == "checkbox" || style_ == "radiobutton") widget_->setAutoFillBackground(true);
  connect_signals();
  sync_all();
}

void Control::connect_signals() {
  WindowSet& set = set_;
  gfx::Handle h = h_;
  QObject* anchor = set.anchor();
  QWidget* w = widget_;
  // A signal of a widget that no longer stands for the control (rebuilt or
  // being deleted) is ignored.
  auto current = [&set, h, w] { return set.widget(h) == w; };
  auto set_value = [h](double v) { return [h, v] { gfx::graphics().set(h, "Value", v); }; };

  if (auto* grip = dynamic_cast<SplitterGrip*>(w)) {
    // The grip's "Value" is where it was let go: its bottom, in pixels from
    // the window's bottom.
    grip->released = [current, &set, h](int bottom_px) {
      if (!current()) return;
      set.activate(h, [h, bottom_px] { gfx::graphics().set(h, "Value", double(bottom_px)); });
    };
  } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    bool two_state = style_ != "pushbutton";
    QObject::connect(b, &QAbstractButton::clicked, anchor,
                     [current, &set, h, two_state](bool checked) {
                       if (!current()) return;
                       if (!two_state) return set.activate(h);
                       // Checked takes the control's Max, unchecked its Min.
                       set.activate(h, [h, checked] {
                         gfx::Graphics& g = gfx::graphics();
                         g.set(h, "Value", g.get_number(h, checked ? "Max" : "Min"));
                       });
                     });
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    // Return always runs the callback; leaving the field only after an edit.
    QObject::connect(e, &QLineEdit::returnPressed, anchor,
                     [e] { e->setProperty(kReturnPressed, true); });
    QObject::connect(e, &QLineEdit::editingFinished, anchor, [current, &set, h, e] {
      bool by_return = e->property(kReturnPressed).toBool();
      e->setProperty(kReturnPressed, false);
      if (!current()) return;
      std::string text = e->text().toStdString();
      bool edited = true;
      WindowSet::guarded([&] { edited = gfx::graphics().get_text(h, "String") != text; });
      if (!by_return && !edited) return;
      set.activate(h, [h, text] { gfx::graphics().set(h, "String", Value(text)); });
    });
  } else if (auto* e = qobject_cast<QPlainTextEdit*>(w)) {
    // An edited text takes effect when the field is left.
    new FocusOutWatch(e, [current, &set, h, e] {
      if (!current() || e->isReadOnly()) return;
      QStringList lines = e->toPlainText().split('\n');
      Value now;
      WindowSet::guarded([&] { now = gfx::graphics().get(h, "String"); });
      if (string_items(now, false) == lines) return;
      ValueList cells;
      for (const QString& l : lines) cells.emplace_back(l.toStdString());
      set.activate(h, [h, cells] { gfx::graphics().set(h, "String", Value::cell_row(cells)); });
    });
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    QObject::connect(c, &QComboBox::activated, anchor, [current, &set, h, set_value](int i) {
      if (current()) set.activate(h, set_value(i + 1.0));
    });
  } else if (auto* sl = qobject_cast<QSlider*>(w)) {
    // Every position reached while dragging runs the callback, so what it
    // draws follows the slider; ValueChangedFcn runs once the move ends: when
    // the slider is let go, or a moment after the last of a run of steps by
    // key, click or wheel.
    auto* settle = new QTimer(sl);
    settle->setSingleShot(true);
    settle->setInterval(kSettleMs);
    auto settled = [current, &set, h] {
      if (current()) set.activate(h, {}, "ValueChangedFcn");
    };
    QObject::connect(settle, &QTimer::timeout, anchor, settled);
    QObject::connect(sl, &QSlider::sliderReleased, anchor, [settle, settled] {
      settle->stop();
      settled();
    });
    QObject::connect(sl, &QSlider::valueChanged, anchor, [current, &set, h, sl, settle](int step) {
      if (!current()) return;
      set.activate(h, [h, step] {
        gfx::Graphics& g = gfx::graphics();
        const double lo = g.get_number(h, "Min"), hi = g.get_number(h, "Max");
        g.set(h, "Value", lo + (hi - lo) * step / kSliderSteps);
      });
      if (current() && !sl->isSliderDown()) settle->start();
    });
  } else if (auto* l = qobject_cast<QListWidget*>(w)) {
    QObject::connect(l, &QListWidget::itemSelectionChanged, anchor, [current, &set, h, l] {
      if (!current()) return;
      std::vector<double> rows;
      for (QListWidgetItem* item : l->selectedItems()) rows.push_back(l->row(item) + 1.0);
      std::sort(rows.begin(), rows.end());
      set.activate(h, [h, rows] { gfx::graphics().set(h, "Value", Value::row(rows)); });
    });
  }
}

void Control::sync_all() {
  apply_range();
  apply_string();
  apply_value();
  apply_enable();
  apply_colors();
  apply_font();
  apply_alignment();
  widget_->setToolTip(qstr(gfx::graphics().get_text(h_, "TooltipString")));
  widget_->setVisible(gfx::graphics().get_text(h_, "Visible") == "on");
}

void Control::sync(std::string_view name) {
  const gfx::Graphics& g = gfx::graphics();
  const bool multi_now = style_ == "edit" && is_multi_line(h_);
  const bool multi_widget = qobject_cast<QPlainTextEdit*>(widget_) != nullptr;
  if ((name == "style" && g.get_text(h_, "Style") != style_) ||
      ((name == "min" || name == "max") && multi_now != multi_widget)) {
    rebuild();
  } else if (name == "style") {
    return;
  } else if (name == "string") {
    apply_string();
  } else if (name == "value") {
    apply_value();
  } else if (name == "min" || name == "max") {
    apply_range();
    apply_value();
  } else if (name == "enable") {
    apply_enable();
  } else if (name == "visible") {
    widget_->setVisible(g.get_text(h_, "Visible") == "on");
  } else if (name == "backgroundcolor" || name == "foregroundcolor") {
    apply_colors();
  } else if (name == "fontsize" || name == "fontname" || name == "fontweight" ||
             name == "fontangle") {
    apply_font();
  } else if (name == "tooltipstring") {
    widget_->setToolTip(qstr(g.get_text(h_, "TooltipString")));
  } else if (name == "horizontalalignment") {
    apply_alignment();
  }
}

void Control::rebuild() {
  QWidget* old = take_widget();
  build();
  widget_->stackUnder(old);
  widget_->setGeometry(old->geometry());
  old->hide();
  old->deleteLater();
}

void Control::place(double figure_height_px) {
  widget_->setGeometry(flipped_rect(gfx::graphics().object(h_).pos_px, figure_height_px));
}

void Control::apply_string() {
  Value string = gfx::graphics().get(h_, "String");
  QSignalBlocker block(widget_);
  if (auto* c = qobject_cast<QComboBox*>(widget_)) {
    c->clear();
    c->addItems(string_items(string, true));
    apply_value();
  } else if (auto* l = qobject_cast<QListWidget*>(widget_)) {
    l->clear();
    l->addItems(string_items(string, true));
    apply_value();
  } else if (auto* e = qobject_cast<QLineEdit*>(widget_)) {
    QString text = string_items(string, false).join(' ');
    if (e->text() != text) e->setText(text);
  } else if (auto* e = qobject_cast<QPlainTextEdit*>(widget_)) {
    QString text = string_items(string, false).join('\n');
    QString old = e->toPlainText();
    if (old == text) return;
    // New lines at the end are appended, which keeps the newest in view and
    // a reader's selection where it is.
    if (!old.isEmpty() && text.startsWith(old + '\n')) {
      e->appendPlainText(text.mid(old.size() + 1));
    } else {
      e->setPlainText(text);
    }
    // The newest line, the last one, in view once the text is laid out.
    QScrollBar* bar = e->verticalScrollBar();
    bar->setValue(bar->maximum());
    QTimer::singleShot(0, e, [bar] { bar->setValue(bar->maximum()); });
  } else if (auto* b = qobject_cast<QPushButton*>(widget_)) {
    b->setText(string_items(string, false).join('\n'));
  } else if (auto* b = qobject_cast<QAbstractButton*>(widget_)) {
    b->setText(string_items(string, false).join(' '));
  } else if (auto* label = qobject_cast<QLabel*>(widget_)) {
    label->setText(string_items(string, false).join('\n'));
  }
}

void Control::apply_value() {
  const gfx::Graphics& g = gfx::graphics();
  Value value = g.get(h_, "Value");
  QSignalBlocker block(widget_);
  if (auto* b = qobject_cast<QAbstractButton*>(widget_)) {
    if (b->isCheckable())
      b->setChecked(value.is_double() && value.numel() == 1 && value(0) == g.get_number(h_, "Max"));
  } else if (auto* sl = qobject_cast<QSlider*>(widget_)) {
    const double lo = g.get_number(h_, "Min"), hi = g.get_number(h_, "Max");
    if (value.is_double() && value.numel() == 1 && hi > lo)
      sl->setValue(static_cast<int>(
          std::lround(std::clamp((value(0) - lo) / (hi - lo), 0.0, 1.0) * kSliderSteps)));
  } else if (auto* c = qobject_cast<QComboBox*>(widget_)) {
    long i = value.is_double() && value.numel() >= 1 ? std::lround(value(0)) - 1 : -1;
    c->setCurrentIndex(i >= 0 && i < c->count() ? static_cast<int>(i) : -1);
  } else if (auto* l = qobject_cast<QListWidget*>(widget_)) {
    l->clearSelection();
    if (!value.is_double()) return;
    for (double v : value.data()) {
      long i = std::lround(v) - 1;
      if (i >= 0 && i < l->count()) l->item(static_cast<int>(i))->setSelected(true);
    }
  }
}

void Control::apply_range() {
  if (qobject_cast<QSlider*>(widget_)) apply_value();
  if (auto* l = qobject_cast<QListWidget*>(widget_)) {
    const gfx::Graphics& g = gfx::graphics();
    // A listbox takes several entries when Max - Min > 1.
    bool multi = g.get_number(h_, "Max") - g.get_number(h_, "Min") > 1;
    l->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection
                              : QAbstractItemView::SingleSelection);
  }
}

void Control::apply_enable() {
  std::string enable = gfx::graphics().get_text(h_, "Enable");
  widget_->setEnabled(enable != "off");
  if (style_ == "frame") return;
  if (auto* e = qobject_cast<QPlainTextEdit*>(widget_)) {
    // An inactive text of several lines cannot be edited, yet its lines can
    // be selected and copied.
    e->setReadOnly(enable != "on");
    e->setTextInteractionFlags(enable == "on"
                                   ? Qt::TextEditorInteraction
                                   : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return;
  }
  // "inactive" looks enabled but does not respond.
  widget_->setAttribute(Qt::WA_TransparentForMouseEvents, enable == "inactive");
  widget_->setFocusPolicy(enable == "inactive" ? Qt::NoFocus : widget_->focusPolicy());
}

void Control::apply_colors() {
  const gfx::Graphics& g = gfx::graphics();
  QPalette palette = widget_->palette();
  Value bg = g.get(h_, "BackgroundColor");
  QColor back = qcolor(bg, palette.color(QPalette::Window));
  QColor fore = qcolor(g.get(h_, "ForegroundColor"), palette.color(QPalette::WindowText));
  palette.setColor(QPalette::Window, back);
  palette.setColor(QPalette::Button, back);
  if (!has_field(style_) || !same_color(bg, g.get(gfx::kRoot, "defaultUicontrolBackgroundColor"))) {
    palette.setColor(QPalette::Base, back);
  } else {
    palette.setColor(QPalette::Base, QApplication::palette(widget_).color(QPalette::Base));
  }
  // The text colour for the active and inactive window; a disabled control
  // keeps the style's grey text, so that it looks disabled.
  const QPalette standard = QApplication::palette(widget_);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
    palette.setColor(QPalette::Active, role, fore);
    palette.setColor(QPalette::Inactive, role, fore);
    palette.setColor(QPalette::Disabled, role, standard.color(QPalette::Disabled, role));
  }
  widget_->setPalette(palette);
}

void Control::apply_font() {
  const gfx::Graphics& g = gfx::graphics();
  QFont font = widget_->font();
  std::string family = g.get_text(h_, "FontName");
  if (!family.empty()) font.setFamily(qstr(family));
  double size = g.get_number(h_, "FontSize");
  if (size > 0) font.setPointSizeF(size);
  std::string weight = g.get_text(h_, "FontWeight");
  font.setBold(weight == "bold" || weight == "demi");
  std::string angle = g.get_text(h_, "FontAngle");
  font.setItalic(angle == "italic" || angle == "oblique");
  widget_->setFont(font);
  if (auto* e = qobject_cast<QPlainTextEdit*>(widget_)) {
    // Text in a fixed-width font is laid out in columns (a table, a log of
    // tables): its lines stay whole and the field scrolls sideways.
    e->setLineWrapMode(QFontInfo(font).fixedPitch() ? QPlainTextEdit::NoWrap
                                                    : QPlainTextEdit::WidgetWidth);
  }
}

void Control::apply_alignment() {
  std::string a = gfx::graphics().get_text(h_, "HorizontalAlignment");
  Qt::Alignment h = a == "left" ? Qt::AlignLeft : a == "right" ? Qt::AlignRight : Qt::AlignHCenter;
  if (auto* label = qobject_cast<QLabel*>(widget_)) {
    label->setAlignment(h | Qt::AlignTop);
  } else if (auto* e = qobject_cast<QLineEdit*>(widget_)) {
    e->setAlignment(h | Qt::AlignVCenter);
  }
}

}  // namespace velmora::qt
