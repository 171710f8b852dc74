#include "ui/list_proxy.h"

#include <algorithm>

#include "core/texts.h"
#include "ui/analyser_list_model.h"

namespace vellmark::ui {

namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ContainsFolded(const std::string& text, const std::string& needle) {
  return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                     [](char a, char b) { return FoldAscii(a) == b; }) != text.end();
}

int CompareFolded(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char x = FoldAscii(a[i]), y = FoldAscii(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// A report keeps only the size's text: its kilobytes stand in for the bytes.
std::uint64_t SizeKey(const AnalyserEntry& e) {
  return e.sizeBytes ? *e.sizeBytes : LeadingNumber(e.writtenSize) * 1024;
}

}  // namespace

AnalyserListProxy::AnalyserListProxy(AnalyserListModel* model, QObject* parent)
    : QSortFilterProxyModel(parent), model_(model) {
  setDynamicSortFilter(false);
  setSourceModel(model);
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
  invalidateFilter();
}

void AnalyserListProxy::setFamily(const QString& family) {
  std::string f = family.toStdString();
  if (f == family_) return;
  family_ = std::move(f);
  invalidateFilter();
}

void AnalyserListProxy::refresh() { invalidate(); }

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
  const AnalyserEntry& a = model_->list().at(static_cast<std::size_t>(left.row()));
  const AnalyserEntry& b = model_->list().at(static_cast<std::size_t>(right.row()));
  int order = 0;
  switch (left.column()) {
    case AnalyserListModel::BinaryFile: order = CompareFolded(a.path, b.path); break;
    case AnalyserListModel::Switch: order = a.family.compare(b.family); break;
    // Times as their texts: "yyyy-mm-dd   hh:mm:ss" sorts by time, statuses after.
    case AnalyserListModel::StartTime: order = a.start.compare(b.start); break;
    case AnalyserListModel::EndTime: order = a.end.compare(b.end); break;
    case AnalyserListModel::Records: order = a.records < b.records ? -1 : a.records > b.records; break;
    case AnalyserListModel::Size: {
      const std::uint64_t x = SizeKey(a), y = SizeKey(b);
      order = x < y ? -1 : x > y;
      break;
    }
    default: break;
  }
  // Equal keys keep the list's order.
  return order != 0 ? order < 0 : left.row() < right.row();
}

}  // namespace vellmark::ui
