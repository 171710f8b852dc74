#pragma once
// The packages of an EWSD call record: the call date and time out of package 100,
// every other known package passed over by its length rule.
//
// Record header: bit 7 of byte 3 set, the packages begin at offset 8; clear, a digit
// field starts at offset 7 and the packages follow it. A digit field is a count byte c
// and (n + 1) / 2 bytes of packed digits, n = c mod 32.
//
// Packages (P = offset of the number byte, length counted from P):
//   number                        length
//   100                           11: P+1..P+6 year, month, day, hour, minute,
//                                 second, binary; P+7..P+10 not used
//   101                           1 + digit field at P+1
//   102, 103                      4
//   105, 106                      9
//   107, 108                      10
//   110                           6
//   112, 113, 119, 134, 154, 172  the package number itself
//   116                           8
//   120                           2
//   122                           3
//   130, 135, 151                 5
//   142, 170                      the byte at P+1
//   146                           7 + (c + 1) / 2, c = the byte at P+6
//   168                           4 + digit field at P+4
//
// Packages are walked while the pointer is below L - 1. Numbers 0 to 99 and above 200
// are unknown packages that give up the file; other numbers up to 200 have no length
// rule, so the walk of the record ends there (newer exchanges add package 138 after
// package 100). Digit fields are passed over by their count byte and never read.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/byte_view.h"
#include "core/io_error.h"
#include "core/read_failure.h"
#include "readers/reader_toolkit.h"

namespace vellmark {

// A record as the walk sees it: its L + 1 bytes from the type byte on, the byte after
// the record included. A record cut short by the end of the file has fewer.
struct EwsdRecordBuffer {
  ByteView bytes;             // the bytes actually present, at most L + 1
  std::size_t length = 0;     // L, from the record's second byte
  bool cutShort = false;      // the file ends inside the record
  std::uint64_t fileOffset = 0;  // where the record starts, for error texts
};

// What the walk of one record found.
struct EwsdPackageWalk {
  bool hasDateTime = false;
  std::string callDate;   // 20yy-mm-dd
  std::string callTime;   // hh:mm:ss
  std::optional<unsigned> unknownPackage;  // the walk stopped at this unknown number

  // Date, three blanks, time; empty when the record has no package 100.
  std::string text() const { return hasDateTime ? Stamp(callDate, callTime) : std::string(); }
};

// Walks the packages of the record. A complete record whose packages reach for bytes
// past its L + 1 is corrupt; in a cut record the walk just ends there.
Result<EwsdPackageWalk, ReadFailure> WalkEwsdPackages(const EwsdRecordBuffer& record);

// The call's hour as package 100 holds it, year, month, day and hour bytes in that
// order (yy << 24 | mm << 16 | dd << 8 | hh); 0 when the walk meets no package 100
// or an unknown one. Nothing is decoded to text on the way, so every record of a
// file can afford it.
std::uint32_t EwsdCallHourKey(const EwsdRecordBuffer& record);

// Offset just after the digit field whose count byte is at `offset` (not read here).
inline std::size_t SkipEwsdDigitField(std::size_t offset, std::uint8_t countByte) {
  return offset + 1 + (countByte % 32u + 1) / 2;
}

// The same for the records most exchanges write, package 100 first after the header,
// read in place: nothing when the record needs the walk.
inline std::optional<std::uint32_t> EwsdLeadingHourKey(const ByteView& b, std::size_t length) {
  if (b.size() <= 8) return std::nullopt;
  const std::uint8_t* d = b.data();
  const std::size_t p = d[3] & 0x80 ? 8 : SkipEwsdDigitField(7, d[7]);
  if (p + 1 >= length || !b.contains(p, 7) || d[p] != 100) return std::nullopt;
  return std::uint32_t{d[p + 1]} << 24 | std::uint32_t{d[p + 2]} << 16 | std::uint32_t{d[p + 3]} << 8 | d[p + 4];
}
// The time text of a call in the hour of `key`, as the list shows it.
std::string EwsdHourStamp(std::uint32_t key);


// The unknown-package message.
std::string EwsdUnknownPackageMessage(unsigned number);
inline constexpr const char* kEwsdUnknownPackageCaption = "Contact The Programmer";

}  // namespace vellmark
