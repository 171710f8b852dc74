#pragma once
// Why a file could not be read to a result.

#include <cstdint>
#include <optional>
#include <string>

#include "core/io_error.h"

namespace vellmark {

enum class FailureKind {
  Open,            // the file could not be opened
  Read,            // a read failed, or the file changed while it was read
  Corrupt,         // the bytes make no sense to the family's reader
  UnknownPackage,  // an EWSD package number the reader does not know
  Internal,        // a failure the program does not expect (out of memory, a fault)
};

// "open", "read", "corrupt", "unknown_package", "internal".
const char* FailureKindName(FailureKind kind);

struct ReadFailure {
  FailureKind kind = FailureKind::Read;
  std::string reason;
  std::optional<std::uint64_t> offset = std::nullopt;  // where in the file, when known

  bool operator==(const ReadFailure&) const = default;
};

// A failed file operation: kind Open for an open, Corrupt for bytes that cannot be
// unpacked, Read otherwise.
ReadFailure FromIoError(const IoError& error);

}  // namespace vellmark
