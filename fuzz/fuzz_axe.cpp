// The AXE reader on any bytes.
#include "fuzz/fuzz_target.h"
#include "readers/modAXE.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vellmark::fuzz::RunReader(vellmark::ReadAxeFile, "axe.dat", data, size);
  return 0;
}
