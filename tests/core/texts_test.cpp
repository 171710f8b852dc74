#include "core/texts.h"

#include <gtest/gtest.h>

namespace vellmark {
namespace {

TEST(Texts, KilobytesRoundHalfToEven) {
  EXPECT_EQ(KilobyteText(1536), "2 KB");   // 1.5 -> 2
  EXPECT_EQ(KilobyteText(2560), "2 KB");   // 2.5 -> 2
  EXPECT_EQ(KilobyteText(500), "0 KB");
  EXPECT_EQ(KilobyteText(512), "0 KB");    // 0.5 -> 0
  EXPECT_EQ(KilobyteText(513), "1 KB");
  EXPECT_EQ(KilobyteText(13500), "13 KB");
  EXPECT_EQ(KilobyteText(0), "0 KB");
}

TEST(Texts, MegabytesToTwoDecimalsWithoutTrailingZeros) {
  EXPECT_EQ(MegabyteText(1572864), "1.5 MB");
  EXPECT_EQ(MegabyteText(0), "0 MB");
  EXPECT_EQ(MegabyteText(13500), "0.01 MB");
  EXPECT_EQ(MegabyteText(31457), "0.03 MB");   // 0.029999... -> 0.03
  EXPECT_EQ(MegabyteText(1048576), "1 MB");
  EXPECT_EQ(MegabyteText(5242), "0 MB");       // 0.004999... -> 0
  EXPECT_EQ(MegabyteText(5243), "0.01 MB");    // 0.005000... just above half
  // Exactly half a hundredth rounds to even: 0.125 MB -> 0.12, 0.375 MB -> 0.38.
  EXPECT_EQ(MegabyteText(131072), "0.12 MB");
  EXPECT_EQ(MegabyteText(393216), "0.38 MB");
  // Past 2 GiB and 4 GiB: 64-bit totals.
  EXPECT_EQ(MegabyteText(5ull << 30), "5120 MB");
}

TEST(Texts, LeadingNumberReadsDecimalDigitsOnly) {
  EXPECT_EQ(LeadingNumber("123"), 123u);
  EXPECT_EQ(LeadingNumber("42abc"), 42u);
  EXPECT_EQ(LeadingNumber("abc"), 0u);
  EXPECT_EQ(LeadingNumber(""), 0u);
  EXPECT_EQ(LeadingNumber(" 12"), 0u);
  EXPECT_EQ(LeadingNumber("-5"), 0u);
  EXPECT_EQ(LeadingNumber("0x1F"), 0u);
  EXPECT_EQ(LeadingNumber("1.5e3"), 1u);
  EXPECT_EQ(LeadingNumber("99999999999999999999999"), UINT64_MAX);
}

}  // namespace
}  // namespace vellmark
