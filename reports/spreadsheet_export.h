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
// A plain value that looks like a decimal number becomes a number, as typed input
// would; an empty text leaves its cell blank.

#include <string>

#include "core/analyser_list.h"
#include "core/analysis_session.h"
#include "core/file_system.h"

namespace vellmark {

inline constexpr std::string_view kSpreadsheetFilter = "Excel workbook (*.xlsx)";
inline constexpr std::string_view kNothingToSave = "Nothing to Save";
inline constexpr std::string_view kSheetName = "VELM";

// The status bar texts the totals row shows (panels 2, 3 and 4).
struct SpreadsheetTotals {
  std::string files;
  std::string size;
  std::string records;
};

// Builds the workbook and saves it to `path`: to a temporary file beside it first,
// renamed over it only when complete.
Status WriteSpreadsheet(FileSystem& files, const AnalyserList& list, const SpreadsheetTotals& totals,
                        const std::string& path);

// The export command: asks for the file name and writes the workbook. Returns the path
// written, "" when nothing was (empty list, cancelled, failed; failures are shown).
std::string ExportToSpreadsheet(AnalysisSession& session);

}  // namespace vellmark
