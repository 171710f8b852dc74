#include "reports/safe_save.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include "support/fault_injection.h"
#include "testdata/bytes.h"
#include "saved_files.h"

namespace vellmark {
namespace {

namespace fs = std::filesystem;
using testdata::TempDir;

using reports_test::Names;
using reports_test::Read;

unsigned Mode(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

// A folder we may not write: no file can be created in it, existing files stay writable.
class LockedFolderFileSystem : public FaultInjectingFileSystem {
 public:
  using FaultInjectingFileSystem::FaultInjectingFileSystem;
  Result<std::unique_ptr<OutputFile>> createNew(const std::string&, unsigned) override {
    return MakeIoError(IoStep::Open, EACCES);
  }
};

TEST(SaveFileReplacing, ReplacesKeepingModeAndLinks) {
  TempDir dir;
  std::string target = dir.write("r.vmr", "old contents");
  ::chmod(target.c_str(), 0640);
  ASSERT_TRUE(SaveFileReplacing(RealFileSystem(), target, "new"));
  EXPECT_EQ(Read(target), "new");
  EXPECT_EQ(Mode(target), 0640u);
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"r.vmr"});

  // Through a link: the link stays, its target gets the text.
  fs::create_symlink(target, dir.file("link.vmr"));
  ASSERT_TRUE(SaveFileReplacing(RealFileSystem(), dir.file("link.vmr"), "via link"));
  EXPECT_TRUE(fs::is_symlink(dir.file("link.vmr")));
  EXPECT_EQ(Read(target), "via link");
  EXPECT_EQ(Mode(target), 0640u);

  // A new file gets the usual bits of the umask.
  mode_t mask = ::umask(022);
  ASSERT_TRUE(SaveFileReplacing(RealFileSystem(), dir.file("fresh.vmr"), ""));
  ::umask(mask);
  EXPECT_EQ(Mode(dir.file("fresh.vmr")), 0644u);
  EXPECT_EQ(Read(dir.file("fresh.vmr")), "");
}

TEST(SaveFileReplacing, RefusesFoldersAndSpecialFiles) {
  TempDir dir;
  fs::create_directory(dir.file("sub"));
  auto folder = SaveFileReplacing(RealFileSystem(), dir.file("sub"), "x");
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.error().code, EISDIR);
  EXPECT_TRUE(fs::is_directory(dir.file("sub")));

  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(SaveFileReplacing(RealFileSystem(), dir.file("pipe"), "x"));
  EXPECT_TRUE(fs::is_fifo(dir.file("pipe")));

  auto nowhere = SaveFileReplacing(RealFileSystem(), dir.file("no/such/folder.vmr"), "x");
  ASSERT_FALSE(nowhere);
  EXPECT_EQ(nowhere.error().reason, "No such file or directory");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"sub", "pipe"}));
}

TEST(SaveFileReplacing, LeavesTheOldFileWhole) {
  TempDir dir;
  std::string target = dir.write("r.vmr", "old contents");
  FaultInjectingFileSystem faulty(RealFileSystem());
  const std::string text(5000, 'x');

  faulty.failWritesAfter(100, ENOSPC);
  auto full = SaveFileReplacing(faulty, target, text);
  ASSERT_FALSE(full);
  EXPECT_EQ(full.error().reason, "No space left on device");
  faulty.clear();
  faulty.failFlush(EIO);
  EXPECT_FALSE(SaveFileReplacing(faulty, target, text));
  faulty.clear();
  faulty.failRename(EXDEV);
  EXPECT_FALSE(SaveFileReplacing(faulty, target, text));
  faulty.clear();
  faulty.failCreate(EACCES);
  auto denied = SaveFileReplacing(faulty, target, text);
  ASSERT_FALSE(denied);
  EXPECT_EQ(denied.error().reason, "Permission denied");
  faulty.clear();
  faulty.failCreate(ENAMETOOLONG);
  EXPECT_FALSE(SaveFileReplacing(faulty, target, text));

  EXPECT_EQ(Read(target), "old contents");
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"r.vmr"});
}

TEST(SaveFileReplacing, WritesInPlaceInALockedFolder) {
  TempDir dir;
  std::string target = dir.write("r.vmr", "old contents");
  LockedFolderFileSystem locked(RealFileSystem());
  ASSERT_TRUE(SaveFileReplacing(locked, target, "new"));
  EXPECT_EQ(Read(target), "new");
  // A new file cannot be made there at all.
  auto fresh = SaveFileReplacing(locked, dir.file("fresh.vmr"), "new");
  ASSERT_FALSE(fresh);
  EXPECT_EQ(fresh.error().code, EACCES);
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"r.vmr"});
}

TEST(SaveFileReplacing, RealReadOnlyFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  TempDir dir;
  fs::create_directory(dir.file("ro"));
  std::string target = dir.write("ro/r.vmr", "old");
  ::chmod(dir.file("ro").c_str(), 0555);
  EXPECT_TRUE(SaveFileReplacing(RealFileSystem(), target, "new"));
  EXPECT_EQ(Read(target), "new");
  auto fresh = SaveFileReplacing(RealFileSystem(), dir.file("ro/fresh.vmr"), "new");
  ASSERT_FALSE(fresh);
  EXPECT_EQ(fresh.error().code, EACCES);
  ::chmod(target.c_str(), 0444);
  EXPECT_FALSE(SaveFileReplacing(RealFileSystem(), target, "newer"));
  EXPECT_EQ(Read(target), "new");
}

}  // namespace
}  // namespace vellmark
