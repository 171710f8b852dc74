#include "core/analyser_list.h"

#include <algorithm>

namespace vellmark {

void AnalyserList::append(AnalyserEntry entry) {
  if (observer_) observer_->aboutToInsert(entries_.size());
  ++paths_[entry.path];
  if (numbered_ == entries_.size() && entry.number == std::to_string(entries_.size() + 1)) ++numbered_;
  entries_.push_back(std::move(entry));
  if (observer_) observer_->inserted(entries_.size() - 1);
}

void AnalyserList::assign(std::vector<AnalyserEntry> entries) {
  if (observer_) observer_->aboutToReset();
  entries_ = std::move(entries);
  paths_.clear();
  for (const auto& e : entries_) ++paths_[e.path];
  numbered_ = 0;
  if (observer_) observer_->reset();
}

void AnalyserList::forget(const std::string& path) {
  auto it = paths_.find(path);
  if (it != paths_.end() && --it->second == 0) paths_.erase(it);
}

void AnalyserList::removeAt(std::size_t row) {
  if (row >= entries_.size()) return;
  if (observer_) observer_->aboutToRemove(row, row);
  forget(entries_[row].path);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(row));
  numbered_ = std::min(numbered_, row);
  if (observer_) observer_->removed(row, row);
}

std::size_t AnalyserList::removeSelected() {
  // Runs of selected rows, first to last.
  std::vector<std::pair<std::size_t, std::size_t>> runs;
  for (std::size_t row = 0; row < entries_.size(); ++row) {
    if (!entries_[row].selected) continue;
    if (!runs.empty() && runs.back().second + 1 == row) runs.back().second = row;
    else runs.emplace_back(row, row);
  }
  if (runs.empty()) return 0;
  std::size_t count = 0;
  for (const auto& [first, last] : runs) count += last - first + 1;
  for (const auto& e : entries_)
    if (e.selected) forget(e.path);
  numbered_ = std::min(numbered_, runs.front().first);
  // A few rows are removed run by run from the end, each run moving the rows after it
  // and each row costing a sorted view a pass over its rows; many would make that
  // quadratic.
  constexpr std::size_t kFewRuns = 8, kFewRows = 256;
  if (runs.size() <= kFewRuns && count <= kFewRows) {
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
      if (observer_) observer_->aboutToRemove(run->first, run->second);
      entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(run->first),
                     entries_.begin() + static_cast<std::ptrdiff_t>(run->second + 1));
      if (observer_) observer_->removed(run->first, run->second);
    }
    return count;
  }
  if (observer_) observer_->aboutToReset();
  std::erase_if(entries_, [](const AnalyserEntry& e) { return e.selected; });
  if (observer_) observer_->reset();
  return count;
}

void AnalyserList::clear() {
  if (observer_) observer_->aboutToReset();
  entries_.clear();
  paths_.clear();
  numbered_ = 0;
  if (observer_) observer_->reset();
}

void AnalyserList::renumber() {
  for (std::size_t i = numbered_; i < entries_.size(); ++i) {
    std::string number = std::to_string(i + 1);
    if (entries_[i].number != number) update(i, [&](AnalyserEntry& e) { e.number = number; });
  }
  numbered_ = entries_.size();
}

}  // namespace vellmark
