#include "reports/spreadsheet_export.h"

#include <array>
#include <cerrno>
#include <cctype>
#include <charconv>
#include <cstring>
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

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kEscapedUnderscore = "_x005F_";

// Whether a valid UTF-8 sequence is a character XML 1.0 allows: not NUL, not a C0
// control other than TAB, LF and CR, not U+FFFE or U+FFFF (surrogates are no UTF-8).
bool XmlCharacter(std::string_view sequence) {
  const auto first = static_cast<unsigned char>(sequence[0]);
  if (sequence.size() == 1) return first >= 0x20 || first == '\t' || first == '\n' || first == '\r';
  return sequence != "\xEF\xBF\xBE" && sequence != "\xEF\xBF\xBF";
}

// _xHHHH_ at text[i]: what the format reads as one escaped character. So is _xHHHH
// before a CR, which the library writes as _x000D_.
bool LooksEscaped(std::string_view text, std::size_t i) {
  if (text.size() - i < 7 || text[i] != '_' || text[i + 1] != 'x' || (text[i + 6] != '_' && text[i + 6] != '\r'))
    return false;
  for (std::size_t k = i + 2; k < i + 6; ++k)
    if (!std::isxdigit(static_cast<unsigned char>(text[k]))) return false;
  return true;
}

// A text as a cell holds it, so that the workbook stays valid and shows the text as
// it was: a byte that is not UTF-8 and a character XML forbids become U+FFFD, each
// other character is kept, and an "_" that starts _xHHHH_ is written _x005F_ (the
// format's escape of itself). A text longer than a cell holds is cut.
std::string CellText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = Utf8SequenceLength(text, i);
    std::string_view piece = n == 0 ? kReplacement : text.substr(i, n);
    std::size_t shown = 1;
    if (n != 0 && !XmlCharacter(piece)) piece = kReplacement;
    if (LooksEscaped(text, i)) piece = kEscapedUnderscore, shown = kEscapedUnderscore.size();
    if (characters + shown > kMaxCellCharacters) break;
    out.append(piece);
    characters += shown;
    i += n == 0 ? 1 : n;
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
  Workbook(const std::string& path, const std::string& folder) {
    lxw_workbook_options options{};
    options.tmpdir = const_cast<char*>(folder.c_str());  // its temporary files
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
                     const std::string& folder) {
  Workbook book(path, folder);
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

  errno = 0;
  if (lxw_error e = book.close(); e != LXW_NO_ERROR) {
    if (e != LXW_ERROR_CREATING_TMPFILE) return XlsxError(e);
    const int code = errno ? errno : EIO;
    return IoError{IoStep::Write, code, "cannot make a temporary file in " + folder + ": " + std::strerror(code)};
  }
  return Ok();
}

#endif

}  // namespace

Status WriteSpreadsheet(FileSystem& files, const std::string& path, const AnalyserList& list,
                        const std::optional<ListTotals>& totals, SaveMode mode) {
#ifdef VELLMARK_HAVE_XLSXWRITER
  auto target = SaveTarget(files, path, mode);  // a name that may not be written costs no work
  if (!target) return target.error();
  // The library writes the workbook and its own temporary files by name, here beside
  // the target; the bytes then go through the file layer to the target.
  auto built = TemporaryFile::create(files, *target, 0600);
  if (!built) return built.error();
  if (Status closed = built->output()->close(); !closed) return closed;
  const std::size_t slash = built->path().rfind('/');
  const std::string folder = slash == std::string::npos ? "." : built->path().substr(0, slash == 0 ? 1 : slash);
  if (Status s = BuildWorkbook(list, totals, built->path(), folder); !s) return s;
  std::string bytes;
  Status read = ReadFileBlocks(files, built->path(), BlockReader::kDefaultBlockSize, [&](std::string_view block) {
    bytes.append(block);
    return true;
  });
  if (!read) return read.error();
  return SaveFile(files, path, bytes, mode);
#else
  (void)files, (void)list, (void)totals, (void)path, (void)mode;
  return IoError{IoStep::Open, 0, "this build cannot write spreadsheets"};
#endif
}

}  // namespace vellmark
