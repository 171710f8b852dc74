// The C-DOT reader on any bytes, and its date-from-name rule on any name.
#include <algorithm>
#include <string>

#include "fuzz/fuzz_target.h"
#include "readers/modCdot.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vellmark::fuzz::RunReader(vellmark::ReadCdotFile, "CDOT120304.dat", data, size);
  // The first bytes double as a file name: odd names must give odd texts, nothing worse.
  std::string name(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 32));
  (void)vellmark::CdotDateText(name, 2026);
  return 0;
}
