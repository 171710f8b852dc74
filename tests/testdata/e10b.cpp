#include "testdata/samples.h"

namespace vellmark::testdata {

std::vector<SampleFile> E10bSamples() {
  Bytes file(2048, 0);
  for (unsigned slot = 0; slot < 2048 / 26; ++slot) Put(file, 26 * slot, {0x00, static_cast<std::uint8_t>(slot + 1)});
  return {{"e10b.dat", file}};
}

}  // namespace vellmark::testdata
