#include "platform/qt/desktop.hpp"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QStringList>
#include <QStyle>
#include <QTextBrowser>
#include <algorithm>

#include "platform/qt/convert.hpp"

namespace velmora::qt {

namespace {

// The patterns of a list such as "*.png;*.svg", without the ones that match
// every file.
QStringList specific_patterns(std::string_view patterns) {
  QStringList out;
  for (const QString& p : qstr(patterns).split(';', Qt::SkipEmptyParts)) {
    QString t = p.trimmed();
    if (!t.isEmpty() && t != "*" && t != "*.*") out << t;
  }
  return out;
}

constexpr const char* kAllFiles = "All files (*)";

}  // namespace

QString name_filter(std::string_view patterns) {
  QStringList specific = specific_patterns(patterns);
  if (specific.isEmpty()) return kAllFiles;
  return "Files (" + specific.join(' ') + ");;" + kAllFiles;
}

gfx::FilePick split_path(const QString& path) {
  QFileInfo info(path);
  QString folder = info.absolutePath();
  if (!folder.endsWith('/')) folder += '/';
  return {folder.toStdString(), info.fileName().toStdString()};
}

std::optional<gfx::FilePick> ask_for_file(bool save, std::string_view patterns,
                                          std::string_view title, QWidget* parent) {
  QFileDialog dialog(parent, qstr(title), QDir::currentPath());
  dialog.setNameFilter(name_filter(patterns));
  if (save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList specific = specific_patterns(patterns);
    if (specific.size() == 1 && specific[0].startsWith("*.") &&
        specific[0].indexOf(QChar(0x2A), 1) < 0)
      dialog.setDefaultSuffix(specific[0].mid(2));
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files[0].isEmpty()) return std::nullopt;
  return split_path(files[0]);
}

std::vector<gfx::FilePick> ask_for_files(std::string_view patterns, std::string_view title,
                                         QWidget* parent) {
  QFileDialog dialog(parent, qstr(title), QDir::currentPath());
  dialog.setNameFilter(name_filter(patterns));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  std::vector<gfx::FilePick> out;
  if (dialog.exec() != QDialog::Accepted) return out;
  for (const QString& f : dialog.selectedFiles())
    if (!f.isEmpty()) out.push_back(split_path(f));
  return out;
}

std::optional<std::size_t> ask_for_item(std::string_view title, std::string_view prompt,
                                        const std::vector<std::string>& items, QWidget* parent) {
  QStringList list;
  for (const std::string& item : items) list << qstr(item);
  bool ok = false;
  const QString chosen =
      QInputDialog::getItem(parent, qstr(title), qstr(prompt), list, 0, false, &ok);
  if (!ok) return std::nullopt;
  const auto at = list.indexOf(chosen);
  if (at < 0) return std::nullopt;
  return static_cast<std::size_t>(at);
}

std::optional<std::string> ask_for_text_or_item(std::string_view title, std::string_view prompt,
                                                const std::vector<std::string>& items,
                                                QWidget* parent) {
  QStringList list;
  for (const std::string& item : items) list << qstr(item);
  bool ok = false;
  const QString text =
      QInputDialog::getItem(parent, qstr(title), qstr(prompt), list, 0, true, &ok).trimmed();
  if (!ok || text.isEmpty()) return std::nullopt;
  return text.toStdString();
}

QWidget* show_message_box(std::string_view text, std::string_view title, QWidget* parent) {
  // One box at a time: while it is open no window takes input, so a second
  // message can only come from the same step (or a script), and it joins the
  // open box instead of stacking a second one on it.
  static QPointer<QMessageBox> open;
  const QString message = qstr(text);
  if (open && open->isVisible()) {
    if (!open->text().split(QStringLiteral("\n\n")).contains(message))
      open->setText(open->text() + QStringLiteral("\n\n") + message);
    if (!title.empty()) open->setWindowTitle(qstr(title));
    open->raise();
    return open;
  }
  auto* box = new QMessageBox(QMessageBox::Warning, qstr(title), message, QMessageBox::Ok, parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // Modal without a nested event loop: the program goes on at once (a test
  // or a replay is never held), but no window takes input until it closes.
  box->setWindowModality(Qt::ApplicationModal);
  box->show();
  open = box;
  return box;
}

bool ask_yes_no(std::string_view text, std::string_view title, QWidget* parent) {
  return QMessageBox::question(parent, qstr(title), qstr(text), QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

QWidget* show_document_window(std::string_view title, std::string_view markdown) {
  auto* view = new QTextBrowser;
  view->setAttribute(Qt::WA_DeleteOnClose);
  view->setWindowTitle(qstr(title));
  view->setOpenExternalLinks(true);
  view->setMarkdown(qstr(markdown));
  // About 80 characters of the body text wide, two thirds of the screen
  // high at most, in the middle of the screen.
  const QFontMetrics metrics(view->font());
  QSize size(metrics.horizontalAdvance(QString(84, QChar('n'))), 700);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect free = screen->availableGeometry();
    size = size.boundedTo(QSize(free.width(), free.height() * 2 / 3));
    view->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, free));
  } else {
    view->resize(size);
  }
  view->show();
  return view;
}

void put_on_clipboard(const std::map<std::string, std::string>& data) {
  auto* mime = new QMimeData;
  for (const auto& [type, bytes] : data)
    mime->setData(qstr(type), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (auto png = data.find("image/png"); png != data.end()) {
    QImage image;
    if (image.loadFromData(reinterpret_cast<const uchar*>(png->second.data()),
                           static_cast<int>(png->second.size()), "PNG"))
      mime->setImageData(image);
  }
  QGuiApplication::clipboard()->setMimeData(mime);
}

std::array<double, 2> measure_text_pt(std::string_view text, double size_pt,
                                      std::string_view font_name) {
  QFont font(font_name.empty() ? QString("DejaVu Sans") : qstr(font_name));
  font.setPointSizeF(size_pt);
  QFontMetricsF metrics(font);
  QStringList lines = qstr(text).split('\n');
  double width = 0;
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  double height = metrics.height() + (lines.size() - 1) * metrics.lineSpacing();
  double to_pt = 72.0 / primary_screen_dpi().value_or(96);
  return {width * to_pt, height * to_pt};
}

std::optional<std::array<double, 2>> primary_screen_size() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return std::nullopt;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return std::nullopt;
  QSize s = screen->geometry().size();
  if (s.isEmpty()) return std::nullopt;
  return std::array<double, 2>{static_cast<double>(s.width()), static_cast<double>(s.height())};
}

std::optional<double> primary_screen_dpi() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return std::nullopt;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || !(screen->logicalDotsPerInch() > 0)) return std::nullopt;
  return screen->logicalDotsPerInch();
}

}  // namespace velmora::qt
