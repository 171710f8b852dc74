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
#include "ui/timeline_dock.h"


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
  StatusPanel(int width, QWidget* parent) : QLabel(parent), width_(width) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  }
  QSize sizeHint() const override { return {width_, QLabel::sizeHint().height()}; }
  QSize minimumSizeHint() const override { return {minimumWidth(), QLabel::minimumSizeHint().height()}; }

  // Panel 1 carries the progress bar: at its left, its full width when there is room.
  void carry(QProgressBar* bar, int left, int width, int height) {
    bar_ = bar;
    barLeft_ = left;
    barWidth_ = width;
    barHeight_ = height;
    placeBar();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    placeBar();
  }

 private:
  void placeBar() {
    if (!bar_) return;
    const int width = qMax(0, qMin(barWidth_, this->width() - 2 * barLeft_));
    bar_->setGeometry(barLeft_, qMax(0, (height() - barHeight_) / 2), width, barHeight_);
  }

  int width_;
  QProgressBar* bar_ = nullptr;
  int barLeft_ = 0, barWidth_ = 0, barHeight_ = 0;
};

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

frmVELM::frmVELM(FileSystem& files, ReaderTable readers, QWidget* parent)
    : QMainWindow(parent), session_(files, std::move(readers)) {
  exitNow_ = [] {
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
  buildTimeline();

  // The commands' guards have run when these are emitted.
  connect(this, &frmVELM::addFilesRequested, this, &frmVELM::showAddFilesDialog);
  connect(this, &frmVELM::aboutRequested, this, &frmVELM::showAboutBox);
  connect(this, &frmVELM::userManualRequested, this, [this] { OpenUserManual(dialogs_, this); });
  connect(this, &frmVELM::updatesRequested, this, [this] { OpenUpdatesPage(dialogs_); });

  setMinimumSize(twipsToPixelsX(kMinimumWidth), twipsToPixelsY(kMinimumHeight));
  resize(twipsToPixelsX(kClientWidth),
         menuBar()->sizeHint().height() + twipsToPixelsY(kToolbarHeight + kListHeight + kStatusBarHeight));
}

frmVELM::~frmVELM() {
  // The views and the models refer to the session's list: they go before the session.
  delete timeline_;
  delete list_;
  delete model_;
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

  QMenu* tools = menuBar()->addMenu("&Tools");
  tools->setObjectName("menTools");
  tools->addAction(action("menVerify", "&Verify Counts", &frmVELM::verifyCounts));
  QAction* sha256 = tools->addAction("Also &SHA-256 Digests");
  sha256->setObjectName("menSha256");
  sha256->setCheckable(true);
  connect(sha256, &QAction::toggled, this, [this](bool on) { session_.options().sha256 = on; });

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
  list_ = new AnalyserListView(this);
  list_->setObjectName("ListView1");
  model_ = new AnalyserListModel(session_.list(), this);
  list_->setModel(model_);
  for (int c = 0; c < AnalyserListModel::ColumnCount; ++c)
    list_->horizontalHeader()->resizeSection(c, twipsToPixelsX(AnalyserListModel::columnWidthTwips(c)));
  setCentralWidget(list_);
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &frmVELM::syncSelection);
  // Handled after the drop has finished, so a message box never sits inside the drag.
  connect(list_, &AnalyserListView::filesDropped, this, &frmVELM::dropFiles, Qt::QueuedConnection);
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
    panels_[i] = panel;
    if (i == 1) first = panel;
  }
  bar->setFixedHeight(qMax(twipsToPixelsY(kStatusBarHeight), 22));

  progress_ = new QProgressBar(first);
  progress_->setObjectName("ProgressBar1");
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  first->carry(progress_, twipsToPixelsX(kProgressLeft), twipsToPixelsX(kProgressWidth),
               qMax(twipsToPixelsY(kProgressHeight), 10));
}

void frmVELM::buildTimeline() {
  timeline_ = new TimelineDock(session_.list(), model_, list_, dialogs_, this);
  addDockWidget(Qt::BottomDockWidgetArea, timeline_);
  timeline_->hide();
  // After the Tools menu's own items, which keep their places.
  QMenu* tools = menuBar()->findChild<QMenu*>("menTools");
  tools->addSeparator();
  QAction* show = timeline_->toggleViewAction();
  show->setText("&Timeline");
  show->setObjectName("menTimeline");
  tools->addAction(show);
  tools->addAction(action("menExchangeRules", "&Exchange Rules...", &frmVELM::exchangeRules));
}

bool frmVELM::onWindowThread() const { return QThread::currentThread() == thread(); }

// --- Panels ---

QString frmVELM::panelText(int panel) const {
  return panel >= 2 && panel <= 5 ? panels_[panel]->text() : QString();
}

void frmVELM::setPanelText(int panel, const QString& text) {
  if (panel >= 2 && panel <= 5) panels_[panel]->setText(text);
}

void frmVELM::resetTotals() {
  for (int i = 2; i <= 5; ++i) setPanelText(i, QString());
  totals_.reset();
}

void frmVELM::showResultsFlag() { list_->setAlternatingRowColors(session_.resultsShown()); }

void frmVELM::setBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

void frmVELM::offerFiles(const std::vector<std::string>& paths) {
  if (session_.analysing()) return;
  setBusy(true);
  // An archive stands for its members: refusals name the members.
  std::vector<std::string> entries;
  std::vector<OfferOutcome> outcomes;
  for (Offer& offer : session_.OfferEntries(paths)) {
    entries.push_back(std::move(offer.path));
    outcomes.push_back(offer.outcome);
  }
  setBusy(false);
  std::string refused = RefusedFilesMessage(entries, outcomes);
  if (!refused.empty()) dialogs_.message(this, FromStd(refused), QMessageBox::Information, kTitle);
  resetTotals();
  showResultsFlag();
}

// --- The pass ---

void frmVELM::runPass(bool reanalyseAll) {
  if (session_.analysing()) return;
  resetTotals();
  PassSummary summary = session_.RunAnalysis(reanalyseAll, *this);
  if (!summary.ran) return;
  const TotalsTexts shown = ShowTotals(summary.totals);
  setPanelText(5, QString());
  setPanelText(2, FromStd(shown.files));
  setPanelText(3, FromStd(shown.size));
  setPanelText(4, FromStd(shown.records));
  totals_ = summary.totals;
  showResultsFlag();
  redrawList();
  dialogs_.message(this, FromStd(ClosingMessage(summary)), QMessageBox::Information, kTitle);
}

void frmVELM::entryStarted(std::size_t row) {
  setPanelText(5, "Analysing " + FromStd(session_.list().at(row).path));
}

void frmVELM::progress(int percent) {
  QProgressBar* bar = progress_;
  if (onWindowThread()) bar->setValue(percent);
  else QMetaObject::invokeMethod(bar, [bar, percent] { bar->setValue(percent); }, Qt::QueuedConnection);
}

void frmVELM::readerMessage(const std::string& text, const std::string& caption) {
  QString t = FromStd(text);
  QString title = caption.empty() ? kTitle : FromStd(caption);
  auto show = [this, t, title] { dialogs_.message(this, t, QMessageBox::Critical, title); };
  if (onWindowThread()) show();
  else QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
}

bool frmVELM::confirmStop() {
  QString t = FromStd(std::string(kStopQuestion));
  // An atomic carries the answer back so the hand-over is visible to thread checkers,
  // which cannot see the ordering Qt's blocking call gives.
  std::atomic<bool> yes{false};
  auto ask = [this, t, &yes] { yes.store(dialogs_.question(this, t, kTitle), std::memory_order_release); };
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

void frmVELM::redrawList() { list_->viewport()->update(); }

// --- Commands ---

void frmVELM::openReport() {
  if (session_.analysing()) return;
  OpenReport(*this);
}

void frmVELM::saveReport() {
  if (session_.analysing()) return;
  SaveReport(*this);
}

void frmVELM::analyse() { runPass(false); }

void frmVELM::reanalyse() { runPass(true); }

void frmVELM::verifyCounts() {
  if (session_.analysing()) return;
  session_.options().verify = true;
  runPass(true);
  session_.options().verify = false;
}

void frmVELM::exchangeRules() {
  if (session_.analysing()) return;
  // Scripted, no modal dialog may be shown: the dialog's tests drive it on its own.
  if (dialogs_.scripted()) return;
  ExchangeRulesDialog dialog(timeline_->settings(), this);
  if (dialog.exec() == QDialog::Accepted) timeline_->setSettings(dialog.settings());
}

void frmVELM::stop() { session_.RequestStop(); }

void frmVELM::exitProgram() {
  if (session_.analysing()) return;
  close();
}

void frmVELM::addFiles() {
  if (session_.analysing()) return;
  emit addFilesRequested();
}

void frmVELM::removeFiles() {
  if (session_.analysing()) return;
  syncSelection();
  session_.RemoveSelectedEntries();
  showResultsFlag();
}

void frmVELM::clearList() {
  if (session_.analysing()) return;
  session_.ClearEntries();
  showResultsFlag();
}

void frmVELM::exportToSpreadsheet() {
  if (session_.analysing()) return;
  std::string path = ExportToSpreadsheet(*this);
  if (!path.empty()) dialogs_.openDocument(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
}

void frmVELM::userManual() { emit userManualRequested(); }

void frmVELM::checkForUpdates() { emit updatesRequested(); }

void frmVELM::about() {
  if (session_.analysing()) return;
  emit aboutRequested();
}

void frmVELM::showAddFilesDialog() {
  // Created once and kept: its folder, rows and selection outlive each use.
  if (!open_) open_ = new frmOpen(*this);
  open_->show();
  open_->raise();
  open_->activateWindow();
}

frmAbout* frmVELM::aboutBox() const { return about_.data(); }

void frmVELM::showAboutBox() {
  if (!about_) about_ = new frmAbout(dialogs_, this);
  about_->show();
  about_->raise();
  about_->activateWindow();
}

void frmVELM::dropFiles(const QStringList& paths) {
  std::vector<std::string> offered;
  offered.reserve(static_cast<std::size_t>(paths.size()));
  for (const QString& p : paths) offered.push_back(QFile::encodeName(p).toStdString());
  offerFiles(offered);
}

void frmVELM::syncSelection() {
  QItemSelectionModel* selection = list_->selectionModel();
  AnalyserList& list = session_.list();
  for (std::size_t row = 0; row < list.size(); ++row)
    list.setSelected(row, selection->isRowSelected(static_cast<int>(row), QModelIndex()));
}

void frmVELM::closeEvent(QCloseEvent* event) {
  event->accept();
  if (session_.analysing()) {
    // A reader may be busy on its thread and cannot be interrupted: end here.
    hide();
    exitNow_();
  }
}

}  // namespace vellmark::ui
