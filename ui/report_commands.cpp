#include "ui/report_commands.h"

#include <QFile>

#include "core/clock.h"
#include "core/texts.h"
#include "reports/spreadsheet_export.h"
#include "reports/text_report.h"
#include "ui/frmVELM.h"

namespace vellmark::ui {

namespace {

QString FromStd(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

const QString& Title() {
  static const QString title = FromStd(kApplicationTitle);
  return title;
}

void ShowError(frmVELM& window, const std::string& text) {
  window.dialogs().message(&window, FromStd(text), QMessageBox::Critical, Title());
}

std::string SaveName(frmVELM& window, std::string_view filter) {
  QString name = window.dialogs().saveFileName(&window, QtNameFilters(FromStd(filter)));
  return QFile::encodeName(name).toStdString();
}

}  // namespace

void SaveReport(frmVELM& window) {
  AnalysisSession& session = window.session();
  if (session.analysing()) return;
  std::string name;
  for (;;) {
    name = SaveName(window, kReportFilter);
    if (name.empty()) return;
    name = ReportFileName(name);
    window.lastReportName() = name;
    auto status = session.files().status(name);
    if (status && status->exists && !status->directory &&
        !window.dialogs().question(&window, FromStd(kOverwriteQuestion), Title()))
      continue;
    break;
  }
  // The title's date is the wall clock's, whatever year the readers are set to take.
  Status saved = WriteReportFile(session.files(), name, session.list(), Clock().now());
  if (!saved) {
    ShowError(window, "Could not save " + name + ": " + saved.error().reason);
    return;
  }
  window.reportSaved(name);
}

void OpenReport(frmVELM& window) {
  AnalysisSession& session = window.session();
  if (session.analysing()) return;
  QString chosen = window.dialogs().openFileName(&window, QtNameFilters(FromStd(kReportFilter)),
                                                 QFile::decodeName(window.lastReportName().c_str()));
  std::string name = QFile::encodeName(chosen).toStdString();
  if (!name.empty()) {
    OpenReportFile(window, name);
    return;
  }
  if (!session.list().empty()) session.setResultsShown(true);
  window.resetTotals();
  window.showResultsFlag();
}

bool OpenReportFile(frmVELM& window, const std::string& name) {
  AnalysisSession& session = window.session();
  if (session.analysing()) return false;
  window.lastReportName() = name;
  // Read and check the whole file before the list is touched: a wrong click must
  // not cost the user the list.
  auto loaded = LoadReportFile(session.files(), name);
  if (!loaded) {
    ShowError(window, "Could not open " + name + ": " + loaded.error().reason);
    return false;
  }
  if (!loaded->has_value()) {
    ShowError(window, name + std::string(kNotAReport));
    return false;
  }
  session.LoadEntries(std::move(**loaded));
  window.resetTotals();
  window.showResultsFlag();
  window.reportOpened(name);
  return true;
}

std::string ExportToSpreadsheet(frmVELM& window) {
  AnalysisSession& session = window.session();
  if (session.analysing()) return "";
  if (session.list().empty()) {
    ShowError(window, std::string(kNothingToSave));
    return "";
  }
  std::string name;
  for (;;) {
    name = SaveName(window, kSpreadsheetFilter);
    if (name.empty()) return "";
    auto status = session.files().status(name);
    if (!status || !status->exists || status->directory ||
        window.dialogs().question(&window, FromStd(kOverwriteQuestion), Title()))
      break;
  }
  Status written = WriteSpreadsheet(session.files(), name, session.list(), window.totals());
  if (!written) {
    ShowError(window, name + ": " + written.error().reason);
    return "";
  }
  return name;
}

}  // namespace vellmark::ui
