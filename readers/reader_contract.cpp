#include "readers/reader_contract.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace vellmark {

namespace {

std::atomic<unsigned> g_coresInUse{0};

unsigned MachineCores() {
  static const unsigned cores = UsableCores();
  return cores;
}

}  // namespace

unsigned UsableCores() {
  // The cores this process may run on (taskset, a container's cpuset), not all the
  // machine has: threads beyond them only take turns.
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<unsigned>(CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

unsigned BorrowCores(unsigned wanted) {
  unsigned used = g_coresInUse.load();
  for (;;) {
    const unsigned free = used < MachineCores() ? MachineCores() - used : 0;
    const unsigned take = std::min(wanted, free);
    if (take == 0) return 0;
    if (g_coresInUse.compare_exchange_weak(used, used + take)) return take;
  }
}

void ReturnCores(unsigned n) { g_coresInUse -= n; }

// A read runs even when every core is taken: it holds its own regardless.
ReaderContext::CoreHold::CoreHold() { ++g_coresInUse; }
ReaderContext::CoreHold::~CoreHold() { --g_coresInUse; }

ReaderContext::~ReaderContext() {
  // The digest's thread is done with the buffers before they go.
  if (digest_) digest_->wait();
  ReturnCores(hashCores_);
}

void ReaderContext::hashHere() {
  if (hashCores_ == 0) return;
  digest_->wait();
  opened_.front()->reader().hashHere();
  ReturnCores(hashCores_);
  hashCores_ = 0;
}

Result<BlockReader*> ReaderContext::open(const std::string& path, std::uint8_t fill) {
  if (!core_) core_.emplace();
  auto opened = OpenedFile::open(files_, path, fill);
  if (!opened) return opened.error();
  opened_.push_back(std::make_unique<OpenedFile>(std::move(*opened)));
  BlockReader& reader = opened_.back()->reader();
  if (options_.digests && !digest_) {
    digest_ = std::make_unique<ContentDigest>(options_.sha256);
    // A file of one block is hashed where it is read; a larger one beside the reader,
    // when a core is free for it.
    hashCores_ = reader.fileSize() > reader.blockSize() ? BorrowCores(1) : 0;
    reader.digestInto(digest_.get(), hashCores_ > 0);
  }
  return &reader;
}

ContentDigest* ReaderContext::digestUpTo(std::uint64_t offset) {
  if (!digest_ || opened_.empty()) return nullptr;
  BlockReader& reader = opened_.front()->reader();
  if (digest_->frontier() >= reader.fileSize()) return nullptr;
  reader.hashHere();
  while (digest_->frontier() < offset) {
    auto view = reader.view(digest_->frontier(), reader.blockSize());
    if (!view) break;  // finishDigests meets the failure again and gives no digest
  }
  digest_->wait();
  return digest_.get();
}

std::optional<Digests> ReaderContext::finishDigests() {
  if (!digest_ || opened_.empty()) return std::nullopt;
  BlockReader& reader = opened_.front()->reader();
  for (std::uint64_t offset = digest_->frontier(); offset < reader.fileSize();) {
    auto view = reader.view(offset, reader.blockSize());
    if (!view) return std::nullopt;
    offset += view->size();
  }
  return digest_->finish();
}

}  // namespace vellmark
