// The EWSD reader on any bytes.
#include "fuzz/fuzz_target.h"
#include "readers/modEWSD.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vellmark::fuzz::RunReader(vellmark::ReadEwsdFile, "ewsd.ama", data, size);
  return 0;
}
