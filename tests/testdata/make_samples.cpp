// Writes the bundled sample files into a folder: vellmark-make-samples DIR
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "testdata/samples.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vellmark-make-samples DIR\n");
    return 2;
  }
  std::filesystem::create_directories(argv[1]);
  for (const auto& sample : vellmark::testdata::AllSamples()) {
    std::ofstream out(std::filesystem::path(argv[1]) / sample.name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(sample.bytes.data()), static_cast<std::streamsize>(sample.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", sample.name.c_str());
      return 1;
    }
  }
  return 0;
}
