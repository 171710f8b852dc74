#include "core/analyser_list.h"

namespace vellmark {

void AnalyserList::append(AnalyserEntry entry) {
  if (observer_) observer_->aboutToInsert(entries_.size());
  ++paths_[entry.path];
  entries_.push_back(std::move(entry));
  if (observer_) observer_->inserted(entries_.size() - 1);
}

void AnalyserList::assign(std::vector<AnalyserEntry> entries) {
  if (observer_) observer_->aboutToReset();
  entries_ = std::move(entries);
  paths_.clear();
  for (const auto& e : entries_) ++paths_[e.path];
  if (observer_) observer_->reset();
}

void AnalyserList::removeAt(std::size_t row) {
  if (row >= entries_.size()) return;
  if (observer_) observer_->aboutToRemove(row);
  forget(entries_[row].path);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(row));
  if (observer_) observer_->removed(row);
}

void AnalyserList::clear() {
  if (observer_) observer_->aboutToReset();
  entries_.clear();
  paths_.clear();
  if (observer_) observer_->reset();
}

void AnalyserList::forget(const std::string& path) {
  auto found = paths_.find(path);
  if (found != paths_.end() && --found->second == 0) paths_.erase(found);
}

void AnalyserList::renumber(std::size_t from) {
  for (std::size_t i = from; i < entries_.size(); ++i) {
    std::string number = std::to_string(i + 1);
    if (entries_[i].number != number) update(i, [&](AnalyserEntry& e) { e.number = number; });
  }
}

}  // namespace vellmark
