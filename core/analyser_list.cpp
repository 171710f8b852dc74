#include "core/analyser_list.h"

namespace vellmark {

void AnalyserList::append(AnalyserEntry entry) {
  if (observer_) observer_->aboutToInsert(entries_.size());
  entries_.push_back(std::move(entry));
  if (observer_) observer_->inserted(entries_.size() - 1);
}

void AnalyserList::removeAt(std::size_t row) {
  if (row >= entries_.size()) return;
  if (observer_) observer_->aboutToRemove(row);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(row));
  if (observer_) observer_->removed(row);
}

void AnalyserList::clear() {
  if (observer_) observer_->aboutToReset();
  entries_.clear();
  if (observer_) observer_->reset();
}

void AnalyserList::renumber() {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    std::string number = std::to_string(i + 1);
    if (entries_[i].number != number) update(i, [&](AnalyserEntry& e) { e.number = number; });
  }
}

bool AnalyserList::contains(const std::string& path) const {
  for (const auto& e : entries_)
    if (e.path == path) return true;
  return false;
}

}  // namespace vellmark
