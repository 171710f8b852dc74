// Paths and files a user or a share may hand vellmark-cli: special files that must be
// refused without blocking, names that must come out intact and harmless in every
// format, and a file larger than any 32-bit count.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <optional>
#include <sstream>

#include "cli/cli_run.h"
#include "cli/commands.h"
#include "cli/text_escape.h"
#include "support/fault_injection.h"
#include "core/utf8.h"
#include "reports/text_report.h"
#include "testdata/bytes.h"
#include "testdata/cdot.h"
#include "testdata/ewsd.h"
#include "testdata/report_entries.h"

extern char** environ;

namespace vellmark::cli {
namespace {

namespace fs = std::filesystem;
using testdata::Bytes;
using testdata::TempDir;


// Five EWSD calls: what every odd path below holds.
Bytes FiveCalls() {
  std::vector<Bytes> records;
  for (const auto& stamp : testdata::EwsdStamps(5, {26, 3, 18, 9, 0, 0}, 60))
    records.push_back(testdata::EwsdRecordBytes(testdata::EwsdCall(stamp)));
  return testdata::EwsdFile(records);
}

// A JSON string literal from `at` (its opening quote) decoded to bytes; \udc80 to \udcff
// give back the single byte they stand for.
std::string DecodeJsonString(const std::string& json, std::size_t at) {
  std::string s;
  EXPECT_EQ(json[at], '"');
  for (std::size_t i = at + 1; i < json.size() && json[i] != '"'; ++i) {
    char c = json[i];
    EXPECT_GE(static_cast<unsigned char>(c), 0x20u) << "raw control byte in JSON";
    if (c != '\\') {
      s += c;
      continue;
    }
    c = json[++i];
    if (c == 'u') {
      unsigned code = static_cast<unsigned>(std::stoul(json.substr(i + 1, 4), nullptr, 16));
      i += 4;
      if (code >= 0xDC80 && code <= 0xDCFF) s += static_cast<char>(code - 0xDC00);
      else if (code < 0x80) s += static_cast<char>(code);
      else ADD_FAILURE() << "unexpected escape " << code;
    } else {
      const std::string from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
      std::size_t k = from.find(c);
      EXPECT_NE(k, std::string::npos);
      s += to[k];
    }
  }
  return s;
}

// Every "path" value of a JSON list.
std::vector<std::string> JsonPaths(const std::string& json) {
  std::vector<std::string> paths;
  const std::string key = "\"path\":";
  for (std::size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1))
    paths.push_back(DecodeJsonString(json, at + key.size()));
  return paths;
}

// The records of a CSV text (RFC 4180: quoted fields may hold commas, quotes, CR, LF).
std::vector<std::vector<std::string>> ParseCsv(const std::string& csv) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  for (std::size_t i = 0; i < csv.size(); ++i) {
    if (csv[i] == '"') {
      for (++i; i < csv.size(); ++i) {
        if (csv[i] == '"' && i + 1 < csv.size() && csv[i + 1] == '"') rows.back().back() += csv[++i];
        else if (csv[i] == '"') break;
        else rows.back().back() += csv[i];
      }
    } else if (csv[i] == ',') {
      rows.back().emplace_back();
    } else if (csv[i] == '\r' && i + 1 < csv.size() && csv[i + 1] == '\n') {
      ++i;
      if (i + 1 < csv.size()) rows.emplace_back(1);
    } else {
      rows.back().back() += csv[i];
    }
  }
  return rows;
}

// The shared texts of a workbook, each followed by a 0 byte, after checking that every
// XML part of it parses; nullopt when Python is not there to read it.
std::optional<std::string> WorkbookTexts(const std::string& book, const std::string& scratch) {
  static const char kScript[] =
      "import sys, zipfile, xml.etree.ElementTree as ET\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "for n in z.namelist():\n"
      "    if n.endswith(('.xml', '.rels')): ET.fromstring(z.read(n))\n"
      "ns = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'\n"
      "for t in ET.fromstring(z.read('xl/sharedStrings.xml')).iter(ns + 't'):\n"
      "    sys.stdout.buffer.write((t.text or '').encode() + b'\\0')\n";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const char* argv[] = {"python3", "-c", kScript, book.c_str(), nullptr};
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, "python3", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return std::nullopt;
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the workbook does not read back";
  auto bytes = testdata::ReadWholeFile(scratch);
  return std::string(bytes.begin(), bytes.end());
}

// What the report's path column keeps of a path: 50 characters, no line breaks.
std::string ReportedPath(const std::string& path) {
  std::string cut(FirstCharacters(path, 50));
  for (char& c : cut)
    if (c == '\n' || c == '\r') c = '?';
  return cut.substr(0, cut.find_last_not_of(' ') + 1);
}

struct HostilePaths : ::testing::Test {
  TempDir dir;
  // A name with a newline, quotes, a tab, an escape, bytes that are not UTF-8 and
  // what a shell would run.
  const std::string oddName = "call \"log\" 'x'\tnew\nline \x1b[31m \xff\xfe\xc3 $(touch PWNED) `touch PWNED`;touch PWNED.ama";

  // The odd name at the end of a path of exactly 4000 characters.
  std::string longPath() {
    std::string path = dir.path();
    while (path.size() + 201 + 1 + oddName.size() + 40 < 4000) {
      path += "/" + std::string(200, 'd');
      fs::create_directory(path);
    }
    path += "/" + std::string(4000 - path.size() - 1 - oddName.size(), 'n') + oddName;
    EXPECT_EQ(path.size(), 4000u);
    return path;
  }
};

TEST_F(HostilePaths, SpecialFilesAreNeverAddedAndNeverBlock) {
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string socket = dir.file("sock");
  int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  fs::create_directory(dir.file("folder"));
  fs::create_symlink(dir.file("nowhere"), dir.file("dangling"));
  fs::create_symlink(dir.file("loop-b"), dir.file("loop-a"));
  fs::create_symlink(dir.file("loop-a"), dir.file("loop-b"));
  fs::create_symlink(fifo, dir.file("to-fifo"));
  const std::string good = dir.write("good.ama", FiveCalls());
  const std::vector<std::string> special = {fifo, socket, dir.file("folder"), dir.file("dangling"),
                                            dir.file("loop-a"), dir.file("to-fifo")};

  // Run where a blocked open can be released, so a fault fails the test instead of hanging it.
  auto guarded = [&](const Arguments& args) {
    auto run = std::async(std::launch::async, [&] { return Cli(args); });
    if (run.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      ADD_FAILURE() << "blocked on a special file";
      do {
        int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
      } while (run.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready);
    }
    return run.get();
  };

  Arguments probe = {"probe"};
  probe.insert(probe.end(), special.begin(), special.end());
  CliRun probed = guarded(probe);
  EXPECT_EQ(probed.status, kExitFailures);
  std::string expected;
  for (const auto& path : special) expected += "-\t" + path + "\n";
  EXPECT_EQ(probed.out, expected);

  Arguments analyse = {"analyse", "--format", "csv"};
  analyse.insert(analyse.end(), special.begin(), special.end());
  analyse.push_back(good);
  CliRun analysed = guarded(analyse);
  EXPECT_EQ(analysed.status, kExitFailures);
  std::string skipped;
  for (const auto& path : special) skipped += "skipped: cannot be read: " + path + "\n";
  EXPECT_EQ(analysed.err, skipped);
  auto rows = ParseCsv(analysed.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][1], good);
  EXPECT_EQ(rows[1][5], "5");
  ::close(sock);
}

TEST_F(HostilePaths, UnreadableFileIsNotAdded) {
  // Permission bits do not bind root: the file layer refuses instead.
  const std::string path = dir.write("locked.ama", FiveCalls());
  FaultInjectingFileSystem denied(RealFileSystem());
  denied.failOpen(EACCES);
  CliRun probed = Cli({"probe", path}, denied);
  EXPECT_EQ(probed.status, kExitFailures);
  EXPECT_EQ(probed.out, "-\t" + path + "\n");
  CliRun analysed = Cli({"analyse", "--format", "json", path}, denied);
  EXPECT_EQ(analysed.status, kExitFailures);
  EXPECT_EQ(analysed.err, "skipped: cannot be read: " + path + "\n");
  EXPECT_TRUE(JsonPaths(analysed.out).empty());
}

TEST_F(HostilePaths, OddNamesComeOutIntactInEveryFormat) {
  const Bytes calls = FiveCalls();
  const std::string odd = dir.write(oddName, calls);
  const std::string longOne = longPath();
  dir.write(longOne.substr(dir.path().size() + 1), calls);
  const std::vector<std::string> paths = {odd, longOne};

  CliRun probed = Cli({"probe", odd, longOne});
  EXPECT_EQ(probed.status, kExitOk);
  EXPECT_EQ(probed.out, "EWSD\t" + EscapeForLine(odd) + "\nEWSD\t" + EscapeForLine(longOne) + "\n");

  // table: one line per entry, control bytes written out as text.
  CliRun table = Cli({"analyse", odd, longOne});
  EXPECT_EQ(table.status, kExitOk) << table.err;
  EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 8);
  EXPECT_EQ(table.out.find('\t'), std::string::npos);
  EXPECT_EQ(table.out.find('\x1b'), std::string::npos);
  for (const auto& path : paths) EXPECT_NE(table.out.find(EscapeForLine(path)), std::string::npos);

  // json: valid UTF-8 without raw control bytes, the exact bytes recoverable.
  CliRun json = Cli({"analyse", "--format", "json", odd, longOne});
  EXPECT_EQ(json.status, kExitOk);
  EXPECT_EQ(JsonPaths(json.out), paths);
  EXPECT_EQ(CharacterCount(json.out), json.out.size()) << "the output holds bytes that are not UTF-8";
  EXPECT_NE(json.out.find("\"records\":\"5\""), std::string::npos);
  EXPECT_EQ(json.out.find('\n'), json.out.size() - 1);

  // csv: quoted where needed, the exact bytes in the field.
  CliRun csv = Cli({"analyse", "--format", "csv", odd, longOne});
  auto rows = ParseCsv(csv.out);
  ASSERT_EQ(rows.size(), 3u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(rows[i + 1][1], paths[i]);
    EXPECT_EQ(rows[i + 1][5], "5");
  }

  // vmr and -o: one row per entry, the path cut to its column; the saved report is
  // the printed one.
  const std::string report = dir.file("odd.vmr");
  CliRun vmr = Cli({"analyse", "--format", "vmr", "-o", report, odd, longOne});
  EXPECT_EQ(vmr.status, kExitOk) << vmr.err;
  auto bytes = testdata::ReadWholeFile(report);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), vmr.out);
  std::size_t lines = 0;
  for (std::size_t at = vmr.out.find("\r\n"); at != std::string::npos; at = vmr.out.find("\r\n", at + 2)) ++lines;
  EXPECT_EQ(lines, 8u);
  EXPECT_EQ(std::count(vmr.out.begin(), vmr.out.end(), '\n'), 8);
  auto entries = ParseReport(vmr.out);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ((*entries)[i].path, ReportedPath(paths[i]));
    EXPECT_EQ((*entries)[i].records, 5u);
  }
  CliRun opened = Cli({"open", "--format", "json", report});
  EXPECT_EQ(opened.status, kExitOk);
  EXPECT_EQ(JsonPaths(opened.out), (std::vector<std::string>{ReportedPath(odd), ReportedPath(longOne)}));

  // The workbook takes them too.
  const std::string book = dir.file("odd.xlsx");
  CliRun exported = Cli({"analyse", "--xlsx", book, odd, longOne});
  EXPECT_EQ(exported.status, kExitOk) << exported.err;
  // Its cells hold UTF-8 only: every stray byte became U+FFFD, the rest is kept.
  if (auto texts = WorkbookTexts(book, dir.file("texts"))) {
    const std::string kept = "call \"log\" 'x'\tnew\nline ";
    const std::string replaced = " \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD $(touch PWNED) `touch PWNED`;touch PWNED.ama";
    EXPECT_NE(texts->find(std::string(1, '\0') + kept), std::string::npos) << *texts;
    EXPECT_NE(texts->find(replaced + std::string(1, '\0')), std::string::npos) << *texts;
  }

  // Nothing was ever handed to a shell.
  for (const auto& folder : {fs::current_path(), fs::path(dir.path())})
    for (const char* name : {"PWNED", "PWNED.ama"}) EXPECT_FALSE(fs::exists(folder / name)) << folder / name;
}

// Reads the holes of a sparse file as the zeros they are without asking the system
// for them, so a 5 GiB file costs neither disk nor page cache; written bytes are read
// from the disk as usual.
class HoleAwareFileSystem : public FaultInjectingFileSystem {
 public:
  using FaultInjectingFileSystem::FaultInjectingFileSystem;
  Result<std::unique_ptr<InputFile>> openRead(const std::string& path) override {
    auto file = RealFileSystem().openRead(path);
    if (!file) return file.error();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return MakeIoError(IoStep::Open, errno);
    return std::unique_ptr<InputFile>(new HoleAware(std::move(*file), fd));
  }

 private:
  struct HoleAware : InputFile {
    HoleAware(std::unique_ptr<InputFile> inner, int fd) : inner(std::move(inner)), fd(fd) {}
    ~HoleAware() override { ::close(fd); }
    Result<std::size_t> readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) override {
      off_t data = ::lseek(fd, static_cast<off_t>(offset), SEEK_DATA);
      std::uint64_t left = offset < size() ? size() - offset : 0;
      if ((data < 0 && errno == ENXIO) || (data >= 0 && static_cast<std::uint64_t>(data) >= offset + n)) {
        std::size_t got = static_cast<std::size_t>(std::min<std::uint64_t>(n, left));
        std::memset(buffer, 0, got);
        return got;
      }
      return inner->readAt(offset, buffer, n);
    }
    std::uint64_t size() const override { return inner->size(); }
    std::unique_ptr<InputFile> inner;
    int fd;
  };
};

TEST_F(HostilePaths, SparseFileOfFiveGibibytes) {
  // All zeros: every 48-byte record is a call of kind 0, the last one cut short, so the
  // count is the size / 48 rounded up. One real record sits beyond 4 GiB.
  constexpr std::uint64_t kSize = std::uint64_t{5} << 30;
  const std::string path = dir.file(testdata::CdotFileName("KOL1", 18, 3, 25));
  {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kSize)), 0);
    Bytes call = testdata::CdotRecordBytes({2, "1123456789", "9810012345", 65});
    const std::uint64_t at = (kSize / 48 - 1) * 48;
    ASSERT_EQ(::pwrite(fd, call.data(), call.size(), static_cast<off_t>(at)), static_cast<ssize_t>(call.size()));
    ::close(fd);
  }
  HoleAwareFileSystem sparse(RealFileSystem());
  CliRun run = Cli({"analyse", "--format", "json", path}, sparse);
  EXPECT_EQ(run.status, kExitOk) << run.err;
  const std::string count = std::to_string((kSize + 47) / 48);
  EXPECT_EQ(count, "111848107");
  EXPECT_EQ(run.out, "{\"entries\":[{\"no\":\"1\",\"path\":\"" + path +
                         "\",\"switch\":\"CDOT\",\"start\":\"2025-03-18   00:00:00\",\"end\":\"2025-03-18   23:59:59\","
                         "\"records\":\"" + count + "\",\"size\":\"5242880 KB\",\"duplicate\":false}],"
                         "\"totals\":{\"files\":\"1\",\"size\":\"5120 MB\",\"records\":\"" + count + "\"},"
                         "\"message\":\"Data File Analysis Over\",\"results_shown\":true}\n");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_LT(st.st_blocks * 512, 1 << 20) << "the file is not sparse here";
}

}  // namespace
}  // namespace vellmark::cli
