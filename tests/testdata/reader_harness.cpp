#include "testdata/reader_harness.h"

namespace vellmark::testdata {

ReaderHarness::ReaderHarness(FileSystem& files, int year) : files_(files), clock_(Clock::MidYear(year)) {}

ReaderOutcome ReaderHarness::outcome(const ReaderFunction& reader, const std::string& path) {
  ReaderContext::Hooks hooks;
  hooks.progress = [this](int value) { progress.push_back(value); };
  hooks.pollStop = [this] {
    ++polls;
    if (polls != stopPoll_) return false;
    ++questions;
    return answerYes_;
  };
  hooks.message = [this](const std::string& text, const std::string& caption) {
    messages.push_back(caption + ": " + text);
  };
  ReaderContext context(files_, clock_, std::move(hooks), options);
  ReaderOutcome outcome = reader(path, context);
  if (auto* range = std::get_if<CallRange>(&outcome)) range->digests = context.finishDigests();
  return outcome;
}

std::string ReaderHarness::readOcb(const std::string& path) {
  return read([this](const std::string& p, ReaderContext& ctx) { return ReadOcbFile(p, ocbLayout, ctx); }, path);
}

}  // namespace vellmark::testdata
