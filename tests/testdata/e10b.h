#pragma once
// E10B files from readable descriptions: blocks of 26-byte ticket slots.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "testdata/bytes.h"

namespace vellmark::testdata {

// One ticket slot. Sequence 0 is an empty slot (all its bytes are 0).
struct E10bTicket {
  std::uint16_t sequence = 0;
  unsigned day = 1;     // day of the year, four BCD digits
  unsigned hour = 0;    // two BCD digits
  unsigned minute = 0;  // two BCD digits
};

// The slots of one 2048-byte block, from slot 0; slots not given are empty.
using E10bBlock = std::vector<E10bTicket>;

inline constexpr std::size_t kE10bBlockSize = 2048;
inline constexpr std::size_t kE10bSlotSize = 26;
inline constexpr std::size_t kE10bSlotsPerBlock = 78;

// The 26 bytes of a slot (a made-up caller, callee and duration around the fields).
Bytes E10bSlot(const E10bTicket& ticket);

// Whole blocks; the 20 bytes after the last slot of each block are 0xFF.
Bytes E10bFile(const std::vector<E10bBlock>& blocks);

// n tickets numbered from `first` (after 65535 comes 1), one minute apart, starting at
// the given day, hour and minute.
std::vector<E10bTicket> E10bRun(std::uint16_t first, std::size_t n, unsigned day, unsigned hour,
                                unsigned minute);

// The tickets with empty slots put in at the given slot positions (ascending).
E10bBlock E10bWithGaps(const std::vector<E10bTicket>& tickets, std::initializer_list<std::size_t> emptySlots);

// One block of tickets numbered as given (0: an empty slot), a minute apart from 10:00
// on 14 February.
E10bBlock E10bSequences(std::initializer_list<unsigned> numbers);

// Splits tickets into full blocks of 78 slots (the last one maybe shorter).
std::vector<E10bBlock> E10bBlocks(const std::vector<E10bTicket>& tickets);

}  // namespace vellmark::testdata
