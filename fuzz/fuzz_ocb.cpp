// The OCB reader on any bytes.
#include "fuzz/fuzz_target.h"
#include "readers/modOCB.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A file without a block mark takes the layout of the OCB file read before it; odd
  // sizes start out remembering layout B (928-byte preamble, 4 bytes after each block).
  vellmark::ReaderMemory memory;
  if (size % 2 == 1) {
    memory.ocbBase = 928;
    memory.ocbPadding = 4;
  }
  vellmark::fuzz::RunReader(vellmark::ReadOcbFile, "ocb.dat", data, size, memory);
  return 0;
}
