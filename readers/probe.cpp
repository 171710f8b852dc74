#include "readers/probe.h"

#include <array>

#include "core/archive_names.h"
#include "core/byte_view.h"
#include "core/switch_family.h"
#include "readers/reader_toolkit.h"

namespace vellmark {

namespace {

// Offsets below are 0-based; the head reads as 0 past the end of the file.

// E10B: 26-byte slots whose second byte is the low byte of a sequence number; the
// non-zero bytes of slots 1 to 10 must each be one more than the one before.
bool LooksLikeE10b(const ByteView& head) {
  unsigned prev = head[1];
  for (int j = 1; j <= 10; ++j) {
    unsigned b = head[26 * j + 1];
    if (b == 0) continue;
    if (b != prev + 1) return false;
    prev = b;
    if (j == 10) return true;
  }
  return false;
}

// EWSD: a record of type 0x84 whose length byte points at another 0x84.
bool LooksLikeEwsd(const ByteView& head) {
  return head[0] == 0x84 && head[head[1]] == 0x84;
}

// 5ESS: "7" in column 75 of each of the first eleven 122-character records.
bool LooksLike5ess(const ByteView& head) {
  for (int k = 0; k <= 10; ++k)
    if (head[122 * k + 74] != '7') return false;
  return true;
}

// OCB: the block mark 0xC6 0xC4 at offset 32 or at offset 928.
bool LooksLikeOcb(const ByteView& head) {
  return (head[32] == 0xC6 && head[33] == 0xC4) || (head[928] == 0xC6 && head[929] == 0xC4);
}

// C-DOT: byte 27 of each of the first twenty 48-byte records is 0, 1 or 2.
bool LooksLikeCdot(const ByteView& head) {
  for (int m = 0; m <= 19; ++m)
    if (head[48 * m + 27] > 2) return false;
  return true;
}

// AXE: at each of the first five 2048-byte block boundaries a 0 byte before it and a
// first record length of 80 to 200 after it (three characters, blanks ignored).
bool LooksLikeAxe(const ByteView& head) {
  for (std::size_t p = 2048; p <= 10240; p += 2048) {
    if (head[p - 1] != 0) return false;
    unsigned length = DigitsSkippingBlanks(head, p, 3);
    if (length < 80 || length > 200) return false;
  }
  return true;
}

}  // namespace

int ProbeHead(const unsigned char* data, std::size_t size, unsigned char fill) {
  if (size == 0) return kFamilyUnknown;
  ByteView head(data, size, fill);
  if (LooksLikeE10b(head)) return kFamilyE10b;
  if (LooksLikeEwsd(head)) return kFamilyEwsd;
  if (LooksLike5ess(head)) return kFamily5ess;
  if (LooksLikeOcb(head)) return kFamilyOcb;
  if (LooksLikeCdot(head)) return kFamilyCdot;
  if (LooksLikeAxe(head)) return kFamilyAxe;
  return kFamilyUnknown;
}

ProbeOutcome ProbeFile(FileSystem& files, const std::string& path) {
  // Only regular files: a FIFO or a device must not even be opened.
  auto status = files.status(path);
  if (!status) return {kNotADataFile, status.error()};
  if (!status->exists || !status->regular) return {};
  if (auto member = SplitMemberPath(path); member && status->packedSize &&
                                           ContainerKindOf(member->member) == ContainerKind::Archive)
    return {kFamilyUnknown, std::nullopt};
  auto file = files.openRead(path);
  if (!file) return {kNotADataFile, file.error()};
  const std::optional<std::uint64_t> size = (*file)->sizeIfKnown();
  std::size_t want = size ? static_cast<std::size_t>(std::min<std::uint64_t>(*size, kProbeHeadSize)) : kProbeHeadSize;
  // Only the bytes read are looked at: the buffer needs no clearing.
  std::array<unsigned char, kProbeHeadSize> head;
  auto got = (*file)->readAt(0, head.data(), want);
  if (!got) return {kNotADataFile, got.error()};
  const int family = ProbeHead(head.data(), *got);
  return {family, std::nullopt, family != kFamilyUnknown && ProbeHead(head.data(), *got, 0xFF) != family};
}

int ProbeSwitchFamily(FileSystem& files, const std::string& path) { return ProbeFile(files, path).family; }

}  // namespace vellmark
