// vellmark-bench: reader throughput against the file layer's own (plain reads and
// verify mode, with and without the calls per hour), the probe on small and large
// files, and whole vellmark-cli runs: on one file of each family against `cat` (with
// and without digests, on one core and on all), on many small files, on all six files
// with their peak memory, and on files dropped from the page cache (--cold).
//
//   vellmark-bench [--size=1GiB] [--cache-dir=DIR] [--repetitions=5] [--cold]
//                  [--small-files=10000] [--verify-only] [--no-cli] [--no-packed]
//                  [--real-time] [benchmark options...]
//   vellmark-bench --packed-memory=2GiB [--cache-dir=DIR]
//
// The readers also run on .gz and .zst copies of the files, unpacked by the archive
// layer. --packed-memory only checks vellmark-cli's peak memory on a .zst file of
// that size unpacked.
//
// In-process runs are timed by their thread's CPU time unless --real-time is given.
//
// Before timing anything it checks every reader's result and the probe's family on
// the generated files and fails when one differs.

#include <benchmark/benchmark.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "bench/bench_files.h"
#include "core/archive_files.h"
#include "core/block_reader.h"
#include "readers/reader_table.h"
#include "core/switch_family.h"
#include "readers/probe.h"
#include "testdata/outcome_text.h"

extern char** environ;

namespace vellmark::bench {
namespace {

struct Options {
  std::uint64_t size = std::uint64_t{1} << 30;
  std::uint64_t smallSize = 1000 * 1000;
  std::size_t smallFiles = 10000;              // files of about 10 KB for the files-per-second runs
  std::uint64_t smallFileSize = 10 * 1024;
  std::string folder;
  int repetitions = 5;
  bool cold = false;
  bool verifyOnly = false;
  bool cli = true;
  bool realTime = false;  // time in-process runs by the clock too
  bool packed = true;     // the readers on .gz and .zst copies too
  std::uint64_t packedMemory = 0;  // only the memory check of a .zst file this large
  std::string cliPath = VELLMARK_CLI;
};

Clock BenchClock() {
  Clock clock;
  clock.now = [] {
    std::tm t{};
    t.tm_year = kBenchYear - 1900;
    t.tm_mday = 1;
    return t;
  };
  return clock;
}

// The reader's outcome as "start,end,count", the form the expected results take; by
// default the reader alone, without the content digest.
std::string RunReader(const BenchFile& file, ReadOptions options = {.digests = false}) {
  static const Clock clock = BenchClock();
  ReaderTable table = DefaultReaderTable();
  ReaderContext ctx(RealFileSystem(), clock, {}, options);
  return testdata::OutcomeText(table.prepare(file.family, file.path, RealFileSystem()).value()(ctx));
}

// The same through compression: the reader on `path`, a packed copy of the file,
// unpacked by the archive layer with the bomb limits off (the files repeat a piece).
std::string RunPackedReader(const BenchFile& file, const std::string& path) {
  static const Clock clock = BenchClock();
  ArchiveFiles files(RealFileSystem(), UnpackLimits{UINT64_MAX, 1, UINT64_MAX});
  ReaderTable table = DefaultReaderTable();
  ReaderContext ctx(files, clock, {});
  return testdata::OutcomeText(table.prepare(file.family, path, files).value()(ctx));
}

const testdata::Packing kBenchPackings[] = {testdata::Packing::Gzip, testdata::Packing::Zstd};

// The file layer alone: every block of the file read in the readers' block size,
// every byte summed so none of it can be skipped.
std::uint64_t ReadAndSum(const std::string& path) {
  auto opened = OpenedFile::open(RealFileSystem(), path, 0);
  if (!opened) throw std::runtime_error(opened.error().reason);
  const std::uint64_t size = opened->size();
  std::uint64_t sum = 0;
  for (std::uint64_t offset = 0; offset < size; offset += BlockReader::kDefaultBlockSize) {
    auto view = opened->reader().view(offset, BlockReader::kDefaultBlockSize);
    if (!view) throw std::runtime_error(view.error().reason);
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(view->size(), size - offset));
    const std::uint8_t* p = view->data();
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time (psadbw), so the sum costs little next to the reads.
    __m128i lanes = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16)
      lanes = _mm_add_epi64(lanes, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)),
                                                _mm_setzero_si128()));
    sum += static_cast<std::uint64_t>(_mm_cvtsi128_si64(lanes)) +
           static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(lanes, lanes)));
#endif
    for (; i < n; ++i) sum += p[i];
  }
  return sum;
}

// Runs a program, its stdout into `out` (or /dev/null); the exit status and the
// child's peak resident memory in KiB.
struct ChildRun {
  int status = -1;
  long maxRssKiB = 0;
};

ChildRun Spawn(const std::vector<std::string>& argv, const std::string& out = "/dev/null") {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  ChildRun run;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return run;
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.maxRssKiB = usage.ru_maxrss;
  return run;
}

std::vector<std::string> CliArgs(const Options& o, const std::vector<std::string>& paths, int jobs,
                                 bool digests = true) {
  std::vector<std::string> args{o.cliPath, "analyse", "--year", std::to_string(kBenchYear), "--format", "json",
                                "--jobs", std::to_string(jobs)};
  if (!digests) args.push_back("--no-digests");
  args.insert(args.end(), paths.begin(), paths.end());
  return args;
}

std::vector<std::string> PathsOf(const std::vector<BenchFile>& files) {
  std::vector<std::string> paths;
  for (const auto& f : files) paths.push_back(f.path);
  return paths;
}

// vellmark-cli on one file, as a user runs it on the machine: every core.
int AllCores() { return static_cast<int>(UsableCores()); }

// Drops the file's pages from the page cache, so the next read comes from the disk.
void Evict(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fdatasync(fd);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// In-process runs are timed by the thread's CPU time (the read system calls
// included), so other work on the machine does not count against them; runs of
// other processes and cold reads by the clock.
void MinMax(benchmark::internal::Benchmark* b, const Options& o, bool realTime = false) {
  if (realTime || o.realTime) b->UseRealTime();
  b->Repetitions(o.repetitions)
      ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
      ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });
}

// Checks what the timed runs rely on; prints each difference.
bool Verify(const Options& o, const std::vector<BenchFile>& big, const std::vector<BenchFile>& small,
            const std::vector<SmallFiles>& many) {
  bool ok = true;
  const std::vector<BenchFile> firstOfMany = [&] {
    std::vector<BenchFile> firsts;
    for (const auto& m : many) firsts.push_back({m.family, m.paths.front(), m.size, m.expected});
    return firsts;
  }();
  for (const std::vector<BenchFile>* set : {&big, &small, &firstOfMany}) {
    for (const auto& f : *set) {
      std::string got = RunReader(f);
      if (got != f.expected) {
        std::cerr << "reader result differs on " << f.path << "\n  expected " << f.expected << "\n  got      " << got
                  << "\n";
        ok = false;
      }
      std::string probed = SwitchFamilyTable::text(ProbeSwitchFamily(RealFileSystem(), f.path));
      if (probed != f.family) {
        std::cerr << "probe says " << probed << " for " << f.path << "\n";
        ok = false;
      }
    }
  }
  for (const auto& f : big) {
    if (!o.packed) break;
    for (testdata::Packing p : kBenchPackings) {
      std::string got = RunPackedReader(f, EnsurePackedFile(f, p));
      if (got != f.expected) {
        std::cerr << "reader result differs on " << f.path << testdata::PackingSuffix(p) << ": " << got << "\n";
        ok = false;
      }
    }
  }
  if (o.cli && ::access(o.cliPath.c_str(), X_OK) == 0) {
    std::string folder = BenchFolder(o.folder);
    std::string one = folder + "/jobs1.json", two = folder + "/jobs2.json";
    // All six files at once, and each alone, walked in pieces on both cores.
    std::vector<std::vector<std::string>> runs{PathsOf(big)};
    for (const auto& f : big) runs.push_back({f.path});
    for (const auto& paths : runs) {
      ChildRun a = Spawn(CliArgs(o, paths, 1), one), b = Spawn(CliArgs(o, paths, 2), two);
      if (a.status != 0 || b.status != 0 || Slurp(one) != Slurp(two)) {
        std::cerr << "vellmark-cli analyse --jobs 1 and --jobs 2 differ on " << paths.front() << (paths.size() > 1 ? " and others" : "")
                  << " (exit " << a.status << " and " << b.status << ")\n";
        ok = false;
      }
    }
    std::remove(one.c_str());
    std::remove(two.c_str());
  }
  return ok;
}

// One vellmark-cli run per iteration, timed by the clock; `counters` adds rates.
void RegisterCli(const Options& o, const std::string& name, std::vector<std::string> args, std::uint64_t bytes,
                 std::size_t files = 0) {
  MinMax(benchmark::RegisterBenchmark(name.c_str(),
                                      [args, bytes, files](benchmark::State& state) {
                                        long peak = 0;
                                        for (auto _ : state) {
                                          ChildRun run = Spawn(args);
                                          if (run.status != 0) state.SkipWithError("vellmark-cli failed");
                                          peak = std::max(peak, run.maxRssKiB);
                                        }
                                        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
                                        state.counters["peak_rss_MiB"] = static_cast<double>(peak) / 1024.0;
                                        if (files > 0)
                                          state.counters["files_per_second"] = benchmark::Counter(
                                              static_cast<double>(files), benchmark::Counter::kIsIterationInvariantRate);
                                      })
             ->Iterations(1)
             ->Unit(benchmark::kMillisecond),
         o, true);
}

void Register(const Options& o, const std::vector<BenchFile>& big, const std::vector<BenchFile>& small,
              const std::vector<SmallFiles>& many) {
  for (const auto& f : big) {
    const std::string size = SizeName(o.size);
    MinMax(benchmark::RegisterBenchmark(("Baseline/" + f.family + "/" + size).c_str(),
                                        [f](benchmark::State& state) {
                                          for (auto _ : state) benchmark::DoNotOptimize(ReadAndSum(f.path));
                                          state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.size));
                                        }),
           o);
    // `cat FILE > /dev/null` on the same warm file: the speed a user compares with.
    MinMax(benchmark::RegisterBenchmark(("Cat/" + f.family + "/" + size).c_str(),
                                        [f](benchmark::State& state) {
                                          for (auto _ : state)
                                            if (Spawn({"cat", f.path}).status != 0) state.SkipWithError("cat failed");
                                          state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.size));
                                        }),
           o);
    // The reader alone, with the XXH3 digest (hashed beside it when a second core is
    // free), and walking every record in verify mode, with the calls of each hour
    // counted and without.
    const std::pair<const char*, ReadOptions> modes[] = {
        {"Reader/", {.digests = false}},
        {"Digest/", {.digests = true}},
        {"Verify/", {.digests = false, .verify = true}},
        {"VerifyNoHours/", {.digests = false, .verify = true, .callsPerHour = false}}};
    for (const auto& [mode, options] : modes)
      MinMax(benchmark::RegisterBenchmark((mode + f.family + "/" + size).c_str(),
                                          [f, options = options](benchmark::State& state) {
                                            for (auto _ : state) {
                                              std::string r = RunReader(f, options);
                                              if (r != f.expected) state.SkipWithError("wrong reader result");
                                              benchmark::DoNotOptimize(r);
                                            }
                                            state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.size));
                                          }),
             o);
  }
  for (const auto& f : big) {
    if (!o.packed) break;
    for (testdata::Packing p : kBenchPackings) {
      const std::string path = f.path + testdata::PackingSuffix(p);
      const std::string name = "Packed/" + f.family + "/" + SizeName(o.size) + "/" + testdata::PackingSuffix(p).substr(1);
      MinMax(benchmark::RegisterBenchmark(name.c_str(),
                                          [f, path](benchmark::State& state) {
                                            for (auto _ : state)
                                              if (RunPackedReader(f, path) != f.expected)
                                                state.SkipWithError("wrong reader result");
                                            state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.size));
                                          }),
             o);
    }
  }
  for (const auto* set : {&small, &big}) {
    for (const auto& f : *set) {
      MinMax(benchmark::RegisterBenchmark(("Probe/" + f.family + "/" + SizeName(set == &small ? o.smallSize : o.size)).c_str(),
                                          [f](benchmark::State& state) {
                                            for (auto _ : state)
                                              benchmark::DoNotOptimize(ProbeSwitchFamily(RealFileSystem(), f.path));
                                          })
                 ->Unit(benchmark::kMicrosecond),
             o);
    }
  }
  if (o.cli) {
    std::uint64_t total = 0;
    for (const auto& f : big) total += f.size;
    for (int jobs : {1, 2})
      RegisterCli(o, "CliAnalyse/all/" + SizeName(o.size) + "/jobs:" + std::to_string(jobs), CliArgs(o, PathsOf(big), jobs),
                  total);
    // The whole program on one file, as a user compares it with `cat`: with digests (the
    // default) and without, on every core and on one.
    for (const auto& f : big) {
      const std::string name = "Cli/" + f.family + "/" + SizeName(o.size) + "/";
      RegisterCli(o, name + "digests", CliArgs(o, {f.path}, AllCores()), f.size);
      RegisterCli(o, name + "no-digests", CliArgs(o, {f.path}, AllCores(), false), f.size);
      RegisterCli(o, name + "no-digests-one-core", CliArgs(o, {f.path}, 1, false), f.size);
    }
    // Many small files, probed and read.
    for (const auto& m : many)
      RegisterCli(o, "SmallFiles/" + m.family + "/" + std::to_string(m.paths.size()) + "x" + SizeName(m.size),
                  CliArgs(o, m.paths, AllCores()), m.size * m.paths.size(), m.paths.size());
  }
  if (o.cold) {
    for (const auto& f : big) {
      // The whole program, with its digests, against cat.
      auto timeCold = [f, o](benchmark::State& state, bool cat) {
        for (auto _ : state) {
          state.PauseTiming();
          Evict(f.path);
          state.ResumeTiming();
          if (Spawn(cat ? std::vector<std::string>{"cat", f.path} : CliArgs(o, {f.path}, AllCores())).status != 0)
            state.SkipWithError(cat ? "cat failed" : "vellmark-cli failed");
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.size));
      };
      const std::string size = SizeName(o.size);
      MinMax(benchmark::RegisterBenchmark(("ColdCat/" + f.family + "/" + size).c_str(),
                                          [timeCold](benchmark::State& s) { timeCold(s, true); })
                 ->Iterations(1)
                 ->Unit(benchmark::kMillisecond),
             o, true);
      MinMax(benchmark::RegisterBenchmark(("ColdCli/" + f.family + "/" + size).c_str(),
                                          [timeCold](benchmark::State& s) { timeCold(s, false); })
                 ->Iterations(1)
                 ->Unit(benchmark::kMillisecond),
             o, true);
    }
  }
}

// vellmark-cli analysing one .zst file of `size` bytes unpacked: its time, its peak
// resident memory (the goal is under 64 MiB for any size) and its result.
int PackedMemoryCheck(const Options& o) {
  BenchFile file = EnsurePackedCdotStream(o.packedMemory, BenchFolder(o.folder));
  const std::string out = file.path + ".json";
  const auto start = std::chrono::steady_clock::now();
  ChildRun run = Spawn({o.cliPath, "analyse", "--format", "csv", "--jobs", "1", file.path}, out);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string csv = Slurp(out);
  std::remove(out.c_str());
  // The CSV row holds family, start, end and records one after another.
  const bool right = run.status == 0 && csv.find(",CDOT," + file.expected + ",") != std::string::npos;
  std::printf("packed memory: %.0f MiB unpacked from %s, %s: %.2f s, peak RSS %.1f MiB (goal: under 64 MiB)\n",
              static_cast<double>(file.size) / 1048576.0, file.path.c_str(), right ? "result as expected" : "WRONG RESULT", seconds,
              static_cast<double>(run.maxRssKiB) / 1024.0);
  return right ? 0 : 1;
}

bool TakeOption(const std::string& arg, const char* name, std::string& value) {
  std::string prefix = std::string(name) + "=";
  if (arg.rfind(prefix, 0) != 0) return false;
  value = arg.substr(prefix.size());
  return true;
}

}  // namespace
}  // namespace vellmark::bench

int main(int argc, char** argv) {
  using namespace vellmark::bench;
  Options o;
  std::vector<char*> rest{argv[0]};
  bool interleave = true;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i], value;
    if (TakeOption(arg, "--size", value)) {
      o.size = ParseSize(value);
    } else if (TakeOption(arg, "--small-size", value)) {
      o.smallSize = ParseSize(value);
    } else if (TakeOption(arg, "--small-files", value)) {
      o.smallFiles = static_cast<std::size_t>(std::strtoull(value.c_str(), nullptr, 10));
    } else if (TakeOption(arg, "--cache-dir", value)) {
      o.folder = value;
    } else if (TakeOption(arg, "--repetitions", value)) {
      o.repetitions = std::max(1, std::atoi(value.c_str()));
    } else if (TakeOption(arg, "--cli", value)) {
      o.cliPath = value;
    } else if (arg == "--cold") {
      o.cold = true;
    } else if (arg == "--verify-only") {
      o.verifyOnly = true;
    } else if (arg == "--real-time") {
      o.realTime = true;
    } else if (TakeOption(arg, "--packed-memory", value)) {
      o.packedMemory = ParseSize(value);
    } else if (arg == "--no-packed") {
      o.packed = false;
    } else if (arg == "--no-cli") {
      o.cli = false;
    } else if (arg == "--help" || arg == "-h") {
      std::cout << "usage: vellmark-bench [--size=1GiB] [--small-size=1MB] [--cache-dir=DIR] [--repetitions=5]\n"
                   "                      [--cold] [--verify-only] [--no-cli] [--no-packed] [--real-time]\n"
                   "                      [--cli=PATH] [benchmark options...]\n"
                   "       vellmark-bench --packed-memory=2GiB [--cache-dir=DIR]\n\n"
                << std::flush;
      rest.push_back(argv[i]);
    } else {
      if (arg.rfind("--benchmark_enable_random_interleaving", 0) == 0) interleave = false;
      rest.push_back(argv[i]);
    }
  }
  if (o.size == 0 || o.smallSize == 0) {
    std::cerr << "vellmark-bench: sizes are given as 1GiB, 64MiB, 1MB or a number of bytes\n";
    return 2;
  }
  // Baseline and reader repetitions take turns, so a busy moment of the machine
  // falls on both alike.
  static char interleaveFlag[] = "--benchmark_enable_random_interleaving=true";
  if (interleave) rest.push_back(interleaveFlag);
  // Every argument is checked before any file is written; --help prints and ends here.
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(count, rest.data())) return 2;
  if (o.packedMemory > 0) {
    try {
      return PackedMemoryCheck(o);
    } catch (const std::exception& e) {
      std::cerr << "vellmark-bench: " << e.what() << "\n";
      return 1;
    }
  }
  std::vector<BenchFile> big, small;
  std::vector<SmallFiles> many;
  try {
    std::string folder = BenchFolder(o.folder);
    for (const auto& family : BenchFamilies()) {
      big.push_back(EnsureBenchFile(family, o.size, folder));
      small.push_back(EnsureBenchFile(family, o.smallSize, folder));
      if (o.cli && o.smallFiles > 0) many.push_back(EnsureSmallFiles(family, o.smallFiles, o.smallFileSize, folder));
    }
  } catch (const std::exception& e) {
    std::cerr << "vellmark-bench: " << e.what() << "\n";
    return 1;
  }
  // The page cache holds a freshly written file in small pages, which read back at
  // half the speed of the pages a read brings in: every file is dropped from the
  // cache and read once, as a file copied off an exchange would be.
  try {
    for (const auto* set : {&big, &small}) {
      for (const auto& f : *set) {
        Evict(f.path);
        benchmark::DoNotOptimize(ReadAndSum(f.path));
      }
    }
    for (const auto& m : many) {
      for (const auto& path : m.paths) {
        Evict(path);
        benchmark::DoNotOptimize(ReadAndSum(path));
      }
    }
  } catch (const std::exception& e) {
    std::cerr << "vellmark-bench: " << e.what() << "\n";
    return 1;
  }
  if (!Verify(o, big, small, many)) return 1;
  std::cerr << "vellmark-bench: reader results and probes as expected on " << big.size() + small.size() + many.size()
            << " files\n";
  if (o.verifyOnly) return 0;

  Register(o, big, small, many);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
