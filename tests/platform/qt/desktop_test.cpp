#include "platform/qt/desktop.hpp"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include "platform/print/print.hpp"
#include "qt_fixture.hpp"

namespace velmora::qt::testing {
namespace {

TEST(Desktop, NameFiltersFromPatternLists) {
  EXPECT_EQ(name_filter("*.eps"), "Files (*.eps);;All files (*)");
  EXPECT_EQ(name_filter("*.txt"), "Files (*.txt);;All files (*)");
  EXPECT_EQ(name_filter("*.png;*.svg;*.pdf"), "Files (*.png *.svg *.pdf);;All files (*)");
  EXPECT_EQ(name_filter(" *.png ; *.*"), "Files (*.png);;All files (*)");
  EXPECT_EQ(name_filter("*.*"), "All files (*)");
  EXPECT_EQ(name_filter("*"), "All files (*)");
  EXPECT_EQ(name_filter(""), "All files (*)");
}

TEST(Desktop, PathsSplitIntoFolderWithSlashAndName) {
  gfx::FilePick p = split_path("/data/skulls/ages.txt");
  EXPECT_EQ(p.folder, "/data/skulls/");
  EXPECT_EQ(p.name, "ages.txt");
  EXPECT_EQ(p.path(), "/data/skulls/ages.txt");
  EXPECT_EQ(split_path("/top.txt").folder, "/");
}

TEST(Desktop, TextExtentGrowsWithTextLinesAndSize) {
  auto one = measure_text_pt("Procrustes", 10, "");
  auto two = measure_text_pt("Procrustes\ndistance", 10, "");
  auto big = measure_text_pt("Procrustes", 20, "DejaVu Sans");
  EXPECT_GT(one[0], 20);
  EXPECT_GT(one[1], 8);
  EXPECT_DOUBLE_EQ(two[0], one[0]);
  EXPECT_GT(two[1], 1.8 * one[1]);
  EXPECT_NEAR(big[0], 2 * one[0], 0.15 * one[0]);
  EXPECT_EQ(measure_text_pt("", 10, "")[0], 0);
}

class DesktopTest : public QtTest {};

TEST_F(DesktopTest, ClipboardHoldsEveryMimeTypeAndThePngAsImage) {
  QImage red(4, 3, QImage::Format_RGB32);
  red.fill(Qt::red);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(red.save(&buffer, "PNG"));
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"3\"/>";
  qt().set_clipboard({{"image/svg+xml", svg}, {"image/png", png.toStdString()}});
  const QMimeData* m = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(m->hasFormat("image/svg+xml"));
  EXPECT_TRUE(m->hasFormat("image/png"));
  EXPECT_EQ(m->data("image/svg+xml").toStdString(), svg);
  EXPECT_EQ(m->data("image/png"), png);
  ASSERT_TRUE(m->hasImage());
  EXPECT_EQ(qvariant_cast<QImage>(m->imageData()).size(), QSize(4, 3));

  // Printing a figure to the clipboard goes the same way.
  gfx::Handle f = figure();
  gfx::print_figure(g(), f, {"-dmeta"});
  m = QGuiApplication::clipboard()->mimeData();
  EXPECT_TRUE(m->hasFormat("image/svg+xml"));
  EXPECT_TRUE(m->hasImage());
}

// The visible message boxes.
QList<QMessageBox*> open_boxes() {
  QList<QMessageBox*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) out << b;
  return out;
}

TEST_F(DesktopTest, MessageBoxIsModalWithoutBlockingAndASecondMessageJoinsIt) {
  qt().message_box("The number of X values does not match the data.", "Warning");
  ASSERT_EQ(open_boxes().size(), 1);
  QMessageBox* box = open_boxes().front();
  EXPECT_EQ(box->windowTitle(), "Warning");
  EXPECT_EQ(box->text(), "The number of X values does not match the data.");
  EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
  // Two errors in a row (the same one twice, then another) leave one box.
  qt().message_box("The number of X values does not match the data.", "Warning");
  qt().message_box("No title", "");
  ASSERT_EQ(open_boxes().size(), 1);
  EXPECT_EQ(open_boxes().front(), box);
  EXPECT_EQ(box->text(), "The number of X values does not match the data.\n\nNo title");
  box->close();
  QApplication::processEvents();
  EXPECT_TRUE(open_boxes().isEmpty());
  // Once it is closed, the next message has a box of its own.
  qt().message_box("Again", "Later");
  ASSERT_EQ(open_boxes().size(), 1);
  EXPECT_EQ(open_boxes().front()->text(), "Again");
  open_boxes().front()->close();
  QApplication::processEvents();
}

// Answers the next file dialog with `name` in its folder, or cancels it.
void answer_dialog(QString name, QString* title, QString* folder) {
  QTimer::singleShot(0, [=] {
    auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!d) return;
    *title = d->windowTitle();
    *folder = d->directory().absolutePath();
    if (name.isEmpty()) return d->reject();
    // The name field as the user would type it (selectFile leaves a focused
    // field alone).
    auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
    if (!edit) return d->reject();
    edit->setText(name);
    QMetaObject::invokeMethod(d, "accept");
  });
}

TEST_F(DesktopTest, FileDialogsStartInTheWorkingFolderAndSplitTheAnswer) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString old = QDir::currentPath();
  QDir::setCurrent(dir.path());
  QFile file(dir.filePath("skull.txt"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();

  QString title, folder;
  answer_dialog("skull.txt", &title, &folder);
  auto pick = qt().open_file_dialog("*.txt", "Load landmark file");
  ASSERT_TRUE(pick.has_value());
  EXPECT_EQ(title, "Load landmark file");
  EXPECT_EQ(folder, QDir(dir.path()).canonicalPath());
  EXPECT_EQ(pick->name, "skull.txt");
  EXPECT_EQ(QDir(QString::fromStdString(pick->folder)).canonicalPath(),
            QDir(dir.path()).canonicalPath());
  EXPECT_EQ(pick->folder.back(), '/');

  // A saved name without an extension gets the filter's one.
  answer_dialog("figure", &title, &folder);
  pick = qt().save_file_dialog("*.eps", "Save File Name for EPS file");
  ASSERT_TRUE(pick.has_value());
  EXPECT_EQ(pick->name, "figure.eps");

  answer_dialog("", &title, &folder);
  EXPECT_FALSE(qt().open_file_dialog("*.*", "Load").has_value());
  QDir::setCurrent(old);
}

TEST_F(DesktopTest, SeveralFilesComeInTheOrderChosenAndAListGivesTheChosenIndex) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString old = QDir::currentPath();
  QDir::setCurrent(dir.path());
  for (const char* name : {"a.fcsv", "b.fcsv", "c.fcsv"}) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  QString title, folder;
  // Several names in the name field, as the dialog writes a selection.
  answer_dialog("\"c.fcsv\" \"a.fcsv\"", &title, &folder);
  std::vector<gfx::FilePick> picks = qt().open_files_dialog("*.*", "Enter file to Load?");
  ASSERT_EQ(picks.size(), 2u);
  EXPECT_EQ(title, "Enter file to Load?");
  EXPECT_EQ(picks[0].name, "c.fcsv");
  EXPECT_EQ(picks[1].name, "a.fcsv");
  EXPECT_EQ(QDir(QString::fromStdString(picks[1].folder)).canonicalPath(),
            QDir(dir.path()).canonicalPath());
  answer_dialog("", &title, &folder);
  EXPECT_TRUE(qt().open_files_dialog("*.*", "Load").empty());
  QDir::setCurrent(old);

  const std::vector<std::string> items = {"Age", "Sex", "Weight"};
  for (const std::optional<std::size_t> want :
       {std::optional<std::size_t>(2), std::optional<std::size_t>()}) {
    QString asked;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      if (!d) return;
      asked = d->windowTitle() + "|" + d->labelText() + "|" + d->comboBoxItems().join(",");
      if (!want) return d->reject();
      d->setTextValue(QString::fromStdString(items[*want]));
      d->accept();
    });
    EXPECT_EQ(qt().list_dialog("Use Label as X", "Which label?", items), want);
    EXPECT_EQ(asked, "Use Label as X|Which label?|Age,Sex,Weight");
  }
}

// The export size dialog starts from the last answer, converts the sides
// when the unit changes, says how many pixels a PNG gets, and answers what
// was chosen, or nothing for a cancel.
TEST_F(DesktopTest, ExportSizeDialogAnswersTheChosenSizeAndResolution) {
  for (const bool accept : {true, false}) {
    QString pixels;
    bool window_chosen = false;
    QTimer::singleShot(0, [&] {
      QWidget* d = QApplication::activeModalWidget();
      if (!d || d->objectName() != "exportSizeDialog") return;
      window_chosen = d->findChild<QRadioButton*>("windowSize")->isChecked();
      d->findChild<QRadioButton*>("customSize")->setChecked(true);
      d->findChild<QComboBox*>("unit")->setCurrentIndex(1);  // 25.4 × 12.7 cm in inches
      d->findChild<QSpinBox*>("dpi")->setValue(100);
      pixels = d->findChild<QLabel*>("pixels")->text();
      QMetaObject::invokeMethod(d, accept ? "accept" : "reject");
    });
    const auto answer = qt().export_size_dialog(
        "Export Plot", gfx::ExportSize{false, 25.4, 12.7, false, 300}, {800, 600}, true);
    EXPECT_TRUE(window_chosen);
    EXPECT_EQ(pixels, "The picture: 1000 × 500 pixels");
    if (!accept) {
      EXPECT_FALSE(answer.has_value());
      continue;
    }
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->text(), "10x5in,100dpi");
  }
}

}  // namespace
}  // namespace velmora::qt::testing
