#include "reports/safe_save.h"

#include <sys/stat.h>

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <utility>

namespace vellmark {

namespace {

// The permission bits a new file gets: 0666 narrowed by the umask. The umask is read
// from /proc, since setting it to read it would race with other threads creating files.
unsigned NewFileMode() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) != 0) continue;
    unsigned umask = 0;
    std::size_t at = line.find_first_not_of(" \t", 6);
    if (at == std::string::npos) break;
    auto [end, ec] = std::from_chars(line.c_str() + at, line.c_str() + line.size(), umask, 8);
    if (ec == std::errc()) return 0666u & ~umask;
    break;
  }
  return 0644;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return path.substr(0, slash + 1);
}

std::string TemporaryName(const std::string& folder) {
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::random_device random;
  std::string name = folder + ".vellmark-";
  for (int i = 0; i < 8; ++i) name += kDigits[random() % 36];
  return name + ".tmp";
}

Status WriteAndClose(OutputFile& out, std::string_view content) {
  Status written = out.write(content.data(), content.size());
  if (written) written = out.flush();
  Status closed = out.close();
  if (!written) return written;
  return closed;
}

// The names of the temporary files being written, where a signal handler can read
// them: a slot is claimed, filled, then marked ready; the handler reads ready slots only.
struct PendingName {
  std::atomic<bool> claimed{false};
  std::atomic<bool> ready{false};
  char path[PATH_MAX];
};
PendingName g_pending[8];

int Claim(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < static_cast<int>(std::size(g_pending)); ++i) {
    bool free = false;
    if (!g_pending[i].claimed.compare_exchange_strong(free, true)) continue;
    std::memcpy(g_pending[i].path, path.c_str(), path.size() + 1);
    g_pending[i].ready.store(true);
    return i;
  }
  return -1;  // more saves at once than slots: that one is not removed on a signal
}

void Unclaim(int slot) {
  if (slot < 0) return;
  g_pending[slot].ready.store(false);
  g_pending[slot].claimed.store(false);
}

}  // namespace

Result<TemporaryFile> TemporaryFile::create(FileSystem& files, const std::string& target, unsigned mode) {
  const std::string folder = FolderOf(target);
  // The error names the folder: it is not the target that failed.
  auto failed = [&](IoError error) {
    error.reason = "cannot make a temporary file in " +
                   (folder.empty() ? "." : folder.size() == 1 ? folder : folder.substr(0, folder.size() - 1)) + ": " +
                   error.reason;
    return error;
  };
  for (int attempt = 0; attempt < 16; ++attempt) {
    TemporaryFile temporary;
    temporary.path_ = TemporaryName(folder);
    auto created = files.createNew(temporary.path_, mode);
    if (!created) {
      if (created.error().code == EEXIST) continue;
      return failed(created.error());
    }
    temporary.files_ = &files;
    temporary.output_ = std::move(*created);
    temporary.slot_ = Claim(temporary.path_);
    return temporary;
  }
  return failed(IoError{IoStep::Open, EAGAIN, "no free name"});
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : files_(std::exchange(other.files_, nullptr)),
      path_(std::move(other.path_)),
      output_(std::move(other.output_)),
      slot_(std::exchange(other.slot_, -1)) {}

TemporaryFile::~TemporaryFile() {
  output_.reset();
  if (files_) (void)files_->remove(path_);  // best effort: the failure that led here is what counts
  Unclaim(slot_);
}

void TemporaryFile::release() {
  files_ = nullptr;
  Unclaim(std::exchange(slot_, -1));
}

void RemoveTemporaryFiles() {
  for (PendingName& pending : g_pending)
    if (pending.ready.load()) ::unlink(pending.path);
}

Result<std::string> SaveTarget(FileSystem& files, const std::string& path, SaveMode mode) {
  if (path.empty()) return MakeIoError(IoStep::Open, ENOENT);
  const std::string target = mode == SaveMode::Replace ? files.resolveLinks(path) : path;
  auto status = files.status(target);
  if (!status) return status.error();
  if (status->exists && status->directory) return MakeIoError(IoStep::Open, EISDIR);
  // Renaming over a FIFO or a device would replace the node itself.
  if (status->exists && !status->regular) return MakeIoError(IoStep::Open, EINVAL);
  if (mode == SaveMode::NewOnly && status->taken()) return MakeIoError(IoStep::Open, EEXIST);
  // Still a link after every link was followed: a loop.
  if (status->link && !status->exists) return MakeIoError(IoStep::Open, ELOOP);
  return target;
}

Status SaveFile(FileSystem& files, const std::string& path, std::string_view content, SaveMode mode) {
  auto target = SaveTarget(files, path, mode);
  if (!target) return target.error();
  auto status = files.status(*target);
  if (!status) return status.error();
  const unsigned bits = status->exists ? (status->mode & 0777u) : NewFileMode();

  auto temporary = TemporaryFile::create(files, *target, bits);
  if (!temporary) {
    int code = temporary.error().code;
    if ((code == EACCES || code == EPERM) && status->exists) {
      auto inPlace = files.openTruncate(*target);
      if (!inPlace) return inPlace.error();
      return WriteAndClose(**inPlace, content);
    }
    return temporary.error();
  }
  Status saved = WriteAndClose(*temporary->output(), content);
  if (!saved) return saved;
  saved = mode == SaveMode::Replace ? files.rename(temporary->path(), *target)
                                    : files.renameNoReplace(temporary->path(), *target);
  if (saved) temporary->release();
  return saved;
}

}  // namespace vellmark
