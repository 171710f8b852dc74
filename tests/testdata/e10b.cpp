#include "testdata/e10b.h"

#include <algorithm>

#include "testdata/samples.h"

namespace vellmark::testdata {

Bytes E10bSlot(const E10bTicket& ticket) {
  Bytes slot(kE10bSlotSize, 0);
  if (ticket.sequence == 0) return slot;
  unsigned seq = ticket.sequence;
  Put(slot, 0, {static_cast<std::uint8_t>(seq >> 8), static_cast<std::uint8_t>(seq & 0xFF)});
  // Caller: 0x33 then a five-byte BCD subscriber number.
  Put(slot, 2, {0x33, 0x24, Bcd(seq / 100 % 100), Bcd(seq % 100), 0x55, 0x10});
  Put(slot, 8, {Bcd(ticket.day / 100), Bcd(ticket.day % 100), Bcd(ticket.hour), Bcd(ticket.minute)});
  // Duration in seconds (BCD), callee number, trailing filler.
  Put(slot, 12, {0x00, Bcd(seq * 7 % 100), 0x98, 0x30, Bcd(seq * 13 % 100), 0x41, 0x77, 0x0F});
  Put(slot, 20, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  return slot;
}

Bytes E10bFile(const std::vector<E10bBlock>& blocks) {
  Bytes file;
  for (const auto& block : blocks) {
    Bytes bytes(kE10bBlockSize, 0);
    for (std::size_t s = 0; s < block.size() && s < kE10bSlotsPerBlock; ++s)
      Put(bytes, s * kE10bSlotSize, E10bSlot(block[s]));
    for (std::size_t i = kE10bSlotsPerBlock * kE10bSlotSize; i < kE10bBlockSize; ++i) bytes[i] = 0xFF;
    Append(file, bytes);
  }
  return file;
}

std::vector<E10bTicket> E10bRun(std::uint16_t first, std::size_t n, unsigned day, unsigned hour,
                                unsigned minute) {
  std::vector<E10bTicket> tickets;
  unsigned seq = first;
  unsigned minuteOfDay = hour * 60 + minute;
  for (std::size_t i = 0; i < n; ++i) {
    tickets.push_back({static_cast<std::uint16_t>(seq), day, minuteOfDay / 60, minuteOfDay % 60});
    seq = seq == 65535 ? 1 : seq + 1;
    if (++minuteOfDay == 24 * 60) {
      minuteOfDay = 0;
      ++day;
    }
  }
  return tickets;
}

E10bBlock E10bWithGaps(const std::vector<E10bTicket>& tickets, std::initializer_list<std::size_t> emptySlots) {
  E10bBlock block(tickets);
  for (std::size_t slot : emptySlots)
    block.insert(block.begin() + static_cast<std::ptrdiff_t>(std::min(slot, block.size())), E10bTicket{});
  return block;
}

std::vector<E10bBlock> E10bBlocks(const std::vector<E10bTicket>& tickets) {
  std::vector<E10bBlock> blocks;
  for (std::size_t i = 0; i < tickets.size(); i += kE10bSlotsPerBlock)
    blocks.emplace_back(tickets.begin() + static_cast<std::ptrdiff_t>(i),
                        tickets.begin() + static_cast<std::ptrdiff_t>(std::min(i + kE10bSlotsPerBlock, tickets.size())));
  return blocks;
}

std::vector<SampleFile> E10bSamples() {
  // A busy day: three blocks, some empty slots in the second, a cut block at the end.
  auto tickets = E10bRun(1, 78, 45, 8, 0);
  E10bBlock second = E10bWithGaps(E10bRun(79, 74, 45, 9, 18), {5, 6, 40, 77});
  E10bBlock third = E10bRun(153, 40, 45, 10, 32);
  Bytes busy = E10bFile({E10bBlock(tickets), second, third});
  Bytes cut = E10bFile({E10bRun(193, 20, 45, 11, 12)});
  cut.resize(700);
  Append(busy, cut);

  // Over the year's end the numbering passes 65535 and restarts at 1; the second block
  // ends with tickets of an older run, where the file's records end.
  auto wrapped = E10bRun(65520, 10, 365, 23, 50);
  auto newYear = E10bRun(65530, 6 + 140, 1, 0, 0);
  wrapped.insert(wrapped.end(), newYear.begin(), newYear.end());
  auto yearEnd = E10bBlocks(wrapped);
  for (std::size_t s = 0; s < 6; ++s) yearEnd[1][s + 72] = {static_cast<std::uint16_t>(4001 + s), 300, 14, 0};
  yearEnd.push_back(E10bRun(4007, 78, 300, 14, 6));

  // A quiet night: one block with a few gaps.
  E10bBlock night = E10bWithGaps(E10bRun(812, 58, 46, 0, 0), {20, 33});

  return {{"E10B-KOL1-0045.TKT", busy},
          {"E10B-KOL1-0365.TKT", E10bFile(yearEnd)},
          {"E10B-KOL2-0046.TKT", E10bFile({night})}};
}

E10bBlock E10bSequences(std::initializer_list<unsigned> numbers) {
  E10bBlock block;
  unsigned minute = 0;
  for (unsigned n : numbers) block.push_back({static_cast<std::uint16_t>(n), 45, 10, minute++});
  return block;
}

}  // namespace vellmark::testdata
