#pragma once
// The details of one row: every field of its entry, the full path, the size in bytes,
// why its reader failed, its warnings, its digests, the row it duplicates and the rows
// with the same content. A dock under the list that follows the current row.

#include <QDockWidget>
#include <QString>
#include <cstddef>
#include <optional>
#include <vector>

class QTableWidget;

namespace vellmark {
class AnalyserList;
}

namespace vellmark::ui {

class HourHistogram;

struct DetailField {
  QString name;
  QString value;
};

// The fields of the entry at `row`, in the order the view shows them.
std::vector<DetailField> EntryDetails(const AnalyserList& list, std::size_t row);

class DetailsView : public QDockWidget {
  Q_OBJECT
 public:
  DetailsView(const AnalyserList& list, QWidget* parent = nullptr);

  // Shows the entry at `row`, or nothing.
  void showRow(std::optional<std::size_t> row);
  std::optional<std::size_t> row() const { return row_; }
  // Shows the row's fields again, after it changed.
  void refresh();
  QTableWidget* table() const { return table_; }
  HourHistogram* histogram() const { return histogram_; }

 private:
  const AnalyserList& list_;
  QTableWidget* table_ = nullptr;
  HourHistogram* histogram_ = nullptr;
  std::optional<std::size_t> row_;
};

}  // namespace vellmark::ui
