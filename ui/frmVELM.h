#pragma once
// The main window: menus, toolbar, the analyser list, the status bar with the progress
// bar. It owns the analysis session and watches its passes. A reader runs on a worker
// thread while this thread keeps the window alive; what the reader asks of the window
// (progress, questions, messages) is carried over to this thread.

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysis_session.h"
#include "core/file_system.h"
#include "readers/reader_table.h"
#include "ui/dialog_seam.h"
#include "ui/window_settings.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;

namespace vellmark::ui {

class AnalyserListModel;
class AnalyserListProxy;
class AnalyserListView;
class DetailsView;
class ListFilter;
class PassProgress;
class StatusPanel;
class frmAbout;
class frmOpen;
class TimelineDock;

inline const QString kDiscardQuestion = QStringLiteral("The results of the last analysis have not been saved. Discard them?");
inline const QString kExitDuringPass = QStringLiteral("An analysis is running. Stop it and exit?");

class frmVELM : public QMainWindow, private PassObserver {
  Q_OBJECT
 public:
  explicit frmVELM(FileSystem& files = RealFileSystem(), ReaderTable readers = DefaultReaderTable(),
                   QWidget* parent = nullptr);
  ~frmVELM() override;

  AnalysisSession& session() { return session_; }
  AnalyserListModel* model() const { return model_; }
  // The list as the view shows it, sorted and filtered.
  AnalyserListProxy* proxy() const { return proxy_; }
  DetailsView* details() const { return details_; }
  DialogSeam& dialogs() { return dialogs_; }
  WindowSettings& settings() { return settings_; }
  // The Add Files dialog once it has been shown; the About box while it is open.
  frmOpen* addFilesDialog() const { return open_; }
  frmAbout* aboutBox() const;
  // The Timeline beside the list (hidden until Tools > Timeline).
  TimelineDock* timeline() const { return timeline_; }

  // What closing the window during a pass does: end the process at once, since a
  // reader may still be busy on its worker thread. Tests replace it.
  void setExitNow(std::function<void()> exitNow) { exitNow_ = std::move(exitNow); }
  // Where the user manual lies beside the program (the program's folder).
  void setProgramFolder(const QString& folder) { programFolder_ = folder; }

  int twipsToPixelsX(int twips) const;
  int twipsToPixelsY(int twips) const;

  // Status panels 2 to 5 (panel 1 lies under the progress bar).
  QString panelText(int panel) const;
  void setPanelText(int panel, const QString& text);
  // ResetSB: clears panels 2 to 5; the totals no longer apply.
  void resetTotals();
  // The totals the panels show; none after a reset.
  const std::optional<ListTotals>& totals() const { return totals_; }
  // Shows the list's ResultsShown flag as alternating row colours.
  void showResultsFlag();
  // Offers files as a drop or the Add Files dialog does: a folder stands for the files
  // in and below it; refuses those listed with one message, adds the rest, clears the
  // totals. Ignored during a pass.
  void offerFiles(const std::vector<std::string>& paths);
  void setBusy(bool busy);
  // The report name chosen last (by a save or an open); the open dialog offers it.
  std::string& lastReportName() { return lastReportName_; }
  // A report was written, or read into the list: the list is that report now.
  void reportSaved(const std::string& name);
  void reportOpened(const std::string& name);
  // Whether the list was analysed since it was last saved or opened.
  bool unsavedResults() const { return unsaved_; }
  // The year C-DOT short names and E10B dates take; 0 for the clock's.
  int dateYear() const { return dateYear_; }
  void setDateYear(int year);

 signals:
  // Emitted once a command's guard has let it through; the window itself answers
  // them with the Add Files dialog, the About box, the manual and the update page.
  void addFilesRequested();
  void aboutRequested();
  void userManualRequested();
  void updatesRequested();
  // A pass begins (true) or ends (false).
  void analysingChanged(bool analysing);

 public slots:
  void openReport();
  void saveReport();
  void analyse();
  void reanalyse();
  // Re Analyse with every record walked, for exact counts.
  void verifyCounts();
  // Tools > Exchange Rules: the rules the timeline's lanes come from.
  void exchangeRules();
  void stop();
  void exitProgram();
  void addFiles();
  void removeFiles();
  void clearList();
  void exportToSpreadsheet();
  void userManual();
  void checkForUpdates();
  void about();
  // Files dropped onto the list, in the order of the drop.
  void dropFiles(const QStringList& paths);
  // The current row in the details view, which is shown.
  void showDetails();
  // The selected rows to the clipboard as tab-separated text.
  void copyRows();
  void openContainingFolder();
  void chooseDateYear();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // PassObserver; progress, readerMessage and confirmStop may come from the read's thread.
  void entryStarted(std::size_t row) override;
  void progress(int percent) override;
  void readerMessage(const std::string& text, const std::string& caption) override;
  bool confirmStop() override;
  void yield() override;
  ReaderOutcome runRead(std::size_t row, const ReadCall& read, ReaderContext& context) override;

  void runPass(bool reanalyseAll);
  void buildMenus();
  void buildToolbar();
  void buildList();
  void buildStatusBar();
  void buildTimeline();
  void restoreSettings();
  void saveSettings();
  QAction* action(const char* name, const QString& caption, void (frmVELM::*slot)(), bool idleOnly = true);
  void showAddFilesDialog();
  void showAboutBox();
  void syncSelection();
  void redrawList();
  bool onWindowThread() const;
  void setAnalysing(bool running);
  void showTotals(const ListTotals& totals);
  // After a change of the list's rows: the totals shown are worked out again.
  void totalsFollowList();
  // True when there is nothing unsaved to lose or the user lets it go.
  bool confirmDiscard();
  void updateTitle();
  void fillRecentReports();
  void openRecentReport(const QString& path);
  std::optional<std::size_t> currentEntryRow() const;
  void showFilterCounts();
  // The file being read in panel 5, the bar, the pass's progress and the list.
  void showPassRow();

  DialogSeam dialogs_;
  WindowSettings settings_;
  std::atomic<int> dateYear_{0};  // read by the readers' clock, on their thread
  AnalysisSession session_;
  std::optional<ListTotals> totals_;
  std::string lastReportName_;
  QString reportName_;
  bool unsaved_ = false;
  AnalyserListModel* model_ = nullptr;
  AnalyserListProxy* proxy_ = nullptr;
  AnalyserListView* list_ = nullptr;
  DetailsView* details_ = nullptr;
  ListFilter* filter_ = nullptr;
  QProgressBar* progress_ = nullptr;
  PassProgress* passProgress_ = nullptr;
  StatusPanel* panels_[6] = {};
  QList<QAction*> idleOnly_;   // commands that cannot act during a pass
  QAction* stop_ = nullptr;
  QAction* year_ = nullptr;
  QMenu* recent_ = nullptr;
  bool busy_ = false;
  std::function<void()> exitNow_;
  QString programFolder_;
  frmOpen* open_ = nullptr;
  QPointer<frmAbout> about_;
  TimelineDock* timeline_ = nullptr;
  // The pass under way: files begun, bytes of the files done, the file being read.
  int passNumber_ = 0, shownPassNumber_ = 0;
  std::uint64_t passBytes_ = 0;
  std::optional<std::size_t> passRow_;
  std::atomic<int> barValue_{0};   // set by the readers, on their thread
  QTimer follow_;
};

}  // namespace vellmark::ui
