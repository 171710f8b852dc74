#include "ui/folder_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace vellmark::ui {

namespace fs = std::filesystem;

std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths) {
  std::vector<std::string> out;
  for (const std::string& path : paths) {
    std::error_code error;
    if (!fs::is_directory(path, error)) {
      out.push_back(path);
      continue;
    }
    std::vector<fs::path> files;
    fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, error), end;
    for (; !error && it != end; it.increment(error)) {
      std::error_code fileError;
      if (it->is_regular_file(fileError)) files.push_back(it->path());
    }
    // fs::path compares name by name: "a", "b/c", "b/d", "c".
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) out.push_back(file.native());
  }
  return out;
}

}  // namespace vellmark::ui
