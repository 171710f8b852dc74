#pragma once
// The window's Save Report, Open Report and Open Report In Excel commands: their file
// dialogs and questions around the report and workbook writers.

#include <string>
#include <string_view>

namespace vellmark::ui {

class frmVELM;

inline constexpr std::string_view kReportFilter = "Report files (*.vmr)|*.vmr| All Files (*.*)|*.*";
inline constexpr std::string_view kSpreadsheetFilter = "Excel workbook (*.xlsx)";
inline constexpr std::string_view kOverwriteQuestion = "File Exists. Do you want to OverWrite?";

// Asks for a name (again after No to the overwrite question), writes the report and
// says so in panel 5.
void SaveReport(frmVELM& window);
// Asks for a report and replaces the list with its rows; a file that is not a report
// is refused with a message and the list kept.
void OpenReport(frmVELM& window);
// The same for a report already named (a recent report); false when it was refused.
bool OpenReportFile(frmVELM& window, const std::string& name);
// Asks for a name and writes the workbook; returns the path written, "" when nothing
// was (an empty list, cancelled, failed; failures are shown). Both saves replace a
// file only after the overwrite question; one that appears at the name after it is
// asked about again.
std::string ExportToSpreadsheet(frmVELM& window);

}  // namespace vellmark::ui
