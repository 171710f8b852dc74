// The 5ESS reader on any bytes.
#include "fuzz/fuzz_target.h"
#include "readers/modESS.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vellmark::fuzz::RunReader(vellmark::ReadEssFile, "5ess.dat", data, size);
  return 0;
}
