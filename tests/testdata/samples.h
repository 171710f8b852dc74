#pragma once
// The bundled sample files: a few of each family, an unknown file and an exact copy
// of another sample under a second name. `vellmark-make-samples DIR` writes them.

#include <string>
#include <vector>

#include "testdata/bytes.h"

namespace vellmark::testdata {

struct SampleFile {
  std::string name;
  Bytes bytes;
};

// Each family's samples come from that family's builder.
std::vector<SampleFile> OcbSamples();
std::vector<SampleFile> EwsdSamples();
std::vector<SampleFile> E10bSamples();
std::vector<SampleFile> CdotSamples();
std::vector<SampleFile> AxeSamples();
std::vector<SampleFile> EssSamples();

std::vector<SampleFile> AllSamples();

}  // namespace vellmark::testdata
