#include "core/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace vellmark {

IoError MakeIoError(IoStep step, int code) { return IoError{step, code, std::strerror(code)}; }

Result<std::size_t> ReadFullyAt(int fd, std::uint64_t offset, std::uint8_t* buffer, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    ssize_t r = ::pread(fd, buffer + got, n - got, static_cast<off_t>(offset + got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return MakeIoError(IoStep::Read, errno);
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return got;
}

namespace {

// What the system itself follows at most.
constexpr int kMostLinks = 40;

// Errors that only say nothing is at a name.
bool Missing(int code) { return code == ENOENT || code == ENOTDIR || code == ELOOP || code == ENAMETOOLONG; }

class PosixInputFile : public InputFile {
 public:
  PosixInputFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  ~PosixInputFile() override { ::close(fd_); }

  Result<std::size_t> readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) override {
    return ReadFullyAt(fd_, offset, buffer, n);
  }
  std::uint64_t size() const override { return size_; }
  bool concurrentReads() const override { return true; }

 private:
  int fd_;
  std::uint64_t size_;
};

class PosixOutputFile : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  Status write(const void* data, std::size_t n) override {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
      ssize_t r = ::write(fd_, p, n);
      if (r < 0) {
        if (errno == EINTR) continue;
        return MakeIoError(IoStep::Write, errno);
      }
      p += r;
      n -= static_cast<std::size_t>(r);
    }
    return Ok();
  }
  Status flush() override {
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) return MakeIoError(IoStep::Flush, errno);
    return Ok();
  }
  Status close() override {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return MakeIoError(IoStep::Flush, errno);
    return Ok();
  }

 private:
  int fd_;
};

constexpr off_t kSequentialFrom = off_t{1} << 20;

class PosixFileSystem : public FileSystem {
 public:
  Result<FileStatus> status(const std::string& path) override {
    struct stat st;
    FileStatus s;
    if (::lstat(path.c_str(), &st) != 0) {
      if (Missing(errno)) return s;
      return MakeIoError(IoStep::Status, errno);
    }
    if (S_ISLNK(st.st_mode)) {
      s.link = true;
      if (::stat(path.c_str(), &st) != 0) {
        if (Missing(errno)) return s;  // a link leading nowhere, or a loop
        return MakeIoError(IoStep::Status, errno);
      }
    }
    s.exists = true;
    s.regular = S_ISREG(st.st_mode);
    s.directory = S_ISDIR(st.st_mode);
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.mode = st.st_mode & 07777;
    s.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    return s;
  }

  Result<std::unique_ptr<InputFile>> openRead(const std::string& path) override {
    // O_NONBLOCK: opening a FIFO must never wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return MakeIoError(IoStep::Open, errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
      int e = errno;
      ::close(fd);
      return MakeIoError(IoStep::Open, e);
    }
    if (!S_ISREG(st.st_mode)) {
      ::close(fd);
      return MakeIoError(IoStep::Open, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    // Reads block again (some network file systems honour O_NONBLOCK on files); of the
    // flags F_SETFL sets, the open gave no other. Read-ahead is worth asking for only
    // where there is more to read than one large read takes.
    ::fcntl(fd, F_SETFL, 0);
    if (st.st_size > kSequentialFrom) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::unique_ptr<InputFile>(new PosixInputFile(fd, static_cast<std::uint64_t>(st.st_size)));
  }

  Result<std::unique_ptr<OutputFile>> createNew(const std::string& path, unsigned mode) override {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return MakeIoError(IoStep::Open, errno);
    ::fchmod(fd, mode);  // not narrowed by the umask: the report keeps the old file's bits
    return std::unique_ptr<OutputFile>(new PosixOutputFile(fd));
  }

  Result<std::unique_ptr<OutputFile>> openTruncate(const std::string& path) override {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return MakeIoError(IoStep::Open, errno);
    return std::unique_ptr<OutputFile>(new PosixOutputFile(fd));
  }

  Result<std::unique_ptr<OutputFile>> openAppend(const std::string& path, std::uint64_t keep) override {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return MakeIoError(IoStep::Open, errno);
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && static_cast<std::uint64_t>(st.st_size) > keep) ok = ::ftruncate(fd, static_cast<off_t>(keep)) == 0;
    if (!ok) {
      int e = errno;
      ::close(fd);
      return MakeIoError(IoStep::Write, e);
    }
    return std::unique_ptr<OutputFile>(new PosixOutputFile(fd));
  }

  Status rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return MakeIoError(IoStep::Rename, errno);
    return Ok();
  }

  Status renameNoReplace(const std::string& from, const std::string& to) override {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return Ok();
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return MakeIoError(IoStep::Rename, errno);
    // A file system without it: a hard link is refused where any name exists.
    if (::link(from.c_str(), to.c_str()) == 0) {
      ::unlink(from.c_str());
      return Ok();
    }
    if (errno != EPERM && errno != EOPNOTSUPP) return MakeIoError(IoStep::Rename, errno);
    // Nor hard links (FAT): claim the name with an empty file, then rename over it.
    int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return MakeIoError(IoStep::Rename, errno);
    ::close(fd);
    return rename(from, to);
  }

  Status remove(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) return MakeIoError(IoStep::Remove, errno);
    return Ok();
  }

  std::string resolveLinks(const std::string& path) override {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      std::string s(real);
      std::free(real);
      return s;
    }
    // Something on the way is missing: follow the links by hand to the name they end at.
    std::string at = path;
    for (int hops = 0; hops < kMostLinks; ++hops) {
      char target[PATH_MAX];
      ssize_t n = ::readlink(at.c_str(), target, sizeof target);
      if (n < 0) {
        if (errno != EINVAL && errno != ENOENT) return path;
        const std::size_t slash = at.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : at.substr(0, slash);
        char* real = ::realpath(folder.c_str(), nullptr);
        if (!real) return path;
        std::string s(real);
        std::free(real);
        return (s == "/" ? "" : s) + "/" + at.substr(slash == std::string::npos ? 0 : slash + 1);
      }
      const std::string next(target, static_cast<std::size_t>(n));
      const std::size_t slash = at.rfind('/');
      at = next.front() == '/' || slash == std::string::npos ? next : at.substr(0, slash + 1) + next;
    }
    return path;  // a loop
  }
};

}  // namespace

Result<std::unique_ptr<OutputFile>> FileSystem::openAppend(const std::string&, std::uint64_t) {
  return MakeIoError(IoStep::Open, ENOTSUP);
}

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

bool SameFile(FileSystem& files, const std::string& a, const std::string& b) {
  auto sa = files.status(a), sb = files.status(b);
  if (sa && sb && sa->exists && sb->exists && sa->inode != 0)
    return sa->device == sb->device && sa->inode == sb->inode;
  return files.resolveLinks(a) == files.resolveLinks(b);
}

}  // namespace vellmark
