#pragma once
// What every fuzz target shares: the libFuzzer entry point and a reader run on bytes
// held in memory, the way the analysis pass runs it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/memory_file_system.h"
#include "core/reader_contract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace vellmark::fuzz {

// Runs `read` on the bytes as the file `path`, with a fixed clock (mid-June 2026) and
// a stop poll that always answers no. A ReaderError is the reader's way of refusing
// the file and is fine; anything else escapes and counts as a finding.
inline void RunReader(const ReaderFunction& read, const std::string& path, const std::uint8_t* data,
                      std::size_t size, ReaderMemory memory = {}) {
  MemoryFileSystem files;
  files.put(path, std::vector<std::uint8_t>(data, data + size));
  Clock clock = Clock::MidYear(2026);
  ReaderContext::Hooks hooks;
  hooks.pollStop = [] { return false; };
  ReaderContext context(files, memory, clock, std::move(hooks));
  try {
    (void)read(path, context);
  } catch (const ReaderError&) {
  }
}

}  // namespace vellmark::fuzz
