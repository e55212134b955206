// SPDX-License-Identifier: Apache-2.0
// The list of paths to burn: a line per folder or file, filled by dragging
// folders and files onto it (from the window's browsers or from any other
// program, as text/uri-list); a double click removes the selected line.
#ifndef ORVEX_DEMO_PATH_LIST_H_
#define ORVEX_DEMO_PATH_LIST_H_

#include <QListWidget>
#include <QStringList>

class QMimeData;

namespace orvex::demo {

class TPathList final : public QListWidget {
  Q_OBJECT
 public:
  explicit TPathList(QWidget* parent = nullptr);

  // The lines, in order.
  QStringList Paths() const;

  // Adds a line for each of `paths` that names a folder or a file, with
  // its absolute path; returns how many.
  int AddPaths(const QStringList& paths);

  // The local folders and files a drop of `data` would add; empty when it
  // holds none (the drop is then refused).
  static QStringList DroppedPaths(const QMimeData* data);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace orvex::demo

#endif  // ORVEX_DEMO_PATH_LIST_H_
