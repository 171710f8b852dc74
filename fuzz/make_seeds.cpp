// Writes the generated fuzz seeds: vellmark-make-fuzz-seeds DIR (normally fuzz/corpus).
// Every target gets small files of its own family, made by the test-data library; the
// probe gets every sample; the report reader gets reports of analysed samples; the
// archive layer gets every packing and archive it reads; the workbook writer gets
// names no cell can hold as they are. Files
// that once crashed a target sit next to these under names of their own and are kept.

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "analysis/analysis_session.h"
#include "support/memory_file_system.h"
#include "reports/text_report.h"
#include "testdata/archives.h"
#include "testdata/axe.h"
#include "testdata/cdot.h"
#include "testdata/e10b.h"
#include "testdata/ess.h"
#include "testdata/ewsd.h"
#include "testdata/ocb.h"
#include "testdata/samples.h"

namespace td = vellmark::testdata;
namespace fs = std::filesystem;

namespace {

std::vector<td::SampleFile> OcbSeeds() {
  auto seeds = td::OcbSamples();
  td::OcbFile one;  // one block, no end block
  one.blocks = td::OcbBlocksOf(td::OcbCalls(12, 100, 3600, 300), 26, 100);
  one.end = td::OcbEnd::None;
  seeds.push_back({"one-block.dat", td::BuildOcbFile(one)});
  td::OcbFile unmarked = one;  // no block mark: the layout read last decides
  unmarked.blockMark = false;
  unmarked.end = td::OcbEnd::Mark0000;
  seeds.push_back({"unmarked.dat", td::BuildOcbFile(unmarked)});
  td::OcbFile b;  // layout B, ended by an FF FF block
  b.layout = td::OcbLayout::B;
  b.blocks = td::OcbBlocksOf(td::OcbCalls(20, 30, 7200, 45), 26, 30);
  b.end = td::OcbEnd::MarkFFFF;
  seeds.push_back({"layout-b-ffff.dat", td::BuildOcbFile(b)});
  return seeds;
}

std::vector<td::SampleFile> EwsdSeeds() {
  auto seeds = td::EwsdSamples();
  // Every package with a length rule once, and every kind of item between records.
  td::EwsdRecord all = td::EwsdCall({26, 3, 9, 10, 11, 12});
  const std::pair<std::uint8_t, std::size_t> fixed[] = {{102, 4}, {106, 9}, {108, 10}, {110, 6},
                                                        {116, 8}, {120, 2}, {122, 3}, {151, 5}};
  for (auto [number, length] : fixed) all.packages.push_back(td::EwsdFixedPackage(number, length));
  all.packages.push_back(td::EwsdLengthPackage(142, 5));
  all.packages.push_back(td::EwsdPackage146(7));
  all.packages.push_back(td::EwsdPackage168("98100"));
  all.packages.push_back(td::EwsdDigitsPackage(101, "0112345"));
  td::EwsdRecord header = td::EwsdCall({26, 3, 9, 10, 20, 0});
  header.packagesAt8 = false;
  seeds.push_back({"packages.ama",
                   td::EwsdFile({td::EwsdRecordBytes(all), td::EwsdFillers(2), td::EwsdSkipItem(9),
                                 td::EwsdEmptyBlock(), td::EwsdItem(0x01), td::EwsdItem(0x7C),
                                 td::EwsdRecordBytes(header)})});
  // A record with a package no exchange writes: the reader gives up on the file.
  td::EwsdRecord odd = td::EwsdCall({26, 3, 9, 11, 0, 0});
  odd.packages.push_back(td::EwsdFixedPackage(42, 3));
  seeds.push_back({"unknown-package.ama",
                   td::EwsdFile({td::EwsdRecordBytes(td::EwsdCall({26, 3, 9, 10, 59, 0})), td::EwsdRecordBytes(odd)})});
  return seeds;
}

std::vector<td::SampleFile> E10bSeeds() {
  auto seeds = td::E10bSamples();
  seeds.push_back({"gaps.tkt", td::E10bFile({td::E10bWithGaps(td::E10bRun(65530, 20, 200, 12, 0), {0, 3, 19})})});
  return seeds;
}

std::vector<td::SampleFile> CdotSeeds() {
  auto seeds = td::CdotSamples();
  auto calls = td::CdotCalls(5, 3);
  calls.push_back(td::CdotEndMark());
  seeds.push_back({"end-mark.dat", td::CdotFile(calls)});
  return seeds;
}

std::vector<td::SampleFile> AxeSeeds() {
  auto seeds = td::AxeSamples();
  for (int layout : {0, 1, 2}) {
    auto blocks = td::AxeBlocks(td::AxeRun(layout, 14, "260101", 0, 0, 59));
    seeds.push_back({"layout-" + std::to_string(layout) + ".axe", td::AxeFile(blocks)});
  }
  return seeds;
}

std::vector<td::SampleFile> EssSeeds() {
  auto seeds = td::EssSamples();
  seeds.push_back({"blanks-crlf.001", td::EssFile(td::EssRun(6, "260228", 23, 59, 7), 5, "\n")});
  return seeds;
}

// Reports of every sample analysed, and of an empty list.
std::vector<td::SampleFile> ReportSeeds() {
  vellmark::MemoryFileSystem files;
  vellmark::Clock clock = vellmark::Clock::MidYear(2026);
  vellmark::AnalysisSession session(files, vellmark::DefaultReaderTable(), clock);
  std::tm now = clock.now();
  std::vector<td::SampleFile> seeds;
  auto text = [&] {
    std::string report = vellmark::ReportText(session.list(), now);
    return td::Bytes(report.begin(), report.end());
  };
  seeds.push_back({"empty.vmr", text()});
  for (const auto& sample : td::AllSamples()) {
    files.put("/data/cdr/" + sample.name, sample.bytes);
    session.AddFile("/data/cdr/" + sample.name);
  }
  seeds.push_back({"added.vmr", text()});
  vellmark::PassObserver quiet;
  session.RunAnalysis(false, quiet);
  seeds.push_back({"analysed.vmr", text()});
  return seeds;
}

// Every packing and archive the layer reads, small: a C-DOT and an EWSD sample in each.
std::vector<td::SampleFile> ArchiveSeeds() {
  const td::SampleFile cdot = td::CdotSamples().front(), ewsd = td::EwsdSamples().front();
  const std::vector<td::Member> members = {{"cdr/", {}, td::Member::Kind::Folder},
                                           {"cdr/" + cdot.name, cdot.bytes},
                                           {"cdr/" + ewsd.name + ".gz", td::Compress(ewsd.bytes, td::Packing::Gzip)},
                                           {"cdr/link", {}, td::Member::Kind::Link}};
  std::vector<td::SampleFile> seeds = {{"day.zip", td::BuildZip(members)},
                                       {"stored.zip", td::BuildZip(members, true)},
                                       {"encrypted.zip", td::BuildZip({{cdot.name, cdot.bytes}}, false, "secret")},
                                       {"day.tar", td::BuildTar(members)}};
  for (td::Packing p : td::kAllPackings) {
    seeds.push_back({"day.tar" + td::PackingSuffix(p), td::BuildTar(members, p)});
    seeds.push_back({cdot.name + td::PackingSuffix(p), td::Compress(cdot.bytes, p)});
  }
  return seeds;
}

// Entry texts, one a line, seven to an entry: controls, NUL, U+FFFE and U+FFFF,
// bytes that are not UTF-8 or encode a surrogate, the format's own escape, bars.
std::vector<td::SampleFile> WorkbookSeeds() {
  const std::string texts[] = {
      "/d/a\x01" "b\x1f" "c\x7f.DAT", "1", "_x0041_", "x\xEF\xBF\xBEy\xEF\xBF\xBFz", std::string("nul\0tail", 8),
      "bad\xff\xfe\xc3", "\t tab\rcr ",
      "/d/_x005F_x0041_x0042_.DAT", "2", "|\\|", "12", "-1.5", "\xED\xA0\x80 surrogate", "To be  Analysed"};
  td::Bytes bytes;
  for (const std::string& text : texts) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back('\n');
  }
  return {{"hostile-names.txt", bytes}};
}

bool WriteAll(const fs::path& dir, const std::vector<td::SampleFile>& seeds) {
  fs::create_directories(dir);
  for (const auto& seed : seeds) {
    std::ofstream out(dir / seed.name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(seed.bytes.data()), static_cast<std::streamsize>(seed.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", (dir / seed.name).c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vellmark-make-fuzz-seeds DIR\n");
    return 2;
  }
  fs::path root = argv[1];
  bool ok = WriteAll(root / "probe", td::AllSamples()) && WriteAll(root / "ocb", OcbSeeds()) &&
            WriteAll(root / "ewsd", EwsdSeeds()) && WriteAll(root / "e10b", E10bSeeds()) &&
            WriteAll(root / "cdot", CdotSeeds()) && WriteAll(root / "axe", AxeSeeds()) &&
            WriteAll(root / "ess", EssSeeds()) && WriteAll(root / "report", ReportSeeds()) &&
            WriteAll(root / "archive", ArchiveSeeds()) && WriteAll(root / "workbook", WorkbookSeeds());
  return ok ? 0 : 1;
}
