#pragma once
// Looking at what a save left on disk: a file's text and the names in a folder.

#include <filesystem>
#include <set>
#include <string>

#include "testdata/bytes.h"

namespace vellmark::reports_test {

inline std::string Read(const std::string& path) {
  auto bytes = testdata::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

inline std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

}  // namespace vellmark::reports_test
