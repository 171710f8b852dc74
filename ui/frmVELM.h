#pragma once
// The main window: menus, toolbar, the analyser list, the status bar with the progress
// bar. It owns the analysis session and serves it as its WindowServices. A reader
// runs on a worker thread while this thread keeps the window alive; what the reader
// asks of the window (progress, questions, messages) is carried over to this thread.

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>

#include "core/analysis_session.h"
#include "core/file_system.h"
#include "core/reader_table.h"
#include "core/window_services.h"
#include "ui/dialog_seam.h"

class QAction;
class QLabel;
class QProgressBar;

namespace vellmark::ui {

class AnalyserListModel;
class AnalyserListView;
class frmAbout;
class frmOpen;

class frmVELM : public QMainWindow, public WindowServices {
  Q_OBJECT
 public:
  explicit frmVELM(FileSystem& files = RealFileSystem(), ReaderTable readers = DefaultReaderTable(),
                   QWidget* parent = nullptr);
  ~frmVELM() override;

  AnalysisSession& session() { return m_session; }
  AnalyserListModel* model() const { return m_model; }
  DialogSeam& dialogs() { return m_dialogs; }
  // The Add Files dialog once it has been shown; the About box while it is open.
  frmOpen* addFilesDialog() const { return m_open; }
  frmAbout* aboutBox() const;

  // What closing the window during a pass does: end the process at once, since a
  // reader may still be busy on its worker thread. Tests replace it.
  void setExitNow(std::function<void()> exitNow) { m_exitNow = std::move(exitNow); }

  int twipsToPixelsX(int twips) const;
  int twipsToPixelsY(int twips) const;

  // WindowServices; callable from the reader's thread where the contract allows.
  void setPanelText(int panel, const std::string& text) override;
  void setResultsShown(bool on) override;
  void yieldToEvents() override;
  void showMessage(const std::string& text, MessageIcon icon, const std::string& caption) override;
  Answer ask(const std::string& text) override;
  void setProgress(int value) override;
  void redrawList() override;
  std::string openFileName(const std::string& filter, const std::string& offered) override;
  std::string saveFileName(const std::string& filter) override;
  void setBusy(bool busy) override;
  void runReader(const std::function<void()>& call) override;

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
  void buildMenus();
  void buildToolbar();
  void buildList();
  void buildStatusBar();
  QAction* action(const char* name, const QString& caption, void (frmVELM::*slot)());
  void showAddFilesDialog();
  void showAboutBox();
  void syncSelection();
  bool onWindowThread() const;

  DialogSeam m_dialogs;
  AnalysisSession m_session;
  AnalyserListModel* m_model = nullptr;
  AnalyserListView* m_list = nullptr;
  QProgressBar* m_progress = nullptr;
  QLabel* m_panels[6] = {};
  bool m_busy = false;
  std::function<void()> m_exitNow;
  frmOpen* m_open = nullptr;
  QPointer<frmAbout> m_about;
};

}  // namespace vellmark::ui
