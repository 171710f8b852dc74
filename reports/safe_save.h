#pragma once
// Saving a file so that an old file of that name is only ever replaced by a complete
// new one: the content goes to a temporary file in the target's folder (a link is
// followed to its real target, whose permission bits the new file keeps), is flushed
// to the disk and only then renamed over the target. On any failure the temporary
// file is removed and the old file is left as it was.

#include <string>
#include <string_view>

#include "core/file_system.h"

namespace vellmark {

// Where no temporary file can be made beside the target (a folder we may not write
// holding a file we may), the target is written in place instead. A target that is a
// folder or another non-regular file is refused.
Status SaveFileReplacing(FileSystem& files, const std::string& path, std::string_view content);

}  // namespace vellmark
