// Files dragged from the desktop onto a figure's window.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <string>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "platform/qt/figure_window.hpp"

namespace velmora::qt {

namespace {

// The local files a drag carries; empty when it carries anything else.
std::vector<std::string> dropped_files(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) return {};
    paths.push_back(url.toLocalFile().toStdString());
  }
  return paths;
}

}  // namespace

void FigureWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (gfx::graphics().backend().files_dropped && !dropped_files(event->mimeData()).empty())
    event->acceptProposedAction();
}

void FigureWindow::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = dropped_files(event->mimeData());
  const auto& opener = gfx::graphics().backend().files_dropped;
  if (paths.empty() || !opener) return;
  event->acceptProposedAction();
  opener(figure_, paths);
}

}  // namespace velmora::qt
