// A plain main() for the fuzz targets, so they build with any compiler and replay
// their seeds as a test:
//
//   replay_<name> [--records START:STRIDE]... [--mutations N] [--trace] PATH...
//
// Each seed file (PATH or the files under a PATH folder) is run whole, then cut short:
// at every length when it is at most 4 KiB, else at 64 lengths that take in the record
// and block boundaries START + k * STRIDE and one byte either side of them. Then N
// copies of it (256 by default) with a few bytes changed, from a fixed random sequence,
// so every run feeds the same inputs. Every input sits in a buffer of exactly its size,
// so a sanitizer sees a read one byte past it.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

constexpr std::size_t kAllPrefixesUpTo = 4096;
constexpr std::size_t kCutPoints = 64;

struct Stride {
  std::size_t start = 0;
  std::size_t step = 0;
};

struct Options {
  std::vector<Stride> strides;
  unsigned mutations = 256;
  bool trace = false;
};

// What runs now, for the message when the run dies.
char g_current[512] = "";
std::size_t g_inputs = 0;

extern "C" void __sanitizer_set_death_callback(void (*)(void)) __attribute__((weak));

void TellCurrent() { std::fprintf(stderr, "replay: died on %s\n", g_current); }

void Run(const std::vector<std::uint8_t>& bytes, const std::string& what, const Options& options) {
  std::snprintf(g_current, sizeof g_current, "%s", what.c_str());
  if (options.trace) std::fprintf(stderr, "replay: %s\n", g_current);
  std::vector<std::uint8_t> exact(bytes);  // a fresh allocation of exactly this size
  LLVMFuzzerTestOneInput(exact.data(), exact.size());
  ++g_inputs;
}

std::vector<std::size_t> CutLengths(std::size_t size, const Options& options) {
  std::vector<std::size_t> cuts;
  if (size <= kAllPrefixesUpTo) {
    for (std::size_t n = 0; n < size; ++n) cuts.push_back(n);
    return cuts;
  }
  // Boundaries and their neighbours first, thinned out evenly to at most 3/4 of the
  // cut points; the rest spread over the whole file.
  std::set<std::size_t> boundaries;
  for (const Stride& s : options.strides) {
    if (s.step == 0) continue;
    for (std::size_t b = s.start; b <= size; b += s.step)
      for (std::size_t n : {b - 1, b, b + 1})
        if (b > 0 && n < size) boundaries.insert(n);
  }
  std::vector<std::size_t> near(boundaries.begin(), boundaries.end());
  std::set<std::size_t> chosen{0, 1, size - 1};
  std::size_t room = kCutPoints * 3 / 4;
  for (std::size_t i = 0; i < std::min(room, near.size()); ++i)
    chosen.insert(near[i * near.size() / std::min(room, near.size())]);
  std::size_t rest = kCutPoints > chosen.size() ? kCutPoints - chosen.size() : 0;
  for (std::size_t i = 1; i <= rest; ++i) chosen.insert(i * size / (rest + 1));
  return {chosen.begin(), chosen.end()};
}

// A small fixed generator (xorshift64*), seeded from the file's size and its bytes.
struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
  }
  std::size_t below(std::size_t n) { return n ? static_cast<std::size_t>(next() % n) : 0; }
};

std::uint64_t Hash(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t h = 0xcbf29ce484222325ULL ^ bytes.size();
  for (std::uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ULL;
  return h ? h : 1;
}

// Changes about one byte in a hundred (at least one): random values, the extremes, a
// single bit, or a byte copied from elsewhere in the file.
void Corrupt(std::vector<std::uint8_t>& bytes, Random& random) {
  std::size_t count = 1 + random.below(std::max<std::size_t>(1, bytes.size() / 100));
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t& b = bytes[random.below(bytes.size())];
    switch (random.below(5)) {
      case 0: b = static_cast<std::uint8_t>(random.next()); break;
      case 1: b = 0x00; break;
      case 2: b = 0xFF; break;
      case 3: b ^= static_cast<std::uint8_t>(1u << random.below(8)); break;
      default: b = bytes[random.below(bytes.size())]; break;
    }
  }
}

void ReplayFile(const std::filesystem::path& path, const Options& options) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  if (!in.eof() && !in) {
    std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
    std::exit(2);
  }
  const std::string name = path.string();
  Run(bytes, name, options);
  for (std::size_t n : CutLengths(bytes.size(), options))
    Run(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)),
        name + " cut to " + std::to_string(n) + " bytes", options);
  if (bytes.empty()) return;
  Random random{Hash(bytes)};
  for (unsigned m = 1; m <= options.mutations; ++m) {
    std::vector<std::uint8_t> changed(bytes);
    Corrupt(changed, random);
    Run(changed, name + " corruption " + std::to_string(m), options);
  }
}

[[noreturn]] void Usage() {
  std::fprintf(stderr, "usage: replay [--records START:STRIDE]... [--mutations N] [--trace] PATH...\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (&__sanitizer_set_death_callback) __sanitizer_set_death_callback(TellCurrent);
  Options options;
  std::vector<fs::path> paths;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--trace") {
      options.trace = true;
    } else if (a == "--mutations" && i + 1 < argc) {
      options.mutations = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (a == "--records" && i + 1 < argc) {
      Stride s;
      if (std::sscanf(argv[++i], "%zu:%zu", &s.start, &s.step) != 2) Usage();
      options.strides.push_back(s);
    } else if (a.rfind("--", 0) == 0) {
      Usage();
    } else {
      paths.emplace_back(a);
    }
  }
  std::vector<fs::path> files;
  for (const auto& p : paths) {
    if (fs::is_directory(p)) {
      for (const auto& e : fs::recursive_directory_iterator(p))
        if (e.is_regular_file()) files.push_back(e.path());
    } else {
      files.push_back(p);
    }
  }
  std::sort(files.begin(), files.end());
  for (const auto& f : files) ReplayFile(f, options);
  std::printf("replayed %zu files, %zu inputs\n", files.size(), g_inputs);
  return files.empty() ? 1 : 0;
}
