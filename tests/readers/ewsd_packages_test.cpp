#include <gtest/gtest.h>

#include <stdexcept>

#include "readers/reader_contract.h"
#include "readers/ewsd_packages.h"
#include "testdata/ewsd.h"

namespace vellmark {
namespace {

using testdata::Bytes;
using testdata::EwsdDateTimePackage;
using testdata::EwsdFixedPackage;
using testdata::EwsdRecord;
using testdata::EwsdRecordBytes;
using testdata::EwsdStamp;

const EwsdStamp kStamp{3, 12, 31, 23, 59, 59};
const EwsdStamp kOther{26, 4, 1, 7, 5, 9};

// A walk that found its record corrupt, thrown so the cases read as expectations.
struct CorruptRecord : std::runtime_error {
  using std::runtime_error::runtime_error;
};

EwsdPackageWalk Checked(Result<EwsdPackageWalk, ReadFailure> walk) {
  if (!walk) {
    EXPECT_EQ(walk.error().kind, FailureKind::Corrupt);
    throw CorruptRecord(walk.error().reason);
  }
  return *walk;
}

// Walks a whole record followed by `after`, the byte after it in the file.
EwsdPackageWalk Walk(const Bytes& record, std::uint8_t after = 0x00) {
  Bytes buffer = record;
  buffer.resize(record.at(1), 0x00);
  buffer.push_back(after);
  return Checked(WalkEwsdPackages({ByteView(buffer.data(), buffer.size()), record.at(1), false, 0}));
}

// Walks the first `present` bytes of a record the file cut short.
EwsdPackageWalk WalkCut(const Bytes& record, std::size_t present) {
  Bytes buffer(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(present));
  return Checked(WalkEwsdPackages({ByteView(buffer.data(), buffer.size()), record.at(1), true, 0}));
}

Bytes Record(std::vector<Bytes> packages, bool packagesAt8 = true) {
  EwsdRecord record;
  record.packagesAt8 = packagesAt8;
  record.packages = std::move(packages);
  return EwsdRecordBytes(record);
}

TEST(EwsdPackagesTest, PackageOneHundredGivesTheCallDateAndTime) {
  Bytes record = Record({EwsdDateTimePackage(kStamp), EwsdFixedPackage(102, 4), EwsdDateTimePackage(kOther)});
  ASSERT_EQ(record[8], 100);
  ASSERT_EQ(record[19], 102);
  // The walk goes on at 19, then at 23 where the last package 100 wins.
  EwsdPackageWalk walk = Walk(record);
  EXPECT_EQ(walk.text(), "2026-04-01   07:05:09");

  walk = Walk(Record({EwsdDateTimePackage(kStamp), EwsdFixedPackage(102, 4)}));
  EXPECT_EQ(walk.callDate, "2003-12-31");
  EXPECT_EQ(walk.callTime, "23:59:59");
  EXPECT_EQ(walk.text(), "2003-12-31   23:59:59");

  // Bytes are not range-checked: two digits of what is there.
  walk = Walk(Record({Bytes{100, 123, 13, 7, 0, 100, 199, 0, 0, 0, 0}}));
  EXPECT_EQ(walk.text(), "2023-13-07   00:00:99");

  // No package 100: no text at all.
  walk = Walk(Record({EwsdFixedPackage(102, 4), EwsdFixedPackage(130, 5)}));
  EXPECT_FALSE(walk.hasDateTime);
  EXPECT_EQ(walk.text(), "");
}

TEST(EwsdPackagesTest, TheHeaderDigitFieldComesBeforeThePackagesWhenBit7IsClear) {
  for (std::uint8_t count : {0x0B, 0x2B, 0xEB}) {
    Bytes record = Record({EwsdDateTimePackage(kStamp)}, false);
    // Eleven digits: the field takes offsets 7 to 13.
    Bytes header{record[0], 0, 0, 0x00, 0, 0, 0, count, 0x11, 0x22, 0x33, 0x44, 0x55, 0x06};
    Bytes rebuilt = header;
    testdata::Append(rebuilt, EwsdDateTimePackage(kStamp));
    rebuilt[1] = static_cast<std::uint8_t>(rebuilt.size());
    EXPECT_EQ(Walk(rebuilt).text(), "2003-12-31   23:59:59") << int(count);
  }
  // The same record with bit 7 set starts at 8, inside the digits: no date.
  Bytes record = Record({EwsdDateTimePackage(kStamp)}, false);
  EXPECT_EQ(Walk(record).text(), "2003-12-31   23:59:59");
  record[3] = 0x80;
  EXPECT_FALSE(Walk(record).hasDateTime);
}

TEST(EwsdPackagesTest, EveryKnownPackageIsPassedOverByItsLength) {
  std::vector<Bytes> packages;
  for (std::uint8_t n : {102, 103}) packages.push_back(EwsdFixedPackage(n, 4));
  for (std::uint8_t n : {105, 106}) packages.push_back(EwsdFixedPackage(n, 9));
  for (std::uint8_t n : {107, 108}) packages.push_back(EwsdFixedPackage(n, 10));
  packages.push_back(EwsdFixedPackage(110, 6));
  packages.push_back(EwsdFixedPackage(116, 8));
  packages.push_back(EwsdFixedPackage(120, 2));
  packages.push_back(EwsdFixedPackage(122, 3));
  for (std::uint8_t n : {130, 135, 151}) packages.push_back(EwsdFixedPackage(n, 5));
  for (std::uint8_t n : {112, 113, 119, 134, 154, 172}) packages.push_back(EwsdFixedPackage(n, n));
  packages.push_back(testdata::EwsdDigitsPackage(101, "01123456789"));
  packages.push_back(testdata::EwsdDigitsPackage(101, ""));
  packages.push_back(Bytes{101, 0x63, 0x12, 0x34});  // 3 digits, upper bits set
  packages.push_back(testdata::EwsdLengthPackage(142, 9));
  packages.push_back(testdata::EwsdLengthPackage(170, 6));
  packages.push_back(testdata::EwsdPackage146(5));   // 10 bytes
  packages.push_back(testdata::EwsdPackage146(0));
  packages.push_back(testdata::EwsdPackage168("123456"));
  for (const Bytes& package : packages) {
    // The date after the package is found only if the walk lands on it.
    Bytes record = Record({EwsdDateTimePackage(kOther), package, EwsdDateTimePackage(kStamp)});
    EXPECT_EQ(Walk(record).text(), "2003-12-31   23:59:59") << int(package[0]) << " of " << package.size();
  }
  EXPECT_EQ(testdata::EwsdPackage146(5).size(), 10u);
}

TEST(EwsdPackagesTest, PackagesWithoutALengthRuleEndTheWalkOfTheRecord) {
  // 138 (newer exchanges) after the date: the date stands, nothing after is read.
  Bytes record = Record({EwsdDateTimePackage(kStamp), EwsdFixedPackage(138, 6), EwsdDateTimePackage(kOther)});
  EwsdPackageWalk walk = Walk(record);
  EXPECT_EQ(walk.text(), "2003-12-31   23:59:59");
  EXPECT_FALSE(walk.unknownPackage);
  for (std::uint8_t n : {101 + 3, 199, 200}) {
    walk = Walk(Record({EwsdDateTimePackage(kStamp), EwsdFixedPackage(n, 4), EwsdDateTimePackage(kOther)}));
    EXPECT_EQ(walk.text(), "2003-12-31   23:59:59") << int(n);
    EXPECT_FALSE(walk.unknownPackage);
  }
  // 142 and 170 of length 0 would not move on.
  for (std::uint8_t n : {142, 170}) {
    walk = Walk(Record({EwsdDateTimePackage(kStamp), Bytes{n, 0, 0, 0}, EwsdDateTimePackage(kOther)}));
    EXPECT_EQ(walk.text(), "2003-12-31   23:59:59") << int(n);
  }
  // A 112-group package reaching past the record just ends the walk: 113 at 20 of 60.
  EwsdRecord sixty;
  sixty.packagesAt8 = false;
  sixty.headerDigits = "1";  // packages from 9 on
  Bytes long113(40, 0x00);
  long113[0] = 113;
  sixty.packages = {EwsdDateTimePackage(kStamp), long113};
  Bytes bytes = EwsdRecordBytes(sixty);
  ASSERT_EQ(bytes.size(), 60u);
  ASSERT_EQ(bytes[20], 113);
  EXPECT_EQ(Walk(bytes).text(), "2003-12-31   23:59:59");
}

TEST(EwsdPackagesTest, UnknownPackagesAreReported) {
  for (std::uint8_t n : {0, 1, 99, 201, 255}) {
    EwsdPackageWalk walk = Walk(Record({EwsdDateTimePackage(kStamp), Bytes{n, 0, 0, 0}}));
    ASSERT_TRUE(walk.unknownPackage);
    EXPECT_EQ(*walk.unknownPackage, n);
  }
  EXPECT_EQ(EwsdUnknownPackageMessage(99),
            "Pack Message 99 Received. This Feature is not Enabled at Present. Cann't Proceed.");
}

TEST(EwsdPackagesTest, ReadsPastTheRecordFailOnlyInCompleteRecords) {
  // Package 100 whose time runs past the byte after the record.
  Bytes record = Record({EwsdFixedPackage(120, 2), Bytes{100, 3, 12, 31, 23}});
  EXPECT_THROW(Walk(record), CorruptRecord);
  // ... reaching exactly to the byte after the record is fine: it is part of the buffer.
  record = Record({EwsdFixedPackage(120, 2), Bytes{100, 3, 12, 31, 23, 0}});
  EXPECT_EQ(Walk(record, 59).text(), "2003-12-31   23:00:59");
  // The flags byte of a record of 2 bytes.
  EXPECT_THROW(Walk(Bytes{0x84, 2}), CorruptRecord);
  EXPECT_NO_THROW(Walk(Bytes{0x84, 3, 0}, 0x80));
  // 146 whose count byte lies past the record, 168 whose field does.
  EXPECT_THROW(Walk(Record({Bytes{146, 0, 0}})), CorruptRecord);
  EXPECT_THROW(Walk(Record({Bytes{168, 0}})), CorruptRecord);

  // Digit fields are never read, only passed over by their count.
  EXPECT_NO_THROW(Walk(Record({EwsdDateTimePackage(kStamp), Bytes{101, 31}})));
  EXPECT_NO_THROW(Walk(Record({Bytes{102, 0, 0, 0}}, false)));

  // In a record the file cut short the walk ends where its bytes end.
  Bytes full = Record({EwsdDateTimePackage(kStamp), EwsdFixedPackage(102, 4), EwsdDateTimePackage(kOther)});
  for (std::size_t present = 2; present < full.size(); ++present) {
    EwsdPackageWalk walk;
    ASSERT_NO_THROW(walk = WalkCut(full, present)) << present;
    // The first date needs bytes 9 to 14, the second 24 to 29.
    std::string expected = present >= 30 ? "2026-04-01   07:05:09" : present >= 15 ? "2003-12-31   23:59:59" : "";
    EXPECT_EQ(walk.text(), expected) << present;
  }
}

TEST(EwsdPackagesTest, DigitFieldsHoldTheLowFiveBitsOfTheirCount) {
  EXPECT_EQ(SkipEwsdDigitField(7, 0x0B), 14u);
  EXPECT_EQ(SkipEwsdDigitField(7, 0x2B), 14u);
  EXPECT_EQ(SkipEwsdDigitField(7, 0x00), 8u);
  EXPECT_EQ(SkipEwsdDigitField(7, 0x1F), 24u);
  EXPECT_EQ(SkipEwsdDigitField(7, 0xFF), 24u);
}

}  // namespace
}  // namespace vellmark
