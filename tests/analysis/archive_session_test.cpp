// Compressed files and archive members give exactly what their unpacked files give;
// hostile ones end as an error on their entry.
#include <gtest/gtest.h>

#include "analysis/analysis_session.h"
#include "reports/text_report.h"
#include "support/memory_file_system.h"
#include "testdata/archives.h"
#include "testdata/cdot.h"
#include "testdata/report_entries.h"
#include "testdata/samples.h"

namespace vellmark {
namespace {

namespace td = testdata;

// Each row after adding the paths and one pass: family, times, records, size, duplicate
// mark and failure.
std::vector<std::string> Rows(AnalysisSession& session, const std::vector<std::string>& paths) {
  session.OfferEntries(paths);
  PassObserver quiet;
  session.RunAnalysis(false, quiet);
  std::vector<std::string> rows;
  for (const auto& e : session.list().entries())
    rows.push_back(e.family + "|" + e.start + "|" + e.end + "|" + e.recordsText() + "|" + e.sizeText() +
                   (e.duplicate() ? "|dup" : "") +
                   (e.failure ? std::string("|") + FailureKindName(e.failure->kind) + ": " + e.failure->reason : ""));
  return rows;
}

TEST(ArchiveSession, EveryWayOfPackingGivesThePlainFilesResults) {
  MemoryFileSystem files;
  std::vector<std::string> plain;
  std::vector<td::Member> members;
  std::vector<std::pair<std::string, std::vector<std::string>>> ways;
  for (const auto& s : td::AllSamples()) {
    files.put("/d/" + s.name, s.bytes);
    plain.push_back("/d/" + s.name);
    members.push_back({"day/" + s.name, s.bytes});
  }
  for (td::Packing p : td::kAllPackings) {
    ways.push_back({td::PackingSuffix(p), {}});
    for (const auto& s : td::AllSamples()) {
      files.put("/p/" + s.name + td::PackingSuffix(p), td::Compress(s.bytes, p));
      ways.back().second.push_back("/p/" + s.name + td::PackingSuffix(p));
    }
  }
  files.put("/a/day.zip", td::BuildZip(members));
  files.put("/a/day.tar.gz", td::BuildTar(members, td::Packing::Gzip));
  ways.push_back({"zip", {"/a/day.zip"}});
  ways.push_back({"tar.gz", {"/a/day.tar.gz"}});

  AnalysisSession reference(files, DefaultReaderTable(), Clock::MidYear(2026));
  const std::vector<std::string> expected = Rows(reference, plain);
  for (const auto& [way, paths] : ways) {
    SCOPED_TRACE(way);
    AnalysisSession session(files, DefaultReaderTable(), Clock::MidYear(2026));
    EXPECT_EQ(Rows(session, paths), expected);
    // Members are named ARCHIVE#MEMBER, and a saved report keeps the names.
    if (way == "zip") {
      EXPECT_EQ(session.list().at(2).path, "/a/day.zip#" + members[2].name);
    }
    auto reread = ParseReport(ReportText(session.list(), td::FixedTime()));
    ASSERT_TRUE(reread && reread->size() == session.list().size());
    for (std::size_t i = 0; i < reread->size(); ++i) EXPECT_EQ((*reread)[i].path, session.list().at(i).path);
  }
}

TEST(ArchiveSession, HostileFilesEndAsAnErrorOnTheirEntry) {
  const td::Bytes cdot = td::CdotFile(td::CdotCalls(3000));  // 144 000 bytes
  const td::Bytes zeros(4 << 20, 0);
  td::Bytes tarGz = td::BuildTar({{"A.DAT", cdot}, {"B.DAT", cdot}}, td::Packing::Gzip);
  tarGz.resize(tarGz.size() / 2);
  td::Bytes gz = td::Compress(cdot, td::Packing::Gzip);
  gz.resize(gz.size() * 3 / 4);
  td::Bytes damaged = td::Compress(cdot, td::Packing::Xz);
  damaged[damaged.size() / 2] ^= 0x55;
  UnpackLimits small{1 << 20, 1000, 1 << 30};
  struct Case {
    const char* what;
    std::string path;
    td::Bytes bytes;
    UnpackLimits limits;
    std::vector<std::string> rows;
  };
  const std::vector<Case> cases = {
      {"not compressed", "x.DAT.gz", cdot, {}, {"Unknown|Invalid  File|Invalid  File|0|141 KB|corrupt: the file is not compressed as its name says"}},
      // The head unpacks: the family is known, the reader gets the reason.
      {"cut gzip", "x.DAT.gz", gz, {}, {"CDOT|Invalid  File|Invalid  File|0|24 KB|corrupt: truncated gzip input"}},
      {"damaged xz", "x.DAT.xz", damaged, {}, {"CDOT|Invalid  File|Invalid  File|0|19 KB|corrupt: Lzma library error: Corrupted input data"}},
      // Cut inside the first member's data: that member and the archive carry the reason.
      {"cut tar.gz", "day.tar.gz", tarGz, {}, {"CDOT|Invalid  File|Invalid  File|0|141 KB|corrupt: truncated gzip input",
        "Unknown|Invalid  File|Invalid  File|0|32 KB|corrupt: Truncated input file (needed 144384 bytes, only 0 available)"}},
      {"not an archive", "day.zip", cdot, {}, {"Unknown|Invalid  File|Invalid  File|0|141 KB|corrupt: Unrecognized archive format"}},
      {"bomb by ratio", "z.DAT.zst", td::Compress(zeros, td::Packing::Zstd), small, {"CDOT|Invalid  File|Invalid  File|0|0 KB|corrupt: too large when unpacked"}},
      {"bomb by size", "day.zip", td::BuildZip({{"A.DAT", cdot}}), {1 << 30, 1000, 100000}, {"Unknown|Invalid  File|Invalid  File|0|141 KB|corrupt: too large when unpacked"}},
      {"encrypted", "day.zip", td::BuildZip({{"A.DAT", cdot}}, false, "secret"), {}, {"Unknown|Invalid  File|Invalid  File|0|141 KB|read: the member is encrypted; encrypted members cannot be read"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem files;
    files.put(c.path, c.bytes);
    AnalysisSession session(files, DefaultReaderTable(), Clock::MidYear(2026));
    session.archives().setLimits(c.limits);
    EXPECT_EQ(Rows(session, {c.path}), c.rows);
  }
}

}  // namespace
}  // namespace vellmark
