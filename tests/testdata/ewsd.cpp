#include "testdata/ewsd.h"

#include <stdexcept>

#include "testdata/samples.h"

namespace vellmark::testdata {

namespace {

Bytes Packed(std::string_view digits) {
  Bytes out((digits.size() + 1) / 2, 0xFF);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    std::uint8_t d = static_cast<std::uint8_t>(digits[i] - '0') & 0x0F;
    std::uint8_t& b = out[i / 2];
    b = (i % 2 == 0) ? static_cast<std::uint8_t>((b & 0xF0) | d) : static_cast<std::uint8_t>((b & 0x0F) | (d << 4));
  }
  return out;
}

std::uint8_t Byte(unsigned v) { return static_cast<std::uint8_t>(v); }

}  // namespace

Bytes EwsdDigitField(std::string_view digits, std::uint8_t upperBits) {
  if (digits.size() > 31) throw std::length_error("a digit field holds up to 31 digits");
  Bytes field{static_cast<std::uint8_t>((upperBits & 0xE0) | digits.size())};
  Append(field, Packed(digits));
  return field;
}

Bytes EwsdDateTimePackage(const EwsdStamp& s, unsigned duration) {
  return {100, Byte(s.year), Byte(s.month), Byte(s.day), Byte(s.hour), Byte(s.minute), Byte(s.second),
          Byte(duration >> 24), Byte(duration >> 16), Byte(duration >> 8), Byte(duration)};
}

Bytes EwsdDigitsPackage(std::uint8_t number, std::string_view digits) {
  Bytes package{number};
  Append(package, EwsdDigitField(digits));
  return package;
}

Bytes EwsdFixedPackage(std::uint8_t number, std::size_t length) {
  Bytes package(length, 0x00);
  package.at(0) = number;
  return package;
}

Bytes EwsdLengthPackage(std::uint8_t number, std::uint8_t length) {
  Bytes package(length < 2 ? 2 : length, 0x00);
  package[0] = number;
  package[1] = length;
  return package;
}

Bytes EwsdPackage146(std::uint8_t countByte) {
  Bytes package(7 + (countByte + 1u) / 2, 0x00);
  package[0] = 146;
  package[6] = countByte;
  return package;
}

Bytes EwsdPackage168(std::string_view digits) {
  Bytes package{168, 0x00, 0x01, 0x00};
  Append(package, EwsdDigitField(digits));
  return package;
}

Bytes EwsdRecordBytes(const EwsdRecord& record) {
  Bytes bytes{record.type, 0x00, 0x00, static_cast<std::uint8_t>(record.packagesAt8 ? 0x80 : 0x00), 0x00, 0x00, 0x00};
  if (record.packagesAt8)
    bytes.push_back(0x00);
  else
    Append(bytes, EwsdDigitField(record.headerDigits));
  for (const auto& package : record.packages) Append(bytes, package);
  if (bytes.size() > 255) throw std::length_error("an EWSD record is at most 255 bytes");
  bytes[1] = record.length ? *record.length : static_cast<std::uint8_t>(bytes.size());
  return bytes;
}

EwsdRecord EwsdCall(const EwsdStamp& stamp, std::string_view dialled) {
  EwsdRecord record;
  record.packages = {EwsdDateTimePackage(stamp, 30 + stamp.second * 3), EwsdDigitsPackage(101, dialled),
                     EwsdFixedPackage(102, 4), EwsdFixedPackage(130, 5), EwsdPackage168("4471")};
  return record;
}

Bytes EwsdFillers(std::size_t n) { return Bytes(n, 0x80); }

Bytes EwsdSkipItem(std::uint8_t length) {
  Bytes item(length < 2 ? 2 : length, 0x55);
  item[0] = 0x81;
  item[1] = length;
  return item;
}

Bytes EwsdEmptyBlock() { return Bytes(32, 0x00); }

Bytes EwsdItem(std::uint8_t kind) {
  std::size_t length = kind >= 0x7A && kind <= 0x7C ? 64 : 32;
  Bytes item(length, 0x11);
  item[0] = kind;
  return item;
}

Bytes EwsdFile(const std::vector<Bytes>& items) {
  Bytes bytes;
  for (const auto& item : items) Append(bytes, item);
  return bytes;
}

std::vector<EwsdStamp> EwsdStamps(std::size_t n, const EwsdStamp& first, unsigned step) {
  std::vector<EwsdStamp> stamps;
  unsigned t = first.hour * 3600 + first.minute * 60 + first.second;
  for (std::size_t i = 0; i < n; ++i, t += step) {
    EwsdStamp s = first;
    s.day = first.day + t / 86400;
    unsigned sec = t % 86400;
    s.hour = sec / 3600;
    s.minute = sec / 60 % 60;
    s.second = sec % 60;
    stamps.push_back(s);
  }
  return stamps;
}

std::vector<SampleFile> EwsdSamples() {
  // An afternoon on 17 April 2026: records with their packages at offset 8, with
  // fillers, skip items and empty blocks between some of them.
  std::vector<Bytes> day;
  auto stamps = EwsdStamps(48, {26, 4, 17, 14, 5, 12}, 73);
  for (std::size_t i = 0; i < stamps.size(); ++i) {
    day.push_back(EwsdRecordBytes(EwsdCall(stamps[i], "0" + std::to_string(2240000 + i * 131))));
    if (i % 7 == 3) day.push_back(EwsdFillers(3));
    if (i % 11 == 5) day.push_back(EwsdSkipItem(12));
    if (i % 13 == 8) day.push_back(EwsdEmptyBlock());
  }

  // Around midnight into 1 May 2026 on a newer exchange: a header digit field before
  // the packages, package 138 after the date on some records (the last one too),
  // 64-byte and 32-byte items between.
  std::vector<Bytes> night;
  stamps = EwsdStamps(36, {26, 4, 30, 23, 31, 40}, 97);
  for (std::size_t i = 0; i < stamps.size(); ++i) {
    EwsdStamp s = stamps[i];
    if (s.day > 30) {
      s.day -= 30;
      s.month = 5;
    }
    EwsdRecord record = EwsdCall(s, "09" + std::to_string(812000000 + i * 4099));
    record.packagesAt8 = false;
    record.headerDigits = "33" + std::to_string(24600000 + i);
    if (i % 3 == 2) record.packages.insert(record.packages.begin() + 1, EwsdFixedPackage(138, 6));
    night.push_back(EwsdRecordBytes(record));
    if (i % 9 == 4) night.push_back(EwsdItem(0x7B));
    if (i % 10 == 7) night.push_back(EwsdItem(0x02));
  }
  return {{"AMA17042026.ama", EwsdFile(day)}, {"AMA30042026.ama", EwsdFile(night)}};
}

}  // namespace vellmark::testdata
