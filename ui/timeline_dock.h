#pragma once
// The Timeline beside the list: the timeline view over the list's files and, below it,
// the calls per hour of the row selected. A click on a bar selects its row in the
// list; selecting rows in the list marks their bars. Its context menu exports the
// picture as PNG or SVG.

#include <QDockWidget>

#include "core/analyser_list.h"
#include "ui/exchange_rules_dialog.h"

class QTableView;

namespace vellmark::ui {

class AnalyserListModel;
class DialogSeam;
class HourHistogram;
class TimelineModel;
class TimelineView;

class TimelineDock : public QDockWidget {
  Q_OBJECT
 public:
  TimelineDock(const AnalyserList& list, AnalyserListModel* model, QTableView* listView, DialogSeam& dialogs,
               QWidget* parent = nullptr);

  TimelineModel* model() const { return model_; }
  TimelineView* view() const { return view_; }
  HourHistogram* histogram() const { return histogram_; }

  // The exchange rules and gap threshold the lanes are worked out with.
  const TimelineSettings& settings() const { return settings_; }
  void setSettings(const TimelineSettings& settings);

  // Asks for a file name and writes the picture there ("png" or "svg").
  void exportPicture(const QString& format);

 private:
  void listSelectionChanged();
  // The calls per hour of the first row selected.
  void showHistogram();
  void selectRow(std::size_t row);

  const AnalyserList& list_;
  const AnalyserListModel* listModel_;
  QTableView* listView_;
  DialogSeam& dialogs_;
  TimelineSettings settings_;
  TimelineModel* model_ = nullptr;
  TimelineView* view_ = nullptr;
  HourHistogram* histogram_ = nullptr;
};

}  // namespace vellmark::ui
