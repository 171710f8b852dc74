#include "testdata/cdot.h"

#include <cstdio>

#include "testdata/samples.h"

namespace vellmark::testdata {

namespace {

// Digits as BCD, two per byte, padded with 0xF nibbles to `width` bytes.
Bytes BcdDigits(std::string_view digits, std::size_t width) {
  Bytes bytes(width, 0xFF);
  for (std::size_t i = 0; i < digits.size() && i < 2 * width; ++i) {
    auto d = static_cast<std::uint8_t>(digits[i] - '0');
    std::uint8_t& b = bytes[i / 2];
    b = i % 2 == 0 ? static_cast<std::uint8_t>((d << 4) | (b & 0x0F)) : static_cast<std::uint8_t>((b & 0xF0) | d);
  }
  return bytes;
}

std::string TwoDigits(unsigned n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02u", n % 100);
  return text;
}

}  // namespace

Bytes CdotRecordBytes(const CdotRecord& record) {
  Bytes bytes(kCdotRecordSize, 0);
  Put(bytes, 0, BcdDigits(record.calling, 10));
  Put(bytes, 10, BcdDigits(record.called, 10));
  Put(bytes, 20, {static_cast<std::uint8_t>(record.seconds >> 24), static_cast<std::uint8_t>(record.seconds >> 16),
                  static_cast<std::uint8_t>(record.seconds >> 8), static_cast<std::uint8_t>(record.seconds)});
  Put(bytes, 24, {0x00, static_cast<std::uint8_t>(record.seconds / 180 + 1), 0x07});  // charge units, route
  Put(bytes, 27, {record.kind});
  Put(bytes, 28, {0x11, 0x20, 0x03, 0x00, 0x4C, 0x02});  // trunk group and circuit
  return bytes;
}

Bytes CdotFile(const std::vector<CdotRecord>& records) {
  Bytes file;
  for (const auto& record : records) Append(file, CdotRecordBytes(record));
  return file;
}

std::vector<CdotRecord> CdotCalls(std::size_t n, unsigned seed) {
  std::vector<CdotRecord> records;
  for (std::size_t i = 0; i < n; ++i) {
    unsigned k = static_cast<unsigned>(i) + seed;
    CdotRecord r;
    r.kind = static_cast<std::uint8_t>(k % 3);
    r.calling = "11234" + std::to_string(50000 + k * 37 % 50000);
    r.called = "98" + std::to_string(10000000 + k * 7919 % 90000000);
    r.seconds = k * 53 % 1800;
    records.push_back(r);
  }
  return records;
}

std::uint64_t CdotModelCount(const Bytes& bytes) {
  std::uint64_t count = 0;
  for (std::size_t pos = 0;; pos += 48) {
    ++count;
    if (pos + 27 < bytes.size() && bytes[pos + 27] > 2) return count;
    if (bytes.size() - pos < 49) return count;
  }
}

CdotRecord CdotEndMark() {
  CdotRecord r;
  r.kind = 0xFF;
  r.calling = r.called = "";
  return r;
}

std::string CdotFileName(std::string_view exchange, unsigned day, unsigned month, std::optional<unsigned> year,
                         std::string_view extension) {
  std::string name(exchange);
  name += TwoDigits(day) + TwoDigits(month);
  if (year) name += TwoDigits(*year);
  return name + "." + std::string(extension);
}

std::vector<SampleFile> CdotSamples() {
  // A day of a ten-character name: the year comes from the name.
  Bytes day = CdotFile(CdotCalls(64));

  // A short name without year; the exchange stopped writing after an end mark, the
  // rest of its buffer is stale.
  auto calls = CdotCalls(40, 7);
  calls.push_back(CdotEndMark());
  for (auto& stale : CdotCalls(10, 500)) calls.push_back(stale);
  Bytes marked = CdotFile(calls);

  // A file cut in the middle of its last record.
  Bytes cut = CdotFile(CdotCalls(25, 90));
  cut.resize(cut.size() - 20);

  return {{CdotFileName("KOL1", 14, 2, 26), day},
          {CdotFileName("CD", 15, 2, std::nullopt), marked},
          {CdotFileName("DLH2", 1, 3, 26, "cdr"), cut}};
}

}  // namespace vellmark::testdata
