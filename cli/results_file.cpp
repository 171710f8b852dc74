#include "cli/results_file.h"

namespace vellmark::cli {

namespace {

// What identifies a file's bytes on disk: for a compressed file or a member, the file
// or archive they are unpacked from.
std::uint64_t DiskSize(std::optional<std::uint64_t> packed, std::uint64_t size) { return packed ? *packed : size; }

}  // namespace

std::string ResultsFile::open(FileSystem& files, const std::string& path) {
  std::string bytes;
  auto status = files.status(path);
  if (!status) return status.error().reason;
  if (status->exists) {
    auto file = files.openRead(path);
    if (!file) return file.error().reason;
    bytes.resize((*file)->size());
    auto got = (*file)->readAt(0, reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
    if (!got) return got.error().reason;
    bytes.resize(*got);
  }
  const std::size_t whole = bytes.rfind('\n') == std::string::npos ? 0 : bytes.rfind('\n') + 1;
  std::size_t number = 0;
  for (std::size_t from = 0; from < whole;) {
    const std::size_t end = bytes.find('\n', from);
    std::string_view text(bytes.data() + from, end - from);
    ++number;
    from = end + 1;
    if (text.empty()) continue;
    std::string error;
    auto parsed = ParseResultLine(text, error);
    if (!parsed) return "line " + std::to_string(number) + " is not a result line: " + error;
    lines_[parsed->entry.path] = Kept{std::string(text), false};
  }
  auto out = files.openAppend(path, whole);
  if (!out) return out.error().reason;
  out_ = std::move(*out);
  return "";
}

std::optional<AnalyserEntry> ResultsFile::reuse(const std::string& path, const FileStatus& status,
                                                const LineOptions& options) {
  auto found = lines_.find(path);
  if (found == lines_.end()) return std::nullopt;
  std::string error;
  auto parsed = ParseResultLine(found->second.line, error);
  if (!parsed) return std::nullopt;
  const AnalyserEntry& e = parsed->entry;
  if (!HoldsResult(e) || !(parsed->options == options) || e.mtimeNs != status.modified ||
      DiskSize(e.packedBytes, e.sizeBytes.value_or(0)) != DiskSize(status.packedSize, status.size))
    return std::nullopt;
  found->second.taken = true;
  return std::move(parsed->entry);
}

const std::string* ResultsFile::reused(const std::string& path) const {
  auto found = lines_.find(path);
  return found != lines_.end() && found->second.taken ? &found->second.line : nullptr;
}

Status ResultsFile::append(const std::string& line) {
  std::string whole = line + "\n";
  return out_->write(whole.data(), whole.size());
}

}  // namespace vellmark::cli
