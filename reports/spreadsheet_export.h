#pragma once
// The spreadsheet export: the analyser list and the status bar totals as the worksheet
// "VELM" of an .xlsx workbook.
//
// Worksheet for n entries (rows from 1):
//   1          headings, upper case: BINARY FILE, NO, SWITCH, START TIME, END TIME,
//              RECORDS, SIZE; bold, light blue fill (red 104, green 193, blue 255)
//   2 .. n+1   A: file name after the last "/" or "\", a plain value;
//              B..G: No, Switch, Start, End, Records, Size as text;
//              a duplicate row is red, its A cell bold too
//   n+2        empty, bold
//   n+3        TOTAL, files (B), records (F), size (G) as plain values; bold
// Thin black grid on rows 1 to n+1; B..E centred and F..G right-aligned on rows 1 to
// 500, headings centred; widths 20, 6, 8, 15, 15, 10, 10; font size 8 on rows 1 to
// n+3, columns A to G.
// Beside the list, columns H to K: the row a duplicate repeats, the row with the same
// bytes, the warnings' kinds and the verified count.
// A plain value that looks like a decimal number becomes a number, as typed input
// would; an empty text leaves its cell blank.

#include <optional>
#include <string>
#include <string_view>

#include "core/analyser_list.h"
#include "core/file_system.h"
#include "core/texts.h"
#include "reports/safe_save.h"

namespace vellmark {

inline constexpr std::string_view kNothingToSave = "Nothing to Save";
inline constexpr std::string_view kSheetName = "VELM";

// Builds the workbook of `list` and saves it to `path` through SaveFile; every file
// made on the way lies beside the target and is gone afterwards. Without totals
// (after a report was opened) the totals cells stay empty. Every text is written so
// that the workbook stays valid: what XML cannot hold becomes U+FFFD.
Status WriteSpreadsheet(FileSystem& files, const std::string& path, const AnalyserList& list,
                        const std::optional<ListTotals>& totals, SaveMode mode);

}  // namespace vellmark
