// The OCB reader on any bytes.
#include "fuzz/fuzz_target.h"
#include "readers/modOCB.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A file without a block mark takes the layout of the OCB file read before it; odd
  // sizes start out remembering layout B (928-byte preamble, 4 bytes after each block).
  const vellmark::OcbLayout previous = size % 2 == 1 ? vellmark::OcbLayout{928, 4} : vellmark::OcbLayout{};
  vellmark::fuzz::RunReader(
      [previous](const std::string& path, vellmark::ReaderContext& context) {
        vellmark::OcbLayout layout = previous;
        return vellmark::ReadOcbFile(path, layout, context);
      },
      "ocb.dat", data, size);
  return 0;
}
