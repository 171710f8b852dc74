#pragma once
// Lists of file names too long for a command line (--files-from): one name per line,
// or names ended by NUL bytes (-0), as find -print0 writes them.

#include <string>
#include <vector>

#include "cli/commands.h"

namespace vellmark::cli {

// Appends the names listed in `source` ("-": standard input; a pipe such as <(find ...)
// will do) to `names`, skipping empty ones. A line's name is every byte before its line end, blanks and CR included. The
// reason when the list cannot be read, else "".
std::string ReadNameList(const std::string& source, bool nulSeparated, CliIo& io, std::vector<std::string>& names);

}  // namespace vellmark::cli
