#pragma once
// Files held in memory: fuzz targets and tests feed readers bytes without touching
// the disk. Only reading is supported; writing fails with EROFS.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/file_system.h"

namespace vellmark {

class MemoryFileSystem : public FileSystem {
 public:
  void put(const std::string& path, std::vector<std::uint8_t> bytes) { files_[path] = std::move(bytes); }
  void erase(const std::string& path) { files_.erase(path); }

  Result<FileStatus> status(const std::string& path) override;
  Result<std::unique_ptr<InputFile>> openRead(const std::string& path) override;
  Result<std::unique_ptr<OutputFile>> createNew(const std::string& path, unsigned mode) override;
  Result<std::unique_ptr<OutputFile>> openTruncate(const std::string& path) override;
  Status rename(const std::string& from, const std::string& to) override;
  Status renameNoReplace(const std::string& from, const std::string& to) override { return rename(from, to); }
  Status remove(const std::string& path) override;
  std::string resolveLinks(const std::string& path) override { return path; }

 private:
  std::map<std::string, std::vector<std::uint8_t>> files_;
};

}  // namespace vellmark
