#include "reports/safe_save.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <random>

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

}  // namespace

Status SaveFileReplacing(FileSystem& files, const std::string& path, std::string_view content) {
  if (path.empty()) return MakeIoError(IoStep::Open, ENOENT);
  const std::string target = files.resolveLinks(path);
  auto status = files.status(target);
  if (!status) return status.error();
  if (status->exists && status->directory) return MakeIoError(IoStep::Open, EISDIR);
  // Renaming over a FIFO or a device would replace the node itself.
  if (status->exists && !status->regular) return MakeIoError(IoStep::Open, EINVAL);
  const unsigned mode = status->exists ? (status->mode & 0777u) : NewFileMode();

  const std::string folder = FolderOf(target);
  std::string temporary;
  Result<std::unique_ptr<OutputFile>> created = MakeIoError(IoStep::Open, EEXIST);
  for (int attempt = 0; attempt < 16; ++attempt) {
    temporary = TemporaryName(folder);
    created = files.createNew(temporary, mode);
    if (created || created.error().code != EEXIST) break;
  }
  if (!created) {
    int code = created.error().code;
    if ((code == EACCES || code == EPERM) && status->exists) {
      auto inPlace = files.openTruncate(target);
      if (!inPlace) return inPlace.error();
      return WriteAndClose(**inPlace, content);
    }
    return created.error();
  }

  Status saved = WriteAndClose(**created, content);
  created->reset();
  if (saved) saved = files.rename(temporary, target);
  if (!saved) (void)files.remove(temporary);  // best effort: the failure is what counts
  return saved;
}

}  // namespace vellmark
