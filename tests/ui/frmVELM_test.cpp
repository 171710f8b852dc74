// The main window, driven as a user would: menus, toolbar, drops, Stop during a pass.
// Message boxes and file dialogs are answered through the window's dialog seam.

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <functional>
#include <memory>

#include "core/texts.h"
#include "fake_readers.h"
#include "testdata/bytes.h"
#include "ui/analyser_list_model.h"
#include "ui/frmVELM.h"

using namespace vellmark;
using vellmark::ui::frmVELM;
using vellmark::ui::test::Gate;
using vellmark::ui::test::ResetGate;

namespace {

const QString kWaiting = "To be  Analysed";
const QString kStopQuestion = "Do you want to Stop the Analyser";
const QString kOver = "Data File Analysis Over";

// Sets the gate free when a mid-pass check returns, even by a failed QVERIFY.
struct ReleaseOnExit {
  ~ReleaseOnExit() { Gate().release = true; }
};

}  // namespace

class FrmVelmTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();

  void startsWithTitleMenusToolbarAndPanels();
  void listColumnsAndStatusPanelsUseTwipWidths();
  void resizingStopsAtTheMinimum();
  void commandsActWhenIdle();
  void commandsDuringAPassDoNothing();
  void stopDuringAPollingReader_data();
  void stopDuringAPollingReader();
  void stopDuringANonPollingReaderTakesEffectAfterTheFile();
  void stopWhenIdleDoesNothing();
  void dropWithOneListedFileRefusesItWithOneMessage();
  void dropDuringAPassAddsNothing();
  void duplicateRowsAreRedAndBold();
  void resultsShownSwitchesAlternatingRows();
  void failedReaderShowsItsReasonAsTooltip();
  void commaInACdotNameStaysInItsDate();
  void readerMessageIsShownWhileTheReaderWaits();
  void reportsGoThroughTheFileDialogs();
  void exportOpensTheWorkbook();
  void closingDuringAPassEndsAtOnce();
  void closingDuringAPassEndsTheProcess_data();
  void closingDuringAPassEndsTheProcess();

 private:
  QAction* action(const char* name) const;
  void click(const char* toolbarName);
  QString add(const char* name, const testdata::Bytes& bytes);
  void drop(const QStringList& paths);
  // Starts Analyse and runs `during` on the window's thread once a reader is busy.
  void analyseWith(const std::function<void()>& during);
  QString cell(int row, int column) const;
  QString panel(int index) const;
  QStringList messageTexts() const;

  std::unique_ptr<testdata::TempDir> dir_;
  std::unique_ptr<frmVELM> window_;
  std::unique_ptr<QAbstractItemModelTester> tester_;
  int exitCalls_ = 0;
};

void FrmVelmTest::init() {
  ResetGate();
  dir_ = std::make_unique<testdata::TempDir>();
  window_ = std::make_unique<frmVELM>(RealFileSystem(), ui::test::FakeReaders());
  window_->dialogs().setScripted(true);
  exitCalls_ = 0;
  window_->setExitNow([this] { ++exitCalls_; });
  tester_ = std::make_unique<QAbstractItemModelTester>(window_->model(),
                                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void FrmVelmTest::cleanup() {
  Gate().release = true;
  QCOMPARE(window_->dialogs().wrongThreadCalls, 0);
  tester_.reset();
  window_.reset();
  dir_.reset();
}

QAction* FrmVelmTest::action(const char* name) const {
  auto* a = window_->findChild<QAction*>(name);
  if (!a) qFatal("no action %s", name);
  return a;
}

void FrmVelmTest::click(const char* toolbarName) {
  auto* bar = window_->findChild<QToolBar*>("Toolbar1");
  QWidget* button = bar->widgetForAction(action(toolbarName));
  QVERIFY(button);
  QTest::mouseClick(button, Qt::LeftButton);
}

QString FrmVelmTest::add(const char* name, const testdata::Bytes& bytes) {
  return QString::fromStdString(dir_->write(name, bytes));
}

void FrmVelmTest::drop(const QStringList& paths) {
  auto* view = window_->findChild<QTableView*>("ListView1");
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& p : paths) urls.append(QUrl::fromLocalFile(p));
  mime.setUrls(urls);
  QPoint at = view->viewport()->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent dropEvent(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &dropEvent);
  QVERIFY(dropEvent.isAccepted());
  QCoreApplication::processEvents();
}

void FrmVelmTest::analyseWith(const std::function<void()>& during) {
  QTimer::singleShot(0, window_.get(), [during] {
    ReleaseOnExit release;
    QVERIFY(QTest::qWaitFor([] { return Gate().started > 0; }, 5000));
    during();
  });
  action("menAnalyse")->trigger();
}

QString FrmVelmTest::cell(int row, int column) const {
  return window_->model()->index(row, column).data().toString();
}

QString FrmVelmTest::panel(int index) const {
  return window_->findChild<QLabel*>(QStringLiteral("sb1Panel%1").arg(index))->text();
}

QStringList FrmVelmTest::messageTexts() const {
  QStringList texts;
  for (const auto& m : window_->dialogs().messages) texts.append(m.text);
  return texts;
}

void FrmVelmTest::startsWithTitleMenusToolbarAndPanels() {
  QCOMPARE(window_->windowTitle(), QStringLiteral("Vellmark %1.%2").arg(VELLMARK_VERSION_MAJOR).arg(VELLMARK_VERSION_MINOR));

  struct Item {
    const char* menu;
    const char* name;
    const char* caption;
  };
  const Item items[] = {
      {"menFile", "menOpen", "&Open Report"}, {"menFile", "menSave", "&Save Report"},
      {"menFile", nullptr, nullptr},          {"menFile", "menAnalyse", "&Analyse"},
      {"menFile", "menRedo", "&Re Analyse"},  {"menFile", "menStop", "S&top"},
      {"menFile", nullptr, nullptr},          {"menFile", "menExit", "E&xit"},
      {"menEdit", "menAdd", "&Add Files"},    {"menEdit", "menRemove", "&Remove Files"},
      {"menEdit", "menClear", "&Clear"},      {"menHelp", "menManual", "User &Manual"},
      {"menHelp", "menUpdates", "Check for &Updates"}, {"menHelp", nullptr, nullptr},
      {"menHelp", "menAbout", "&About"},
  };
  QMap<QString, int> position;
  for (const Item& item : items) {
    auto* menu = window_->findChild<QMenu*>(item.menu);
    QVERIFY2(menu, item.menu);
    QAction* a = menu->actions().value(position[item.menu]++);
    QVERIFY(a);
    if (!item.name) {
      QVERIFY(a->isSeparator());
      continue;
    }
    QCOMPARE(a->objectName(), QString(item.name));
    QCOMPARE(a->text(), QString(item.caption));
    QVERIFY(a->shortcut().isEmpty());
  }
  const QStringList titles = {"&File", "&Edit", "&Tools", "&Help"};
  QCOMPARE(window_->menuBar()->actions().size(), 4);
  for (int i = 0; i < 4; ++i) QCOMPARE(window_->menuBar()->actions()[i]->text(), titles[i]);

  const QStringList hints = {"Add Files to Analyser", "Remove Selected Files From Analyser",
                             "Clear Analyser Content", "", "Save the Report", "Open Analyser Report", "",
                             "Analyse", "Stop Analyser", "Open Report In Excel", "", "About Vellmark"};
  auto* bar = window_->findChild<QToolBar*>("Toolbar1");
  QVERIFY(bar);
  const QList<QAction*> buttons = bar->actions();
  QCOMPARE(buttons.size(), 12);
  for (int i = 0; i < 12; ++i) {
    QCOMPARE(buttons[i]->isSeparator(), hints[i].isEmpty());
    if (hints[i].isEmpty()) continue;
    QCOMPARE(buttons[i]->toolTip(), hints[i]);
    QVERIFY(!buttons[i]->icon().isNull());
  }

  const QStringList descriptions = {"Analyser Progress", "Total Valid Data Files", "Total Valid Data File Size",
                                    "Total Records ", ""};
  for (int i = 1; i <= 5; ++i) {
    auto* label = window_->findChild<QLabel*>(QStringLiteral("sb1Panel%1").arg(i));
    QVERIFY(label);
    QCOMPARE(label->toolTip(), descriptions[i - 1]);
    QCOMPARE(label->text(), QString());
  }
  auto* progress = window_->findChild<QProgressBar*>("ProgressBar1");
  QVERIFY(progress);
  QCOMPARE(progress->minimum(), 0);
  QCOMPARE(progress->maximum(), 100);
  QCOMPARE(progress->value(), 0);
  QCOMPARE(progress->parentWidget()->objectName(), QString("sb1Panel1"));

  auto* view = window_->findChild<QTableView*>("ListView1");
  QCOMPARE(view->selectionMode(), QAbstractItemView::ExtendedSelection);
  QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
  QVERIFY(view->acceptDrops());
  QVERIFY(!view->alternatingRowColors());
}

void FrmVelmTest::listColumnsAndStatusPanelsUseTwipWidths() {
  auto* view = window_->findChild<QTableView*>("ListView1");
  const int twips[] = {5292, 882, 2030, 3176, 3176, 2470, 2540};
  const double perTwip = view->logicalDpiX() / 1440.0;
  for (int c = 0; c < 7; ++c) QCOMPARE(view->horizontalHeader()->sectionSize(c), qRound(twips[c] * perTwip));
  auto* progress = window_->findChild<QProgressBar*>("ProgressBar1");
  QCOMPARE(progress->width(), qRound(2980 * perTwip));

  // Wide enough for every panel: each gets its own width, panel 5 what is left.
  window_->resize(qRound(16000 * perTwip), window_->height());
  QCoreApplication::processEvents();
  const int panelTwips[] = {5292, 882, 2540, 2540};
  for (int i = 1; i <= 4; ++i)
    QCOMPARE(window_->findChild<QLabel*>(QStringLiteral("sb1Panel%1").arg(i))->width(), qRound(panelTwips[i - 1] * perTwip));
  QVERIFY(window_->findChild<QLabel*>("sb1Panel5")->width() >= qRound(2540 * perTwip));
}

void FrmVelmTest::resizingStopsAtTheMinimum() {
  const QSize minimum(window_->twipsToPixelsX(8000), window_->twipsToPixelsY(5000));
  window_->resize(100, 80);
  QCOMPARE(window_->size(), minimum);
  window_->resize(minimum.width() - 1, minimum.height() + 40);
  QCOMPARE(window_->size(), QSize(minimum.width(), minimum.height() + 40));
  window_->resize(minimum.width() + 200, minimum.height() + 100);
  QCOMPARE(window_->size(), QSize(minimum.width() + 200, minimum.height() + 100));
  // The list fills the width; the status bar follows the window.
  auto* view = window_->findChild<QTableView*>("ListView1");
  QCOMPARE(view->width(), window_->width());
  QCOMPARE(window_->statusBar()->width(), window_->width());

  // At the minimum every panel stays on screen, panel 5 at least 2540 twips wide.
  window_->resize(minimum);
  QCoreApplication::processEvents();
  auto* last = window_->findChild<QLabel*>("sb1Panel5");
  QVERIFY(last->width() >= window_->twipsToPixelsX(2540));
  QVERIFY(last->geometry().right() < window_->statusBar()->width());
  for (int i = 1; i <= 4; ++i) QVERIFY(window_->findChild<QLabel*>(QStringLiteral("sb1Panel%1").arg(i))->width() > 30);
  auto* progress = window_->findChild<QProgressBar*>("ProgressBar1");
  QVERIFY(progress->geometry().right() < progress->parentWidget()->width());
}

void FrmVelmTest::commandsActWhenIdle() {
  const QString a = add("a.dat", ui::test::CdotFile());
  const QString b = add("b.dat", ui::test::CdotFile());
  const QString c = add("c.dat", ui::test::CdotFile());
  drop({a, b, c});
  QCOMPARE(window_->model()->rowCount(), 3);
  QCOMPARE(cell(0, 2), QString("CDOT"));

  click("tbAnalyse");
  QCOMPARE(cell(0, 5), QString::number(ui::test::CdotFile().size()));
  QCOMPARE(panel(2), QString("3"));
  QCOMPARE(messageTexts().last(), "Duplicates Identified. " + kOver);

  // Remove acts on the rows selected in the list.
  auto* view = window_->findChild<QTableView*>("ListView1");
  view->selectionModel()->select(window_->model()->index(1, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  click("tbRemove");
  QCOMPARE(window_->model()->rowCount(), 2);
  QCOMPARE(cell(1, 0), c);
  QCOMPARE(cell(1, 1), QString("2"));
  // Clear and Remove leave the totals of the last pass.
  action("menClear")->trigger();
  QCOMPARE(window_->model()->rowCount(), 0);
  QCOMPARE(panel(2), QString("3"));

  QSignalSpy addSpy(window_.get(), &frmVELM::addFilesRequested);
  QSignalSpy aboutSpy(window_.get(), &frmVELM::aboutRequested);
  click("tbAdd");
  action("menAbout")->trigger();
  QCOMPARE(addSpy.size(), 1);
  QCOMPARE(aboutSpy.size(), 1);

  action("menExit")->trigger();
  QVERIFY(!window_->isVisible());
  QCOMPARE(exitCalls_, 0);
}

void FrmVelmTest::commandsDuringAPassDoNothing() {
  const QString a = add("a.dat", ui::test::OcbFile());
  const QString b = add("b.dat", ui::test::CdotFile());
  const QString extra = add("extra.dat", ui::test::CdotFile());
  drop({a, b});
  window_->findChild<QTableView*>("ListView1")->selectRow(1);
  QSignalSpy addSpy(window_.get(), &frmVELM::addFilesRequested);
  QSignalSpy aboutSpy(window_.get(), &frmVELM::aboutRequested);
  QSignalSpy manualSpy(window_.get(), &frmVELM::userManualRequested);
  QSignalSpy updatesSpy(window_.get(), &frmVELM::updatesRequested);
  window_->dialogs().setNextFileName(dir_->file("report.vmr").c_str());
  // User Manual opens velm.pdf from the current folder, also during a pass.
  struct CurrentFolder {
    QString old = QDir::currentPath();
    ~CurrentFolder() { QDir::setCurrent(old); }
  } restore;
  QDir::setCurrent(QString::fromStdString(dir_->path()));
  dir_->write("velm.pdf", "%PDF-1.4\n");

  analyseWith([&] {
    QVERIFY(window_->session().analysing());
    QCOMPARE(panel(5), "Analysing " + a);
    // The reader is off the window's thread: this thread paints, resizes and moves bars.
    auto* progress = window_->findChild<QProgressBar*>("ProgressBar1");
    QVERIFY(QTest::qWaitFor([&] { return progress->value() > 5; }, 5000));
    window_->resize(window_->width() + 30, window_->height() + 20);

    for (const char* name : {"menOpen", "menSave", "menAnalyse", "menRedo", "menExit", "menAdd", "menRemove",
                             "menClear", "menAbout"})
      action(name)->trigger();
    for (const char* name : {"tbAdd", "tbRemove", "tbClear", "tbSave", "tbOpen", "tbAnalyse", "tbExport", "tbAbout"})
      click(name);
    drop({extra});
    action("menManual")->trigger();
    action("menUpdates")->trigger();

    QCOMPARE(window_->model()->rowCount(), 2);
    QVERIFY(window_->isVisible());
    QVERIFY(window_->dialogs().fileDialogs.isEmpty());
    QVERIFY(window_->dialogs().messages.isEmpty());
    QCOMPARE(Gate().started.load(), 1);
    QCOMPARE(addSpy.size(), 0);
    QCOMPARE(aboutSpy.size(), 0);
    QCOMPARE(manualSpy.size(), 1);
    QCOMPARE(updatesSpy.size(), 1);
    QCOMPARE(window_->dialogs().openedDocuments.size(), 2);
  });

  QVERIFY(!window_->session().analysing());
  QVERIFY(Gate().offWindowThread);
  QCOMPARE(window_->model()->rowCount(), 2);
  QCOMPARE(cell(0, 5), QString::number(ui::test::OcbFile().size()));
  QCOMPARE(cell(1, 5), QString::number(ui::test::CdotFile().size()));
  QCOMPARE(panel(5), QString());
  QCOMPARE(messageTexts(), QStringList{kOver});
  QCOMPARE(window_->dialogs().messages[0].icon, QMessageBox::Information);
  QCOMPARE(window_->dialogs().messages[0].title, QString("Vellmark"));
  QCOMPARE(exitCalls_, 0);
  QVERIFY(window_->isVisible());
}

void FrmVelmTest::stopDuringAPollingReader_data() {
  QTest::addColumn<bool>("answerYes");
  QTest::newRow("Yes") << true;
  QTest::newRow("No") << false;
}

void FrmVelmTest::stopDuringAPollingReader() {
  QFETCH(bool, answerYes);
  const QString a = add("a.ama", ui::test::EwsdFile());
  const QString b = add("b.dat", ui::test::CdotFile());
  drop({a, b});
  QCOMPARE(cell(0, 2), QString("EWSD"));
  window_->dialogs().setNextAnswer(answerYes ? QMessageBox::Yes : QMessageBox::No);

  analyseWith([&] {
    click("tbStop");
    // The question comes at the reader's next stop point, while the reader waits.
    QVERIFY(QTest::qWaitFor([&] { return !window_->dialogs().messages.isEmpty(); }, 5000));
    const auto& question = window_->dialogs().messages[0];
    QCOMPARE(question.text, kStopQuestion);
    QCOMPARE(question.icon, QMessageBox::Question);
    QCOMPARE(question.title, QString("Vellmark"));
    if (!answerYes) {
      // The reader reads on and polls again.
      const int polls = Gate().polls;
      QVERIFY(QTest::qWaitFor([&] { return Gate().polls > polls + 2; }, 5000));
      QCOMPARE(Gate().finished.load(), 0);
      QVERIFY(!window_->session().stopRequested());
    }
  });

  QCOMPARE(window_->dialogs().messages.size(), 2);  // the question, then the closing message
  QCOMPARE(window_->findChild<QProgressBar*>("ProgressBar1")->value(), 0);
  if (answerYes) {
    QCOMPARE(cell(0, 3), kWaiting);
    QCOMPARE(cell(0, 4), kWaiting);
    QCOMPARE(cell(0, 5), QString("0"));
    QCOMPARE(cell(1, 3), kWaiting);   // the pass ended with the stopped file
    QCOMPARE(Gate().started.load(), 1);
    // Waiting entries hold no calls: nothing is marked.
    QCOMPARE(messageTexts().last(), kOver);
  } else {
    QCOMPARE(cell(0, 5), QString::number(ui::test::EwsdFile().size()));
    QCOMPARE(cell(1, 5), QString::number(ui::test::CdotFile().size()));
    QCOMPARE(messageTexts().last(), kOver);
  }
}

void FrmVelmTest::stopDuringANonPollingReaderTakesEffectAfterTheFile() {
  const QString a = add("a.dat", ui::test::OcbFile());
  const QString b = add("b.dat", ui::test::CdotFile());
  drop({a, b});
  analyseWith([&] {
    action("menStop")->trigger();
    QVERIFY(window_->session().stopRequested());
    QTest::qWait(50);
    QCOMPARE(Gate().finished.load(), 0);   // the reader is not interrupted
  });
  QCOMPARE(cell(0, 5), QString::number(ui::test::OcbFile().size()));
  QCOMPARE(cell(0, 3), QString("2004-05-12   09:30:05"));
  QCOMPARE(cell(1, 3), kWaiting);
  QCOMPARE(Gate().started.load(), 1);
  QCOMPARE(messageTexts(), QStringList{kOver});   // no question
  QCOMPARE(panel(2), QString("2"));
  QVERIFY(!window_->session().stopRequested());
}

void FrmVelmTest::stopWhenIdleDoesNothing() {
  drop({add("b.dat", ui::test::CdotFile())});
  click("tbStop");
  QVERIFY(!window_->session().stopRequested());
  click("tbAnalyse");
  QCOMPARE(cell(0, 5), QString::number(ui::test::CdotFile().size()));
}

void FrmVelmTest::dropWithOneListedFileRefusesItWithOneMessage() {
  const QString a = add("a.dat", ui::test::CdotFile());
  const QString b = add("b.dat", ui::test::OcbFile());
  const QString c = add("c.ama", ui::test::EwsdFile());
  drop({a});
  window_->setPanelText(2, "9");
  drop({b, a, c});
  QCOMPARE(window_->model()->rowCount(), 3);
  QCOMPARE(cell(1, 0), b);
  QCOMPARE(cell(2, 0), c);
  QCOMPARE(cell(2, 1), QString("3"));
  QCOMPARE(window_->dialogs().messages.size(), 1);
  QCOMPARE(window_->dialogs().messages[0].text, "The Following files Already Exists \n\n" + a);
  QCOMPARE(window_->dialogs().messages[0].icon, QMessageBox::Information);
  QCOMPARE(panel(2), QString());
  QVERIFY(!QApplication::overrideCursor());
}

void FrmVelmTest::dropDuringAPassAddsNothing() {
  drop({add("a.dat", ui::test::OcbFile())});
  const QString late = add("late.dat", ui::test::CdotFile());
  analyseWith([&] { drop({late}); });
  QCOMPARE(window_->model()->rowCount(), 1);
  QVERIFY(!QApplication::overrideCursor());
}

void FrmVelmTest::duplicateRowsAreRedAndBold() {
  const QString a = add("a.dat", ui::test::CdotFile());
  testdata::Bytes longer = ui::test::CdotFile();
  longer.resize(longer.size() + 48, 0);
  const QString b = add("b.dat", longer);
  const QString c = add("c.dat", ui::test::CdotFile());
  drop({a, b, c});
  click("tbAnalyse");
  QCOMPARE(messageTexts().last(), "Duplicates Identified. " + kOver);
  for (int col = 0; col < 7; ++col) {
    for (int row = 0; row < 2; ++row) QVERIFY(!window_->model()->index(row, col).data(Qt::ForegroundRole).isValid());
    QCOMPARE(window_->model()->index(2, col).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    QCOMPARE(window_->model()->index(2, col).data(Qt::FontRole).value<QFont>().bold(), col == 0);
  }
}

void FrmVelmTest::resultsShownSwitchesAlternatingRows() {
  auto* view = window_->findChild<QTableView*>("ListView1");
  drop({add("a.dat", ui::test::CdotFile())});
  QVERIFY(!view->alternatingRowColors());
  click("tbAnalyse");
  QVERIFY(view->alternatingRowColors());
  drop({add("b.dat", ui::test::CdotFile())});   // every add turns it off
  QVERIFY(!view->alternatingRowColors());
  click("tbAnalyse");
  QVERIFY(view->alternatingRowColors());
  click("tbClear");
  QVERIFY(!view->alternatingRowColors());
  // A pass whose records total is 0 turns it off.
  drop({add("x.dat", ui::test::AxeFile())});
  click("tbAnalyse");
  QVERIFY(!view->alternatingRowColors());
}

void FrmVelmTest::failedReaderShowsItsReasonAsTooltip() {
  drop({add("x.dat", ui::test::AxeFile()), add("a.dat", ui::test::CdotFile())});
  QCOMPARE(cell(0, 2), QString("AXE"));
  click("tbAnalyse");
  QCOMPARE(cell(0, 3), QString("Invalid  File"));
  QCOMPARE(window_->model()->index(0, 0).data(Qt::ToolTipRole).toString(), QString(ui::test::kFakeFailure));
  QVERIFY(!window_->model()->index(1, 0).data(Qt::ToolTipRole).isValid());
}

void FrmVelmTest::commaInACdotNameStaysInItsDate() {
  frmVELM window;  // the real readers
  window.dialogs().setScripted(true);
  const std::string path = dir_->write(
      "KOL114,226.DAT", testdata::ReadWholeFile(std::string(VELLMARK_SOURCE_DIR) + "/samples/KOL1140226.DAT"));
  window.offerFiles({path});
  window.analyse();
  auto text = [&](int column) { return window.model()->index(0, column).data().toString(); };
  QCOMPARE(text(3), QString("2026-,2-14   00:00:00"));
  QCOMPARE(text(4), QString("2026-,2-14   23:59:59"));
  QCOMPARE(text(5), QString("64"));
  QCOMPARE(window.panelText(4), QString("64"));
}

void FrmVelmTest::readerMessageIsShownWhileTheReaderWaits() {
  drop({add("e.dat", ui::test::E10bFile())});
  QCOMPARE(cell(0, 2), QString("E10B"));
  click("tbAnalyse");
  const auto& messages = window_->dialogs().messages;
  QCOMPARE(messages.size(), 2);
  QCOMPARE(messages[0].text, QString(ui::test::kFakeMessage));
  QCOMPARE(messages[0].icon, QMessageBox::Critical);
  QCOMPARE(messages[0].title, QString("E10B"));
  QCOMPARE(messages[1].text, kOver);
  QCOMPARE(cell(0, 5), QString::number(ui::test::E10bFile().size()));
  QVERIFY(Gate().offWindowThread);
}

void FrmVelmTest::reportsGoThroughTheFileDialogs() {
  const QString a = add("a.dat", ui::test::CdotFile());
  drop({a});
  click("tbAnalyse");
  const QString report = QString::fromStdString(dir_->file("saved.vmr"));
  auto& dialogs = window_->dialogs();
  dialogs.setNextFileName(report);
  click("tbSave");
  QCOMPARE(dialogs.fileDialogs, QStringList{"save Report files (*.vmr);;All Files (*)"});
  QVERIFY(QFile::exists(report));
  QCOMPARE(panel(5), "File " + report + " Saved");

  action("menClear")->trigger();
  dialogs.setNextFileName(report);
  action("menOpen")->trigger();
  QCOMPARE(dialogs.fileDialogs.last(), QString("open Report files (*.vmr);;All Files (*)"));
  QCOMPARE(window_->model()->rowCount(), 1);
  QCOMPARE(cell(0, 5), QString::number(ui::test::CdotFile().size()));
  QVERIFY(window_->findChild<QTableView*>("ListView1")->alternatingRowColors());

  // Saving over an existing report asks the report's own question, answered No, then
  // the dialog is cancelled.
  dialogs.setNextFileName(report);
  dialogs.setNextAnswer(QMessageBox::No);
  const qsizetype before = dialogs.messages.size();
  click("tbSave");
  QCOMPARE(dialogs.messages.size(), before + 1);
  QCOMPARE(dialogs.messages.last().icon, QMessageBox::Question);
}

void FrmVelmTest::exportOpensTheWorkbook() {
  auto& dialogs = window_->dialogs();
  click("tbExport");   // nothing to export
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].icon, QMessageBox::Critical);
  QVERIFY(dialogs.openedDocuments.isEmpty());

  drop({add("a.dat", ui::test::CdotFile())});
  const QString book = QString::fromStdString(dir_->file("list.xlsx"));
  dialogs.setNextFileName(book);
  click("tbExport");
  QCOMPARE(dialogs.fileDialogs.last(), QString("save Excel workbook (*.xlsx)"));
  QCOMPARE(dialogs.openedDocuments, QList<QUrl>{QUrl::fromLocalFile(book)});
  QVERIFY(QFile::exists(book));
}

void FrmVelmTest::closingDuringAPassEndsAtOnce() {
  drop({add("a.ama", ui::test::EwsdFile())});
  window_->close();   // idle: an ordinary close
  QCOMPARE(exitCalls_, 0);
  window_->show();
  analyseWith([&] {
    QVERIFY(window_->close());
    QCOMPARE(exitCalls_, 1);
    QVERIFY(!window_->isVisible());
  });
}

void FrmVelmTest::closingDuringAPassEndsTheProcess_data() {
  QTest::addColumn<QString>("reader");
  QTest::newRow("polling") << "polling";
  QTest::newRow("non-polling") << "non-polling";
}

void FrmVelmTest::closingDuringAPassEndsTheProcess() {
  // The real exit, in a child process whose reader never ends by itself.
  QFETCH(QString, reader);
  QProcess child;
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(), {"--close-during-pass", reader});
  QVERIFY(child.waitForFinished(15000));
  const QByteArray output = child.readAll();
  QVERIFY2(output.contains("closing during the pass"), output.constData());
  QCOMPARE(child.exitStatus(), QProcess::NormalExit);
  QCOMPARE(child.exitCode(), 0);
}

namespace {

// The child of closingDuringAPassEndsTheProcess: starts a pass over a file whose reader
// waits for a release that never comes, and closes the window while it reads.
int CloseDuringPass(const QString& reader) {
  ResetGate();
  testdata::TempDir dir;
  const auto bytes = reader == "polling" ? ui::test::EwsdFile() : ui::test::OcbFile();
  const std::string path = dir.write("a.dat", bytes);
  frmVELM window(RealFileSystem(), ui::test::FakeReaders());
  window.dialogs().setScripted(true);
  window.session().AddFile(path);
  window.show();
  QTimer::singleShot(0, &window, [&] {
    QTimer* watch = new QTimer(&window);
    QObject::connect(watch, &QTimer::timeout, &window, [&window, watch] {
      if (Gate().started == 0) return;
      watch->stop();
      std::printf("closing during the pass\n");
      std::fflush(stdout);
      window.close();
    });
    watch->start(10);
    window.analyse();
  });
  QApplication::exec();
  std::printf("the pass outlived the window\n");
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc == 3 && QString(argv[1]) == "--close-during-pass") return CloseDuringPass(argv[2]);
  FrmVelmTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "frmVELM_test.moc"
