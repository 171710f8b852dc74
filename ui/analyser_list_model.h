#pragma once
// The analyser list as a Qt table: seven columns of display texts, the family icon
// on column 0, duplicates red with a bold row text, the full path and what is known
// about the row (a failed reader's reason, duplicates, warnings) as its tooltip. The
// model observes the core list and brackets every change; rows appended in a batch
// are told as one insertion.

#include <QAbstractTableModel>

#include "core/analyser_list.h"

namespace vellmark::ui {

class AnalyserListModel : public QAbstractTableModel, private ListObserver {
  Q_OBJECT
 public:
  enum Column { BinaryFile, No, Switch, StartTime, EndTime, Records, Size, ColumnCount };

  explicit AnalyserListModel(AnalyserList& list, QObject* parent = nullptr);
  ~AnalyserListModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // Column widths in twips.
  static int columnWidthTwips(int column);

  const AnalyserList& list() const { return list_; }

  // While one is alive, appended rows are held back and told as one insertion when the
  // last goes: a batch of many files costs the views one update, not one per file.
  class Batch {
   public:
    explicit Batch(AnalyserListModel& model) : model_(model) { ++model_.batches_; }
    ~Batch() {
      if (--model_.batches_ == 0) model_.announceAppended();
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    AnalyserListModel& model_;
  };

 private:
  void aboutToInsert(std::size_t row) override;
  void inserted(std::size_t row) override;
  void aboutToRemove(std::size_t first, std::size_t last) override;
  void removed(std::size_t first, std::size_t last) override;
  void aboutToReset() override;
  void reset() override;
  void changed(std::size_t row) override;

  void announceAppended();

  AnalyserList& list_;
  int rows_ = 0;      // the rows the views have been told of
  int batches_ = 0;
};

}  // namespace vellmark::ui
