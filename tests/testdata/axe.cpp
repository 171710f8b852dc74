#include "testdata/axe.h"

#include <cstdio>

#include "testdata/samples.h"

namespace vellmark::testdata {

std::string AxeRecord(const AxeCall& call) {
  std::size_t length = call.length ? call.length : (call.layout == 2 ? 150 : 120);
  std::string record(length, '0');
  // Blanks between the fields, as the exchange writes them.
  for (std::size_t i = 37; i < length; i += 9) record[i] = ' ';
  char lengthField[8];
  std::snprintf(lengthField, sizeof lengthField, "%3zu", length % 1000);
  PlaceText(record, 1, lengthField);
  PlaceText(record, 4, "01");
  PlaceText(record, 6, "044" + ZeroPadded(28100000ULL + call.serial * 7919 % 100000, 8) + "  ");
  std::string called = ZeroPadded(919840000000ULL + call.serial * 104729 % 10000000, 12);
  switch (call.layout) {
    case 0:
      PlaceText(record, 19, "0091" + called);
      PlaceText(record, 35, "017");
      break;
    case 1:
      PlaceText(record, 19, " " + called + "   ");
      PlaceText(record, 35, "017");
      break;
    default:
      PlaceText(record, 19, "    " + called);
      PlaceText(record, 35, "   ");
      break;
  }
  std::size_t hour = call.layout == 2 ? 66 : 50 + static_cast<std::size_t>(call.layout);
  std::size_t year = call.layout == 2 ? 87 : 71 + static_cast<std::size_t>(call.layout);
  PlaceText(record, hour, call.time);
  PlaceText(record, year, call.date);
  PlaceText(record, year + 8, ZeroPadded(call.serial * 37 % 3600, 6));  // duration
  return record;
}

Bytes AxeFile(const std::vector<AxeBlock>& blocks, char padding) {
  Bytes file;
  for (const auto& block : blocks) {
    Bytes bytes(kAxeBlockSize, static_cast<std::uint8_t>(padding));
    std::size_t at = 0;
    for (const auto& record : block)
      for (char c : record)
        if (at < kAxeBlockSize - 1) bytes[at++] = static_cast<std::uint8_t>(c);
    bytes[kAxeBlockSize - 1] = 0;
    Append(file, bytes);
  }
  return file;
}

std::vector<AxeBlock> AxeBlocks(const std::vector<std::string>& records) {
  std::vector<AxeBlock> blocks(1);
  std::size_t used = 0;
  for (const auto& record : records) {
    if (used + record.size() > kAxeBlockSize - 1) {
      blocks.emplace_back();
      used = 0;
    }
    blocks.back().push_back(record);
    used += record.size();
  }
  return blocks;
}

std::vector<std::string> AxeRun(int layout, std::size_t n, const std::string& date, unsigned hour,
                                 unsigned minute, unsigned gap) {
  std::vector<std::string> records;
  unsigned seconds = (hour * 60 + minute) * 60;
  for (std::size_t i = 0; i < n; ++i, seconds += gap) {
    AxeCall call;
    call.layout = layout;
    call.date = date;
    call.time = ZeroPadded(seconds / 3600 % 24, 2) + ZeroPadded(seconds / 60 % 60, 2) + ZeroPadded(seconds % 60, 2);
    call.length = 100 + (i * 13) % 61;
    call.serial = static_cast<unsigned>(i + 1);
    records.push_back(AxeRecord(call));
  }
  return records;
}

std::vector<SampleFile> AxeSamples() {
  // A morning in the full-number layout: six whole blocks.
  auto morning = AxeBlocks(AxeRun(0, 120, "250318", 8, 0, 37));
  morning.resize(6);
  // Afternoon traffic of an exchange writing the late layout: seven whole blocks.
  auto afternoon = AxeBlocks(AxeRun(2, 130, "250318", 14, 2, 29));
  afternoon.resize(7);
  // Night calls with short called numbers, ending past midnight with a long
  // international number, which the reader takes in the full-number layout.
  auto night = AxeBlocks(AxeRun(1, 120, "250318", 23, 10, 19));
  night.resize(6);
  AxeCall international{0, "250319", "004417", 0, 9001};
  std::string last = AxeRecord(international);
  auto used = [](const AxeBlock& block) {
    std::size_t n = 0;
    for (const auto& record : block) n += record.size();
    return n;
  };
  while (used(night.back()) + last.size() > kAxeBlockSize - 1) night.back().pop_back();
  night.back().push_back(last);
  return {{"TTFILE01.AXE", AxeFile(morning)},
          {"TTFILE02.AXE", AxeFile(afternoon)},
          {"TTFILE03.AXE", AxeFile(night)}};
}

}  // namespace vellmark::testdata
