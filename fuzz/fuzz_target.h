#pragma once
// What every fuzz target shares: the libFuzzer entry point and a reader run on bytes
// held in memory, the way the analysis pass runs it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <string_view>

#include "core/analyser_list.h"
#include "readers/reader_contract.h"
#include "support/memory_file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace vellmark::fuzz {

// Runs `read` on the bytes as the file `path`, with a fixed clock (mid-June 2026) and
// a stop poll that always answers no, as Analyse does and as Verify Counts does. A
// reader refuses a file it cannot make sense of with a failure value; any exception
// escaping it is a finding, and so is a file that reads otherwise when it is walked
// in pieces side by side.
template <typename Read>
void RunReader(Read read, const std::string& path, const std::uint8_t* data, std::size_t size) {
  MemoryFileSystem files;
  files.put(path, std::vector<std::uint8_t>(data, data + size));
  Clock clock = Clock::MidYear(2026);
  auto readWith = [&](const ReadOptions& options) {
    ReaderContext::Hooks hooks;
    hooks.pollStop = [] { return false; };
    ReaderContext context(files, clock, std::move(hooks), options);
    return read(path, context);
  };
  for (bool verify : {false, true}) {
    ReadOptions options;
    options.verify = verify;
    options.cores = 1;
    ReaderOutcome outcome = readWith(options);
    // Pieces of a size the bytes choose, so the fuzzer moves the cuts too; without the
    // digest, which keeps light walks whole.
    options.cores = 0;
    options.digests = false;
    options.pieceBytes = 1 + (size > 0 ? data[size / 2] : 0) % 97 + size / 7;
    if (!(readWith(options) == outcome)) std::abort();
    // A stop poll that never says yes cannot end in Stopped.
    if (std::holds_alternative<Stopped>(outcome)) std::abort();
    // Every call counted in an hour is a call the walk counted.
    if (auto* range = std::get_if<CallRange>(&outcome); range && range->callsPerHour) {
      std::uint64_t calls = 0;
      for (const HourCount& hour : *range->callsPerHour) calls += hour.calls;
      if (!range->verifiedRecords || calls > *range->verifiedRecords) std::abort();
    }
  }
}

// A list whose entries are made of the bytes: each line is one text, seven lines to an
// entry in list column order (path, No, Switch, Start, End, Records, Size).
inline AnalyserList EntriesOfLines(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> texts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') texts.emplace_back();
    else texts.back() += static_cast<char>(data[i]);
  }
  AnalyserList list;
  for (std::size_t i = 0; i + 7 <= texts.size(); i += 7) {
    AnalyserEntry e;
    e.path = texts[i];
    e.number = texts[i + 1];
    e.family = texts[i + 2];
    e.start = texts[i + 3];
    e.end = texts[i + 4];
    e.setRecordsText(texts[i + 5]);
    e.writtenSize = texts[i + 6];
    list.append(std::move(e));
  }
  return list;
}

}  // namespace vellmark::fuzz
