#include "ui/report_commands.h"

#include <QFile>
#include <cerrno>
#include <optional>

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

bool AllowOverwrite(frmVELM& window) { return window.dialogs().question(&window, FromStd(kOverwriteQuestion), Title()); }

// Saves with `save`, replacing a file only when `replace`; a file that appeared at the
// name after the question (or where none was asked) brings the question again.
// Nothing when the user answered No.
template <typename Save>
std::optional<Status> SaveAsking(frmVELM& window, bool replace, Save save) {
  for (;;) {
    Status saved = save(replace ? SaveMode::Replace : SaveMode::NewOnly);
    if (saved || replace || saved.error().code != EEXIST) return saved;
    if (!AllowOverwrite(window)) return std::nullopt;
    replace = true;
  }
}

}  // namespace

void SaveReport(frmVELM& window) {
  AnalysisSession& session = window.session();
  if (session.analysing()) return;
  for (;;) {
    std::string name = SaveName(window, kReportFilter);
    if (name.empty()) return;
    name = ReportFileName(name);
    window.lastReportName() = name;
    // A file or a link at the name (a folder is refused when written).
    auto status = session.files().status(name);
    const bool taken = status && status->taken() && !status->directory;
    if (taken && !AllowOverwrite(window)) continue;  // No: the dialog again
    // The title's date is the wall clock's, whatever year the readers are set to take.
    auto saved = SaveAsking(window, taken, [&](SaveMode mode) {
      return WriteReportFile(session.files(), name, session.list(), Clock().now(), mode);
    });
    if (!saved) continue;
    if (!*saved) {
      ShowError(window, "Could not save " + name + ": " + saved->error().reason);
      return;
    }
    window.reportSaved(name);
    return;
  }
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
  for (;;) {
    std::string name = SaveName(window, kSpreadsheetFilter);
    if (name.empty()) return "";
    auto status = session.files().status(name);
    const bool taken = status && status->taken() && !status->directory;
    if (taken && !AllowOverwrite(window)) continue;  // No: the dialog again
    auto written = SaveAsking(window, taken, [&](SaveMode mode) {
      return WriteSpreadsheet(session.files(), name, session.list(), window.totals(), mode);
    });
    if (!written) continue;
    if (!*written) {
      ShowError(window, name + ": " + written->error().reason);
      return "";
    }
    return name;
  }
}

}  // namespace vellmark::ui
