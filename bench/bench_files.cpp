#include "bench/bench_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include <archive.h>
#include <archive_entry.h>

#include "testdata/axe.h"
#include "testdata/cdot.h"
#include "testdata/e10b.h"
#include "testdata/ess.h"
#include "testdata/ewsd.h"
#include "testdata/ocb.h"

namespace vellmark::bench {

namespace {

using testdata::Append;
using testdata::Bytes;

constexpr std::size_t kPieceTarget = 128 * 1024;

// What a file is made of, and what its reader returns.
struct FilePlan {
  std::string name;
  Bytes head;
  Bytes piece;
  Bytes tail;
  std::string start, end;   // stamps of the first and last record
  std::uint64_t recordsPerPiece = 0;
  std::uint64_t extraRecords = 0;  // in head and tail
};

std::string Two(unsigned v) {
  char t[8];
  std::snprintf(t, sizeof t, "%02u", v % 100);
  return t;
}

// yyyy-mm-dd of a day of the year 2026 (not a leap year).
std::string DayOf2026(unsigned day) {
  static const unsigned lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  unsigned m = 0;
  while (m < 11 && day > lengths[m]) day -= lengths[m++];
  return "2026-" + Two(m + 1) + "-" + Two(day);
}

std::string Stamp(const std::string& date, unsigned h, unsigned m, unsigned s) {
  return date + "   " + Two(h) + ":" + Two(m) + ":" + Two(s);
}

// "YYMMDD" and "hhmmss" text as the readers print them.
std::string TextStamp(const std::string& yymmdd, const std::string& hhmmss) {
  return "20" + yymmdd.substr(0, 2) + "-" + yymmdd.substr(2, 2) + "-" + yymmdd.substr(4, 2) + "   " +
         hhmmss.substr(0, 2) + ":" + hhmmss.substr(2, 2) + ":" + hhmmss.substr(4, 2);
}

// OCB, layout A: full blocks of 48 calls on 14 February 2026 (day 45), closed by an
// end block.
FilePlan OcbPlan(std::size_t target) {
  FilePlan plan;
  plan.name = "OCB26045A.DAT";
  auto calls = testdata::OcbCalls(std::max<std::size_t>(1, target / 2048) * testdata::kOcbSlots, 45, 8 * 3600, 1);
  for (const auto& block : testdata::OcbBlocksOf(calls, 26, 45)) Append(plan.piece, testdata::OcbBlockBytes(block));
  testdata::OcbFile end;
  end.blocks.clear();
  plan.tail = testdata::BuildOcbFile(end);  // just the 40 40 block
  plan.recordsPerPiece = calls.size();
  plan.start = Stamp("2026-02-14", calls.front().hour, calls.front().minute, calls.front().second);
  plan.end = Stamp("2026-02-14", calls.back().hour, calls.back().minute, calls.back().second);
  return plan;
}

// EWSD: call records of 43 bytes with skip items, fillers and empty blocks between
// them, about 62 bytes an item on average. The first two records lie back to back.
FilePlan EwsdPlan(std::size_t target) {
  FilePlan plan;
  plan.name = "EWSD0417.CDR";
  auto stamps = testdata::EwsdStamps(std::max<std::size_t>(2, target * 2100 / kPieceTarget), {26, 4, 17, 0, 0, 0}, 1);
  for (std::size_t i = 0; i < stamps.size(); ++i) {
    Append(plan.piece, testdata::EwsdRecordBytes(testdata::EwsdCall(stamps[i], std::to_string(2240000 + i).insert(0, 1, '0'))));
    if (i % 2 == 1) Append(plan.piece, testdata::EwsdSkipItem(24));
    if (i % 3 == 2) Append(plan.piece, testdata::EwsdFillers(3));
    if (i % 5 == 4) Append(plan.piece, testdata::EwsdEmptyBlock());
  }
  plan.recordsPerPiece = stamps.size();
  auto text = [](const testdata::EwsdStamp& s) {
    return Stamp("20" + Two(s.year) + "-" + Two(s.month) + "-" + Two(s.day), s.hour, s.minute, s.second);
  };
  plan.start = text(stamps.front());
  plan.end = text(stamps.back());
  return plan;
}

// E10B: full blocks of 78 tickets numbered from 1 in every piece (a chain may start
// again at 1), one minute apart from day 100 on.
FilePlan E10bPlan(std::size_t target) {
  FilePlan plan;
  plan.name = "E10B0410.DAT";
  auto tickets = testdata::E10bRun(1, std::max<std::size_t>(1, target / 2048) * testdata::kE10bSlotsPerBlock, 100, 0, 0);
  plan.piece = testdata::E10bFile(testdata::E10bBlocks(tickets));
  plan.recordsPerPiece = tickets.size();
  plan.start = Stamp(DayOf2026(tickets.front().day), tickets.front().hour, tickets.front().minute, 0);
  plan.end = Stamp(DayOf2026(tickets.back().day), tickets.back().hour, tickets.back().minute, 0);
  return plan;
}

// C-DOT: 48-byte call records and nothing else; the date comes from the name.
FilePlan CdotPlan(std::size_t target) {
  FilePlan plan;
  plan.name = testdata::CdotFileName("BNGL", 17, 4, 26);
  auto records = testdata::CdotCalls(std::max<std::size_t>(20, target / testdata::kCdotRecordSize));
  plan.piece = testdata::CdotFile(records);
  plan.recordsPerPiece = records.size();
  plan.start = "2026-04-17   00:00:00";
  plan.end = "2026-04-17   23:59:59";
  return plan;
}

// AXE: blocks of text records of 100 to 160 characters, layout 0; at least six blocks,
// since the probe looks at five block boundaries.
FilePlan AxePlan(std::size_t target) {
  FilePlan plan;
  plan.name = "TTFILE01.AXE";
  auto records = testdata::AxeRun(0, std::max<std::size_t>(6, target / 2048) * 15, "260417", 0, 0, 1);
  plan.piece = testdata::AxeFile(testdata::AxeBlocks(records));
  plan.recordsPerPiece = records.size();
  // Layout 0: time at 50, date at 71 (1-based).
  plan.start = TextStamp(records.front().substr(70, 6), records.front().substr(49, 6));
  plan.end = TextStamp(records.back().substr(70, 6), records.back().substr(49, 6));
  return plan;
}

// 5ESS: one record per line. The probe reads a 122-character stride, so records 1 to
// 10 carry a 7 where it looks.
FilePlan EssPlan(std::size_t target) {
  FilePlan plan;
  plan.name = "AMA20260417.001";
  auto calls = testdata::EssRun(std::max<std::size_t>(11, target / (testdata::kEssRecordLength + 1)), "260417", 0, 0, 1);
  for (std::size_t k = 1; k <= 10; ++k) {
    std::string route = std::to_string(3100 + k).insert(0, 1, '0') + " 00000000";
    route[13 - k] = '7';
    calls[k].route = route;
  }
  plan.piece = testdata::EssFile(calls, 0, "\n");
  plan.recordsPerPiece = calls.size();
  plan.start = TextStamp(calls.front().date, calls.front().time);
  plan.end = TextStamp(calls.back().date, calls.back().time);
  return plan;
}

// A file's plan, its piece of about `target` bytes.
FilePlan PlanOf(const std::string& family, std::size_t target = kPieceTarget) {
  if (family == "OCB") return OcbPlan(target);
  if (family == "EWSD") return EwsdPlan(target);
  if (family == "E10B") return E10bPlan(target);
  if (family == "CDOT") return CdotPlan(target);
  if (family == "AXE") return AxePlan(target);
  if (family == "5ESS") return EssPlan(target);
  throw std::invalid_argument("no benchmark file for family " + family);
}

void WriteAll(int fd, const Bytes& bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    done += static_cast<std::size_t>(n);
  }
}

// Streams pieces through libarchive's compressor into `path` (under a temporary name,
// renamed when complete). `next` fills the next piece; false when there are no more.
void WritePacked(const std::string& path, testdata::Packing packing, std::uint64_t size,
                 const std::function<bool(Bytes&)>& next) {
  const std::string temp = path + "." + std::to_string(::getpid()) + ".part";
  struct archive* a = archive_write_new();
  archive_write_set_format_raw(a);
  if (packing == testdata::Packing::Gzip) archive_write_add_filter_gzip(a);
  else if (packing == testdata::Packing::Zstd) archive_write_add_filter_zstd(a);
  else if (packing == testdata::Packing::Xz) archive_write_add_filter_xz(a);
  else archive_write_add_filter_bzip2(a);
  auto fail = [&](const std::string& what) {
    std::string reason = archive_error_string(a) ? archive_error_string(a) : "";
    archive_write_free(a);
    ::unlink(temp.c_str());
    throw std::runtime_error("cannot " + what + " " + temp + ": " + reason);
  };
  if (archive_write_open_filename(a, temp.c_str()) != ARCHIVE_OK) fail("create");
  struct archive_entry* entry = archive_entry_new();
  archive_entry_set_pathname(entry, "data");
  archive_entry_set_filetype(entry, AE_IFREG);
  archive_entry_set_size(entry, static_cast<la_int64_t>(size));
  if (archive_write_header(a, entry) != ARCHIVE_OK) fail("write");
  archive_entry_free(entry);
  Bytes piece;
  while (next(piece))
    if (archive_write_data(a, piece.data(), piece.size()) != static_cast<la_ssize_t>(piece.size())) fail("write");
  if (archive_write_close(a) != ARCHIVE_OK) fail("finish");
  archive_write_free(a);
  if (::rename(temp.c_str(), path.c_str()) != 0)
    throw std::runtime_error("cannot rename " + temp + ": " + std::strerror(errno));
}

}  // namespace

std::string EnsurePackedFile(const BenchFile& file, testdata::Packing packing) {
  const std::string path = file.path + testdata::PackingSuffix(packing);
  if (::access(path.c_str(), R_OK) == 0) return path;
  int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + file.path + ": " + std::strerror(errno));
  try {
    WritePacked(path, packing, file.size, [fd](Bytes& piece) {
      piece.resize(std::size_t{1} << 20);
      ssize_t n = ::read(fd, piece.data(), piece.size());
      piece.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
      return n > 0;
    });
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  return path;
}

BenchFile EnsurePackedCdotStream(std::uint64_t size, const std::string& folder) {
  // 64 different pieces of 128 KiB: 8 MiB before one repeats, past zstd's window.
  constexpr unsigned kVariants = 64;
  const std::size_t perPiece = kPieceTarget / testdata::kCdotRecordSize;
  const std::uint64_t pieces = std::max<std::uint64_t>(1, size / (perPiece * testdata::kCdotRecordSize));
  BenchFile file;
  file.family = "CDOT";
  file.size = pieces * perPiece * testdata::kCdotRecordSize;
  const std::string dir = folder + "/" + SizeName(size);
  std::filesystem::create_directories(dir);
  file.path = dir + "/" + testdata::CdotFileName("KOLK", 9, 5, 26) + ".zst";
  file.expected = "2026-05-09   00:00:00,2026-05-09   23:59:59," + std::to_string(pieces * perPiece);
  if (::access(file.path.c_str(), R_OK) == 0) return file;
  std::vector<Bytes> variants;
  for (unsigned v = 0; v < kVariants; ++v) variants.push_back(testdata::CdotFile(testdata::CdotCalls(perPiece, v + 1)));
  std::uint64_t written = 0;
  WritePacked(file.path, testdata::Packing::Zstd, file.size, [&](Bytes& piece) {
    if (written == pieces) return false;
    piece = variants[written++ % kVariants];
    return true;
  });
  return file;
}

const std::vector<std::string>& BenchFamilies() {
  static const std::vector<std::string> families{"CDOT", "EWSD", "OCB", "E10B", "AXE", "5ESS"};
  return families;
}

BenchFile EnsureBenchFile(const std::string& family, std::uint64_t size, const std::string& folder) {
  FilePlan plan = PlanOf(family);
  const std::uint64_t fixed = plan.head.size() + plan.tail.size();
  std::uint64_t pieces = size > fixed ? (size - fixed) / plan.piece.size() : 0;
  if (pieces == 0) pieces = 1;

  BenchFile file;
  file.family = family;
  file.size = fixed + pieces * plan.piece.size();
  // The size is part of the folder, so files of every size live side by side under
  // the names their readers expect.
  std::string dir = folder + "/" + SizeName(size);
  std::filesystem::create_directories(dir);
  file.path = dir + "/" + plan.name;
  std::uint64_t records = plan.extraRecords + pieces * plan.recordsPerPiece;
  file.expected = plan.start + "," + plan.end + "," + std::to_string(records);

  struct stat st {};
  if (::stat(file.path.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_size) == file.size) return file;

  // Written under a temporary name and renamed, so a broken run leaves no half file.
  std::string temp = file.path + "." + std::to_string(::getpid()) + ".part";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + temp + ": " + std::strerror(errno));
  try {
    WriteAll(fd, plan.head, temp);
    for (std::uint64_t i = 0; i < pieces; ++i) WriteAll(fd, plan.piece, temp);
    WriteAll(fd, plan.tail, temp);
    // On the disk before it is timed, so no write-back competes with the reads.
    if (::fsync(fd) != 0) throw std::runtime_error("cannot flush " + temp + ": " + std::strerror(errno));
  } catch (...) {
    ::close(fd);
    ::unlink(temp.c_str());
    throw;
  }
  ::close(fd);
  if (::rename(temp.c_str(), file.path.c_str()) != 0)
    throw std::runtime_error("cannot rename " + temp + ": " + std::strerror(errno));
  return file;
}

SmallFiles EnsureSmallFiles(const std::string& family, std::size_t count, std::uint64_t size,
                            const std::string& folder) {
  FilePlan plan = PlanOf(family, static_cast<std::size_t>(size));
  Bytes bytes = plan.head;
  Append(bytes, plan.piece);
  Append(bytes, plan.tail);
  SmallFiles files;
  files.family = family;
  files.size = bytes.size();
  files.expected = plan.start + "," + plan.end + "," + std::to_string(plan.extraRecords + plan.recordsPerPiece);
  const std::string dir = folder + "/small-" + SizeName(size) + "/" + family;
  std::filesystem::create_directories(dir);
  // The number goes after the name's first dot: a C-DOT name keeps its date.
  const std::size_t dot = plan.name.find('.');
  for (std::size_t i = 0; i < count; ++i) {
    char number[32];
    std::snprintf(number, sizeof number, ".%05zu", i);
    std::string path = dir + "/" + std::string(plan.name).insert(dot == std::string::npos ? plan.name.size() : dot, number);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || static_cast<std::uint64_t>(st.st_size) != bytes.size()) {
      int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
      try {
        WriteAll(fd, bytes, path);
      } catch (...) {
        ::close(fd);
        throw;
      }
      ::close(fd);
    }
    files.paths.push_back(std::move(path));
  }
  return files;
}

std::string BenchFolder(const std::string& given) {
  std::string folder = given;
  if (folder.empty()) {
    const char* env = std::getenv("VELLMARK_BENCH_DIR");
    folder = env && *env ? env : "/tmp/vellmark-bench";
  }
  std::filesystem::create_directories(folder);
  return folder;
}

std::uint64_t ParseSize(const std::string& text) {
  std::size_t i = 0;
  std::uint64_t n = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') n = n * 10 + static_cast<unsigned>(text[i++] - '0');
  if (i == 0) return 0;
  std::string unit = text.substr(i);
  if (unit.empty() || unit == "B") return n;
  if (unit == "KiB" || unit == "K") return n << 10;
  if (unit == "MiB" || unit == "M") return n << 20;
  if (unit == "GiB" || unit == "G") return n << 30;
  if (unit == "KB") return n * 1000;
  if (unit == "MB") return n * 1000 * 1000;
  if (unit == "GB") return n * 1000 * 1000 * 1000;
  return 0;
}

std::string SizeName(std::uint64_t size) {
  if (size % (1u << 30) == 0) return std::to_string(size >> 30) + "GiB";
  if (size % (1u << 20) == 0) return std::to_string(size >> 20) + "MiB";
  if (size % 1000000 == 0) return std::to_string(size / 1000000) + "MB";
  return std::to_string(size) + "B";
}

}  // namespace vellmark::bench
