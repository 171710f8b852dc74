#include "testdata/samples.h"

namespace vellmark::testdata {

std::vector<SampleFile> AxeSamples() {
  Bytes file(6 * 2048, ' ');
  for (unsigned b = 0; b < 6; ++b) {
    PutText(file, 2048 * b, "120");
    Put(file, 2048 * b + 2047, {0});
  }
  return {{"axe.dat", file}};
}

}  // namespace vellmark::testdata
