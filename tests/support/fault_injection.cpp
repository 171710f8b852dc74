#include "support/fault_injection.h"

namespace vellmark {

class FaultyInputFile : public InputFile {
 public:
  FaultyInputFile(FaultInjectingFileSystem& fs, std::unique_ptr<InputFile> inner)
      : fs_(fs), inner_(std::move(inner)) {}
  Result<std::size_t> readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t n) override {
    ++fs_.readCalls_;
    if (fs_.faults_.readOffset && offset + n > *fs_.faults_.readOffset) return MakeIoError(IoStep::Read, fs_.faults_.read);
    return inner_->readAt(offset, buffer, n);
  }
  std::uint64_t size() const override { return inner_->size(); }

 private:
  FaultInjectingFileSystem& fs_;
  std::unique_ptr<InputFile> inner_;
};

class FaultyOutputFile : public OutputFile {
 public:
  FaultyOutputFile(FaultInjectingFileSystem& fs, std::unique_ptr<OutputFile> inner)
      : fs_(fs), inner_(std::move(inner)) {}
  Status write(const void* data, std::size_t n) override {
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
  std::uint64_t written_ = 0;
};

Result<std::unique_ptr<InputFile>> FaultInjectingFileSystem::openRead(const std::string& path) {
  if (faults_.open) return MakeIoError(IoStep::Open, *faults_.open);
  auto file = inner_.openRead(path);
  if (!file) return file.error();
  return std::unique_ptr<InputFile>(new FaultyInputFile(*this, std::move(*file)));
}

Result<std::unique_ptr<OutputFile>> FaultInjectingFileSystem::wrap(Result<std::unique_ptr<OutputFile>> file) {
  if (!file) return file.error();
  return std::unique_ptr<OutputFile>(new FaultyOutputFile(*this, std::move(*file)));
}

Result<std::unique_ptr<OutputFile>> FaultInjectingFileSystem::createNew(const std::string& path, unsigned mode) {
  if (faults_.create) return MakeIoError(IoStep::Open, *faults_.create);
  return wrap(inner_.createNew(path, mode));
}

Result<std::unique_ptr<OutputFile>> FaultInjectingFileSystem::openTruncate(const std::string& path) {
  if (faults_.create) return MakeIoError(IoStep::Open, *faults_.create);
  return wrap(inner_.openTruncate(path));
}

Status FaultInjectingFileSystem::rename(const std::string& from, const std::string& to) {
  if (faults_.rename) return MakeIoError(IoStep::Rename, *faults_.rename);
  return inner_.rename(from, to);
}

}  // namespace vellmark
