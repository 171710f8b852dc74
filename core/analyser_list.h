#pragma once
// The ordered list of files under analysis: the system's only working store.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/analyser_entry.h"

namespace vellmark {

// Told before and after every change, so a view can bracket it (the Qt model does).
// Rows first to last, inclusive.
class ListObserver {
 public:
  virtual ~ListObserver() = default;
  virtual void aboutToInsert(std::size_t /*row*/) {}
  virtual void inserted(std::size_t /*row*/) {}
  virtual void aboutToRemove(std::size_t /*first*/, std::size_t /*last*/) {}
  virtual void removed(std::size_t /*first*/, std::size_t /*last*/) {}
  virtual void aboutToReset() {}
  virtual void reset() {}
  virtual void changed(std::size_t /*row*/) {}
};

class AnalyserList {
 public:
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // Rows are 0-based here; the "No" text is 1-based.
  const AnalyserEntry& at(std::size_t row) const { return entries_.at(row); }
  const std::vector<AnalyserEntry>& entries() const { return entries_; }

  void append(AnalyserEntry entry);
  // Replaces every row at once, taking the vector as it is (no copy of 100,000 rows).
  void assign(std::vector<AnalyserEntry> entries);
  void removeAt(std::size_t row);
  // Removes every selected entry; returns how many. A list of many rows stays linear:
  // scattered rows go in one sweep, told to the observer as a reset.
  std::size_t removeSelected();
  void clear();
  // Changes one row through `edit` and tells the observer. The number is not changed
  // this way.
  template <typename Edit>
  void update(std::size_t row, Edit edit) {
    AnalyserEntry& entry = entries_.at(row);
    const std::string before = entry.path;
    edit(entry);
    if (entry.path != before) {
      forget(before);
      ++paths_[entry.path];
    }
    if (observer_) observer_->changed(row);
  }
  void setSelected(std::size_t row, bool selected) { entries_.at(row).selected = selected; }

  // Sets every "No" text to the row's 1-based position. Rows known to hold theirs
  // already are passed over, so numbering after an append costs one row.
  void renumber();
  // True when `path` equals the "Binary File" text of an entry, case-sensitively.
  bool contains(const std::string& path) const { return paths_.contains(path); }

  void setObserver(ListObserver* observer) { observer_ = observer; }

 private:
  void forget(const std::string& path);

  std::vector<AnalyserEntry> entries_;
  // How many rows hold each path (a report may list one twice), so a look-up does not
  // walk the list: adding n files stays linear.
  std::unordered_map<std::string, std::size_t> paths_;
  std::size_t numbered_ = 0;  // leading rows that hold their number
  ListObserver* observer_ = nullptr;
};

}  // namespace vellmark
