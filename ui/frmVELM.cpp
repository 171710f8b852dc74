#include "ui/frmVELM.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>

#include "analysis/pass_texts.h"
#include "core/archive_names.h"
#include "core/texts.h"
#include "ui/analyser_list_model.h"
#include "ui/analyser_list_view.h"
#include "ui/details_view.h"
#include "ui/folder_files.h"
#include "ui/frmAbout.h"
#include "ui/frmOpen.h"
#include "ui/help_commands.h"
#include "ui/icons.h"
#include "ui/list_filter.h"
#include "ui/list_proxy.h"
#include "ui/pass_progress.h"
#include "ui/report_commands.h"
#include "ui/status_panel.h"
#include "ui/timeline_dock.h"


namespace vellmark::ui {

namespace {

const QString kTitle = QString::fromLatin1(kApplicationTitle.data(), kApplicationTitle.size());

// Window layout, in twips.
constexpr int kMinimumWidth = 8000;
constexpr int kMinimumHeight = 5000;
constexpr int kToolbarHeight = 360;
constexpr int kListHeight = 6255;
constexpr int kStatusBarHeight = 375;
constexpr int kProgressLeft = 20;
constexpr int kProgressWidth = 2980;
constexpr int kProgressHeight = 200;

struct PanelLayout {
  const char* description;
  // The caption in front of the panel: the panel keeps its own text as it is.
  const char* caption;
  int widthTwips;
  // What a panel keeps when the window is too narrow for all the widths: the panels
  // together are wider than the window's design width, and every total must stay
  // readable; the progress bar gives way with panel 1.
  int minimumTwips;
};
// Panels 1 to 5; panel 5 takes what is left.
const PanelLayout kPanels[6] = {
    {nullptr, nullptr, 0, 0},
    {"Analyser Progress", nullptr, 5292, 1500},
    {"Total Valid Data Files", "Valid files:", 882, 600},
    {"Total Valid Data File Size", "Size:", 2540, 1200},
    {"Total Records ", "Records:", 2540, 1200},
    {nullptr, nullptr, 5741, 2540},
};

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

// The clock the readers take the current year from: the system's, with the year the
// user set when there is one.
Clock DatedClock(const std::atomic<int>& year) {
  return Clock{[system = Clock().now, &year] {
    std::tm t = system();
    if (const int y = year.load(std::memory_order_relaxed); y > 0) t.tm_year = y - 1900;
    return t;
  }};
}

}  // namespace

frmVELM::frmVELM(FileSystem& files, ReaderTable readers, QWidget* parent)
    : QMainWindow(parent), session_(files, std::move(readers), DatedClock(dateYear_)) {
  exitNow_ = [] {
    std::fflush(nullptr);
    std::_Exit(0);
  };
  programFolder_ = QCoreApplication::applicationDirPath();
  setObjectName("frmVELM");
  setContextMenuPolicy(Qt::NoContextMenu);

  buildMenus();
  buildToolbar();
  buildList();
  buildStatusBar();
  buildTimeline();
  updateTitle();
  setAnalysing(false);
  follow_.setSingleShot(true);
  follow_.setInterval(100);
  connect(&follow_, &QTimer::timeout, this, &frmVELM::showPassRow);

  // The commands' guards have run when these are emitted.
  connect(this, &frmVELM::addFilesRequested, this, &frmVELM::showAddFilesDialog);
  connect(this, &frmVELM::aboutRequested, this, &frmVELM::showAboutBox);
  connect(this, &frmVELM::userManualRequested, this, [this] { OpenUserManual(dialogs_, this, programFolder_); });
  connect(this, &frmVELM::updatesRequested, this, [this] { OpenUpdatesPage(dialogs_, this); });

  setMinimumSize(twipsToPixelsX(kMinimumWidth), twipsToPixelsY(kMinimumHeight));
  restoreSettings();
}

frmVELM::~frmVELM() {
  // The views and the models refer to the session's list: they go before the session.
  delete timeline_;
  delete details_;
  delete list_;
  delete proxy_;
  delete model_;
}

int frmVELM::twipsToPixelsX(int twips) const { return qRound(twips * logicalDpiX() / 1440.0); }
int frmVELM::twipsToPixelsY(int twips) const { return qRound(twips * logicalDpiY() / 1440.0); }

QAction* frmVELM::action(const char* name, const QString& caption, void (frmVELM::*slot)(), bool idleOnly) {
  auto* a = new QAction(caption, this);
  a->setObjectName(QString::fromLatin1(name));
  connect(a, &QAction::triggered, this, slot);
  if (idleOnly) idleOnly_.append(a);
  return a;
}

void frmVELM::buildMenus() {
  auto shortcut = [](QAction* a, const QKeySequence& keys) {
    a->setShortcut(keys);
    return a;
  };
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("menFile");
  file->addAction(shortcut(action("menOpen", "&Open Report", &frmVELM::openReport), QKeySequence::Open));
  file->addAction(shortcut(action("menSave", "&Save Report", &frmVELM::saveReport), QKeySequence::Save));
  file->addSeparator();
  file->addAction(shortcut(action("menAnalyse", "&Analyse", &frmVELM::analyse), QKeySequence::Refresh));
  file->addAction(shortcut(action("menRedo", "&Re Analyse", &frmVELM::reanalyse), QKeySequence(Qt::SHIFT | Qt::Key_F5)));
  stop_ = shortcut(action("menStop", "S&top", &frmVELM::stop, false), QKeySequence::Cancel);
  file->addAction(stop_);
  file->addSeparator();
  file->addAction(shortcut(action("menExit", "E&xit", &frmVELM::exitProgram, false), QKeySequence::Quit));
  file->addSeparator();
  recent_ = file->addMenu("Recent Re&ports");
  recent_->setObjectName("menRecent");
  fillRecentReports();

  QMenu* edit = menuBar()->addMenu("&Edit");
  edit->setObjectName("menEdit");
  edit->addAction(shortcut(action("menAdd", "&Add Files", &frmVELM::addFiles), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)));
  edit->addAction(shortcut(action("menRemove", "&Remove Files", &frmVELM::removeFiles), QKeySequence::Delete));
  edit->addAction(action("menClear", "&Clear", &frmVELM::clearList));
  edit->addSeparator();
  edit->addAction(shortcut(action("menCopy", "C&opy Rows", &frmVELM::copyRows, false), QKeySequence::Copy));
  edit->addAction(action("menDetails", "&Details", &frmVELM::showDetails, false));
  edit->addAction(action("menFolder", "Open Containing &Folder", &frmVELM::openContainingFolder, false));
  QAction* find = edit->addAction("Fil&ter Rows");
  find->setObjectName("menFind");
  find->setShortcut(QKeySequence::Find);
  connect(find, &QAction::triggered, this, [this] {
    filter_->textBox()->setFocus(Qt::ShortcutFocusReason);
    filter_->textBox()->selectAll();
  });

  QMenu* tools = menuBar()->addMenu("&Tools");
  tools->setObjectName("menTools");
  tools->addAction(action("menVerify", "&Verify Counts", &frmVELM::verifyCounts));
  QAction* sha256 = tools->addAction("Also &SHA-256 Digests");
  sha256->setObjectName("menSha256");
  sha256->setCheckable(true);
  idleOnly_.append(sha256);
  connect(sha256, &QAction::toggled, this, [this](bool on) { session_.options().sha256 = on; });
  tools->addSeparator();
  year_ = action("menYear", QString(), &frmVELM::chooseDateYear);
  tools->addAction(year_);

  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("menHelp");
  help->addAction(shortcut(action("menManual", "User &Manual", &frmVELM::userManual, false), QKeySequence::HelpContents));
  help->addAction(action("menUpdates", "Check for &Updates", &frmVELM::checkForUpdates, false));
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
  bar->setAccessibleName(QStringLiteral("Toolbar"));

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
    const bool stop = b.slot == &frmVELM::stop;
    QAction* a = action(b.name, QString::fromLatin1(b.hint), b.slot, !stop);
    a->setIcon(ToolbarIcon(b.picture));
    a->setToolTip(QString::fromLatin1(b.hint));
    bar->addAction(a);
    // The toolbar's Stop is enabled with the menu's.
    if (stop) connect(stop_, &QAction::enabledChanged, a, &QAction::setEnabled);
  }
  // After the twelve positions, at the far end: the filter box.
  auto* spacer = new QWidget(bar);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  bar->addWidget(spacer);
  filter_ = new ListFilter(bar);
  bar->addWidget(filter_);
  bar->setFixedHeight(qMax(twipsToPixelsY(kToolbarHeight), filter_->sizeHint().height() + 4));
}

void frmVELM::buildList() {
  list_ = new AnalyserListView(this);
  list_->setObjectName("ListView1");
  model_ = new AnalyserListModel(session_.list(), this);
  proxy_ = new AnalyserListProxy(model_, this);
  list_->setModel(proxy_);
  list_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  int columns = 0;
  for (int c = 0; c < AnalyserListModel::ColumnCount; ++c) {
    const int width = twipsToPixelsX(AnalyserListModel::columnWidthTwips(c));
    list_->horizontalHeader()->resizeSection(c, width);
    columns += width;
  }
  setCentralWidget(list_);
  // Handled after the drop has finished, so a message box never sits inside the drag.
  connect(list_, &AnalyserListView::filesDropped, this, &frmVELM::dropFiles, Qt::QueuedConnection);
  connect(list_, &QAbstractItemView::activated, this, &frmVELM::showDetails);
  connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    for (const char* name : {"menDetails", "menCopy", "menRemove", "menFolder"})
      menu.addAction(findChild<QAction*>(QString::fromLatin1(name)));
    menu.exec(list_->viewport()->mapToGlobal(at));
  });
  // Copy and Remove act on the list's rows when it has the focus, not on other text.
  for (const char* name : {"menCopy", "menRemove"}) {
    QAction* a = findChild<QAction*>(QString::fromLatin1(name));
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    list_->addAction(a);
  }

  details_ = new DetailsView(session_.list(), this);
  addDockWidget(Qt::BottomDockWidgetArea, details_);
  details_->hide();
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { details_->showRow(currentEntryRow()); });
  connect(model_, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& from, const QModelIndex& to) {
    const auto row = details_->row();
    if (row && details_->isVisible() && int(*row) >= from.row() && int(*row) <= to.row()) details_->refresh();
  });
  connect(model_, &QAbstractItemModel::modelReset, details_, [this] { details_->showRow(currentEntryRow()); });
  connect(model_, &QAbstractItemModel::rowsRemoved, details_, [this] { details_->showRow(currentEntryRow()); });

  connect(filter_, &ListFilter::textChanged, proxy_, &AnalyserListProxy::setFilterText);
  connect(filter_, &ListFilter::familyChanged, proxy_, &AnalyserListProxy::setFamily);
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(proxy_, signal, this, &frmVELM::showFilterCounts);
  connect(proxy_, &QAbstractItemModel::modelReset, this, &frmVELM::showFilterCounts);
  connect(proxy_, &QAbstractItemModel::layoutChanged, this, &frmVELM::showFilterCounts);

  // Every column in sight at the design widths, as far as the screen allows.
  const int width = columns + 2 * list_->frameWidth() + list_->verticalScrollBar()->sizeHint().width() + 8;
  const int height = menuBar()->sizeHint().height() + twipsToPixelsY(kToolbarHeight + kListHeight + kStatusBarHeight) + 24;
  QSize size(width, height);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size() * 0.95);
  resize(size);
}

void frmVELM::buildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("sb1");
  bar->setSizeGripEnabled(true);
  for (int i = 1; i <= 5; ++i) {
    if (kPanels[i].caption) {
      auto* caption = new QLabel(QString::fromLatin1(kPanels[i].caption), bar);
      caption->setObjectName(QStringLiteral("lblPanel%1").arg(i));
      caption->setToolTip(QString::fromLatin1(kPanels[i].description));
      bar->addWidget(caption);
    }
    auto* panel = new StatusPanel(twipsToPixelsX(kPanels[i].widthTwips), bar);
    panel->setObjectName(QStringLiteral("sb1Panel%1").arg(i));
    panel->setAccessibleName(kPanels[i].description ? QString::fromLatin1(kPanels[i].description).trimmed()
                                                    : QStringLiteral("Status"));
    if (kPanels[i].description) panel->setDescription(QString::fromLatin1(kPanels[i].description));
    panel->setMinimumWidth(twipsToPixelsX(kPanels[i].minimumTwips));
    bar->addWidget(panel, i == 5 ? 1 : 0);
    panels_[i] = panel;
  }
  bar->setFixedHeight(qMax(twipsToPixelsY(kStatusBarHeight), 22));

  progress_ = new QProgressBar(panels_[1]);
  progress_->setObjectName("ProgressBar1");
  progress_->setAccessibleName(QStringLiteral("Progress of the file being read"));
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  passProgress_ = new PassProgress(panels_[1]);
  panels_[1]->carry(progress_, twipsToPixelsX(kProgressLeft), twipsToPixelsX(kProgressWidth),
                    qMax(twipsToPixelsY(kProgressHeight), 10), passProgress_);
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

// --- Settings ---

void frmVELM::restoreSettings() {
  if (!settings_.geometry().isEmpty()) restoreGeometry(settings_.geometry());
  if (!settings_.windowState().isEmpty()) restoreState(settings_.windowState());
  QHeaderView* header = list_->horizontalHeader();
  if (!settings_.columns().isEmpty() && header->restoreState(settings_.columns()))
    proxy_->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
  dialogs_.folders = settings_.folders();
  setDateYear(settings_.dateYear());
}

void frmVELM::saveSettings() {
  settings_.setLayout(saveGeometry(), saveState(), list_->horizontalHeader()->saveState());
  QHash<QString, QString> folders = dialogs_.folders;
  if (open_) folders.insert(QStringLiteral("files"), open_->folder());
  settings_.setFolders(folders);
}

// --- Panels ---

QString frmVELM::panelText(int panel) const {
  return panel >= 2 && panel <= 5 ? panels_[panel]->fullText() : QString();
}

void frmVELM::setPanelText(int panel, const QString& text) {
  if (panel >= 2 && panel <= 5) panels_[panel]->setFullText(text);
}

void frmVELM::resetTotals() {
  for (int i = 2; i <= 5; ++i) setPanelText(i, QString());
  totals_.reset();
}

void frmVELM::showTotals(const ListTotals& totals) {
  const TotalsTexts shown = ShowTotals(totals);
  setPanelText(2, FromStd(shown.files));
  setPanelText(3, FromStd(shown.size));
  setPanelText(4, FromStd(shown.records));
  totals_ = totals;
}

void frmVELM::totalsFollowList() {
  if (totals_) showTotals(session_.Totals());
}

void frmVELM::showResultsFlag() { list_->setAlternatingRowColors(session_.resultsShown()); }

void frmVELM::showFilterCounts() { filter_->showCounts(proxy_->rowCount(), model_->rowCount()); }

void frmVELM::setBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

void frmVELM::offerFiles(const std::vector<std::string>& paths) {
  if (session_.analysing()) return;
  setBusy(true);
  // A folder stands for its files, an archive for its members: refusals name them.
  std::vector<std::string> entries;
  std::vector<OfferOutcome> outcomes;
  const std::vector<std::string> offered = ExpandFolders(paths);
  // A sorted view finds each new row its place, one pass over its rows for every run of
  // them; many are appended unsorted and sorted with the rest instead.
  const int sortColumn = proxy_->sortColumn();
  const Qt::SortOrder sortOrder = proxy_->sortOrder();
  const bool resort = sortColumn >= 0 && offered.size() > 256;
  if (resort) proxy_->sort(-1);
  {
    AnalyserListModel::Batch batch(*model_);
    for (Offer& offer : session_.OfferEntries(offered)) {
      entries.push_back(std::move(offer.path));
      outcomes.push_back(offer.outcome);
    }
  }
  if (resort) proxy_->sort(sortColumn, sortOrder);
  setBusy(false);
  std::string refused = RefusedFilesMessage(entries, outcomes);
  if (!refused.empty()) dialogs_.message(this, FromStd(refused), QMessageBox::Information, kTitle);
  resetTotals();
  showResultsFlag();
}

// --- The pass ---

void frmVELM::setAnalysing(bool running) {
  for (QAction* a : idleOnly_) a->setEnabled(!running);
  recent_->setEnabled(!running && !recent_->actions().isEmpty());
  stop_->setEnabled(running);
  emit analysingChanged(running);
}

void frmVELM::runPass(bool reanalyseAll) {
  if (session_.analysing()) return;
  resetTotals();
  passNumber_ = 0;
  shownPassNumber_ = 0;
  passBytes_ = 0;
  passRow_.reset();
  const std::size_t files = session_.list().empty() ? 0 : session_.RowsToRead(reanalyseAll).size();
  if (!session_.list().empty()) {
    passProgress_->start(static_cast<int>(files));
    setAnalysing(true);
  }
  PassSummary summary = session_.RunAnalysis(reanalyseAll, *this);
  follow_.stop();
  progress_->setValue(barValue_.load(std::memory_order_relaxed));
  if (!summary.ran) return;
  if (passRow_) passBytes_ += session_.list().at(*passRow_).sizeBytes.value_or(0);
  passProgress_->finish(passBytes_);
  setAnalysing(false);
  unsaved_ = true;
  setPanelText(5, QString());
  showTotals(summary.totals);
  proxy_->refresh();
  showResultsFlag();
  redrawList();
  dialogs_.message(this, FromStd(ClosingMessage(summary)), QMessageBox::Information, kTitle);
}

void frmVELM::entryStarted(std::size_t row) {
  if (passRow_) passBytes_ += session_.list().at(*passRow_).sizeBytes.value_or(0);
  passRow_ = row;
  ++passNumber_;
  // Many small files go by faster than anyone reads: the panels, the bar and the list
  // follow the pass every tenth of a second, and always show the file being read.
  if (!follow_.isActive()) showPassRow();
}

void frmVELM::showPassRow() {
  if (!passRow_ || !session_.analysing()) return;
  const std::size_t row = *passRow_;
  follow_.start();
  progress_->setValue(barValue_.load(std::memory_order_relaxed));
  if (shownPassNumber_ == passNumber_) return;
  shownPassNumber_ = passNumber_;
  setPanelText(5, "Analysing " + FromStd(session_.list().at(row).path));
  passProgress_->fileStarted(passNumber_, passBytes_);
  // The row being read stays in sight, unless the filter hides it.
  const QModelIndex shown = proxy_->viewIndex(row);
  if (shown.isValid() && !list_->viewport()->rect().contains(list_->visualRect(shown)))
    list_->scrollTo(shown, QAbstractItemView::PositionAtCenter);
}

void frmVELM::progress(int percent) {
  // Shown at the pass's next tenth of a second: the bar paints the window each time it
  // moves, and a small file moves it from 0 to 100 in no time.
  barValue_.store(percent, std::memory_order_relaxed);
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

// --- Saved state of the list ---

bool frmVELM::confirmDiscard() { return !unsaved_ || dialogs_.question(this, kDiscardQuestion, kTitle); }

void frmVELM::updateTitle() {
  QString title = QStringLiteral("%1 %2.%3").arg(kTitle).arg(VELLMARK_VERSION_MAJOR).arg(VELLMARK_VERSION_MINOR);
  if (!reportName_.isEmpty()) title = QFileInfo(reportName_).fileName() + " - " + title;
  setWindowTitle(title);
}

void frmVELM::reportSaved(const std::string& name) {
  setPanelText(5, "File " + FromStd(name) + " Saved");
  reportOpened(name);
}

void frmVELM::reportOpened(const std::string& name) {
  unsaved_ = false;
  reportName_ = QFile::decodeName(name.c_str());
  updateTitle();
  settings_.addRecentReport(QFileInfo(reportName_).absoluteFilePath());
  fillRecentReports();
}

void frmVELM::fillRecentReports() {
  recent_->clear();
  int number = 0;
  for (const QString& path : settings_.recentReports()) {
    QAction* a = recent_->addAction(QStringLiteral("&%1 %2").arg(++number).arg(QFileInfo(path).fileName()));
    a->setToolTip(path);
    a->setStatusTip(path);
    connect(a, &QAction::triggered, this, [this, path] { openRecentReport(path); });
  }
  recent_->setEnabled(!recent_->actions().isEmpty() && !session_.analysing());
}

void frmVELM::openRecentReport(const QString& path) {
  if (session_.analysing() || !confirmDiscard()) return;
  bool opened = false;
  {
    AnalyserListModel::Batch batch(*model_);
    opened = OpenReportFile(*this, QFile::encodeName(path).toStdString());
  }
  proxy_->refresh();
  if (!opened) {
    settings_.removeRecentReport(path);
    fillRecentReports();
  }
}

void frmVELM::setDateYear(int year) {
  dateYear_ = year;
  settings_.setDateYear(year);
  year_->setText(year > 0 ? QStringLiteral("Year for Short &Dates: %1...").arg(year)
                          : QStringLiteral("Year for Short &Dates: the Clock's..."));
}

void frmVELM::chooseDateYear() {
  if (session_.analysing()) return;
  const auto year = dialogs_.number(this, kTitle,
                                    QStringLiteral("The year C-DOT short file names and E10B dates take\n"
                                                   "(0: the current year, from the clock):"),
                                    dateYear_, 0, 9999);
  if (year && (*year == 0 || *year >= 1900)) setDateYear(*year);
}

// --- Commands ---

void frmVELM::openReport() {
  if (session_.analysing() || !confirmDiscard()) return;
  {
    AnalyserListModel::Batch batch(*model_);
    OpenReport(*this);
  }
  proxy_->refresh();
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

void frmVELM::exitProgram() { close(); }

void frmVELM::addFiles() {
  if (session_.analysing()) return;
  emit addFilesRequested();
}

void frmVELM::removeFiles() {
  if (session_.analysing()) return;
  syncSelection();
  session_.RemoveSelectedEntries();
  if (session_.list().empty()) unsaved_ = false;
  totalsFollowList();
  showResultsFlag();
}

void frmVELM::clearList() {
  if (session_.analysing() || !confirmDiscard()) return;
  session_.ClearEntries();
  unsaved_ = false;
  reportName_.clear();
  updateTitle();
  totalsFollowList();
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
  if (!open_) open_ = new frmOpen(*this, settings_.folders().value(QStringLiteral("files")));
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

std::optional<std::size_t> frmVELM::currentEntryRow() const {
  const QModelIndex current = list_->currentIndex();
  if (!current.isValid()) return std::nullopt;
  return proxy_->entryRow(current);
}

void frmVELM::showDetails() {
  const bool opening = !details_->isVisible();
  details_->show();
  details_->raise();
  details_->showRow(currentEntryRow());
  // Tall enough for the fields, as far as the list keeps half the window.
  if (opening && !details_->isFloating() && dockWidgetArea(details_) == Qt::BottomDockWidgetArea)
    resizeDocks({details_}, {qMin(height() / 2, details_->fontMetrics().height() * 24)}, Qt::Vertical);
}

void frmVELM::copyRows() { QGuiApplication::clipboard()->setText(list_->selectedRowsText()); }

void frmVELM::openContainingFolder() {
  const auto row = currentEntryRow();
  if (!row) return;
  std::string path = session_.list().at(*row).path;
  // A member lies in its archive's folder.
  if (auto member = SplitMemberPath(path)) path = member->archive;
  const QFileInfo file(QFile::decodeName(path.c_str()));
  dialogs_.openDocument(QUrl::fromLocalFile(file.absolutePath()));
}

void frmVELM::syncSelection() {
  AnalyserList& list = session_.list();
  for (std::size_t row = 0; row < list.size(); ++row) list.setSelected(row, false);
  for (const QItemSelectionRange& range : list_->selectionModel()->selection())
    for (int r = range.top(); r <= range.bottom(); ++r) list.setSelected(proxy_->entryRow(proxy_->index(r, 0)), true);
}

void frmVELM::closeEvent(QCloseEvent* event) {
  if (session_.analysing()) {
    if (!dialogs_.question(this, kExitDuringPass, kTitle)) {
      event->ignore();
      return;
    }
    // A reader may be busy on its thread and cannot be interrupted: end here.
    saveSettings();
    event->accept();
    hide();
    exitNow_();
    return;
  }
  if (!confirmDiscard()) {
    event->ignore();
    return;
  }
  saveSettings();
  event->accept();
}

}  // namespace vellmark::ui
