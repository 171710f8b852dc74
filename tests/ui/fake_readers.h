#pragma once
// Readers for the window tests. The gated ones keep reading until the test releases
// them, so a test can act in the middle of a pass: the polling one stops at a stop
// point like the EWSD reader, the other reads on like the OCB reader.

#include <atomic>
#include <string>
#include <thread>

#include "readers/reader_table.h"
#include "testdata/bytes.h"

namespace vellmark::ui::test {

struct ReaderGate {
  std::atomic<bool> release{false};
  std::atomic<int> started{0};     // reader calls begun
  std::atomic<int> finished{0};    // reader calls ended
  std::atomic<int> polls{0};
  std::atomic<bool> offWindowThread{true};   // false once a reader ran on the window's thread
  std::thread::id windowThread;
};

// Resets the gate; call from the window's thread.
ReaderGate& ResetGate();
ReaderGate& Gate();

// The result every reader that reads to the end returns: fixed times and the file's
// size as the record count, so files of equal size come out as duplicates.
CallRange FakeResult(std::uint64_t size);

// "OCB": gated, never polls. "EWSD": gated, polls. "CDOT": reads at once.
// "AXE": fails with kFakeFailure. "E10B": shows kFakeMessage, then reads at once.
ReaderTable FakeReaders();
inline constexpr const char* kFakeFailure = "record 3 at offset 96: length 0";
inline constexpr const char* kFakeMessage = "Unknown package 64 in record 12";

// Sample files of the families above, from the test-data library.
testdata::Bytes OcbFile();
testdata::Bytes EwsdFile();
testdata::Bytes CdotFile();
testdata::Bytes AxeFile();
testdata::Bytes E10bFile();

}  // namespace vellmark::ui::test
