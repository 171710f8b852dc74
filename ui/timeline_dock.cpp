#include "ui/timeline_dock.h"

#include <QAbstractProxyModel>
#include <QItemSelectionModel>
#include <QSplitter>
#include <QTableView>
#include <set>

#include "ui/analyser_list_model.h"
#include "ui/dialog_seam.h"
#include "ui/hour_histogram.h"
#include "ui/timeline_model.h"
#include "ui/timeline_view.h"

namespace vellmark::ui {

namespace {

// The list view may show the rows sorted or filtered, through a proxy: its rows are
// not the list's.
QModelIndex ViewIndex(const QTableView* view, const AnalyserListModel* model, std::size_t row) {
  const QModelIndex index = model->index(static_cast<int>(row), 0);
  auto* proxy = qobject_cast<const QAbstractProxyModel*>(view->model());
  return proxy ? proxy->mapFromSource(index) : index;
}

std::size_t ListRow(const QTableView* view, const QModelIndex& index) {
  auto* proxy = qobject_cast<const QAbstractProxyModel*>(view->model());
  return static_cast<std::size_t>((proxy ? proxy->mapToSource(index) : index).row());
}

}  // namespace

TimelineDock::TimelineDock(const AnalyserList& list, AnalyserListModel* model, QTableView* listView,
                           DialogSeam& dialogs, QWidget* parent)
    : QDockWidget(tr("Timeline"), parent), list_(list), listModel_(model), listView_(listView), dialogs_(dialogs) {
  setObjectName("dockTimeline");
  settings_ = TimelineSettings::Load();
  model_ = new TimelineModel(list, model, this);
  model_->setOptions(settings_.options());
  auto* split = new QSplitter(Qt::Vertical, this);
  view_ = new TimelineView(*model_, split);
  histogram_ = new HourHistogram(split);
  split->addWidget(view_);
  split->addWidget(histogram_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  setWidget(split);

  connect(view_, &TimelineView::rowClicked, this, &TimelineDock::selectRow);
  connect(view_, &TimelineView::exportRequested, this, &TimelineDock::exportPicture);
  connect(listView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TimelineDock::listSelectionChanged);
  // A pass changes the selected row's counts: show them anew.
  connect(model_, &TimelineModel::changed, this, &TimelineDock::showHistogram);
}

void TimelineDock::setSettings(const TimelineSettings& settings) {
  settings_ = settings;
  settings_.save();
  model_->setOptions(settings_.options());
}

void TimelineDock::selectRow(std::size_t row) {
  const QModelIndex index = ViewIndex(listView_, listModel_, row);
  if (!index.isValid()) return;  // filtered out of the view
  listView_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  listView_->scrollTo(index);
}

void TimelineDock::listSelectionChanged() {
  std::set<std::size_t> rows;
  for (const QModelIndex& index : listView_->selectionModel()->selectedRows())
    rows.insert(ListRow(listView_, index));
  model_->setSelectedRows(rows);
  showHistogram();
}

void TimelineDock::showHistogram() {
  const QModelIndexList rows = listView_->selectionModel()->selectedRows();
  const auto row = rows.isEmpty() ? list_.size() : ListRow(listView_, rows.front());
  histogram_->setCounts(row < list_.size() ? list_.at(row).callsPerHour : std::nullopt);
}

void TimelineDock::exportPicture(const QString& format) {
  const bool svg = format == "svg";
  const QString name = dialogs_.saveFileName(this, svg ? "SVG pictures (*.svg)" : "PNG pictures (*.png)");
  if (name.isEmpty()) return;
  const bool written = svg ? view_->exportSvg(name) : view_->exportPng(name);
  if (!written)
    dialogs_.message(this, tr("The picture could not be written to %1").arg(name), QMessageBox::Critical, "Vellmark");
}

}  // namespace vellmark::ui
