#include "ui/frmVELM.h"

#include <atomic>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QResizeEvent>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>

#include "analysis/pass_texts.h"
#include "core/texts.h"
#include "ui/analyser_list_model.h"
#include "ui/analyser_list_view.h"
#include "ui/frmAbout.h"
#include "ui/frmOpen.h"
#include "ui/help_commands.h"
#include "ui/icons.h"
#include "ui/report_commands.h"


namespace vellmark::ui {

namespace {

const QString kTitle = QString::fromLatin1(kApplicationTitle.data(), kApplicationTitle.size());

// Window layout, in twips.
constexpr int kMinimumWidth = 8000;
constexpr int kMinimumHeight = 5000;
constexpr int kClientWidth = 9990;
constexpr int kToolbarHeight = 360;
constexpr int kListHeight = 6255;
constexpr int kStatusBarHeight = 375;
constexpr int kProgressLeft = 20;
constexpr int kProgressWidth = 2980;
constexpr int kProgressHeight = 200;

struct PanelLayout {
  const char* description;
  int widthTwips;
  // What a panel keeps when the window is too narrow for all the widths: the panels
  // together are wider than the window's design width, and every total must stay
  // readable; the progress bar gives way with panel 1.
  int minimumTwips;
};
// Panels 1 to 5; panel 5 takes what is left.
const PanelLayout kPanels[6] = {
    {nullptr, 0, 0},
    {"Analyser Progress", 5292, 1500},
    {"Total Valid Data Files", 882, 600},
    {"Total Valid Data File Size", 2540, 1200},
    {"Total Records ", 2540, 1200},
    {nullptr, 5741, 2540},
};

// A status bar panel that asks for its width but gives way when the window is narrow.
class StatusPanel : public QLabel {
 public:
  StatusPanel(int width, QWidget* parent) : QLabel(parent), m_width(width) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  }
  QSize sizeHint() const override { return {m_width, QLabel::sizeHint().height()}; }
  QSize minimumSizeHint() const override { return {minimumWidth(), QLabel::minimumSizeHint().height()}; }

  // Panel 1 carries the progress bar: at its left, its full width when there is room.
  void carry(QProgressBar* bar, int left, int width, int height) {
    m_bar = bar;
    m_barLeft = left;
    m_barWidth = width;
    m_barHeight = height;
    placeBar();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    placeBar();
  }

 private:
  void placeBar() {
    if (!m_bar) return;
    const int width = qMax(0, qMin(m_barWidth, this->width() - 2 * m_barLeft));
    m_bar->setGeometry(m_barLeft, qMax(0, (height() - m_barHeight) / 2), width, m_barHeight);
  }

  int m_width;
  QProgressBar* m_bar = nullptr;
  int m_barLeft = 0, m_barWidth = 0, m_barHeight = 0;
};

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

frmVELM::frmVELM(FileSystem& files, ReaderTable readers, QWidget* parent)
    : QMainWindow(parent), m_session(files, std::move(readers)) {
  m_exitNow = [] {
    std::fflush(nullptr);
    std::_Exit(0);
  };
  setObjectName("frmVELM");
  setWindowTitle(QStringLiteral("%1 %2.%3").arg(kTitle).arg(VELLMARK_VERSION_MAJOR).arg(VELLMARK_VERSION_MINOR));
  setContextMenuPolicy(Qt::NoContextMenu);

  buildMenus();
  buildToolbar();
  buildList();
  buildStatusBar();

  // The commands' guards have run when these are emitted.
  connect(this, &frmVELM::addFilesRequested, this, &frmVELM::showAddFilesDialog);
  connect(this, &frmVELM::aboutRequested, this, &frmVELM::showAboutBox);
  connect(this, &frmVELM::userManualRequested, this, [this] { OpenUserManual(m_dialogs, this); });
  connect(this, &frmVELM::updatesRequested, this, [this] { OpenUpdatesPage(m_dialogs); });

  setMinimumSize(twipsToPixelsX(kMinimumWidth), twipsToPixelsY(kMinimumHeight));
  resize(twipsToPixelsX(kClientWidth),
         menuBar()->sizeHint().height() + twipsToPixelsY(kToolbarHeight + kListHeight + kStatusBarHeight));
}

frmVELM::~frmVELM() {
  // The view and the model refer to the session's list: they go before the session.
  delete m_list;
  delete m_model;
}

int frmVELM::twipsToPixelsX(int twips) const { return qRound(twips * logicalDpiX() / 1440.0); }
int frmVELM::twipsToPixelsY(int twips) const { return qRound(twips * logicalDpiY() / 1440.0); }

QAction* frmVELM::action(const char* name, const QString& caption, void (frmVELM::*slot)()) {
  auto* a = new QAction(caption, this);
  a->setObjectName(QString::fromLatin1(name));
  connect(a, &QAction::triggered, this, slot);
  return a;
}

void frmVELM::buildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("menFile");
  file->addAction(action("menOpen", "&Open Report", &frmVELM::openReport));
  file->addAction(action("menSave", "&Save Report", &frmVELM::saveReport));
  file->addSeparator();
  file->addAction(action("menAnalyse", "&Analyse", &frmVELM::analyse));
  file->addAction(action("menRedo", "&Re Analyse", &frmVELM::reanalyse));
  file->addAction(action("menStop", "S&top", &frmVELM::stop));
  file->addSeparator();
  file->addAction(action("menExit", "E&xit", &frmVELM::exitProgram));

  QMenu* edit = menuBar()->addMenu("&Edit");
  edit->setObjectName("menEdit");
  edit->addAction(action("menAdd", "&Add Files", &frmVELM::addFiles));
  edit->addAction(action("menRemove", "&Remove Files", &frmVELM::removeFiles));
  edit->addAction(action("menClear", "&Clear", &frmVELM::clearList));

  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("menHelp");
  help->addAction(action("menManual", "User &Manual", &frmVELM::userManual));
  help->addAction(action("menUpdates", "Check for &Updates", &frmVELM::checkForUpdates));
  help->addSeparator();
  help->addAction(action("menAbout", "&About", &frmVELM::about));
}

void frmVELM::buildToolbar() {
  QToolBar* bar = addToolBar("Toolbar1");
  bar->setObjectName("Toolbar1");
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setIconSize(QSize(16, 16));
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  bar->setFixedHeight(qMax(twipsToPixelsY(kToolbarHeight), 24));

  struct Button {
    const char* name;
    const char* hint;
    ToolbarPicture picture;
    void (frmVELM::*slot)();
  };
  // Positions 1 to 12; a null name is a separator (positions 4, 7 and 11).
  const Button buttons[12] = {
      {"tbAdd", "Add Files to Analyser", ToolbarPicture::Add, &frmVELM::addFiles},
      {"tbRemove", "Remove Selected Files From Analyser", ToolbarPicture::Remove, &frmVELM::removeFiles},
      {"tbClear", "Clear Analyser Content", ToolbarPicture::Clear, &frmVELM::clearList},
      {nullptr, nullptr, {}, nullptr},
      {"tbSave", "Save the Report", ToolbarPicture::Save, &frmVELM::saveReport},
      {"tbOpen", "Open Analyser Report", ToolbarPicture::Open, &frmVELM::openReport},
      {nullptr, nullptr, {}, nullptr},
      {"tbAnalyse", "Analyse", ToolbarPicture::Analyse, &frmVELM::analyse},
      {"tbStop", "Stop Analyser", ToolbarPicture::Stop, &frmVELM::stop},
      {"tbExport", "Open Report In Excel", ToolbarPicture::Export, &frmVELM::exportToSpreadsheet},
      {nullptr, nullptr, {}, nullptr},
      {"tbAbout", "About Vellmark", ToolbarPicture::About, &frmVELM::about},
  };
  for (const Button& b : buttons) {
    if (!b.name) {
      bar->addSeparator();
      continue;
    }
    QAction* a = action(b.name, QString::fromLatin1(b.hint), b.slot);
    a->setIcon(ToolbarIcon(b.picture));
    a->setToolTip(QString::fromLatin1(b.hint));
    bar->addAction(a);
  }
}

void frmVELM::buildList() {
  m_list = new AnalyserListView(this);
  m_list->setObjectName("ListView1");
  m_model = new AnalyserListModel(m_session.list(), this);
  m_list->setModel(m_model);
  for (int c = 0; c < AnalyserListModel::ColumnCount; ++c)
    m_list->horizontalHeader()->resizeSection(c, twipsToPixelsX(AnalyserListModel::columnWidthTwips(c)));
  setCentralWidget(m_list);
  connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &frmVELM::syncSelection);
  // Handled after the drop has finished, so a message box never sits inside the drag.
  connect(m_list, &AnalyserListView::filesDropped, this, &frmVELM::dropFiles, Qt::QueuedConnection);
}

void frmVELM::buildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("sb1");
  bar->setSizeGripEnabled(true);
  StatusPanel* first = nullptr;
  for (int i = 1; i <= 5; ++i) {
    auto* panel = new StatusPanel(twipsToPixelsX(kPanels[i].widthTwips), bar);
    panel->setObjectName(QStringLiteral("sb1Panel%1").arg(i));
    if (kPanels[i].description) panel->setToolTip(QString::fromLatin1(kPanels[i].description));
    panel->setMinimumWidth(twipsToPixelsX(kPanels[i].minimumTwips));
    bar->addWidget(panel, i == 5 ? 1 : 0);
    m_panels[i] = panel;
    if (i == 1) first = panel;
  }
  bar->setFixedHeight(qMax(twipsToPixelsY(kStatusBarHeight), 22));

  m_progress = new QProgressBar(first);
  m_progress->setObjectName("ProgressBar1");
  m_progress->setRange(0, 100);
  m_progress->setValue(0);
  m_progress->setTextVisible(false);
  first->carry(m_progress, twipsToPixelsX(kProgressLeft), twipsToPixelsX(kProgressWidth),
               qMax(twipsToPixelsY(kProgressHeight), 10));
}

bool frmVELM::onWindowThread() const { return QThread::currentThread() == thread(); }

// --- Panels ---

QString frmVELM::panelText(int panel) const {
  return panel >= 2 && panel <= 5 ? m_panels[panel]->text() : QString();
}

void frmVELM::setPanelText(int panel, const QString& text) {
  if (panel >= 2 && panel <= 5) m_panels[panel]->setText(text);
}

void frmVELM::resetTotals() {
  for (int i = 2; i <= 5; ++i) setPanelText(i, QString());
  totals_.reset();
}

void frmVELM::showResultsFlag() { m_list->setAlternatingRowColors(m_session.resultsShown()); }

void frmVELM::setBusy(bool busy) {
  if (busy == m_busy) return;
  m_busy = busy;
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

void frmVELM::offerFiles(const std::vector<std::string>& paths) {
  if (m_session.analysing()) return;
  setBusy(true);
  std::vector<OfferOutcome> outcomes = m_session.OfferFiles(paths);
  setBusy(false);
  std::string refused = RefusedFilesMessage(paths, outcomes);
  if (!refused.empty()) m_dialogs.message(this, FromStd(refused), QMessageBox::Information, kTitle);
  resetTotals();
  showResultsFlag();
}

// --- The pass ---

void frmVELM::runPass(bool reanalyseAll) {
  if (m_session.analysing()) return;
  resetTotals();
  PassSummary summary = m_session.RunAnalysis(reanalyseAll, *this);
  if (!summary.ran) return;
  const TotalsTexts shown = ShowTotals(summary.totals);
  setPanelText(5, QString());
  setPanelText(2, FromStd(shown.files));
  setPanelText(3, FromStd(shown.size));
  setPanelText(4, FromStd(shown.records));
  totals_ = summary.totals;
  showResultsFlag();
  redrawList();
  m_dialogs.message(this, FromStd(ClosingMessage(summary)), QMessageBox::Information, kTitle);
}

void frmVELM::entryStarted(std::size_t row) {
  setPanelText(5, "Analysing " + FromStd(m_session.list().at(row).path));
}

void frmVELM::progress(int percent) {
  QProgressBar* bar = m_progress;
  if (onWindowThread()) bar->setValue(percent);
  else QMetaObject::invokeMethod(bar, [bar, percent] { bar->setValue(percent); }, Qt::QueuedConnection);
}

void frmVELM::readerMessage(const std::string& text, const std::string& caption) {
  QString t = FromStd(text);
  QString title = caption.empty() ? kTitle : FromStd(caption);
  auto show = [this, t, title] { m_dialogs.message(this, t, QMessageBox::Critical, title); };
  if (onWindowThread()) show();
  else QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
}

bool frmVELM::confirmStop() {
  QString t = FromStd(std::string(kStopQuestion));
  // An atomic carries the answer back so the hand-over is visible to thread checkers,
  // which cannot see the ordering Qt's blocking call gives.
  std::atomic<bool> yes{false};
  auto ask = [this, t, &yes] { yes.store(m_dialogs.question(this, t, kTitle), std::memory_order_release); };
  if (onWindowThread()) ask();
  else QMetaObject::invokeMethod(this, ask, Qt::BlockingQueuedConnection);
  return yes.load(std::memory_order_acquire);
}

void frmVELM::yield() {
  // On a reader's thread there is nothing to do: this thread runs its own loop.
  if (onWindowThread()) QCoreApplication::processEvents();
}

ReaderOutcome frmVELM::runRead(std::size_t, const ReadCall& read, ReaderContext& context) {
  // The reader works on its own thread; this one keeps painting and taking Stop.
  QEventLoop loop;
  ReaderOutcome outcome = Stopped{};
  std::thread worker([&] {
    outcome = read(context);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  return outcome;
}

void frmVELM::redrawList() { m_list->viewport()->update(); }

// --- Commands ---

void frmVELM::openReport() {
  if (m_session.analysing()) return;
  OpenReport(*this);
}

void frmVELM::saveReport() {
  if (m_session.analysing()) return;
  SaveReport(*this);
}

void frmVELM::analyse() { runPass(false); }

void frmVELM::reanalyse() { runPass(true); }

void frmVELM::stop() { m_session.RequestStop(); }

void frmVELM::exitProgram() {
  if (m_session.analysing()) return;
  close();
}

void frmVELM::addFiles() {
  if (m_session.analysing()) return;
  emit addFilesRequested();
}

void frmVELM::removeFiles() {
  if (m_session.analysing()) return;
  syncSelection();
  m_session.RemoveSelectedEntries();
  showResultsFlag();
}

void frmVELM::clearList() {
  if (m_session.analysing()) return;
  m_session.ClearEntries();
  showResultsFlag();
}

void frmVELM::exportToSpreadsheet() {
  if (m_session.analysing()) return;
  std::string path = ExportToSpreadsheet(*this);
  if (!path.empty()) m_dialogs.openDocument(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
}

void frmVELM::userManual() { emit userManualRequested(); }

void frmVELM::checkForUpdates() { emit updatesRequested(); }

void frmVELM::about() {
  if (m_session.analysing()) return;
  emit aboutRequested();
}

void frmVELM::showAddFilesDialog() {
  // Created once and kept: its folder, rows and selection outlive each use.
  if (!m_open) m_open = new frmOpen(*this);
  m_open->show();
  m_open->raise();
  m_open->activateWindow();
}

frmAbout* frmVELM::aboutBox() const { return m_about.data(); }

void frmVELM::showAboutBox() {
  if (!m_about) m_about = new frmAbout(m_dialogs, this);
  m_about->show();
  m_about->raise();
  m_about->activateWindow();
}

void frmVELM::dropFiles(const QStringList& paths) {
  std::vector<std::string> offered;
  offered.reserve(static_cast<std::size_t>(paths.size()));
  for (const QString& p : paths) offered.push_back(QFile::encodeName(p).toStdString());
  offerFiles(offered);
}

void frmVELM::syncSelection() {
  QItemSelectionModel* selection = m_list->selectionModel();
  AnalyserList& list = m_session.list();
  for (std::size_t row = 0; row < list.size(); ++row)
    list.setSelected(row, selection->isRowSelected(static_cast<int>(row), QModelIndex()));
}

void frmVELM::closeEvent(QCloseEvent* event) {
  event->accept();
  if (m_session.analysing()) {
    // A reader may be busy on its thread and cannot be interrupted: end here.
    hide();
    m_exitNow();
  }
}

}  // namespace vellmark::ui
