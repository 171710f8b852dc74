#pragma once
// C-DOT files from readable descriptions: 48-byte records and dated file names.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testdata/bytes.h"

namespace vellmark::testdata {

inline constexpr std::size_t kCdotRecordSize = 48;

// One record. Kind 0, 1 or 2 is a call record; anything above 2 ends the records.
struct CdotRecord {
  std::uint8_t kind = 1;
  std::string calling = "1123456789";  // digits, BCD in bytes 0-9
  std::string called = "9810012345";   // digits, BCD in bytes 10-19
  unsigned seconds = 0;                // binary, bytes 20-23
};

Bytes CdotRecordBytes(const CdotRecord& record);
Bytes CdotFile(const std::vector<CdotRecord>& records);

// n call records of kinds 0, 1, 2 in turn with made-up numbers and durations.
std::vector<CdotRecord> CdotCalls(std::size_t n, unsigned seed = 0);

// The record an exchange writes after the last call: kind 0xFF.
CdotRecord CdotEndMark();

// The record count of a file walked as the exchange's format describes it, one
// 49-byte read at a time.
std::uint64_t CdotModelCount(const Bytes& bytes);

// "<exchange>DDMMYY.<extension>", or "<exchange>DDMM.<extension>" without a year.
std::string CdotFileName(std::string_view exchange, unsigned day, unsigned month, std::optional<unsigned> year,
                         std::string_view extension = "DAT");

}  // namespace vellmark::testdata
