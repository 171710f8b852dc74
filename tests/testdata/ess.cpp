#include "testdata/samples.h"

namespace vellmark::testdata {

std::vector<SampleFile> EssSamples() {
  std::string file;
  for (int r = 0; r < 12; ++r) {
    std::string record(122, '0');
    record[74] = '7';
    file += record;
  }
  return {{"5ess.dat", Text(file)}};
}

}  // namespace vellmark::testdata
