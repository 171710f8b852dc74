#include "readers/ewsd_packages.h"

#include "readers/reader_toolkit.h"

namespace vellmark {

namespace {

class PackageWalker {
 public:
  // `hourOnly`: stop at package 100 and keep its hour bytes, decode nothing.
  explicit PackageWalker(const EwsdRecordBuffer& record, bool hourOnly = false)
      : record_(record), hourOnly_(hourOnly) {}

  std::uint32_t hourKey() {
    std::optional<std::size_t> pointer = StartEwsdRecord();
    while (pointer && *pointer + 1 < record_.length) pointer = DispatchEwsdPackage(*pointer);
    return hourKey_;
  }

  Result<EwsdPackageWalk, ReadFailure> run() {
    std::optional<std::size_t> pointer = StartEwsdRecord();
    while (pointer && *pointer + 1 < record_.length) pointer = DispatchEwsdPackage(*pointer);
    if (damage_) return *damage_;
    return walk_;
  }

 private:
  // True when bytes [pos, pos + n) are there. A cut record just has no more; a complete
  // one that needs bytes past its L + 1 is damaged.
  bool readable(std::size_t pos, std::size_t n, const char* what) {
    if (record_.bytes.contains(pos, n)) return true;
    if (!record_.cutShort && !hourOnly_)
      damage_ = ReadFailure{FailureKind::Corrupt,
                            "record at offset " + std::to_string(record_.fileOffset) + ": " + what +
                                " needs byte " + std::to_string(pos + n - 1) + " of a record of " +
                                std::to_string(record_.length) + " bytes",
                            record_.fileOffset};
    return false;
  }

  std::optional<std::size_t> StartEwsdRecord() {
    if (!readable(3, 1, "the flags byte")) return std::nullopt;
    if (record_.bytes[3] & 0x80) return 8;
    if (!readable(7, 1, "the header digit field")) return std::nullopt;
    return SkipEwsdDigitField(7, record_.bytes[7]);
  }

  // The offset of the next package, or nothing when the walk of the record ends here.
  std::optional<std::size_t> DispatchEwsdPackage(std::size_t p) {
    if (!readable(p, 1, "a package number")) return std::nullopt;
    const ByteView& b = record_.bytes;
    unsigned number = b[p];
    switch (number) {
      case 100:
        if (!readable(p + 1, 6, "package 100")) return std::nullopt;
        if (hourOnly_) {
          hourKey_ = static_cast<std::uint32_t>(b.bigEndian(p + 1, 4));
          return std::nullopt;
        }
        DecodeEwsdDateTime(p);
        return p + 11;
      case 101:
        if (!readable(p + 1, 1, "package 101")) return std::nullopt;
        return SkipEwsdDigitField(p + 1, b[p + 1]);
      case 102: case 103: return p + 4;
      case 105: case 106: return p + 9;
      case 107: case 108: return p + 10;
      case 110: return p + 6;
      case 112: case 113: case 119: case 134: case 154: case 172: return p + number;
      case 116: return p + 8;
      case 120: return p + 2;
      case 122: return p + 3;
      case 130: case 135: case 151: return p + 5;
      case 142: case 170: {
        if (!readable(p + 1, 1, "a package length")) return std::nullopt;
        std::uint8_t length = b[p + 1];
        if (length == 0) return std::nullopt;  // would not move on
        return p + length;
      }
      case 146:
        if (!readable(p + 6, 1, "package 146")) return std::nullopt;
        return p + 7 + (b[p + 6] + 1u) / 2;
      case 168:
        if (!readable(p + 4, 1, "package 168")) return std::nullopt;
        return SkipEwsdDigitField(p + 4, b[p + 4]);
      default:
        if (number < 100 || number > 200) walk_.unknownPackage = number;
        // Numbers up to 200 without a length rule end the record's walk; what came
        // before them stands.
        return std::nullopt;
    }
  }

  void DecodeEwsdDateTime(std::size_t p) {
    const ByteView& b = record_.bytes;
    walk_.callDate = "20" + TwoDigits(b[p + 1]) + "-" + TwoDigits(b[p + 2]) + "-" + TwoDigits(b[p + 3]);
    walk_.callTime = TwoDigits(b[p + 4]) + ":" + TwoDigits(b[p + 5]) + ":" + TwoDigits(b[p + 6]);
    walk_.hasDateTime = true;
  }

  const EwsdRecordBuffer& record_;
  const bool hourOnly_;
  std::uint32_t hourKey_ = 0;
  EwsdPackageWalk walk_;
  std::optional<ReadFailure> damage_;
};

}  // namespace

Result<EwsdPackageWalk, ReadFailure> WalkEwsdPackages(const EwsdRecordBuffer& record) {
  return PackageWalker(record).run();
}

std::uint32_t EwsdCallHourKey(const EwsdRecordBuffer& record) {
  if (auto key = EwsdLeadingHourKey(record.bytes, record.length)) return *key;
  return PackageWalker(record, true).hourKey();
}

std::string EwsdHourStamp(std::uint32_t key) {
  return Stamp("20" + TwoDigits(key >> 24) + "-" + TwoDigits(key >> 16 & 0xFF) + "-" + TwoDigits(key >> 8 & 0xFF),
               TwoDigits(key & 0xFF) + ":00:00");
}

std::string EwsdUnknownPackageMessage(unsigned number) {
  return "Pack Message " + std::to_string(number) +
         " Received. This Feature is not Enabled at Present. Cann't Proceed.";
}

}  // namespace vellmark
