#pragma once
// The main window: menus, toolbar, the analyser list, the status bar with the progress
// bar. It owns the analysis session and watches its passes. A reader runs on a worker
// thread while this thread keeps the window alive; what the reader asks of the window
// (progress, questions, messages) is carried over to this thread.

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysis_session.h"
#include "core/file_system.h"
#include "readers/reader_table.h"
#include "ui/dialog_seam.h"

class QAction;
class QLabel;
class QProgressBar;

namespace vellmark::ui {

class AnalyserListModel;
class AnalyserListView;
class frmAbout;
class frmOpen;
class TimelineDock;

class frmVELM : public QMainWindow, private PassObserver {
  Q_OBJECT
 public:
  explicit frmVELM(FileSystem& files = RealFileSystem(), ReaderTable readers = DefaultReaderTable(),
                   QWidget* parent = nullptr);
  ~frmVELM() override;

  AnalysisSession& session() { return session_; }
  AnalyserListModel* model() const { return model_; }
  DialogSeam& dialogs() { return dialogs_; }
  // The Add Files dialog once it has been shown; the About box while it is open.
  frmOpen* addFilesDialog() const { return open_; }
  frmAbout* aboutBox() const;
  // The Timeline beside the list (hidden until Tools > Timeline).
  TimelineDock* timeline() const { return timeline_; }

  // What closing the window during a pass does: end the process at once, since a
  // reader may still be busy on its worker thread. Tests replace it.
  void setExitNow(std::function<void()> exitNow) { exitNow_ = std::move(exitNow); }

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
  // Offers files as a drop or the Add Files dialog does: refuses those listed with one
  // message, adds the rest, clears the totals. Ignored during a pass.
  void offerFiles(const std::vector<std::string>& paths);
  void setBusy(bool busy);
  // The report name chosen last (by a save or an open); the open dialog offers it.
  std::string& lastReportName() { return lastReportName_; }

 signals:
  // Emitted once a command's guard has let it through; the window itself answers
  // them with the Add Files dialog, the About box, the manual and the update page.
  void addFilesRequested();
  void aboutRequested();
  void userManualRequested();
  void updatesRequested();

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
  QAction* action(const char* name, const QString& caption, void (frmVELM::*slot)());
  void showAddFilesDialog();
  void showAboutBox();
  void syncSelection();
  void redrawList();
  bool onWindowThread() const;

  DialogSeam dialogs_;
  AnalysisSession session_;
  std::optional<ListTotals> totals_;
  std::string lastReportName_;
  AnalyserListModel* model_ = nullptr;
  AnalyserListView* list_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* panels_[6] = {};
  bool busy_ = false;
  std::function<void()> exitNow_;
  frmOpen* open_ = nullptr;
  QPointer<frmAbout> about_;
  TimelineDock* timeline_ = nullptr;
};

}  // namespace vellmark::ui
