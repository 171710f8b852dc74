#include "ui/list_proxy.h"

#include <algorithm>
#include <numeric>
#include <string_view>

#include "core/texts.h"
#include "ui/analyser_list_model.h"

namespace vellmark::ui {

namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ContainsFolded(const std::string& text, const std::string& needle) {
  return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                     [](char a, char b) { return FoldAscii(a) == b; }) != text.end();
}

int CompareFolded(std::string_view a, std::string_view b) {
  // Paths share long folders: the bytes up to the first difference are passed over
  // as they are.
  const std::size_t n = std::min(a.size(), b.size());
  std::size_t i = static_cast<std::size_t>(std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(n), b.begin()).first - a.begin());
  for (; i < n; ++i) {
    const char x = FoldAscii(a[i]), y = FoldAscii(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// A report keeps only the size's text: its kilobytes stand in for the bytes.
std::uint64_t SizeKey(const AnalyserEntry& e) {
  return e.sizeBytes ? *e.sizeBytes : LeadingNumber(e.writtenSize) * 1024;
}

// The order of two entries by one column; 0 when they are equal there.
int Compare(const AnalyserEntry& a, const AnalyserEntry& b, int column) {
  auto three = [](auto x, auto y) { return x < y ? -1 : x > y ? 1 : 0; };
  switch (column) {
    case AnalyserListModel::BinaryFile: return CompareFolded(a.path, b.path);
    case AnalyserListModel::Switch: return a.family.compare(b.family);
    // Times as their texts: "yyyy-mm-dd   hh:mm:ss" sorts by time, statuses after.
    case AnalyserListModel::StartTime: return a.start.compare(b.start);
    case AnalyserListModel::EndTime: return a.end.compare(b.end);
    case AnalyserListModel::Records: return three(a.records, b.records);
    case AnalyserListModel::Size: return three(SizeKey(a), SizeKey(b));
    default: return 0;
  }
}

}  // namespace

AnalyserListProxy::AnalyserListProxy(AnalyserListModel* model, QObject* parent)
    : QSortFilterProxyModel(parent), model_(model) {
  setDynamicSortFilter(false);
  setSourceModel(model);
  auto forget = [this] { rank_.clear(); };
  connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, forget);
  connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, forget);
  connect(model, &QAbstractItemModel::modelAboutToBeReset, this, forget);
  connect(model, &QAbstractItemModel::dataChanged, this, forget);
}

namespace {

// Each key's place when sorted, equal keys in list order. The keys sit side by side,
// away from the large entries, so the sort stays in the cache.
template <typename Key, typename Less>
std::vector<std::uint32_t> Places(const std::vector<Key>& keys, Less less) {
  std::vector<std::uint32_t> order(keys.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return less(keys[a], keys[b]); });
  std::vector<std::uint32_t> place(keys.size());
  for (std::uint32_t p = 0; p < order.size(); ++p) place[order[p]] = p;
  return place;
}

}  // namespace

void AnalyserListProxy::rankRows(int column) {
  rank_.clear();
  rankedColumn_ = column;
  const std::vector<AnalyserEntry>& entries = model_->list().entries();
  if (column == AnalyserListModel::Records || column == AnalyserListModel::Size) {
    std::vector<std::uint64_t> keys;
    keys.reserve(entries.size());
    for (const AnalyserEntry& e : entries) keys.push_back(column == AnalyserListModel::Records ? e.records : SizeKey(e));
    rank_ = Places(keys, std::less<>());
  } else if (column >= 0 && column != AnalyserListModel::No) {
    std::vector<std::string_view> keys;
    keys.reserve(entries.size());
    for (const AnalyserEntry& e : entries)
      keys.push_back(column == AnalyserListModel::BinaryFile ? e.path
                     : column == AnalyserListModel::Switch  ? e.family
                     : column == AnalyserListModel::StartTime ? e.start
                                                              : e.end);
    if (column == AnalyserListModel::BinaryFile)
      rank_ = Places(keys, [](std::string_view a, std::string_view b) { return CompareFolded(a, b) < 0; });
    else
      rank_ = Places(keys, std::less<>());
  }
}

void AnalyserListProxy::sort(int column, Qt::SortOrder order) {
  rankRows(column);
  QSortFilterProxyModel::sort(column, order);
}

void AnalyserListProxy::resort() {
  if (rank_.empty()) rankRows(sortColumn());
  invalidate();
}

bool AnalyserListProxy::Matches(const AnalyserEntry& entry, const std::string& needle) {
  for (int c = 0; c < AnalyserEntry::kColumns; ++c)
    if (ContainsFolded(c == 0 ? entry.path : entry.column(c), needle)) return true;
  return false;
}

void AnalyserListProxy::setFilterText(const QString& text) {
  std::string needle = text.trimmed().toStdString();
  std::transform(needle.begin(), needle.end(), needle.begin(), FoldAscii);
  if (needle == needle_) return;
  needle_ = std::move(needle);
  // Rows are filtered again from scratch: telling the views each run of rows that comes
  // or goes would cost a pass over the rows for every run.
  resort();
}

void AnalyserListProxy::setFamily(const QString& family) {
  std::string f = family.toStdString();
  if (f == family_) return;
  family_ = std::move(f);
  resort();
}

void AnalyserListProxy::refresh() {
  rank_.clear();
  resort();
}

void AnalyserListProxy::showListOrder() { sort(-1); }

std::size_t AnalyserListProxy::entryRow(const QModelIndex& index) const {
  return static_cast<std::size_t>(mapToSource(index).row());
}

QModelIndex AnalyserListProxy::viewIndex(std::size_t entryRow, int column) const {
  return mapFromSource(model_->index(static_cast<int>(entryRow), column));
}

bool AnalyserListProxy::filterAcceptsRow(int row, const QModelIndex&) const {
  const AnalyserEntry& e = model_->list().at(static_cast<std::size_t>(row));
  if (!family_.empty() && e.family != family_) return false;
  return needle_.empty() || Matches(e, needle_);
}

bool AnalyserListProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const auto l = static_cast<std::size_t>(left.row()), r = static_cast<std::size_t>(right.row());
  if (left.column() == rankedColumn_ && l < rank_.size() && r < rank_.size()) return rank_[l] < rank_[r];
  const int order = Compare(model_->list().at(l), model_->list().at(r), left.column());
  // Equal keys keep the list's order.
  return order != 0 ? order < 0 : l < r;
}

}  // namespace vellmark::ui
