#include "testdata/samples.h"

namespace vellmark::testdata {

std::vector<SampleFile> AllSamples() {
  std::vector<SampleFile> all;
  for (auto family : {OcbSamples, EwsdSamples, E10bSamples, CdotSamples, AxeSamples, EssSamples})
    for (auto& sample : family()) all.push_back(std::move(sample));
  // A copy under a second name shows the duplicate marking.
  if (!all.empty()) all.push_back({"copy-of-" + all.front().name, all.front().bytes});
  all.push_back({"notes.txt", Text("Exchange maintenance notes: nothing here is a call record.\n")});
  return all;
}

}  // namespace vellmark::testdata
