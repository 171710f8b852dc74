// The workbook writer, with the bytes as entry texts (see EntriesOfLines). Every XML
// part of the workbook must parse, and every text cell must read back, once the
// format's own _xHHHH_ escapes are undone, as its text with each character that XML
// 1.0 cannot hold (and each byte that is not UTF-8) made U+FFFD.
#include <archive.h>
#include <archive_entry.h>
#include <expat.h>
#include <stdlib.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "core/utf8.h"
#include "fuzz/fuzz_target.h"
#include "reports/spreadsheet_export.h"

namespace {

// A folder of this process's own for the workbook, removed at exit; in memory where
// the machine has such a folder, since every save waits for its file to reach the disk.
struct ScratchFolder {
  std::string path = ((std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                  : std::filesystem::temp_directory_path()) /
                      "vellmark-fuzz-XXXXXX")
                         .string();
  ScratchFolder() {
    if (!::mkdtemp(path.data())) std::abort();
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

const std::string& Folder() {
  static const ScratchFolder folder;
  return folder.path;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// What a spreadsheet program shows for a text: the text with each _xHHHH_, left to
// right, read as the character it escapes.
std::string Unescaped(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t cp = 0;
    bool escape = text.size() - i >= 7 && text.compare(i, 2, "_x") == 0 && text[i + 6] == '_';
    for (std::size_t k = i + 2; escape && k < i + 6; ++k) {
      const char c = text[k];
      escape = std::isxdigit(static_cast<unsigned char>(c));
      cp = cp * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    if (escape) {
      AppendUtf8(out, cp);
      i += 7;
    } else {
      out += text[i++];
    }
  }
  return out;
}

// The text with every character outside XML 1.0's Char production made U+FFFD:
// #x9 | #xA | #xD | [#x20-#xD7FF] | [#xE000-#xFFFD] | [#x10000-#x10FFFF].
std::string Expected(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = vellmark::Utf8SequenceLength(text, i);
    std::uint32_t cp = 0xFFFD;
    if (n == 1) cp = static_cast<unsigned char>(text[i]);
    if (n > 1) {
      cp = static_cast<unsigned char>(text[i]) & (0xFF >> (n + 1));
      for (std::size_t k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                         (cp >= 0xE000 && cp <= 0xFFFD) || cp >= 0x10000;
    AppendUtf8(out, allowed ? cp : 0xFFFD);
    i += n == 0 ? 1 : n;
  }
  return out;
}

// Parses an XML part (aborting when it is not well-formed), collecting the texts of
// its <t> elements.
struct TextCollector {
  std::set<std::string> texts;
  std::string current;
  bool inText = false;

  void parse(const std::string& xml) {
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, this);
    XML_SetElementHandler(
        parser,
        [](void* self, const XML_Char* name, const XML_Char**) {
          auto* c = static_cast<TextCollector*>(self);
          c->inText = std::string_view(name) == "t";
          c->current.clear();
        },
        [](void* self, const XML_Char* name) {
          auto* c = static_cast<TextCollector*>(self);
          if (std::string_view(name) == "t") c->texts.insert(c->current);
          c->inText = false;
        });
    XML_SetCharacterDataHandler(parser, [](void* self, const XML_Char* s, int n) {
      auto* c = static_cast<TextCollector*>(self);
      if (c->inText) c->current.append(s, static_cast<std::size_t>(n));
    });
    const bool parsed = XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    if (!parsed) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const vellmark::AnalyserList list = vellmark::fuzz::EntriesOfLines(data, size);
  const std::string book = Folder() + "/book.xlsx";
  if (!vellmark::WriteSpreadsheet(vellmark::RealFileSystem(), book, list, std::nullopt,
                                  vellmark::SaveMode::Replace))
    std::abort();

  TextCollector cells;
  archive* zip = archive_read_new();
  archive_read_support_format_zip(zip);
  if (archive_read_open_filename(zip, book.c_str(), 1 << 16) != ARCHIVE_OK) std::abort();
  for (archive_entry* entry; archive_read_next_header(zip, &entry) == ARCHIVE_OK;) {
    std::string part(static_cast<std::size_t>(archive_entry_size(entry)), '\0');
    if (archive_read_data(zip, part.data(), part.size()) != static_cast<la_ssize_t>(part.size())) std::abort();
    cells.parse(part);
  }
  archive_read_free(zip);

  std::set<std::string> shown;
  for (const std::string& text : cells.texts) shown.insert(Unescaped(text));
  // Columns B to G are written as text; a text too long for a cell is cut, so only
  // texts that fit however many escapes they need are looked for.
  for (const vellmark::AnalyserEntry& e : list.entries())
    for (int c = 1; c < vellmark::AnalyserEntry::kColumns; ++c) {
      const std::string text = e.column(c);
      if (!text.empty() && text.size() <= 4096 && !shown.count(Expected(text))) std::abort();
    }
  return 0;
}
