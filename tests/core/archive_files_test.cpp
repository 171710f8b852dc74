// Names of compressed files, archives and members; members read as texts, never as
// paths on disk; reads in archive order cost about one pass over the archive.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/archive_files.h"
#include "core/read_failure.h"
#include "core/switch_family.h"
#include "readers/probe.h"
#include "support/fault_injection.h"
#include "support/memory_file_system.h"
#include "testdata/archives.h"
#include "testdata/cdot.h"

namespace vellmark {
namespace {

namespace td = testdata;

TEST(ArchiveNames, TheNameTellsWhatAFileIsAndWhichNameItsRulesUse) {
  struct Case {
    const char* path;
    ContainerKind kind;
    const char* fileName;
  };
  const Case cases[] = {
      {"/d/KOL1140226.DAT", ContainerKind::Plain, "KOL1140226.DAT"},
      {"C:\\d\\CD1502.DAT", ContainerKind::Plain, "CD1502.DAT"},
      {"/d/CD1502.DAT.GZ", ContainerKind::Compressed, "CD1502.DAT"},
      {"/d/day.zip", ContainerKind::Archive, "day.zip"},
      {"/d/day.TAR.XZ", ContainerKind::Archive, "day.TAR.XZ"},
      {"/d/day.tgz#in/sub/CD1502.DAT.bz2", ContainerKind::Compressed, "CD1502.DAT"},
      {"/d#1/day.zip#KOL#2.DAT", ContainerKind::Plain, "KOL#2.DAT"},
      {"/d/notes#1.txt", ContainerKind::Plain, "notes#1.txt"},
      {"/d/book.xlsx", ContainerKind::Plain, "book.xlsx"},
      {"/d/.gz", ContainerKind::Plain, ".gz"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ContainerKindOf(c.path), c.kind) << c.path;
    EXPECT_EQ(EntryFileName(c.path), c.fileName) << c.path;
  }
}

td::Bytes ReadBackwards(FileSystem& files, const std::string& path) {
  auto file = files.openRead(path);
  if (!file) return {};
  td::Bytes bytes((*file)->size());
  for (std::size_t end = bytes.size(); end > 0;) {
    std::size_t start = end > 1000 ? end - 1000 : 0;
    auto got = (*file)->readAt(start, bytes.data() + start, end - start);
    if (!got || *got != end - start) return {};
    end = start;
  }
  return bytes;
}

TEST(ArchiveFiles, MemberNamesAreTextsNeverPathsOnDisk) {
  td::TempDir scratch;
  const char* before = std::getenv("TMPDIR");
  const std::string saved = before ? before : "";
  ::setenv("TMPDIR", scratch.path().c_str(), 1);
  const td::Bytes cdot = td::CdotFile(td::CdotCalls(500));
  const std::vector<std::string> names = {"../../evil.DAT", "/abs/x.DAT", "new\nline.DAT", "bad\xff.DAT"};
  std::vector<td::Member> members;
  for (const auto& name : names) members.push_back({name, cdot});
  members.push_back({"dir", {}, td::Member::Kind::Folder});
  members.push_back({"dir/link", {}, td::Member::Kind::Link});
  members.push_back({"inner.zip", td::BuildZip({{"IN.DAT", cdot}}, true)});
  MemoryFileSystem memory;
  memory.put("/a/day.tar.xz", td::BuildTar(members, td::Packing::Xz));
  ArchiveFiles files(memory, UnpackLimits(), 1024);  // every member goes past memory

  ArchiveFiles::Expansion expansion = files.expand("/a/day.tar.xz");
  std::vector<std::string> expected;
  for (const auto& name : names) expected.push_back("/a/day.tar.xz#" + name);
  expected.push_back("/a/day.tar.xz#inner.zip");
  EXPECT_EQ(expansion.paths, expected);
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(ReadBackwards(files, expected[i]), cdot) << i;
  // One level of archives is read: an archive inside one is just "Unknown".
  EXPECT_EQ(ProbeSwitchFamily(files, expected.back()), kFamilyUnknown);
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
  if (before) ::setenv("TMPDIR", saved.c_str(), 1);
  else ::unsetenv("TMPDIR");
}

TEST(ArchiveFiles, MembersReadInArchiveOrderUnpackTheArchiveAboutOnce) {
  std::vector<td::Member> members;
  for (unsigned i = 0; i < 40; ++i) members.push_back({"M" + std::to_string(i) + ".DAT", td::CdotFile(td::CdotCalls(400, i))});
  const td::Bytes tarGz = td::BuildTar(members, td::Packing::Gzip);
  MemoryFileSystem memory;
  memory.put("day.tar.gz", tarGz);
  FaultInjectingFileSystem faulty(memory);
  ArchiveFiles files(faulty);
  const std::size_t onePass = tarGz.size() / 65536 + 1;
  for (const auto& path : files.expand("day.tar.gz").paths) {
    EXPECT_NE(ProbeSwitchFamily(files, path), kNotADataFile);  // the head, as adding does
    EXPECT_GT(ReadBackwards(files, path).size(), 0u);          // all of it, as a reader does
  }
  EXPECT_LE(static_cast<std::size_t>(faulty.readCalls()), 4 * onePass);

  // A failing read of the archive is the system's reason, kind "read".
  faulty.failReadsFrom(tarGz.size() / 2, EIO);
  auto file = files.openRead("day.tar.gz#M39.DAT");
  ASSERT_TRUE(file);
  std::uint8_t byte = 0;
  auto got = (*file)->readAt(0, &byte, 1);
  ASSERT_FALSE(got);
  EXPECT_EQ(FailureKindName(FromIoError(got.error()).kind), std::string("read"));
  EXPECT_EQ(got.error().reason, std::strerror(EIO));
}

}  // namespace
}  // namespace vellmark
