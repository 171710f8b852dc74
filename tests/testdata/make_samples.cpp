// Writes the bundled sample files into a folder: vellmark-make-samples DIR
// With --exchanges, writes instead the files of three exchanges with a known gap,
// overlap and missing numbers (the timeline's screenshot shows them beside the samples).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "testdata/exchanges.h"
#include "testdata/samples.h"

int main(int argc, char** argv) {
  const bool exchanges = argc == 3 && std::strcmp(argv[1], "--exchanges") == 0;
  if (argc != 2 && !exchanges) {
    std::fprintf(stderr, "usage: vellmark-make-samples [--exchanges] DIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[argc - 1];
  std::filesystem::create_directories(dir);
  for (const auto& sample : exchanges ? vellmark::testdata::ExchangeFiles() : vellmark::testdata::AllSamples()) {
    std::ofstream out(dir / sample.name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(sample.bytes.data()), static_cast<std::streamsize>(sample.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", sample.name.c_str());
      return 1;
    }
  }
  return 0;
}
