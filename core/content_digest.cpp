#include "core/content_digest.h"

#include <openssl/evp.h>
#include <xxhash.h>
#if defined(__x86_64__)
// The library's plain XXH3 is built for the oldest x86-64 (SSE2); its dispatching
// entry points pick AVX2 or AVX-512 where the processor has them, about three times
// as fast.
#include <xxh_x86dispatch.h>
#endif


namespace vellmark {

struct ContentDigest::State {
  XXH3_state_t* xxh = XXH3_createState();
  EVP_MD_CTX* sha = nullptr;
  ~State() {
    XXH3_freeState(xxh);
    if (sha) EVP_MD_CTX_free(sha);
  }
};

namespace {

std::string Hex(const unsigned char* bytes, std::size_t n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(2 * n, '0');
  for (std::size_t i = 0; i < n; ++i) {
    text[2 * i] = kDigits[bytes[i] >> 4];
    text[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  return text;
}

}  // namespace


ContentDigest::ContentDigest(bool sha256) : state_(std::make_unique<State>()) {
  XXH3_128bits_reset(state_->xxh);
  if (sha256) {
    state_->sha = EVP_MD_CTX_new();
    EVP_DigestInit_ex(state_->sha, EVP_sha256(), nullptr);
  }
}

ContentDigest::~ContentDigest() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
}

void ContentDigest::hash(const std::uint8_t* data, std::size_t n) {
  XXH3_128bits_update(state_->xxh, data, n);
  if (state_->sha) EVP_DigestUpdate(state_->sha, data, n);
}

void ContentDigest::take(std::uint64_t offset, const std::uint8_t* data, std::size_t n, bool beside) {
  if (offset > frontier_ || offset + n <= frontier_) return;  // a gap, or nothing new
  const std::size_t skip = static_cast<std::size_t>(frontier_ - offset);
  data += skip;
  n -= skip;
  frontier_ += n;
  if (!beside) {
    hash(data, n);
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return pending_ == nullptr; });
  pending_ = data;
  pendingSize_ = n;
  if (!thread_.joinable()) thread_ = std::thread([this] { work(); });
  lock.unlock();
  changed_.notify_all();
}

void ContentDigest::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return pending_ != nullptr || quit_; });
    if (!pending_) return;
    lock.unlock();
    hash(pending_, pendingSize_);
    lock.lock();
    pending_ = nullptr;
    changed_.notify_all();
  }
}

void ContentDigest::wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return pending_ == nullptr; });
}

Digests ContentDigest::finish() {
  wait();
  Digests digests;
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(state_->xxh));
  digests.xxh3_128 = Hex(canonical.digest, sizeof canonical.digest);
  if (state_->sha) {
    unsigned char sha[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(state_->sha, sha, &length);
    digests.sha256 = Hex(sha, length);
  }
  return digests;
}

}  // namespace vellmark
