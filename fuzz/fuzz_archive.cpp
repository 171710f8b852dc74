// The archive layer on any bytes: as an archive (its members listed, probed and read
// through) and as one compressed file. Unpacking is capped low so every input stays fast.
#include <algorithm>

#include "core/archive_files.h"
#include "fuzz/fuzz_target.h"
#include "readers/probe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vellmark::MemoryFileSystem files;
  files.put("day.tar", std::vector<std::uint8_t>(data, data + size));
  files.put("one.gz", std::vector<std::uint8_t>(data, data + size));
  vellmark::ArchiveFiles archives(files, vellmark::UnpackLimits{1 << 20, 100, 4 << 20}, 64 << 10);
  std::vector<std::string> paths = archives.expand("day.tar").paths;
  paths.resize(std::min<std::size_t>(paths.size(), 16));
  paths.push_back("one.gz");
  std::vector<std::uint8_t> block(64 << 10);
  for (const auto& path : paths) {
    (void)vellmark::ProbeSwitchFamily(archives, path);
    auto file = archives.openRead(path);
    if (!file) continue;
    // Unpacked bytes read as they were given: the same length, twice over.
    const std::uint64_t length = (*file)->size();
    for (std::uint64_t at = length; at > 0;) {
      const std::uint64_t from = at > block.size() ? at - block.size() : 0;
      auto got = (*file)->readAt(from, block.data(), static_cast<std::size_t>(at - from));
      if (!got) break;
      if (*got != at - from) std::abort();
      at = from;
    }
  }
  return 0;
}
