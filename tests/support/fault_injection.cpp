#include "support/fault_injection.h"

namespace vellmark {

class FaultyInputFile : public InputFile {
 public:
  FaultyInputFile(FaultInjectingFileSystem& fs, std::unique_ptr<InputFile> inner, std::string path)
      : fs_(fs), inner_(std::move(inner)), path_(std::move(path)) {}
  Result<std::size_t> readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) override {
    ++fs_.readCalls_;
    fs_.runBefore(IoStep::Read, path_);
    if (fs_.faults_.readOffset && offset + n > *fs_.faults_.readOffset) return MakeIoError(IoStep::Read, fs_.faults_.read);
    return inner_->readAt(offset, buffer, n);
  }
  std::uint64_t size() const override { return inner_->size(); }

 private:
  FaultInjectingFileSystem& fs_;
  std::unique_ptr<InputFile> inner_;
  std::string path_;
};

class FaultyOutputFile : public OutputFile {
 public:
  FaultyOutputFile(FaultInjectingFileSystem& fs, std::unique_ptr<OutputFile> inner, std::string path)
      : fs_(fs), inner_(std::move(inner)), path_(std::move(path)) {}
  Status write(const void* data, std::size_t n) override {
    fs_.runBefore(IoStep::Write, path_);
    if (fs_.faults_.writeLimit && written_ + n > *fs_.faults_.writeLimit) return MakeIoError(IoStep::Write, fs_.faults_.write);
    written_ += n;
    return inner_->write(data, n);
  }
  Status flush() override {
    if (fs_.faults_.flush) return MakeIoError(IoStep::Flush, *fs_.faults_.flush);
    return inner_->flush();
  }
  Status close() override { return inner_->close(); }

 private:
  FaultInjectingFileSystem& fs_;
  std::unique_ptr<OutputFile> inner_;
  std::string path_;
  std::uint64_t written_ = 0;
};

Result<std::unique_ptr<InputFile>> FaultInjectingFileSystem::openRead(const std::string& path) {
  if (faults_.open) return MakeIoError(IoStep::Open, *faults_.open);
  auto file = inner_.openRead(path);
  if (!file) return file.error();
  return std::unique_ptr<InputFile>(new FaultyInputFile(*this, std::move(*file), path));
}

Result<std::unique_ptr<OutputFile>> FaultInjectingFileSystem::wrap(Result<std::unique_ptr<OutputFile>> file,
                                                                  const std::string& path) {
  if (!file) return file.error();
  return std::unique_ptr<OutputFile>(new FaultyOutputFile(*this, std::move(*file), path));
}

void FaultInjectingFileSystem::runBefore(IoStep step, const std::string& path) {
  auto found = faults_.before.find(step);
  if (found != faults_.before.end()) found->second(path);
}

Result<std::unique_ptr<OutputFile>> FaultInjectingFileSystem::createNew(const std::string& path, unsigned mode) {
  if (faults_.create) return MakeIoError(IoStep::Open, *faults_.create);
  return wrap(inner_.createNew(path, mode), path);
}

Result<std::unique_ptr<OutputFile>> FaultInjectingFileSystem::openTruncate(const std::string& path) {
  if (faults_.create) return MakeIoError(IoStep::Open, *faults_.create);
  return wrap(inner_.openTruncate(path), path);
}

Status FaultInjectingFileSystem::rename(const std::string& from, const std::string& to) {
  runBefore(IoStep::Rename, to);
  if (faults_.rename) return MakeIoError(IoStep::Rename, *faults_.rename);
  return inner_.rename(from, to);
}

Status FaultInjectingFileSystem::renameNoReplace(const std::string& from, const std::string& to) {
  runBefore(IoStep::Rename, to);
  if (faults_.rename) return MakeIoError(IoStep::Rename, *faults_.rename);
  return inner_.renameNoReplace(from, to);
}

}  // namespace vellmark
