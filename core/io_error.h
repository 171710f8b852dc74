#pragma once
// The error value every file operation returns: what failed, the system's reason and,
// where it is known, the byte offset it failed at.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace vellmark {

// Unpack: compressed or archived bytes that cannot be unpacked (damaged, cut short,
// or too large when unpacked).
enum class IoStep { Open, Read, Write, Flush, Rename, Remove, Status, Unpack };

struct IoError {
  IoStep step = IoStep::Open;
  int code = 0;          // errno, or 0 when the failure is not the system's
  std::string reason;    // the system's text for `code`, or our own
  std::optional<std::uint64_t> offset = std::nullopt;  // of the read that failed
};

IoError MakeIoError(IoStep step, int code);

// A value or the error that kept us from getting it.
template <typename T, typename E = IoError>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(E error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const E& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, E> state_;
};

struct Done {};
using Status = Result<Done>;
inline Status Ok() { return Done{}; }

}  // namespace vellmark
