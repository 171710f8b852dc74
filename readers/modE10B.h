#pragma once
// The E10B reader: walks the file's 2048-byte blocks of 26-byte ticket slots and returns
// the stamps of the first and last ticket of the sequence chain and the ticket count.
//
// Block (2048 bytes, whole blocks only; a partial block at the end is ignored):
//   offset 0, 26, 52 ... 2002   78 slots of 26 bytes
//   offset 2028-2047            unused
//
// Slot (26 bytes; other bytes are not read):
//   offset  width  field              encoding
//   0       2      sequence number    binary, high byte first; 0 = empty slot
//   8       2      day of the year    BCD, four digits (0x03 0x65 = day 365)
//   10      1      hour               BCD, shown as its hex text
//   11      1      minute             BCD, shown as its hex text
//
// Tickets carry neither year nor seconds: the year is the current one, seconds "00".

#include <cstddef>
#include <string>

#include "core/byte_view.h"
#include "readers/reader_contract.h"

namespace vellmark {

[[nodiscard]] ReaderOutcome ReadE10bFile(const std::string& path, ReaderContext& ctx);

// Decoders of one 26-byte slot.
unsigned E10bSequenceNumber(const ByteView& record);
// year-MM-DD from the day of the year; months past December are not walked into.
std::string E10bDateText(const ByteView& record, int year);
// HH:MM:00 from the hex text of bytes 10 and 11.
std::string E10bTimeText(const ByteView& record);
// Hex text of the record's bytes firstOffset to lastOffset, both included.
std::string RecordHexText(const ByteView& record, std::size_t firstOffset, std::size_t lastOffset);

}  // namespace vellmark
