#pragma once
// The list as the view shows it: sorted by any column and narrowed by a filter. The
// "No" column keeps each entry's own number, and sorting by it is the list's order.
// Sorting and filtering read the entries, not their display texts, so a list of a
// hundred thousand rows stays quick. The view's order follows changes of the list
// only when refreshed: rows do not jump about under the user during a pass.

#include <QSortFilterProxyModel>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vellmark {
struct AnalyserEntry;
}

namespace vellmark::ui {

class AnalyserListModel;

class AnalyserListProxy : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit AnalyserListProxy(AnalyserListModel* model, QObject* parent = nullptr);

  // Rows whose texts contain `text`, in any letter case; all rows when it is empty.
  void setFilterText(const QString& text);
  // Rows of one switch family ("OCB", ...); all rows when it is empty.
  void setFamily(const QString& family);
  bool filtering() const { return !needle_.empty() || !family_.empty(); }

  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
  // Sorts and filters again after the list changed.
  void refresh();
  // The list's own order.
  void showListOrder();

  // The list row behind a row of the view.
  std::size_t entryRow(const QModelIndex& index) const;
  QModelIndex viewIndex(std::size_t entryRow, int column = 0) const;

  // Whether `entry` has `needle` (lower case) in any of its texts, ignoring the case of
  // ASCII letters.
  static bool Matches(const AnalyserEntry& entry, const std::string& needle);

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

 private:
  // Each row's place in the order of `column`, found in one sort over the entries
  // themselves, so the proxy's own sort compares two numbers; forgotten when rows
  // change, when the entries are compared again.
  void rankRows(int column);
  void resort();
  const AnalyserListModel* model_;
  std::string needle_;   // UTF-8, ASCII letters in lower case
  std::string family_;
  std::vector<std::uint32_t> rank_;
  int rankedColumn_ = -1;
};

}  // namespace vellmark::ui
