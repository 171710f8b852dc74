#pragma once
// Large data files of every family for the benchmarks, written through the test-data
// library. A file is a head, one piece of about 128 KiB repeated, and a tail, streamed
// to disk piece by piece; the reader result it must give follows from the pieces.
// Files are kept in a cache folder between runs and rewritten only when missing or
// of the wrong size.

#include <cstdint>
#include <string>
#include <vector>

#include "testdata/archives.h"
#include "testdata/bytes.h"

namespace vellmark::bench {

// The families in the order the tables show them.
const std::vector<std::string>& BenchFamilies();

struct BenchFile {
  std::string family;     // as the list shows it: "OCB", "EWSD", ...
  std::string path;
  std::uint64_t size = 0;
  std::string expected;   // the reader's result text, with the current year 2026
};

// The year the benchmarks pin for readers that take the current one.
inline constexpr int kBenchYear = 2026;

// The file of `family` of about `size` bytes (at least one piece) in `folder`,
// written when it is not there yet.
BenchFile EnsureBenchFile(const std::string& family, std::uint64_t size, const std::string& folder);

// The file compressed with `packing` beside it (its path + ".gz" or ".zst"), written
// when it is not there yet. Returns its path.
std::string EnsurePackedFile(const BenchFile& file, testdata::Packing packing);

// A C-DOT file of about `size` bytes, compressed with zstd as it is generated (the
// plain file is never written), of pieces that do not repeat within zstd's window, so
// it packs as real records do. The result its reader must give is in `expected`.
BenchFile EnsurePackedCdotStream(std::uint64_t size, const std::string& folder);

// `count` copies of a file of `family` of about `size` bytes, named as the family's
// files are with a number after the name's first dot, in `folder`/small-SIZE/FAMILY.
// Written when missing.
struct SmallFiles {
  std::string family;
  std::vector<std::string> paths;
  std::uint64_t size = 0;  // of each
  std::string expected;    // each one's reader result
};
SmallFiles EnsureSmallFiles(const std::string& family, std::size_t count, std::uint64_t size, const std::string& folder);

// The cache folder: `given` when not empty, else $VELLMARK_BENCH_DIR, else
// /tmp/vellmark-bench. Created when missing.
std::string BenchFolder(const std::string& given);

// "1GiB", "4MiB", "1MB", "123" -> bytes; 0 for a text that is not a size.
std::uint64_t ParseSize(const std::string& text);
std::string SizeName(std::uint64_t size);

}  // namespace vellmark::bench
