#include "reports/spreadsheet_export.h"

#include <stdlib.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <map>

#include "core/archive_names.h"
#include "core/block_reader.h"
#include "core/texts.h"
#include "core/utf8.h"
#include "reports/safe_save.h"

#if __has_include(<xlsxwriter.h>)
#include <xlsxwriter.h>
#define VELLMARK_HAVE_XLSXWRITER 1
#endif

namespace vellmark {

namespace {

// The list's seven columns, then what stands beside them: which row a duplicate
// repeats, which row has the same bytes, the warnings, the count a verify found.
constexpr int kColumns = 11;
constexpr int kWarningsColumn = 9;
constexpr std::array<std::string_view, kColumns> kHeadings = {
    "Binary File", "No", "Switch", "Start Time", "End Time", "Records", "Size",
    "Duplicate of", "Same content as", "Warnings", "Verified records"};
constexpr std::array<double, kColumns> kColumnWidths = {20, 6, 8, 15, 15, 10, 10, 12, 14, 30, 14};
constexpr int kAlignedRows = 500;
constexpr std::size_t kMaxCellCharacters = 32767;   // the most a cell holds

// Cells hold UTF-8 only: a stray byte becomes U+FFFD, and a text longer than a cell
// holds is cut.
std::string CellText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size() && characters < kMaxCellCharacters; ++characters) {
    std::size_t n = Utf8SequenceLength(text, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

// ^[+-]?[0-9]+(\.[0-9]+)?$: what the spreadsheet would take as a number when typed.
bool LooksNumeric(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == digits) return false;
  if (i == text.size()) return true;
  if (text[i] != '.') return false;
  std::size_t fraction = ++i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  return i > fraction && i == text.size();
}

#ifdef VELLMARK_HAVE_XLSXWRITER

// Cell formatting bits; each combination in use becomes one format of the workbook.
constexpr unsigned kBold = 1, kRed = 2, kFill = 4, kGrid = 8, kCentre = 16, kRight = 32, kSmall = 64;

class Workbook {
 public:
  Workbook(const std::string& path, const std::string& scratch) {
    lxw_workbook_options options{};
    options.tmpdir = const_cast<char*>(scratch.c_str());
    book_ = workbook_new_opt(path.c_str(), &options);
    if (book_) sheet_ = workbook_add_worksheet(book_, std::string(kSheetName).c_str());
  }
  ~Workbook() {
    if (book_) workbook_close(book_);
  }
  bool ok() const { return book_ && sheet_; }
  lxw_worksheet* sheet() { return sheet_; }

  lxw_format* format(unsigned style) {
    if (style == 0) return nullptr;
    auto found = formats_.find(style);
    if (found != formats_.end()) return found->second;
    lxw_format* f = workbook_add_format(book_);
    if (style & kBold) format_set_bold(f);
    if (style & kRed) format_set_font_color(f, 0xFF0000);
    if (style & kFill) {
      format_set_pattern(f, LXW_PATTERN_SOLID);
      format_set_bg_color(f, 0x68C1FF);
    }
    if (style & kGrid) {
      format_set_border(f, LXW_BORDER_THIN);
      format_set_border_color(f, LXW_COLOR_BLACK);
    }
    if (style & kCentre) format_set_align(f, LXW_ALIGN_CENTER);
    if (style & kRight) format_set_align(f, LXW_ALIGN_RIGHT);
    if (style & kSmall) format_set_font_size(f, 8);
    formats_[style] = f;
    return f;
  }

  // Closes the workbook, which writes the file.
  lxw_error close() {
    lxw_error e = workbook_close(book_);
    book_ = nullptr;
    return e;
  }

 private:
  lxw_workbook* book_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  std::map<unsigned, lxw_format*> formats_;
};

IoError XlsxError(lxw_error e) { return IoError{IoStep::Write, 0, lxw_strerror(e)}; }

// The columns after the list's own.
std::string BesideText(const AnalyserEntry& e, int col) {
  auto number = [](const auto& value) { return value ? std::to_string(*value) : std::string(); };
  switch (col) {
    case 7: return number(e.duplicateOf);
    case 8: return number(e.sameContentAs);
    case kWarningsColumn: {
      std::string kinds;
      for (const auto& w : e.warnings) kinds += (kinds.empty() ? "" : "; ") + std::string(WarningKindName(w.kind));
      return kinds;
    }
    default: return number(e.verifiedRecords);
  }
}

// The formatting of cell (row, col), both from 0, for n entries.
unsigned CellStyle(std::size_t row, int col, std::size_t n, bool duplicate) {
  unsigned style = 0;
  const bool data = row >= 1 && row <= n;
  if (row <= n + 2) style |= kSmall;
  if (row <= n) style |= kGrid;
  if (row == 0) style |= kBold | kFill;
  if (row > n) style |= kBold;
  if (data && duplicate) style |= kRed | (col == 0 ? kBold : 0u);
  if (row < kAlignedRows && col >= 1 && (col != kWarningsColumn || row == 0))
    style |= (col <= 4 || row == 0) ? kCentre : kRight;
  if (row > n + 2) style &= (kCentre | kRight);
  return style;
}

Status BuildWorkbook(const AnalyserList& list, const std::optional<ListTotals>& totals, const std::string& path,
                     const std::string& scratch) {
  Workbook book(path, scratch);
  if (!book.ok()) return MakeIoError(IoStep::Open, errno ? errno : EIO);
  lxw_worksheet* sheet = book.sheet();
  const std::size_t n = list.size();
  if (n + 3 > LXW_ROW_MAX) return XlsxError(LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE);

  auto put = [&](std::size_t row, int col, std::string_view value, bool plain, unsigned style) -> lxw_error {
    lxw_format* format = book.format(style);
    const auto r = static_cast<lxw_row_t>(row);
    const auto c = static_cast<lxw_col_t>(col);
    if (value.empty()) return format ? worksheet_write_blank(sheet, r, c, format) : LXW_NO_ERROR;
    if (plain && LooksNumeric(value)) {
      std::string_view digits = value.front() == '+' ? value.substr(1) : value;
      double number = 0;
      std::from_chars(digits.data(), digits.data() + digits.size(), number);
      return worksheet_write_number(sheet, r, c, number, format);
    }
    return worksheet_write_string(sheet, r, c, CellText(value).c_str(), format);
  };

  // The totals as the status bar shows them; plain values, so the counts become numbers.
  const TotalsTexts shown = totals ? ShowTotals(*totals) : TotalsTexts{};
  const std::size_t lastRow = std::max<std::size_t>(n + 2, kAlignedRows - 1);
  for (std::size_t row = 0; row <= lastRow; ++row) {
    const AnalyserEntry* entry = row >= 1 && row <= n ? &list.at(row - 1) : nullptr;
    for (int col = 0; col < kColumns; ++col) {
      unsigned style = CellStyle(row, col, n, entry && entry->duplicate());
      std::string value;
      bool plain = true;
      if (row == 0) {
        for (char ch : kHeadings[col]) value += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
      } else if (entry) {
        value = col == 0 ? EntryFileName(entry->path) : col < 7 ? entry->column(col) : BesideText(*entry, col);
        plain = col == 0 || (col >= 7 && col != kWarningsColumn);
      } else if (row == n + 2) {
        if (col == 0) value = "TOTAL";
        if (col == 1) value = shown.files;
        if (col == 5) value = shown.records;
        if (col == 6) value = shown.size;
      }
      if (lxw_error e = put(row, col, value, plain, style); e != LXW_NO_ERROR) return XlsxError(e);
    }
  }
  for (std::size_t row : {n + 1, n + 2})
    worksheet_set_row(sheet, static_cast<lxw_row_t>(row), LXW_DEF_ROW_HEIGHT, book.format(kBold));
  for (int col = 0; col < kColumns; ++col)
    worksheet_set_column(sheet, static_cast<lxw_col_t>(col), static_cast<lxw_col_t>(col), kColumnWidths[col], nullptr);

  if (lxw_error e = book.close(); e != LXW_NO_ERROR) return XlsxError(e);
  return Ok();
}

#endif

// A private folder for the library's files, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "vellmark-xlsx-XXXXXX").string();
    if (ec) pattern = "/tmp/vellmark-xlsx-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
    else error_ = errno;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  int error() const { return error_; }

 private:
  std::string path_;
  int error_ = 0;
};

Result<std::string> ReadScratchFile(const std::string& path) {
  std::string bytes;
  Status read = ReadFileBlocks(RealFileSystem(), path, BlockReader::kDefaultBlockSize, [&](std::string_view block) {
    bytes.append(block);
    return true;
  });
  if (!read) return read.error();
  return bytes;
}

}  // namespace

Status WriteSpreadsheet(FileSystem& files, const std::string& path, const AnalyserList& list,
                        const std::optional<ListTotals>& totals) {
#ifdef VELLMARK_HAVE_XLSXWRITER
  // The library writes its own files; it builds the workbook in a private folder and
  // the file layer then saves it beside the target.
  ScratchFolder scratch;
  if (scratch.path().empty()) return MakeIoError(IoStep::Open, scratch.error());
  const std::string built = scratch.path() + "/book.xlsx";
  if (Status s = BuildWorkbook(list, totals, built, scratch.path()); !s) return s;
  auto bytes = ReadScratchFile(built);
  if (!bytes) return bytes.error();
  return SaveFileReplacing(files, path, *bytes);
#else
  (void)files, (void)list, (void)totals, (void)path;
  return IoError{IoStep::Open, 0, "this build cannot write spreadsheets"};
#endif
}

}  // namespace vellmark
