#pragma once
// Which reader reads which switch family; families are matched as exact texts, in
// table order. A family without a row has no reader: its entries become invalid.
//
// A reader may carry something from one file to the next (the OCB layout): its row
// prepares each read in list order and binds it to what the files before left. The
// table is a value: a copy carries on from where the original stood, so reads can be
// prepared ahead without disturbing the original.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readers/reader_contract.h"

namespace vellmark {

// When a read is prepared: just before it runs (what it carries passes on through the
// read itself), or ahead, before the reads before it have run (what it carries is
// worked out from the file's head now).
enum class Preparation { Next, Ahead };

// Called once per file, in list order: returns the read of `path`.
using ReadPreparer = std::function<ReadCall(const std::string& path, FileSystem& files, Preparation when)>;

// What a reader carries from one file to the next. A read prepared Next shares it and
// updates it; a copy of the table gets a copy of its own.
template <typename T>
class Carried {
 public:
  Carried() = default;
  Carried(const Carried& other) : value_(std::make_shared<T>(*other.value_)) {}
  Carried& operator=(const Carried& other) {
    value_ = std::make_shared<T>(*other.value_);
    return *this;
  }
  T& value() { return *value_; }
  std::shared_ptr<T> share() { return value_; }

 private:
  std::shared_ptr<T> value_ = std::make_shared<T>();
};

class ReaderTable {
 public:
  // A reader that keeps nothing between files.
  void add(std::string family, ReaderFunction read);
  // A reader that carries something over; `prepare` keeps it.
  void addPrepared(std::string family, ReadPreparer prepare);

  // The read of `path` by the reader of `family`; nothing when the family has none.
  // The read never throws: a failure the reader did not expect comes back as an
  // "internal" failure.
  std::optional<ReadCall> prepare(std::string_view family, const std::string& path, FileSystem& files,
                                  Preparation when = Preparation::Next);

 private:
  struct Row {
    std::string family;
    ReadPreparer prepare;
  };
  std::vector<Row> rows_;
};

// The readers of the six families.
ReaderTable DefaultReaderTable();

}  // namespace vellmark
