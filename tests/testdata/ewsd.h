#pragma once
// EWSD files from readable descriptions: call records made of packages, and the
// filler, skip and block items that lie between them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testdata/bytes.h"

namespace vellmark::testdata {

// A call's date and time as package 100 holds it (year within the century).
struct EwsdStamp {
  unsigned year = 26, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// A digit field: count byte (digits + upper bits) and packed digits.
Bytes EwsdDigitField(std::string_view digits, std::uint8_t upperBits = 0);

// Packages, number byte first.
Bytes EwsdDateTimePackage(const EwsdStamp& stamp, unsigned duration = 0);  // 100, 11 bytes
Bytes EwsdDigitsPackage(std::uint8_t number, std::string_view digits);    // 101: number + field
Bytes EwsdFixedPackage(std::uint8_t number, std::size_t length);          // number + zeros
Bytes EwsdLengthPackage(std::uint8_t number, std::uint8_t length);        // 142, 170: length at P+1
Bytes EwsdPackage146(std::uint8_t countByte);                             // 7 + (c + 1) / 2 bytes
Bytes EwsdPackage168(std::string_view digits);                            // 4 + digit field

struct EwsdRecord {
  std::uint8_t type = 0x84;
  bool packagesAt8 = true;              // flags bit 7; clear: a header digit field at 7
  std::string headerDigits = "1123456789";
  std::vector<Bytes> packages;
  std::optional<std::uint8_t> length;   // the length byte; default: the real length
};

Bytes EwsdRecordBytes(const EwsdRecord& record);

// A typical call record: date and time, dialled digits and a few other packages.
EwsdRecord EwsdCall(const EwsdStamp& stamp, std::string_view dialled = "01123456789");

// Items between records.
Bytes EwsdFillers(std::size_t n);            // 0x80 each
Bytes EwsdSkipItem(std::uint8_t length);     // 0x81, length, then length - 2 bytes
Bytes EwsdEmptyBlock();                      // 32 zeros
Bytes EwsdItem(std::uint8_t kind);           // 01-03: 32 bytes, 7A-7C: 64 bytes

Bytes EwsdFile(const std::vector<Bytes>& items);

// n stamps from `first` on, `step` seconds apart (days roll within the month).
std::vector<EwsdStamp> EwsdStamps(std::size_t n, const EwsdStamp& first, unsigned step);

}  // namespace vellmark::testdata
