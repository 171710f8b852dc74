#pragma once
// The list control: a table in report view that takes files dropped from a file
// manager and hands their local paths on in the order of the drop. Long texts are cut
// in the middle, so a path keeps its file name; a click on a heading sorts by that
// column, and one on "No" brings back the list's order.

#include <QStringList>
#include <QTableView>

namespace vellmark::ui {

class AnalyserListView : public QTableView {
  Q_OBJECT
 public:
  explicit AnalyserListView(QWidget* parent = nullptr);

  // The local file paths a drop carries, in order; empty when it carries none.
  static QStringList droppedPaths(const QMimeData* mime);

  // The selected rows in the view's order as tab-separated text: the headings, then
  // one line per row (tabs and line breaks in a text become blanks).
  QString selectedRowsText() const;

 signals:
  void filesDropped(const QStringList& paths);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

}  // namespace vellmark::ui
