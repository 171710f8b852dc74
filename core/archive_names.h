#pragma once
// How a path names a compressed file, an archive, or a member inside an archive.
//
// A compressed file (".gz", ".bz2", ".xz", ".zst") is one entry holding its unpacked
// bytes. An archive (".zip", ".tar", ".tgz", ".tar.<anything>") stands for its
// members, each an entry named ARCHIVE#MEMBER, MEMBER being the member's path inside
// the archive. Names are matched by their ending, in any letter case; nothing else
// (a workbook, a document that happens to be a zip) is opened as a container.

#include <optional>
#include <string>
#include <string_view>

namespace vellmark {

enum class ContainerKind { Plain, Compressed, Archive };

// What the name's ending makes of a file.
ContainerKind ContainerKindOf(std::string_view name);

// The name without its compression ending: "A.DAT.gz" -> "A.DAT"; other names as they are.
std::string_view WithoutCompressionSuffix(std::string_view name);

inline constexpr char kMemberMark = '#';

struct MemberPath {
  std::string archive;
  std::string member;
};

// ARCHIVE#MEMBER split at the first "#" that follows an archive-named file, looking
// at names only; nothing for any other path.
std::optional<MemberPath> SplitMemberPath(std::string_view path);

// The path of a member as the list names it.
std::string MemberPathOf(std::string_view archive, std::string_view member);

// The file name an entry's rules use (the C-DOT date, the workbook's file column):
// after the last "/" or "\" of the path, or of MEMBER for an archive member, with a
// compression ending dropped.
std::string EntryFileName(std::string_view path);

}  // namespace vellmark
