#pragma once
// The switch family probe: classifies a data file by fixed positions in its head.

#include <optional>
#include <string>

#include "core/file_system.h"

namespace vellmark {

// A probe's answer: the family, whether its test passed only through bytes past the
// end of a short file (they read as 0; read as anything else, the test would fail) and,
// when the family is 0, why the head could not be read.
struct ProbeOutcome {
  int family = 0;
  std::optional<IoError> failure = std::nullopt;
  bool weak = false;
};

// As ProbeSwitchFamily. An archive member that is an archive itself (one level of
// archives is read, no deeper) is "Unknown" whatever its bytes.
ProbeOutcome ProbeFile(FileSystem& files, const std::string& path);

// The family's index in the switch family table: 1 to 6 or 8 ("Unknown"); 0 when the
// path is not a regular file that can be read. Reads at most the first 10243 bytes.
int ProbeSwitchFamily(FileSystem& files, const std::string& path);

// The same tests on a file's first bytes (all of them when the file is shorter than
// kProbeHeadSize); bytes past them read as `fill`.
int ProbeHead(const unsigned char* head, std::size_t size, unsigned char fill = 0);

inline constexpr std::size_t kProbeHeadSize = 10243;

}  // namespace vellmark
