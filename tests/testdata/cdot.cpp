#include "testdata/samples.h"

namespace vellmark::testdata {

std::vector<SampleFile> CdotSamples() {
  Bytes file(48 * 20, 0x11);
  for (unsigned r = 0; r < 20; ++r) Put(file, 48 * r + 27, {1});
  return {{"CDOT120304.dat", file}};
}

}  // namespace vellmark::testdata
