#include "testdata/ocb.h"

#include <stdexcept>

#include "testdata/samples.h"

namespace vellmark::testdata {

namespace {

constexpr std::uint8_t kFiller = 0xFF;

// Digits packed two to a byte, the unused places filled with F nibbles.
Bytes PackedDigits(const std::string& digits, std::size_t bytes) {
  Bytes out(bytes, kFiller);
  for (std::size_t i = 0; i < digits.size() && i < 2 * bytes; ++i) {
    std::uint8_t d = static_cast<std::uint8_t>(digits[i] - '0') & 0x0F;
    std::uint8_t& b = out[i / 2];
    b = (i % 2 == 0) ? static_cast<std::uint8_t>((d << 4) | (b & 0x0F))
                     : static_cast<std::uint8_t>((b & 0xF0) | d);
  }
  return out;
}

Bytes EndBlock(OcbEnd end) {
  std::uint8_t fill = end == OcbEnd::Mark4040 ? 0x40 : end == OcbEnd::Mark0000 ? 0x00 : 0xFF;
  Bytes block(kOcbBlockSize, fill);
  Put(block, 0, {0xC6, 0xC4});
  return block;
}

}  // namespace

Bytes OcbSlotBytes(const OcbCall& call) {
  Bytes slot(kOcbSlotSize, kFiller);
  Put(slot, 0, {0xC6, 0xC4, 0x2A});  // records start with the mark and their length
  Put(slot, 3, {Bcd(call.day / 100), Bcd(call.day % 100)});
  Put(slot, 5, {Bcd(call.hour), Bcd(call.minute), Bcd(call.second)});
  Put(slot, 8, PackedDigits("1123456789", 10));  // calling number
  Put(slot, 18, PackedDigits(call.dialled, 9));
  Put(slot, 27, {0x00, Bcd(call.second % 7), Bcd((call.minute * 7) % 60)});  // duration
  return slot;
}

Bytes OcbBlockBytes(const OcbBlock& block) {
  if (block.calls.size() > kOcbSlots) throw std::length_error("an OCB block holds 48 calls");
  Bytes bytes(kOcbBlockSize, kFiller);
  Put(bytes, 0, {0xC6, 0xC4, 0x00, 0x01, 0x00});
  Put(bytes, 5, {Bcd(block.year), Bcd(block.day / 100), Bcd(block.day % 100)});
  for (std::size_t k = 0; k < block.calls.size(); ++k)
    Put(bytes, kOcbSlotsOffset + k * kOcbSlotSize, OcbSlotBytes(block.calls[k]));
  for (const auto& [k, slot] : block.slots) {
    if (k >= kOcbSlots || slot.size() != kOcbSlotSize) throw std::length_error("an OCB slot is 42 bytes");
    Put(bytes, kOcbSlotsOffset + k * kOcbSlotSize, slot);
  }
  return bytes;
}

Bytes OcbMinutes(std::size_t calls, OcbLayout layout, OcbEnd end, const std::function<void(OcbFile&)>& edit) {
  OcbFile file{layout, OcbBlocksOf(OcbCalls(calls, 45, 8 * 3600, 60), 26, 45), end};
  if (edit) edit(file);
  return BuildOcbFile(file);
}

Bytes BuildOcbFile(const OcbFile& file) {
  Bytes bytes;
  if (file.layout == OcbLayout::B) {
    bytes.assign(kOcbPreambleSize, 0x00);
    PutText(bytes, 0, "HDR1OCBCDR");  // tape label
  }
  std::vector<Bytes> blocks;
  for (const auto& block : file.blocks) blocks.push_back(OcbBlockBytes(block));
  if (file.end != OcbEnd::None) blocks.push_back(EndBlock(file.end));
  if (!file.blockMark && !blocks.empty()) Put(blocks.front(), 0, {0x00, 0x00});
  for (const auto& block : blocks) {
    Append(bytes, block);
    if (file.layout == OcbLayout::B) Append(bytes, Bytes(kOcbTrailerSize, 0x00));
  }
  return bytes;
}

std::vector<OcbCall> OcbCalls(std::size_t n, unsigned day, unsigned firstSecond, unsigned step,
                              unsigned yearDays) {
  std::vector<OcbCall> calls;
  std::uint64_t t = firstSecond;
  for (std::size_t i = 0; i < n; ++i, t += step) {
    OcbCall call;
    call.day = (day - 1 + static_cast<unsigned>(t / 86400)) % yearDays + 1;
    unsigned s = static_cast<unsigned>(t % 86400);
    call.hour = s / 3600;
    call.minute = s / 60 % 60;
    call.second = s % 60;
    call.dialled = "0" + std::to_string(11 + i % 80) + std::to_string(2000000 + i * 7919 % 8000000);
    calls.push_back(call);
  }
  return calls;
}

std::vector<OcbBlock> OcbBlocksOf(const std::vector<OcbCall>& calls, unsigned year, unsigned day) {
  std::vector<OcbBlock> blocks;
  for (std::size_t i = 0; i < calls.size(); i += kOcbSlots) {
    OcbBlock block;
    block.year = year;
    block.day = day;
    block.calls.assign(calls.begin() + static_cast<std::ptrdiff_t>(i),
                       calls.begin() + static_cast<std::ptrdiff_t>(std::min(calls.size(), i + kOcbSlots)));
    blocks.push_back(block);
  }
  return blocks;
}

std::vector<SampleFile> OcbSamples() {
  // Layout A: a morning of traffic on 14 February 2026 (day 45), closed by a 40 40 block.
  OcbFile a;
  a.blocks = OcbBlocksOf(OcbCalls(130, 45, 8 * 3600 + 2 * 60 + 11, 97), 26, 45);

  // Layout B: a file begun on 2 January 2026 holding the last calls of New Year's Eve
  // (day 365, so 2025) and the first of the new year; it just ends, without end block.
  OcbFile b;
  b.layout = OcbLayout::B;
  b.end = OcbEnd::None;
  b.blocks = OcbBlocksOf(OcbCalls(70, 365, 23 * 3600 + 40 * 60, 61), 26, 2);

  return {{"OCB26045A.DAT", BuildOcbFile(a)}, {"OCB26002B.DAT", BuildOcbFile(b)}};
}

}  // namespace vellmark::testdata
