#include "readers/reader_contract.h"

#include <thread>

namespace vellmark {

Result<BlockReader*> ReaderContext::open(const std::string& path, std::uint8_t fill) {
  auto opened = OpenedFile::open(files_, path, fill);
  if (!opened) return opened.error();
  opened_.push_back(std::make_unique<OpenedFile>(std::move(*opened)));
  BlockReader& reader = opened_.back()->reader();
  if (options_.digests && !digest_) {
    digest_ = std::make_unique<ContentDigest>(options_.sha256);
    // A file of one block is hashed where it is read; a larger one beside the reader,
    // when there is a core for it.
    const bool beside = reader.fileSize() > reader.blockSize() && std::thread::hardware_concurrency() > 1;
    reader.digestInto(digest_.get(), beside);
  }
  return &reader;
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
