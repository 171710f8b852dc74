#pragma once
// Compressed files and archives built in memory with libarchive's writer, for tests,
// fuzz seeds and benchmarks.

#include <optional>
#include <string>
#include <vector>

#include "testdata/bytes.h"

namespace vellmark::testdata {

enum class Packing { Gzip, Bzip2, Xz, Zstd };
inline constexpr Packing kAllPackings[] = {Packing::Gzip, Packing::Bzip2, Packing::Xz, Packing::Zstd};

// ".gz", ".bz2", ".xz", ".zst".
std::string PackingSuffix(Packing packing);
Bytes Compress(const Bytes& data, Packing packing);

struct Member {
  enum class Kind { File, Folder, Link };
  std::string name;
  Bytes bytes;
  Kind kind = Kind::File;
};

// A zip of the members, deflated (or stored), encrypted when a passphrase is given.
Bytes BuildZip(const std::vector<Member>& members, bool store = false, const std::string& passphrase = "");
// A tar of the members (ustar), packed as a whole when asked.
Bytes BuildTar(const std::vector<Member>& members, std::optional<Packing> packing = std::nullopt);

}  // namespace vellmark::testdata
