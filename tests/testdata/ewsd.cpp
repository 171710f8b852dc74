#include "testdata/samples.h"

namespace vellmark::testdata {

std::vector<SampleFile> EwsdSamples() {
  Bytes file(128, 0);
  Put(file, 0, {0x84, 0x40});
  Put(file, 0x40, {0x84, 0x40});
  return {{"ewsd.ama", file}};
}

}  // namespace vellmark::testdata
