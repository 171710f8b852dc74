#pragma once
// Saving a file so that an old file of that name is only ever replaced by a complete
// new one, and only when the caller allows it: the content goes to a temporary file
// in the target's folder, is flushed to the disk and only then renamed to the target.
// On any failure the temporary file is removed and the old file is left as it was.

#include <memory>
#include <string>
#include <string_view>

#include "core/file_system.h"

namespace vellmark {

enum class SaveMode {
  // Only to a name that nothing is at: a file or link there, also one that appears
  // while the content is written, is left alone and the save fails with EEXIST.
  NewOnly,
  // Replaces what is there. A link is followed to the file it ends at (made when
  // missing; the link stays) and a link loop fails; the old file's permission bits
  // are kept.
  Replace,
};

// Where no temporary file can be made beside the target (a folder we may not write
// holding a file we may), an existing target is written in place instead. A target
// that is a folder or another non-regular file is refused.
Status SaveFile(FileSystem& files, const std::string& path, std::string_view content, SaveMode mode);

// The name a save writes to: the path itself, or for Replace where its links end.
// An error for a name the mode may not write (EEXIST, EISDIR, EINVAL, ELOOP).
Result<std::string> SaveTarget(FileSystem& files, const std::string& path, SaveMode mode);

// Makes a new, empty temporary file beside `target` and keeps its name on the list that
// RemoveTemporaryFiles removes, until the holder lets go of it.
class TemporaryFile {
 public:
  static Result<TemporaryFile> create(FileSystem& files, const std::string& target, unsigned mode);
  TemporaryFile(TemporaryFile&& other) noexcept;
  TemporaryFile& operator=(TemporaryFile&&) = delete;
  ~TemporaryFile();

  const std::string& path() const { return path_; }
  std::unique_ptr<OutputFile>& output() { return output_; }
  // After the rename: the name is the target's now and must not be removed.
  void release();

 private:
  TemporaryFile() = default;
  FileSystem* files_ = nullptr;   // null once released
  std::string path_;
  std::unique_ptr<OutputFile> output_;
  int slot_ = -1;
};

// Removes every temporary file being written at this moment. Safe in a signal handler
// that then ends the program: the targets stay as they were.
void RemoveTemporaryFiles();

}  // namespace vellmark
