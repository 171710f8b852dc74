// The E10B reader on any bytes.
#include "fuzz/fuzz_target.h"
#include "readers/modE10B.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vellmark::fuzz::RunReader(vellmark::ReadE10bFile, "e10b.dat", data, size);
  return 0;
}
