#pragma once
// A file's content digest, worked out from the bytes a reader reads as it reads them:
// XXH3-128 always, SHA-256 on request. Bytes are taken in file order; what a reader
// skips or leaves unread is read at the end, so no byte is read twice.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vellmark {

struct Digests {
  std::string xxh3_128;               // 32 lower-case hex digits
  std::optional<std::string> sha256;  // 64 lower-case hex digits, when asked

  bool operator==(const Digests&) const = default;
};

class ContentDigest {
 public:
  explicit ContentDigest(bool sha256);
  ~ContentDigest();
  ContentDigest(const ContentDigest&) = delete;
  ContentDigest& operator=(const ContentDigest&) = delete;

  // How far into the file the digest has got: the next byte it wants.
  std::uint64_t frontier() const { return frontier_; }
  // The bytes [offset, offset + n) now in a buffer that stays as it is until wait();
  // the part past the frontier is hashed, on a thread of its own when `beside` is set.
  void take(std::uint64_t offset, const std::uint8_t* data, std::size_t n, bool beside);
  // Returns once every byte taken is hashed, so the buffer may change.
  void wait();
  Digests finish();

 private:
  void hash(const std::uint8_t* data, std::size_t n);
  void work();

  struct State;
  std::unique_ptr<State> state_;
  std::uint64_t frontier_ = 0;

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  const std::uint8_t* pending_ = nullptr;
  std::size_t pendingSize_ = 0;
  bool quit_ = false;
};

}  // namespace vellmark
