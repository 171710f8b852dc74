#pragma once
// The text report (.vmr): the analyser list as a fixed-width ruled table, saved by
// Save Report and loaded back by Open Report.
//
// Layout, every line ended by CR LF:
//   line 1   "Vellmark Report" dd-mm-yyyy, two blanks, hh:mm:ss
//   line 2   empty
//   line 3   rule     "+-----+----...+" (147 characters)
//   line 4   heading  "| No  |   BINARY FILE  ...|" (147 characters)
//   line 5   rule
//   rows     "| " cells joined by " | " " | "; one per entry, in list order
//   last     rule
//
// Row cells, widths counted in characters; a longer text is written whole and the row
// grows, so nothing is lost:
//   No          right-aligned in 3
//   BINARY FILE left-aligned in 50
//   SWITCH      right-aligned in 10
//   START TIME  centred: p blanks each side, p = (21 - n) / 2 half to even
//   END TIME    centred the same way
//   RECORDS     right-aligned in 10
//   SIZE        right-aligned in 10
// With nominal widths a row is 148 characters with "|" at 0, 6, 59, 72, 96, 120,
// 133 and 146. A line break in a text is written "?", a "|" as "\|".

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/analyser_list.h"
#include "core/file_system.h"
#include "reports/safe_save.h"

namespace vellmark {

inline constexpr std::string_view kReportTitle = "Vellmark Report";
inline constexpr std::string_view kReportMark = "Vellmark";
inline constexpr std::string_view kReportRule =
    "+-----+----------------------------------------------------+------------+-----------------------"
    "+-----------------------+------------+------------+";
inline constexpr std::string_view kReportHeading =
    "| No  |                  BINARY FILE                       |   SWITCH   |       START TIME      "
    "|        END TIME       |   RECORDS  |    SIZE    |";
inline constexpr std::string_view kNotAReport = " is not a Vellmark Report File.  Please Check";
// The longest line a report holds (rows of a megabyte open); a longer one makes the
// file no report, found out without holding more of it than this.
inline constexpr std::size_t kMaxReportLine = std::size_t{4} << 20;

// "Vellmark Report" + dd-mm-yyyy + two blanks + hh:mm:ss.
std::string ReportTitleLine(const std::tm& now);
// One entry's row, without its line end.
std::string ReportRowLine(const AnalyserEntry& entry);
// The whole report file, CR LF after every line.
std::string ReportText(const AnalyserList& list, const std::tm& now);

// The name Save Report writes to: a name ending in ".vmr.vmr" loses its last ".vmr";
// any other name is used as typed.
std::string ReportFileName(const std::string& chosen);

// The entries a report holds, in file order; nullopt when the first line does not
// begin with "Vellmark". Lines may end in CR LF, LF or CR.
std::optional<std::vector<AnalyserEntry>> ParseReport(std::string_view text);

// Writes the report of `list` to `path` through SaveFile; a row longer than a report
// may hold is refused (EFBIG).
Status WriteReportFile(FileSystem& files, const std::string& path, const AnalyserList& list, const std::tm& now,
                       SaveMode mode);
// Reads a report file; the inner nullopt means the file is not a report.
Result<std::optional<std::vector<AnalyserEntry>>> LoadReportFile(FileSystem& files, const std::string& path);

}  // namespace vellmark
