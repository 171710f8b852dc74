// The switch family probe, on a head of bytes and on the same bytes as a file.
#include <cstdlib>

#include "fuzz/fuzz_target.h"
#include "readers/probe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int family = vellmark::ProbeHead(data, size);
  vellmark::MemoryFileSystem files;
  files.put("head.dat", std::vector<std::uint8_t>(data, data + size));
  // Probing the file must read its first bytes and come to the same answer.
  if (vellmark::ProbeSwitchFamily(files, "head.dat") != family) std::abort();
  return 0;
}
