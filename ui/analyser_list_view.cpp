#include "ui/analyser_list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

#include "ui/analyser_list_model.h"

namespace vellmark::ui {

AnalyserListView::AnalyserListView(QWidget* parent) : QTableView(parent) {
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(false);
  setWordWrap(false);
  setIconSize(QSize(16, 16));
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(qMax(18, fontMetrics().height() + 4));
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  setTextElideMode(Qt::ElideMiddle);
  setSortingEnabled(true);
  horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  // The number stays each entry's own: sorting by it is the list's order.
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
    if (section == AnalyserListModel::No) horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  });
  setContextMenuPolicy(Qt::CustomContextMenu);
  setAccessibleName(QStringLiteral("Analyser list"));
}

QString AnalyserListView::selectedRowsText() const {
  auto clean = [](QString text) {
    for (QChar& c : text)
      if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
  };
  const QAbstractItemModel* m = model();
  QStringList lines, cells;
  for (int c = 0; c < m->columnCount(); ++c) cells << m->headerData(c, Qt::Horizontal).toString();
  lines << cells.join('\t');
  QModelIndexList rows = selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  for (const QModelIndex& row : rows) {
    cells.clear();
    for (int c = 0; c < m->columnCount(); ++c) cells << clean(m->index(row.row(), c).data().toString());
    lines << cells.join('\t');
  }
  return lines.join('\n') + '\n';
}

QStringList AnalyserListView::droppedPaths(const QMimeData* mime) {
  QStringList paths;
  if (!mime || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) paths.append(url.toLocalFile());
  return paths;
}

void AnalyserListView::dragEnterEvent(QDragEnterEvent* event) {
  if (droppedPaths(event->mimeData()).isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void AnalyserListView::dragMoveEvent(QDragMoveEvent* event) {
  if (droppedPaths(event->mimeData()).isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void AnalyserListView::dropEvent(QDropEvent* event) {
  const QStringList paths = droppedPaths(event->mimeData());
  if (paths.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit filesDropped(paths);
}

}  // namespace vellmark::ui
