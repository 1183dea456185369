#include "platform/qt/qt_backend.hpp"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <cmath>

#include "platform/qt/figure_window.hpp"
#include "platform/qt/menus.hpp"
#include "qt_fixture.hpp"

namespace velmora::qt::testing {
namespace {

using gfx::Handle;
using gfx::Type;

class QtBackendTest : public QtTest {};

TEST_F(QtBackendTest, FigureWindowFollowsNamePositionAndVisible) {
  Handle f = figure({100, 120, 400, 300});
  QWidget* w = qt().window_of(f);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), "Figure 1");
  g().set(f, "Name", "Shapes");
  EXPECT_EQ(w->windowTitle(), "Figure 1: Shapes");
  g().set(f, "NumberTitle", "off");
  EXPECT_EQ(w->windowTitle(), "Shapes");

  // Bottom counts from the bottom of the screen in the object model.
  double screen_h = qt().screen_size_px()[1];
  EXPECT_EQ(w->geometry(), QRect(100, static_cast<int>(screen_h) - 120 - 300, 400, 300));
  g().set(f, "Position", Value::row({50, 60, 320, 200}));
  EXPECT_EQ(w->geometry(), QRect(50, static_cast<int>(screen_h) - 60 - 200, 320, 200));
  g().set(f, "Units", "points");
  g().set(f, "Position", Value::row({75, 75, 300, 150}));
  double pt = qt().pixels_per_inch() / 72;
  EXPECT_EQ(w->size(), QSize(static_cast<int>(std::lround(300 * pt)),
                             static_cast<int>(std::lround(150 * pt))));

  g().set(f, "Visible", "off");
  EXPECT_FALSE(w->isVisible());
  g().set(f, "Visible", "on");
  EXPECT_TRUE(w->isVisible());

  g().destroy(f);
  EXPECT_EQ(qt().window_of(f), nullptr);
}

// Local files dragged onto a figure's window are taken and handed, in the
// order dropped, to the backend's opener with the figure; anything else is
// not taken, nor is anything while nothing opens drops.
TEST_F(QtBackendTest, FilesDroppedOnAWindowGoToTheOpener) {
  Handle f = figure({100, 120, 400, 300});
  QWidget* w = qt().window_of(f);
  ASSERT_NE(w, nullptr);
  Handle on = -1;
  std::vector<std::string> got;
  auto drag = [&](const QMimeData& data) {
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QApplication::sendEvent(w, &enter);
    return enter.isAccepted();
  };
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile("/tmp/a.tps"), QUrl::fromLocalFile("/tmp/b c.velmora")});
  EXPECT_FALSE(drag(files));
  qt().files_dropped = [&](Handle fig, const std::vector<std::string>& paths) {
    on = fig;
    got = paths;
  };
  EXPECT_TRUE(drag(files));
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &drop);
  EXPECT_EQ(on, f);
  EXPECT_EQ(got, (std::vector<std::string>{"/tmp/a.tps", "/tmp/b c.velmora"}));
  QMimeData web;
  web.setUrls({QUrl("https://example.org/a.tps")});
  EXPECT_FALSE(drag(web));
  qt().files_dropped = nullptr;
}

TEST_F(QtBackendTest, ControlsGetTheirWidgetsAtTheirPlaces) {
  Handle f = figure({100, 100, 400, 300});
  Handle button = g().create(
      Type::UiControl, f,
      {{"Style", "pushbutton"}, {"String", "Go"}, {"Position", Value::row({10, 20, 80, 30})}});
  Handle edit =
      g().create(Type::UiControl, f,
                 {{"Style", "edit"}, {"String", "3"}, {"Position", Value::row({10, 60, 100, 25})}});
  Handle popup =
      g().create(Type::UiControl, f,
                 {{"Style", "popupmenu"},
                  {"String", Value::cell_row({Value("one"), Value("two"), Value("three")})},
                  {"Value", 2.0},
                  {"Position", Value::row({120, 60, 120, 25})}});
  Handle label = g().create(Type::UiControl, f,
                            {{"Style", "text"},
                             {"String", "first\nsecond"},
                             {"HorizontalAlignment", "left"},
                             {"Position", Value::row({10, 200, 200, 40})}});
  Handle box = g().create(Type::UiControl, f,
                          {{"Style", "frame"}, {"Position", Value::row({5, 5, 390, 290})}});
  Handle list = g().create(Type::UiControl, f,
                           {{"Style", "listbox"},
                            {"String", "a|b|c"},
                            {"Value", 3.0},
                            {"Position", Value::row({250, 100, 100, 80})}});
  Handle radio = g().create(Type::UiControl, f,
                            {{"Style", "radiobutton"}, {"String", "ln X"}, {"Value", 1.0}});

  auto* b = widget<QPushButton>(button);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->text(), "Go");
  // From the bottom-left of the inner area (300 pixels high).
  EXPECT_EQ(b->geometry(), QRect(10, 300 - 20 - 30, 80, 30));
  EXPECT_EQ(b->parentWidget()->size(), QSize(400, 300));

  auto* e = widget<QLineEdit>(edit);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->text(), "3");
  EXPECT_EQ(e->geometry(), QRect(10, 300 - 60 - 25, 100, 25));

  auto* c = widget<QComboBox>(popup);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->count(), 3);
  EXPECT_EQ(c->currentIndex(), 1);
  EXPECT_EQ(c->itemText(2), "three");

  auto* l = widget<QLabel>(label);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->text(), "first\nsecond");
  EXPECT_TRUE(l->alignment() & Qt::AlignLeft);
  g().set(label, "HorizontalAlignment", "center");
  EXPECT_TRUE(l->alignment() & Qt::AlignHCenter);

  EXPECT_NE(widget<QFrame>(box), nullptr);
  auto* lw = widget<QListWidget>(list);
  ASSERT_NE(lw, nullptr);
  ASSERT_EQ(lw->count(), 3);
  EXPECT_TRUE(lw->item(2)->isSelected());
  auto* r = widget<QRadioButton>(radio);
  ASSERT_NE(r, nullptr);
  EXPECT_TRUE(r->isChecked());
  EXPECT_FALSE(r->autoExclusive());
}

TEST_F(QtBackendTest, PropertyChangesUpdateControls) {
  Handle f = figure();
  Handle h = g().create(Type::UiControl, f, {{"Style", "checkbox"}, {"String", "CS"}});
  auto* c = widget<QCheckBox>(h);
  ASSERT_NE(c, nullptr);
  EXPECT_FALSE(c->isChecked());
  g().set(h, "Value", 1.0);
  EXPECT_TRUE(c->isChecked());
  g().set(h, "Enable", "off");
  EXPECT_FALSE(c->isEnabled());
  g().set(h, "Enable", "on");
  EXPECT_TRUE(c->isEnabled());
  g().set(h, "String", "Centroid size");
  EXPECT_EQ(c->text(), "Centroid size");
  g().set(h, "TooltipString", "Report X as CS");
  EXPECT_EQ(c->toolTip(), "Report X as CS");
  g().set(h, "FontSize", 14.0);
  EXPECT_DOUBLE_EQ(c->font().pointSizeF(), 14);
  g().set(h, "BackgroundColor", Value::row({1, 0, 0}));
  EXPECT_EQ(c->palette().color(QPalette::Window), QColor(255, 0, 0));
  g().set(h, "ForegroundColor", Value::row({0, 0, 1}));
  EXPECT_EQ(c->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  g().set(h, "Position", Value::row({30, 40, 50, 60}));
  EXPECT_EQ(c->geometry(), QRect(30, 300 - 40 - 60, 50, 60));
  g().set(h, "Visible", "off");
  EXPECT_FALSE(c->isVisibleTo(c->parentWidget()));

  // A new style is a new widget at the same place.
  g().set(h, "Style", "pushbutton");
  auto* b = widget<QPushButton>(h);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->geometry(), QRect(30, 300 - 40 - 60, 50, 60));
  EXPECT_EQ(b->text(), "Centroid size");

  g().destroy(h);
  EXPECT_EQ(qt().widget_of(h), nullptr);
}

TEST_F(QtBackendTest, ActivatingControlsSetsTheirValueMakesTheFigureCurrentAndRunsTheCallback) {
  Handle f1 = figure();
  Handle button = g().create(Type::UiControl, f1, {{"Callback", probe_callback("button")}});
  Handle check = g().create(Type::UiControl, f1,
                            {{"Style", "checkbox"}, {"Callback", probe_callback("check")}});
  Handle popup = g().create(Type::UiControl, f1,
                            {{"Style", "popupmenu"},
                             {"String", Value::cell_row({Value("a"), Value("b"), Value("c")})},
                             {"Value", 1.0},
                             {"Callback", probe_callback("popup")}});
  Handle edit =
      g().create(Type::UiControl, f1,
                 {{"Style", "edit"}, {"String", "3"}, {"Callback", probe_callback("edit")}});
  Handle f2 = figure();
  ASSERT_EQ(g().current_figure_or_none(), f2);

  QTest::mouseClick(widget<QPushButton>(button), Qt::LeftButton);
  ASSERT_EQ(probe_calls().size(), 1u);
  EXPECT_EQ(probe_calls()[0].args,
            (std::vector<std::string>{"button", "#" + format_number(button)}));
  EXPECT_EQ(probe_calls()[0].current_figure, f1);
  EXPECT_EQ(probe_calls()[0].callback_object, button);

  g().make_current(f2);
  widget<QCheckBox>(check)->click();
  ASSERT_EQ(probe_calls().size(), 2u);
  EXPECT_EQ(probe_calls()[1].value_property, 1);  // set before the callback ran
  EXPECT_EQ(probe_calls()[1].current_figure, f1);
  EXPECT_EQ(g().get_number(check, "Value"), 1);
  widget<QCheckBox>(check)->click();
  EXPECT_EQ(g().get_number(check, "Value"), 0);

  emit widget<QComboBox>(popup)->activated(2);
  ASSERT_EQ(probe_calls().size(), 4u);
  EXPECT_EQ(probe_calls()[3].value_property, 3);
  EXPECT_EQ(g().get_number(popup, "Value"), 3);

  auto* e = widget<QLineEdit>(edit);
  e->setFocus();
  e->selectAll();
  QTest::keyClicks(e, "7.5");
  QTest::keyClick(e, Qt::Key_Return);
  ASSERT_EQ(probe_calls().size(), 5u);
  EXPECT_EQ(probe_calls()[4].string_property, "7.5");
  EXPECT_EQ(g().get_text(edit, "String"), "7.5");
  // Leaving the field without an edit runs nothing; Return always does.
  emit e->editingFinished();
  EXPECT_EQ(probe_calls().size(), 5u);
  QTest::keyClick(e, Qt::Key_Return);
  EXPECT_EQ(probe_calls().size(), 6u);

  // Setting the value from the program runs no callback.
  g().set(check, "Value", 1.0);
  g().set(popup, "Value", 1.0);
  g().set(edit, "String", "2");
  EXPECT_EQ(probe_calls().size(), 6u);
  EXPECT_EQ(e->text(), "2");
}

TEST_F(QtBackendTest, ACallbackMayDeleteItsOwnFigure) {
  Handle f = figure();
  Handle ok = g().create(Type::UiControl, f, {{"String", "OK"}});
  g().set_native_callback(ok, "Callback",
                          [](Handle h) { gfx::graphics().destroy(gfx::graphics().figure_of(h)); });
  QPointer<QWidget> w = qt().window_of(f);
  QPointer<QPushButton> b = widget<QPushButton>(ok);
  QTest::mouseClick(b.data(), Qt::LeftButton);
  EXPECT_FALSE(g().valid(f));
  EXPECT_FALSE(w->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(w.isNull());
  EXPECT_TRUE(b.isNull());
}

TEST_F(QtBackendTest, MenusFormTheMenuBarInCreationOrder) {
  Handle f = figure();
  QMenuBar* bar = qt().menu_bar_of(f);
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(bar->isVisibleTo(qt().window_of(f)));

  Handle file = g().create(Type::UiMenu, f, {{"Label", "&File"}});
  Handle display = g().create(Type::UiMenu, f, {{"Label", "&Display"}});
  Handle open =
      g().create(Type::UiMenu, file, {{"Label", "Open"}, {"Callback", probe_callback("open")}});
  Handle save = g().create(Type::UiMenu, file,
                           {{"Label", "Save"}, {"Separator", "on"}, {"Accelerator", "s"}});
  Handle dots =
      g().create(Type::UiMenu, display,
                 {{"Label", "Dots"}, {"Checked", "on"}, {"Callback", probe_callback("dots")}});
  Handle density = g().create(Type::UiMenu, display, {{"Label", "Density"}});
  Handle d10 = g().create(Type::UiMenu, density, {{"Label", "10"}});

  EXPECT_TRUE(bar->isVisibleTo(qt().window_of(f)));
  QList<QAction*> top = bar->actions();
  ASSERT_EQ(top.size(), 2);
  EXPECT_EQ(top[0]->text(), "&File");
  EXPECT_EQ(top[1]->text(), "&Display");
  ASSERT_NE(top[0]->menu(), nullptr);
  QList<QAction*> file_items;
  for (QAction* a : top[0]->menu()->actions())
    if (a->isVisible()) file_items.push_back(a);
  // Open, then the separator before Save, then Save.
  ASSERT_EQ(file_items.size(), 3);
  EXPECT_EQ(file_items[0], qt().action_of(open));
  EXPECT_TRUE(file_items[1]->isSeparator());
  EXPECT_EQ(file_items[2], qt().action_of(save));
  EXPECT_EQ(qt().action_of(save)->shortcut(), QKeySequence("Ctrl+S"));
  // A key name is the shortcut as it reads.
  g().set(save, "Accelerator", "F1");
  EXPECT_EQ(qt().action_of(save)->shortcut(), QKeySequence(Qt::Key_F1));
  g().set(save, "Accelerator", "");
  EXPECT_TRUE(qt().action_of(save)->shortcut().isEmpty());
  EXPECT_EQ(menu_shortcut("q"), QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_EQ(menu_shortcut("Ctrl+Shift+E"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
  ASSERT_NE(qt().action_of(density)->menu(), nullptr);
  EXPECT_TRUE(qt().action_of(density)->menu()->actions().contains(qt().action_of(d10)));

  QAction* dot = qt().action_of(dots);
  EXPECT_TRUE(dot->isCheckable());
  EXPECT_TRUE(dot->isChecked());
  g().set(dots, "Checked", "off");
  EXPECT_FALSE(dot->isChecked());
  g().set(dots, "Checked", "on");
  EXPECT_TRUE(dot->isChecked());
  g().set(dots, "Enable", "off");
  EXPECT_FALSE(dot->isEnabled());
  g().set(dots, "Enable", "on");
  g().set(dots, "Label", "Show dots");
  EXPECT_EQ(dot->text(), "Show dots");
  g().set(save, "Separator", "off");
  EXPECT_FALSE(file_items[1]->isVisible());

  // Triggering runs the callback with the figure current; the check mark
  // shows what the callback left ("Checked" stays on here).
  Handle other = figure();
  ASSERT_EQ(g().current_figure_or_none(), other);
  dot->trigger();
  ASSERT_EQ(probe_calls().size(), 1u);
  EXPECT_EQ(probe_calls()[0].args[0], "dots");
  EXPECT_EQ(probe_calls()[0].current_figure, f);
  EXPECT_TRUE(dot->isChecked());

  g().set(display, "Visible", "off");
  g().set(file, "Visible", "off");
  EXPECT_FALSE(bar->isVisibleTo(qt().window_of(f)));
  g().set(file, "Visible", "on");
  g().destroy(file);
  EXPECT_EQ(qt().action_of(open), nullptr);
  EXPECT_FALSE(bar->isVisibleTo(qt().window_of(f)));
}

// Qt's warnings while a test runs.
QStringList& qt_warnings() {
  static QStringList list;
  return list;
}

TEST_F(QtBackendTest, AShortcutWorksFromAnotherWindowAndRunsItsEntryOnce) {
  // Two windows carry the same File menu with Ctrl+O; the second one has
  // the focus when the keys are pressed.
  Handle main = figure();
  Handle open =
      g().create(Type::UiMenu, g().create(Type::UiMenu, main, {{"Label", "&File"}}),
                 {{"Label", "Open"}, {"Accelerator", "o"}, {"Callback", probe_callback("open")}});
  Handle view = figure();
  Handle copy =
      g().create(Type::UiMenu, g().create(Type::UiMenu, view, {{"Label", "&File"}}),
                 {{"Label", "Open"}, {"Accelerator", "o"}, {"Callback", probe_callback("copy")}});
  EXPECT_EQ(qt().action_of(open)->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_TRUE(qt().action_of(copy)->shortcut().isEmpty());
  EXPECT_EQ(qt().action_of(copy)->text(),
            "Open\t" + QKeySequence("Ctrl+O").toString(QKeySequence::NativeText));

  QWidget* w = qt().window_of(view);
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  qt_warnings().clear();
  QtMessageHandler before = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& text) { qt_warnings() << text; });
  QTest::keyClick(w, Qt::Key_O, Qt::ControlModifier);
  qInstallMessageHandler(before);
  ASSERT_EQ(probe_calls().size(), 1u);
  EXPECT_EQ(probe_calls()[0].args[0], "open");
  EXPECT_TRUE(qt_warnings().filter("mbiguous").isEmpty()) << qt_warnings().join('\n').toStdString();

  // When the first window goes, the other entry takes the shortcut over.
  g().destroy(main);
  EXPECT_EQ(qt().action_of(copy)->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(qt().action_of(copy)->text(), "Open");
  QTest::keyClick(w, Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(probe_calls().size(), 2u);
  EXPECT_EQ(probe_calls()[1].args[0], "copy");
}

TEST_F(QtBackendTest, KeyPressSetsTheCurrentCharacterThenRunsKeyPressFcn) {
  Handle f = figure();
  g().set(f, "KeyPressFcn", Value::cell_row({Value("qtprobe"), Value("key")}));
  Handle other = figure();
  ASSERT_EQ(g().current_figure_or_none(), other);
  QTest::keyClick(qt().window_of(f), Qt::Key_X);
  ASSERT_EQ(probe_calls().size(), 1u);
  EXPECT_EQ(probe_calls()[0].current_figure, f);
  EXPECT_EQ(g().get_text(f, "CurrentCharacter"), "x");
  QTest::keyClick(qt().window_of(f), Qt::Key_Return);
  EXPECT_EQ(g().get(f, "CurrentCharacter"), Value::from_u16(u"\r"));
  // A lone modifier is no character.
  QTest::keyClick(qt().window_of(f), Qt::Key_Shift);
  EXPECT_EQ(probe_calls().size(), 2u);
}

TEST_F(QtBackendTest, QuestionsAreAnsweredAndDocumentsShownInWindowsOfTheirOwn) {
  for (bool yes : {true, false}) {
    QTimer::singleShot(0, [yes] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->text(), "Unsaved. Quit?");
      box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    EXPECT_EQ(qt().ask_yes_no("Unsaved. Quit?", "Quit Velmora"), yes);
  }
  qt().show_document("Velmora User Guide", "## A first analysis\n\n1. **Load** a file.\n");
  QTextBrowser* shown = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* b = qobject_cast<QTextBrowser*>(w); b && b->windowTitle() == "Velmora User Guide")
      shown = b;
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->isVisible());
  // Shown as formatted text, not as its Markdown source.
  const QString plain = shown->toPlainText();
  EXPECT_TRUE(plain.startsWith("A first analysis")) << plain.toStdString();
  EXPECT_TRUE(plain.contains("Load a file.")) << plain.toStdString();
  EXPECT_FALSE(plain.contains("**")) << plain.toStdString();
  shown->close();
}

TEST_F(QtBackendTest, ACloseRequestFcnDecidesWhetherItsWindowCloses) {
  Handle f = figure();
  g().set(f, "CloseRequestFcn", Value::cell_row({Value("qtprobe"), Value("asked")}));
  qt().window_of(f)->close();
  ASSERT_EQ(probe_calls().size(), 1u);
  EXPECT_EQ(probe_calls()[0].args[0], "asked");
  EXPECT_TRUE(g().valid(f));
  ASSERT_NE(qt().window_of(f), nullptr);
  EXPECT_TRUE(qt().window_of(f)->isVisible());
}

TEST_F(QtBackendTest, ClosingTheLastWindowEndsTheEventLoopWithStatusZero) {
  Handle f1 = figure();
  Handle f2 = figure();
  // A close request that agrees: it deletes its figure.
  g().set_native_callback(f2, "CloseRequestFcn", [this](Handle h) {
    function_table().call("qtprobe", {Value("closing")}, 0);
    g().destroy(h);
  });
  QWidget* w1 = qt().window_of(f1);
  QWidget* w2 = qt().window_of(f2);
  QTimer::singleShot(0, [w1] { w1->close(); });
  QTimer::singleShot(5, [w2] { w2->close(); });
  // A safety net: the loop must not outlive the test.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
  guard.start(5000);
  EXPECT_EQ(qt().run_event_loop(), 0);
  EXPECT_TRUE(g().figures().empty());
  ASSERT_EQ(probe_calls().size(), 1u);
  EXPECT_EQ(probe_calls()[0].args[0], "closing");
  EXPECT_EQ(probe_calls()[0].current_figure, f2);
  // Without figures there is nothing to wait for.
  EXPECT_EQ(qt().run_event_loop(), 0);
}

TEST_F(QtBackendTest, TheLoopAlsoEndsWhenAnActionDeletesTheLastFigure) {
  Handle f = figure();
  Handle b = g().create(Type::UiControl, f, {{"String", "Quit"}});
  g().set_native_callback(b, "Callback", [f](Handle) { gfx::graphics().destroy(f); });
  QPushButton* button = widget<QPushButton>(b);
  QTimer::singleShot(0, [button] { button->click(); });
  EXPECT_EQ(qt().run_event_loop(), 0);
}

TEST_F(QtBackendTest, UserMovesAndResizesUpdateThePosition) {
  Handle f = figure({100, 100, 400, 300});
  Handle ax = g().create(Type::Axes, f);  // normalized units
  Handle b = g().create(Type::UiControl, f, {{"Position", Value::row({10, 10, 60, 20})}});
  QWidget* w = qt().window_of(f);
  double screen_h = qt().screen_size_px()[1];
  w->setGeometry(150, static_cast<int>(screen_h) - 80 - 360, 500, 360);
  QTest::qWait(20);
  Value pos = g().get(f, "Position");
  EXPECT_EQ(pos, Value::row({150, 80, 500, 360}));
  // Normalized children keep their share; pixel ones keep their place from
  // the bottom-left.
  EXPECT_EQ(g().get(ax, "Position"), Value::row({0.13, 0.11, 0.775, 0.815}));
  EXPECT_DOUBLE_EQ(g().object(ax).pos_px[2], 0.775 * 500);
  EXPECT_EQ(widget<QPushButton>(b)->geometry(), QRect(10, 360 - 10 - 20, 60, 20));
}

// A figure docked in another's window fills a tab of it: its Position
// takes the tab's size as from a user resize (normalized axes follow), and
// follows resizes of the host; a size a script sets gives way to the tab's;
// a raise brings the tab forward; undocked it is a window at its size
// before docking where its figure says; deleting either figure loses neither window's
// widgets twice.
TEST_F(QtBackendTest, ADockedFigureFillsATabOfItsHost) {
  Handle main = figure({0, 0, 600, 400});
  Handle view = figure({300, 200, 320, 240});
  Handle ax = g().create(Type::Axes, view);  // normalized units
  QWidget* host = qt().window_of(main);
  auto* docked = dynamic_cast<FigureWindow*>(qt().window_of(view));
  ASSERT_NE(docked, nullptr);
  qt().dock_figure(view, main);
  EXPECT_FALSE(docked->isWindow());
  EXPECT_EQ(docked->host(), host);
  auto* tabs = host->findChild<QTabWidget*>();
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->currentIndex(), 1);
  QWidget* area = tabs->currentWidget();
  EXPECT_EQ(area->width(), 600);
  EXPECT_EQ(docked->geometry(), area->rect());
  const double h = area->height();
  EXPECT_EQ(g().get(view, "Position"), Value::row({300, 200, 600, h}));
  EXPECT_DOUBLE_EQ(g().object(ax).pos_px[2], 0.775 * 600);
  // The host's inner area is still its figure's: the tab bar is above it.
  EXPECT_EQ(dynamic_cast<FigureWindow*>(host)->inner_position_px()[3], 400);
  host->resize(700, host->height() + 50);
  QTest::qWait(20);
  EXPECT_EQ(docked->geometry(), area->rect());
  EXPECT_EQ(g().get(view, "Position"), Value::row({300, 200, 700, h + 50}));
  g().set(view, "Position", Value::row({10, 10, 300, 200}));
  QTest::qWait(1);
  EXPECT_EQ(g().get(view, "Position"), Value::row({10, 10, 700, h + 50}));

  EXPECT_TRUE(qt().docked_view_in_front(main));
  qt().show_own_contents(main);
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_FALSE(qt().docked_view_in_front(main));
  g().make_current(view);
  EXPECT_EQ(tabs->currentIndex(), 1);

  qt().dock_figure(view, std::nullopt);
  EXPECT_TRUE(docked->isWindow());
  EXPECT_EQ(docked->host(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(host->findChild<QTabWidget*>(), nullptr);
  EXPECT_TRUE(docked->isVisible());
  const double screen_h = qt().screen_size_px()[1];
  EXPECT_EQ(g().get(view, "Position"), Value::row({10, 10, 320, 240}));
  EXPECT_EQ(docked->geometry(), QRect(10, static_cast<int>(screen_h) - 10 - 240, 320, 240));

  qt().dock_figure(view, main);
  g().destroy(main);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_EQ(qt().window_of(view), docked);
  EXPECT_TRUE(docked->isWindow());
  EXPECT_TRUE(docked->isVisible());
  g().destroy(view);
  EXPECT_EQ(qt().window_of(view), nullptr);
}

// A window smaller than the room its controls take scrolls; every control
// keeps its place on the canvas and can be reached.
TEST_F(QtBackendTest, ASmallWindowScrollsToEveryControl) {
  Handle f = figure({100, 100, 1000, 670});
  Handle top = g().create(Type::UiControl, f, {{"Position", Value::row({24, 610, 120, 26})}});
  Handle right = g().create(Type::UiControl, f, {{"Position", Value::row({900, 10, 80, 26})}});
  auto* fw = dynamic_cast<FigureWindow*>(qt().window_of(f));
  ASSERT_NE(fw, nullptr);
  QScrollArea* area = fw->scroll_area();
  EXPECT_FALSE(area->horizontalScrollBar()->isVisibleTo(fw));
  EXPECT_FALSE(area->verticalScrollBar()->isVisibleTo(fw));
  g().set(f, "Position", Value::row({100, 100, 600, 400}));
  QTest::qWait(20);
  EXPECT_TRUE(area->horizontalScrollBar()->isVisibleTo(fw));
  EXPECT_TRUE(area->verticalScrollBar()->isVisibleTo(fw));
  // The canvas keeps the room the children need; they keep their places on it.
  EXPECT_EQ(fw->canvas()->size(), QSize(980, 636));
  EXPECT_EQ(widget<QPushButton>(top)->geometry(), QRect(24, 0, 120, 26));
  EXPECT_EQ(widget<QPushButton>(right)->geometry(), QRect(900, 636 - 10 - 26, 80, 26));
  area->ensureWidgetVisible(widget<QPushButton>(right));
  EXPECT_GT(area->horizontalScrollBar()->value(), 0);
  // Keys typed on the canvas reach the figure's key handler, arrows too.
  probe_calls().clear();
  g().set(f, "KeyPressFcn", Value::cell_row({Value("qtprobe"), Value("key")}));
  QTest::keyClick(fw->canvas(), Qt::Key_Left);
  ASSERT_EQ(probe_calls().size(), 1u);
  EXPECT_EQ(g().get(f, "CurrentCharacter"), Value::from_u16(u"\x1c"));
  // Large again: no scroll bars, the canvas fills the window.
  g().set(f, "Position", Value::row({100, 100, 1200, 800}));
  QTest::qWait(20);
  EXPECT_FALSE(area->verticalScrollBar()->isVisibleTo(fw));
  EXPECT_EQ(fw->canvas()->size(), QSize(1200, 800));
  EXPECT_EQ(widget<QPushButton>(top)->geometry(), QRect(24, 800 - 610 - 26, 120, 26));
}

// An edit box of several lines: the newest line in view; when inactive it
// cannot be edited but its text can be selected and copied; when on, an
// edit takes effect when the field is left.
TEST_F(QtBackendTest, MultiLineEditShowsTheNewestLinesAndIsSelectableWhenInactive) {
  Handle f = figure({100, 100, 400, 300});
  ValueList lines;
  for (int i = 1; i <= 40; ++i) lines.emplace_back("entry " + std::to_string(i));
  Handle log = g().create(Type::UiControl, f,
                          {{"Style", "edit"},
                           {"Max", 2.0},
                           {"Enable", "inactive"},
                           {"String", Value::cell_row(lines)},
                           {"Position", Value::row({10, 10, 300, 100})}});
  auto* e = widget<QPlainTextEdit>(log);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->toPlainText().split('\n').size(), 40);
  EXPECT_TRUE(e->isReadOnly());
  EXPECT_TRUE(e->textInteractionFlags() & Qt::TextSelectableByMouse);
  EXPECT_FALSE(e->testAttribute(Qt::WA_TransparentForMouseEvents));
  QTest::qWait(20);
  QScrollBar* bar = e->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  e->selectAll();
  e->copy();
  EXPECT_TRUE(QApplication::clipboard()->text().startsWith("entry 1\nentry 2"));
  lines.emplace_back("entry 41");
  g().set(log, "String", Value::cell_row(lines));
  QTest::qWait(20);
  EXPECT_TRUE(e->toPlainText().endsWith("entry 40\nentry 41"));
  EXPECT_EQ(bar->value(), bar->maximum());
  // One line again (Max - Min = 1): a line edit.
  g().set(log, "Max", 1.0);
  EXPECT_NE(widget<QLineEdit>(log), nullptr);
  g().set(log, "Max", 2.0);
  g().set(log, "Enable", "on");
  e = widget<QPlainTextEdit>(log);
  ASSERT_NE(e, nullptr);
  EXPECT_FALSE(e->isReadOnly());
  e->setPlainText("one\ntwo");
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(e, &out);
  EXPECT_EQ(g().get(log, "String"), Value::cell_row({Value("one"), Value("two")}));
}

}  // namespace
}  // namespace velmora::qt::testing
