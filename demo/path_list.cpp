// SPDX-License-Identifier: Apache-2.0
#include "demo/path_list.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace orvex::demo {

TPathList::TPathList(QWidget* parent) : QListWidget(parent) {
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setSelectionMode(QAbstractItemView::SingleSelection);
}

QStringList TPathList::Paths() const {
  QStringList paths;
  for (int row = 0; row < count(); ++row) paths << item(row)->text();
  return paths;
}

namespace {

QStringList Existing(const QStringList& paths) {
  QStringList existing;
  for (const QString& path : paths) {
    const QFileInfo info(path);
    if (info.isDir() || info.isFile()) existing << info.absoluteFilePath();
  }
  return existing;
}

}  // namespace

int TPathList::AddPaths(const QStringList& paths) {
  const QStringList existing = Existing(paths);
  addItems(existing);
  return static_cast<int>(existing.size());
}

QStringList TPathList::DroppedPaths(const QMimeData* data) {
  QStringList paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  return Existing(paths);
}

void TPathList::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppedPaths(event->mimeData()).isEmpty()) return event->ignore();
  event->acceptProposedAction();
}

void TPathList::dragMoveEvent(QDragMoveEvent* event) {
  if (DroppedPaths(event->mimeData()).isEmpty()) return event->ignore();
  event->acceptProposedAction();
}

void TPathList::dropEvent(QDropEvent* event) {
  if (AddPaths(DroppedPaths(event->mimeData())) == 0) return event->ignore();
  event->acceptProposedAction();
}

void TPathList::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  delete takeItem(currentRow());
}

}  // namespace orvex::demo
