#pragma once
// Which reader reads which switch family; families are matched as exact texts, in
// table order. A family without a row has no reader: its entries become invalid.

#include <string>
#include <string_view>
#include <vector>

#include "core/reader_contract.h"

namespace vellmark {

struct ReaderTableRow {
  std::string family;
  ReaderFunction read;
};

using ReaderTable = std::vector<ReaderTableRow>;

inline const ReaderFunction* FindReader(const ReaderTable& table, std::string_view family) {
  for (const auto& row : table)
    if (row.family == family) return &row.read;
  return nullptr;
}

// The readers of the six families.
ReaderTable DefaultReaderTable();

}  // namespace vellmark
