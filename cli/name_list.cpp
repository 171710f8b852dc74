#include "cli/name_list.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace vellmark::cli {

namespace {

void Split(const std::string& bytes, char separator, std::vector<std::string>& names) {
  std::size_t from = 0;
  while (from < bytes.size()) {
    std::size_t end = bytes.find(separator, from);
    if (end == std::string::npos) end = bytes.size();
    if (end > from) names.emplace_back(bytes, from, end - from);
    from = end + 1;
  }
}

// Reads through a stream, not the file layer, so the list may come through a pipe.
std::string ReadWholeSource(const std::string& source, CliIo& io, std::string& bytes) {
  std::ifstream file;
  if (source != "-") {
    file.open(source, std::ios::binary);
    if (!file) return source + ": " + std::strerror(errno);
  }
  std::istream& in = source == "-" ? io.in : file;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  if (in.bad()) return (source == "-" ? std::string("the standard input") : source) + ": cannot be read";
  return "";
}

}  // namespace

std::string ReadNameList(const std::string& source, bool nulSeparated, CliIo& io, std::vector<std::string>& names) {
  std::string bytes;
  std::string error = ReadWholeSource(source, io, bytes);
  if (error.empty()) Split(bytes, nulSeparated ? '\0' : '\n', names);
  return error;
}

}  // namespace vellmark::cli
