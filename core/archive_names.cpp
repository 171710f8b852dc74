#include "core/archive_names.h"

#include <array>

namespace vellmark {

namespace {

constexpr std::array<std::string_view, 4> kCompressedEndings = {".gz", ".bz2", ".xz", ".zst"};
constexpr std::array<std::string_view, 3> kArchiveEndings = {".zip", ".tar", ".tgz"};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EndsWithNoCase(std::string_view text, std::string_view ending) {
  if (text.size() < ending.size()) return false;
  text.remove_prefix(text.size() - ending.size());
  for (std::size_t i = 0; i < ending.size(); ++i)
    if (Lower(text[i]) != ending[i]) return false;
  return true;
}

std::string_view BaseName(std::string_view path) {
  std::size_t cut = path.find_last_of("/\\");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// ".tar.<ending>": a compressed tar, whatever compressed it.
bool IsCompressedTar(std::string_view name) {
  std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && dot + 1 < name.size() && EndsWithNoCase(name.substr(0, dot), ".tar");
}

}  // namespace

ContainerKind ContainerKindOf(std::string_view name) {
  name = BaseName(name);
  for (std::string_view ending : kArchiveEndings)
    if (name.size() > ending.size() && EndsWithNoCase(name, ending)) return ContainerKind::Archive;
  if (IsCompressedTar(name)) return ContainerKind::Archive;
  for (std::string_view ending : kCompressedEndings)
    if (name.size() > ending.size() && EndsWithNoCase(name, ending)) return ContainerKind::Compressed;
  return ContainerKind::Plain;
}

std::string_view WithoutCompressionSuffix(std::string_view name) {
  if (ContainerKindOf(name) != ContainerKind::Compressed) return name;
  return name.substr(0, name.rfind('.'));
}

std::optional<MemberPath> SplitMemberPath(std::string_view path) {
  for (std::size_t mark = path.find(kMemberMark); mark != std::string_view::npos;
       mark = path.find(kMemberMark, mark + 1)) {
    if (ContainerKindOf(path.substr(0, mark)) == ContainerKind::Archive)
      return MemberPath{std::string(path.substr(0, mark)), std::string(path.substr(mark + 1))};
  }
  return std::nullopt;
}

std::string MemberPathOf(std::string_view archive, std::string_view member) {
  std::string path(archive);
  path += kMemberMark;
  path += member;
  return path;
}

std::string EntryFileName(std::string_view path) {
  std::optional<MemberPath> split = SplitMemberPath(path);
  std::string_view name = BaseName(split ? std::string_view(split->member) : path);
  return std::string(WithoutCompressionSuffix(name));
}

}  // namespace vellmark
