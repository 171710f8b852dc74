#pragma once
// The analyser list as a Qt table: seven columns of display texts, the family icon
// on column 0, duplicates red with a bold row text, a failed reader's reason as the
// row's tooltip. The model observes the core list and brackets every change.

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

 private:
  void aboutToInsert(std::size_t row) override;
  void inserted(std::size_t row) override;
  void aboutToRemove(std::size_t row) override;
  void removed(std::size_t row) override;
  void aboutToReset() override;
  void reset() override;
  void changed(std::size_t row) override;

  AnalyserList& list_;
};

}  // namespace vellmark::ui
