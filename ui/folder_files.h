#pragma once
// Folders offered to the list stand for the regular files in them and in their
// subfolders, in name order.

#include <string>
#include <vector>

namespace vellmark::ui {

// Each path as it is, except that a folder is replaced by the regular files below it
// (links to regular files included, linked folders not followed, unreadable folders
// passed over), ordered by their path component by component.
std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths);

}  // namespace vellmark::ui
