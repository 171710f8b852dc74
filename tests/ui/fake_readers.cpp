#include "fake_readers.h"

#include <chrono>
#include <stdexcept>

#include "testdata/samples.h"

namespace vellmark::ui::test {

namespace {

ReaderGate g_gate;

// A gated reader gives up after this long, so a failed test cannot hang the run.
constexpr auto kGiveUp = std::chrono::seconds(20);

std::uint64_t SizeOf(const std::string& path, ReaderContext& ctx) {
  auto status = ctx.files().status(path);
  return status ? status->size : 0;
}

void Begin() {
  if (std::this_thread::get_id() == g_gate.windowThread) g_gate.offWindowThread = false;
  ++g_gate.started;
}

ReaderOutcome GatedReader(const std::string& path, ReaderContext& ctx, bool polls) {
  Begin();
  const auto until = std::chrono::steady_clock::now() + kGiveUp;
  for (int step = 1; !g_gate.release && std::chrono::steady_clock::now() < until; ++step) {
    ctx.setProgress(step % 100);
    if (polls) {
      ++g_gate.polls;
      if (ctx.pollStop()) {
        ctx.setProgress(0);
        ++g_gate.finished;
        return Stopped{};
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ctx.setProgress(0);
  ++g_gate.finished;
  return FakeResult(SizeOf(path, ctx));
}

ReaderOutcome ReadOcb(const std::string& path, ReaderContext& ctx) { return GatedReader(path, ctx, false); }
ReaderOutcome ReadEwsd(const std::string& path, ReaderContext& ctx) { return GatedReader(path, ctx, true); }

ReaderOutcome ReadCdot(const std::string& path, ReaderContext& ctx) {
  Begin();
  ++g_gate.finished;
  return FakeResult(SizeOf(path, ctx));
}

ReaderOutcome ReadAxe(const std::string&, ReaderContext&) {
  Begin();
  ++g_gate.finished;
  return ReadFailure{FailureKind::Corrupt, kFakeFailure, 96};
}

// Shows the reader's own message box, as the EWSD reader does for a package it does
// not know, then reads on.
ReaderOutcome ReadE10b(const std::string& path, ReaderContext& ctx) {
  Begin();
  ctx.message(kFakeMessage, "E10B");
  ++g_gate.finished;
  return FakeResult(SizeOf(path, ctx));
}

testdata::Bytes First(const std::vector<testdata::SampleFile>& samples) {
  if (samples.empty()) throw std::logic_error("no sample");
  return samples.front().bytes;
}

}  // namespace

ReaderGate& Gate() { return g_gate; }

ReaderGate& ResetGate() {
  g_gate.release = false;
  g_gate.started = 0;
  g_gate.finished = 0;
  g_gate.polls = 0;
  g_gate.offWindowThread = true;
  g_gate.windowThread = std::this_thread::get_id();
  return g_gate;
}

CallRange FakeResult(std::uint64_t size) { return {"2004-05-12   09:30:05", "2004-05-12   17:45:10", size}; }

ReaderTable FakeReaders() {
  ReaderTable table;
  table.add("OCB", ReadOcb);
  table.add("EWSD", ReadEwsd);
  table.add("CDOT", ReadCdot);
  table.add("AXE", ReadAxe);
  table.add("E10B", ReadE10b);
  return table;
}

testdata::Bytes OcbFile() { return First(testdata::OcbSamples()); }
testdata::Bytes EwsdFile() { return First(testdata::EwsdSamples()); }
testdata::Bytes CdotFile() { return First(testdata::CdotSamples()); }
testdata::Bytes AxeFile() { return First(testdata::AxeSamples()); }
testdata::Bytes E10bFile() { return First(testdata::E10bSamples()); }

}  // namespace vellmark::ui::test
