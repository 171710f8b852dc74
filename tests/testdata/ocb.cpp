#include "testdata/samples.h"

namespace vellmark::testdata {

std::vector<SampleFile> OcbSamples() {
  Bytes file(4096, 0xFF);
  Put(file, 0, {0xC6, 0xC4});
  Put(file, 32, {0xC6, 0xC4});
  return {{"ocb-a.dat", file}};
}

}  // namespace vellmark::testdata
