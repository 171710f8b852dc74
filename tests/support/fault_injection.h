#pragma once
// A FileSystem that passes every call to another one until told to fail: an open, the
// read that reaches a given offset, the write past a given number of bytes, the
// flush, the rename. Tests use it to check that every failure is reported as one, and
// to make something happen at a chosen moment (a file appearing, a Ctrl-C).

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "core/file_system.h"

namespace vellmark {

class FaultInjectingFileSystem : public FileSystem {
 public:
  explicit FaultInjectingFileSystem(FileSystem& inner) : inner_(inner) {}

  // Each failure stays armed until clear(); `code` is the errno reported.
  void failOpen(int code) { faults_.open = code; }
  void failReadsFrom(std::uint64_t offset, int code) { faults_.readOffset = offset; faults_.read = code; }
  void failWritesAfter(std::uint64_t bytes, int code) { faults_.writeLimit = bytes; faults_.write = code; }
  void failFlush(int code) { faults_.flush = code; }
  void failRename(int code) { faults_.rename = code; }
  void failCreate(int code) { faults_.create = code; }
  // Runs `action` just before every read, write or rename (Read, Write, Rename), with
  // the file's path (a rename's target).
  void before(IoStep step, std::function<void(const std::string&)> action) { faults_.before[step] = std::move(action); }
  void clear() { faults_ = {}; }

  int readCalls() const { return readCalls_.load(); }

  Result<FileStatus> status(const std::string& path) override { return inner_.status(path); }
  Result<std::unique_ptr<InputFile>> openRead(const std::string& path) override;
  Result<std::unique_ptr<OutputFile>> createNew(const std::string& path, unsigned mode) override;
  Result<std::unique_ptr<OutputFile>> openTruncate(const std::string& path) override;
  Result<std::unique_ptr<OutputFile>> openAppend(const std::string& path, std::uint64_t keep) override {
    return wrap(inner_.openAppend(path, keep), path);
  }
  Status rename(const std::string& from, const std::string& to) override;
  Status renameNoReplace(const std::string& from, const std::string& to) override;
  Status remove(const std::string& path) override { return inner_.remove(path); }
  std::string resolveLinks(const std::string& path) override { return inner_.resolveLinks(path); }

 private:
  friend class FaultyInputFile;
  friend class FaultyOutputFile;
  Result<std::unique_ptr<OutputFile>> wrap(Result<std::unique_ptr<OutputFile>> file, const std::string& path);
  void runBefore(IoStep step, const std::string& path);

  struct Faults {
    std::optional<int> open, create, flush, rename;
    std::optional<std::uint64_t> readOffset, writeLimit;
    int read = 0, write = 0;
    std::map<IoStep, std::function<void(const std::string&)>> before;
  };
  FileSystem& inner_;
  Faults faults_;
  std::atomic<int> readCalls_{0};  // files may be read on several threads
};

}  // namespace vellmark
