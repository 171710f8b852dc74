// The main window, the Add Files dialog and the About box driven as a user would, over a
// scratch folder that is also the current folder; the dialog seam answers every dialog.

#include <QtTest>
#include <QtWidgets>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "readers/modCdot.h"
#include "reports/text_report.h"
#include "support/fault_injection.h"
#include "testdata/archives.h"
#include "testdata/report_entries.h"
#include "testdata/samples.h"
#include "ui/analyser_list_model.h"
#include "ui/frmAbout.h"
#include "ui/frmOpen.h"
#include "ui/details_view.h"
#include "ui/hour_histogram.h"
#include "ui/frmVELM.h"
#include "ui/icons.h"

using namespace vellmark;
using namespace vellmark::testdata;

namespace {

const char* const kFakeFailure = "record 3 at offset 96: length 0";
const QString kNoUpdates = "No update address is configured for this build of Vellmark.";

bool OnWindowThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }
Bytes First(std::vector<SampleFile> (*family)()) { return family().front().bytes; }

// What the fake readers did. The gated ones read until `release` (or for 20 s at most).
struct Gate {
  std::atomic<bool> release{false};
  std::atomic<int> started{0}, steps{0}, onWindowThread{0};
};

// OCB: gated, never polls. EWSD: gated, stops at its stop points. AXE: shows a message
// of its own and fails. CDOT: the real reader, which reads at once.
ReaderTable FakeReaders(Gate& gate) {
  auto reader = [&gate](bool gated, bool polls, bool fails) {
    return [&gate, gated, polls, fails](const std::string&, ReaderContext& context) -> ReaderOutcome {
      ++gate.started;
      gate.onWindowThread += OnWindowThread();
      const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (gated && !gate.release && std::chrono::steady_clock::now() < giveUp) {
        context.setProgress(++gate.steps % 100);
        if (polls && context.pollStop()) return Stopped{};
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      if (fails) {
        context.message("Unknown package 64 in record 12", "AXE");
        return ReadFailure{FailureKind::Corrupt, kFakeFailure, 96};
      }
      return CallRange{"2004-05-12   09:30:05", "2004-05-12   17:45:10", 1};
    };
  };
  ReaderTable table;
  table.add("OCB", reader(true, false, false));
  table.add("EWSD", reader(true, true, false));
  table.add("CDOT", ReadCdotFile);
  table.add("AXE", reader(false, false, true));
  return table;
}

}  // namespace

class WindowsTest : public QObject {
  Q_OBJECT
  std::unique_ptr<Gate> gate_;
  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<FaultInjectingFileSystem> files_;
  std::unique_ptr<ui::frmVELM> window_;
  std::unique_ptr<QAbstractItemModelTester> tester_;
  QString folder_, oldFolder_;

  QString path(const QString& name) const { return folder_ + "/" + name; }
  QString add(const QString& name, const Bytes& bytes) const {
    return QString::fromStdString(dir_->write(name.toStdString(), bytes));
  }
  void trigger(const char* name) const {
    if (auto* action = window_->findChild<QAction*>(name)) action->trigger();
    else qFatal("no action %s", name);
  }
  QTableView* list() const { return window_->findChild<QTableView*>("ListView1"); }
  // The rows the list shows: the view counts only what the model announced.
  int shownRows() const { return list()->verticalHeader()->count(); }
  QString cell(int row, int column) const { return window_->model()->index(row, column).data().toString(); }
  QStringList texts() const {
    QStringList all;
    for (const auto& shown : window_->dialogs().messages) all.append(shown.text);
    return all;
  }
  std::string read(const QString& name) const {
    const auto bytes = ReadWholeFile(path(name).toStdString());
    return {bytes.begin(), bytes.end()};
  }
  // Drops files from a file manager onto the list.
  void drop(const QStringList& paths) const {
    QMimeData mime;
    for (const QString& p : paths) mime.setUrls(mime.urls() << QUrl::fromLocalFile(p));
    const QPoint at = list()->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list()->viewport(), &enter);
    QApplication::sendEvent(list()->viewport(), &dropped);
    QCoreApplication::processEvents();
  }
  // Runs `during` from the window's event loop once a reader has begun; then opens the gate.
  void analyseWith(const std::function<void()>& during) {
    bool ran = false;
    QTimer::singleShot(0, window_.get(), [&] {
      struct Open { Gate& gate; ~Open() { gate.release = true; } } open{*gate_};
      QVERIFY(QTest::qWaitFor([&] { return gate_->started > 0; }));
      ran = window_->session().analysing();
      during();
    });
    trigger("menAnalyse");
    QVERIFY2(ran, "no events were handled during the pass");
  }
  ui::frmOpen* showAddFiles() const {
    trigger("menAdd");
    return window_->addFilesDialog();
  }
  QTreeWidget* rows() const { return window_->addFilesDialog()->findChild<QTreeWidget*>("ListView1"); }

 private slots:
  void init() {
    gate_ = std::make_unique<Gate>();
    dir_ = std::make_unique<TempDir>();
    files_ = std::make_unique<FaultInjectingFileSystem>(RealFileSystem());
    folder_ = QString::fromStdString(dir_->path());
    oldFolder_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder_));
    window_ = std::make_unique<ui::frmVELM>(*files_, FakeReaders(*gate_));
    window_->dialogs().setScripted(true);
    window_->setExitNow([] {});   // closing during a pass only hides the window
    // Checks the model's signals and data at every change of the list.
    tester_ = std::make_unique<QAbstractItemModelTester>(window_->model(),
                                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() {
    const int wrongThreadCalls = window_->dialogs().wrongThreadCalls;
    tester_.reset();
    window_.reset();
    QDir::setCurrent(oldFolder_);
    QCOMPARE(wrongThreadCalls, 0);
    QCOMPARE(gate_->onWindowThread.load(), 0);
    QVERIFY(!QApplication::overrideCursor());
  }

  // The reader runs off the window's thread and its progress reaches the bar on it; the
  // window handles events, but the commands that cannot act are disabled (Stop only
  // then), the Add Files dialog says why it cannot add, drops are refused, Exit asks.
  void commandsDuringAPass() {
    const QString first = add("a.dat", First(OcbSamples));
    add("velm.pdf", Text("%PDF-1.4\n"));
    drop({first, add("b.dat", First(CdotSamples))});
    ui::frmOpen* dialog = showAddFiles();
    auto* bar = window_->findChild<QProgressBar*>("ProgressBar1");
    std::atomic<int> offThread{0};
    connect(bar, &QProgressBar::valueChanged, bar, [&] { offThread += !OnWindowThread(); }, Qt::DirectConnection);
    auto enabled = [&] {
      QStringList names;
      for (QAction* a : window_->findChildren<QAction*>())
        if (a->isEnabled() && QRegularExpression("^(men|tb)").match(a->objectName()).hasMatch()) names << a->objectName();
      names.sort();
      return names;
    };
    const QStringList duringPass{"menCopy", "menDetails", "menExit", "menFind", "menFolder", "menManual", "menStop",
                                 "menTimeline", "menUpdates", "tbStop"};
    QVERIFY(!enabled().contains("tbStop") && enabled().size() > 20);

    analyseWith([&] {
      QCOMPARE(window_->panelText(5), "Analysing " + first);
      QVERIFY(QTest::qWaitFor([&] { return bar->value() > 5; }));
      QCOMPARE(enabled(), duringPass);
      drop({add("late.dat", First(CdotSamples))});
      QVERIFY(dialog->isVisible() && dialog->findChild<QLabel*>("lblPassRunning")->isVisible());
      QVERIFY(!dialog->findChild<QPushButton*>("Command1")->isEnabled());
      trigger("menExit");   // asked, No: the pass goes on
      trigger("menManual");
      QCOMPARE(shownRows(), 2);
      QVERIFY(window_->isVisible());
      QCOMPARE(gate_->started.load(), 1);
      QCOMPARE(texts(), QStringList{ui::kExitDuringPass});
      QCOMPARE(window_->dialogs().openedDocuments, QList<QUrl>{QUrl::fromLocalFile(path("velm.pdf"))});
    });
    QCOMPARE(texts().last(), QString("Data File Analysis Over"));
    QVERIFY(!enabled().contains("tbStop") && enabled().contains("tbAnalyse"));
    QVERIFY(dialog->findChild<QPushButton*>("Command1")->isEnabled());
    QCOMPARE(cell(1, 5), QString("64"));
    QCOMPARE(offThread.load(), 0);
  }

  // A polling reader asks at its next stop point; another reads on and the pass ends there.
  void stop_data() {
    QTest::addColumn<QString>("family");   // of the first of two files
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<int>("filesRead");
    QTest::addColumn<QString>("closing");
    QTest::newRow("polling reader, Yes") << "EWSD" << true << 0 << "Data File Analysis Stopped";
    QTest::newRow("polling reader, No") << "EWSD" << false << 2 << "Data File Analysis Over";
    QTest::newRow("non-polling reader") << "OCB" << true << 1 << "Data File Analysis Stopped";
  }
  void stop() {
    QFETCH(QString, family);
    QFETCH(bool, answerYes);
    QFETCH(int, filesRead);
    QFETCH(QString, closing);
    const bool polls = family == "EWSD";
    drop({add("a.dat", First(polls ? EwsdSamples : OcbSamples)), add("b.dat", First(CdotSamples))});
    window_->dialogs().setNextAnswer(answerYes ? QMessageBox::Yes : QMessageBox::No);
    analyseWith([&] {
      trigger("tbStop");
      if (polls) QVERIFY(QTest::qWaitFor([&] { return !texts().isEmpty(); }));
      const int steps = gate_->steps;
      if (filesRead > 0) QVERIFY(QTest::qWaitFor([&] { return gate_->steps > steps + 3; }));   // it reads on
    });
    QCOMPARE(texts().size(), polls ? 2 : 1);
    QCOMPARE(texts().last(), closing);
    if (polls) QCOMPARE(texts()[0], QString("Do you want to Stop the Analyser"));
    QCOMPARE(cell(0, 3) != "To be  Analysed", filesRead >= 1);
    QCOMPARE(cell(1, 3) != "To be  Analysed", filesRead == 2);
  }

  // Listed paths are refused with one message, the rest added in order; the totals go.
  void offeredFiles_data() {
    QTest::addColumn<bool>("throughDialog");
    QTest::addColumn<bool>("folder");   // the folder dropped, for its files in name order
    QTest::newRow("dropped") << false << false;
    QTest::newRow("Add Files dialog") << true << false;
    QTest::newRow("dropped folder") << false << true;
  }
  void offeredFiles() {
    QFETCH(bool, throughDialog);
    QFETCH(bool, folder);
    QDir(folder_).mkdir("day");
    const QString b = add("day/b.dat", First(CdotSamples)), d = add("day/d.dat", First(CdotSamples));
    QStringList offered{add("day/B.DAT", First(OcbSamples)), b, add("day/a.ama", First(EwsdSamples)),
                        d, add("day/c.txt", Text("not a call record"))};
    drop({b, d});
    for (int panel = 2; panel <= 5; ++panel) window_->setPanelText(panel, "x");
    if (throughDialog) {
      // Cancelled first: shown again, the dialog has kept its folder, rows and selection.
      showAddFiles()->setFolder(path("day"));
      rows()->selectAll();
      offered.clear();
      for (int row = 0; row < rows()->topLevelItemCount(); ++row) offered.append(rows()->topLevelItem(row)->text(1));
      QTest::mouseClick(window_->addFilesDialog()->findChild<QPushButton*>("Command2"), Qt::LeftButton);
      QCOMPARE(shownRows(), 2);
      QCOMPARE(showAddFiles()->folder(), path("day"));
      QTest::mouseClick(window_->addFilesDialog()->findChild<QPushButton*>("Command1"), Qt::LeftButton);
      QVERIFY(!window_->addFilesDialog()->isVisible());
    } else if (folder) {
      std::sort(offered.begin(), offered.end(), [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
      drop({path("day")});
    } else {
      drop(offered);
    }
    QStringList listed{b, d}, refused;
    for (const QString& p : offered) (listed.contains(p) ? refused : listed).append(p);
    QCOMPARE(shownRows(), 5);
    for (int row = 0; row < 5; ++row) QCOMPARE(cell(row, 0) + cell(row, 1), listed[row] + QString::number(row + 1));
    QCOMPARE(texts(), QStringList{"The Following files Already Exists \n\n" + refused.join('\n')});
    QCOMPARE(window_->dialogs().messages[0].icon, QMessageBox::Information);
    for (int panel = 2; panel <= 5; ++panel) QCOMPARE(window_->panelText(panel), QString());
  }

  // A C-DOT date from the name, comma kept; duplicates red with a bold row text; a failed
  // file's reason as its tooltip; an icon per family; a reader's message; Remove renumbers.
  void analysedRows() {
    const Bytes day = First(CdotSamples);   // KOL1140226.DAT
    QDir(folder_).mkdir("copy");
    drop({add("KOL114,226.DAT", day), add("x.dat", First(AxeSamples)), add("copy/KOL114,226.DAT", day)});
    QSignalSpy changes(window_->model(), &QAbstractItemModel::dataChanged);
    trigger("tbAnalyse");
    QCOMPARE(changes.value(changes.size() - 1).value(1).toModelIndex().column(), 6);   // all of a row changes
    QCOMPARE(cell(0, 3) + " to " + cell(0, 4), QString("2026-,2-14   00:00:00 to 2026-,2-14   23:59:59"));
    QCOMPARE(cell(0, 5), QString("64"));
    QCOMPARE(texts().value(0), QString("Unknown package 64 in record 12"));
    const ui::DialogSeam::Shown& message = window_->dialogs().messages[0];
    QVERIFY(message.title == "AXE" && message.icon == QMessageBox::Critical);
    auto data = [&](int row, int column, int role) { return window_->model()->index(row, column).data(role); };
    for (int column = 0; column < 7; ++column) {
      QCOMPARE(data(2, column, Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
      QCOMPARE(data(2, column, Qt::FontRole).value<QFont>().bold(), column == 0);
      QVERIFY(!data(0, column, Qt::ForegroundRole).isValid() && !data(0, column, Qt::FontRole).value<QFont>().bold());
      QCOMPARE(data(1, column, Qt::ToolTipRole).toString(), path("x.dat") + "\n" + kFakeFailure);
      QVERIFY(data(2, column, Qt::ToolTipRole).toString().startsWith(path("copy/KOL114,226.DAT") +
                                                                     "\nDuplicate of No. 1\nSame content as No. 1\n"));
    }
    auto picture = [&](int row) { return data(row, 0, Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage(); };
    QVERIFY(!picture(0).isNull() && !picture(1).isNull() && picture(0) != picture(1));
    QCOMPARE(window_->panelText(2) + " " + window_->panelText(4), QString("3 128"));
    list()->selectRow(0);
    trigger("tbRemove");
    QCOMPARE(cell(1, 0) + cell(1, 1), path("copy/KOL114,226.DAT") + "2");
    QCOMPARE(window_->panelText(2) + " " + window_->panelText(4), QString("2 64"));   // worked out again
  }

  void saveReport_data() {
    QTest::addColumn<QStringList>("typed");   // the names given to the save dialog in turn
    QTest::addColumn<bool>("overwrite");      // the answer to the question
    QTest::addColumn<int>("fault");           // errno of failing writes
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QStringList>("messages");
    const QString ask = "File Exists. Do you want to OverWrite?";
    QTest::newRow("new") << QStringList{"day.vmr"} << false << 0 << "day.vmr" << QStringList();
    QTest::newRow("doubled suffix") << QStringList{"day.vmr.vmr"} << false << 0 << "day.vmr" << QStringList();
    QTest::newRow("overwrite") << QStringList{"old.vmr"} << true << 0 << "old.vmr" << QStringList{ask};
    QTest::newRow("No, another name") << QStringList{"old.vmr", "new.vmr"} << false << 0 << "new.vmr"
                                      << QStringList{ask};
    QTest::newRow("disk full") << QStringList{"old.vmr"} << true << ENOSPC << ""
                               << QStringList{ask, "Could not save %1: No space left on device"};
  }
  void saveReport() {
    QFETCH(QStringList, typed);
    QFETCH(bool, overwrite);
    QFETCH(int, fault);
    QFETCH(QString, saved);
    QFETCH(QStringList, messages);
    window_->session().LoadEntries(ThreeAnalysedEntries().entries());
    add("old.vmr", Text("old"));
    if (fault) files_->failWritesAfter(100, fault);
    for (const QString& name : typed) window_->dialogs().setNextFileName(path(name));
    window_->dialogs().setNextAnswer(overwrite ? QMessageBox::Yes : QMessageBox::No);
    trigger("tbSave");
    QCOMPARE(window_->dialogs().fileDialogs.size(), typed.size());
    QCOMPARE(texts(), messages.replaceInStrings("%1", path(typed.last())));
    QCOMPARE(window_->panelText(5), saved.isEmpty() ? QString() : "File " + path(saved) + " Saved");
    QCOMPARE(QDir(folder_).entryList(QDir::Files | QDir::Hidden).size(), saved.isEmpty() || saved == "old.vmr" ? 1 : 2);
    if (saved != "old.vmr") QCOMPARE(read("old.vmr"), std::string("old"));
    if (saved.isEmpty()) return;
    // The rows as the report writer forms them, after the title line with the time.
    const std::string text = read(saved), expected = ReportText(window_->session().list(), FixedTime());
    QCOMPARE(text.substr(text.find("\r\n")), expected.substr(expected.find("\r\n")));
  }

  // A file that appears at the chosen name after the question is asked about again: No
  // keeps it and shows the dialog again, Yes replaces it.
  void aFileAppearingAfterTheQuestion() {
    window_->session().LoadEntries(ThreeAnalysedEntries().entries());
    files_->before(IoStep::Rename, [](const std::string& to) {
      if (!QFile::exists(QString::fromStdString(to))) QFile(QString::fromStdString(to)).open(QIODevice::WriteOnly);
    });
    for (const char* name : {"day.vmr", "day.xlsx"}) {
      for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        QFile::remove(path(name));
        window_->dialogs().messages.clear();
        window_->dialogs().setNextFileName(path(name));
        window_->dialogs().setNextAnswer(answer);
        const auto shown = window_->dialogs().fileDialogs.size();
        trigger(QString(name).endsWith("vmr") ? "tbSave" : "tbExport");
        QCOMPARE(texts(), QStringList{"File Exists. Do you want to OverWrite?"});
        QCOMPARE(window_->dialogs().fileDialogs.size(), shown + (answer == QMessageBox::No ? 2 : 1));
        QCOMPARE(read(name).empty(), answer == QMessageBox::No);
      }
    }
  }

  // A report replaces the list, another file is refused and changes nothing, a cancel clears.
  void openReport_data() {
    QTest::addColumn<QByteArray>("content");   // of the file chosen; null: the dialog is cancelled
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("refusal");
    const std::string report = ReportText(ThreeAnalysedEntries(), FixedTime());
    QTest::newRow("report") << QByteArray::fromStdString(report) << 3 << "";
    QTest::newRow("not a report") << QByteArray("Exchange notes\r\n") << 1
                                  << "%1 is not a Vellmark Report File.  Please Check";
    QTest::newRow("cancelled") << QByteArray() << 1 << "";
  }
  void openReport() {
    QFETCH(QByteArray, content);
    QFETCH(int, rows);
    QFETCH(QString, refusal);
    drop({add("a.dat", First(CdotSamples))});
    for (int panel = 2; panel <= 5; ++panel) window_->setPanelText(panel, "x");
    if (!content.isNull()) window_->dialogs().setNextFileName(add("r.vmr", Text(content.toStdString())));
    trigger("tbOpen");
    QCOMPARE(texts(), refusal.isEmpty() ? QStringList() : QStringList{refusal.arg(path("r.vmr"))});
    QCOMPARE(shownRows(), rows);
    if (rows == 3) QCOMPARE(cell(2, 0).toStdString(), ThreeAnalysedEntries().at(2).path);
    for (int panel = 2; panel <= 5; ++panel) QCOMPARE(window_->panelText(panel).isEmpty(), refusal.isEmpty());
  }

  void exportWorkbook() {
    trigger("tbExport");
    QCOMPARE(texts(), QStringList{"Nothing to Save"});
    drop({add("a.dat", First(CdotSamples))});
    window_->dialogs().setNextFileName(path("list.xlsx"));
    trigger("tbExport");
    QCOMPARE(window_->dialogs().openedDocuments, QList<QUrl>{QUrl::fromLocalFile(path("list.xlsx"))});
    QVERIFY(read("list.xlsx").starts_with("PK"));
  }

  // An archive is a folder of its members: one member chosen, then the archive, whose
  // members already listed are refused by name.
  void addFilesFromAnArchive() {
    const QString zip = add("day.zip", BuildZip({{"in/", {}, Member::Kind::Folder},
                                                 {"in/A.DAT", First(CdotSamples)},
                                                 {"in/B.DAT", First(OcbSamples)}}));
    showAddFiles()->setFolder(folder_);
    QTreeWidgetItem* archive = rows()->topLevelItem(0);
    rows()->expandItem(archive);
    QCOMPARE(archive->childCount(), 2);
    QCOMPARE(archive->child(1)->text(1), zip + "#in/B.DAT");
    auto* add = window_->addFilesDialog()->findChild<QPushButton*>("Command1");
    archive->child(1)->setSelected(true);
    QTest::mouseClick(add, Qt::LeftButton);
    rows()->clearSelection();
    archive->setSelected(true);
    QTest::mouseClick(add, Qt::LeftButton);
    QCOMPARE(cell(0, 0) + " " + cell(0, 2) + " " + cell(1, 0), zip + "#in/B.DAT OCB " + zip + "#in/A.DAT");
    QCOMPARE(texts(), QStringList{"The Following files Already Exists \n\n" + zip + "#in/B.DAT"});
  }

  // The rows: the number right-aligned in 7, the full path, the size as bytes / 1024
  // + 0.5 rounded half to even. A drive that cannot be entered says why; nothing moves.
  void addFilesRows() {
    const std::pair<std::size_t, const char*> sizes[] = {
        {0, "0 KB"},    {1, "1 KB"},    {500, "1 KB"},  {1023, "1 KB"}, {1024, "2 KB"}, {1025, "2 KB"},
        {2048, "2 KB"}, {2049, "3 KB"}, {3072, "4 KB"}, {5120, "6 KB"}, {6144, "6 KB"}, {7168, "8 KB"}};
    auto name = [](int i) { return QString("f%1").arg(i, 2, 10, QChar('0')); };
    for (int i = 0; i < 12; ++i) add(name(i), Bytes(sizes[i].first));
    QDir(folder_).mkdir("folder");
    showAddFiles()->chooseDrive("/no/such/drive");
    QCOMPARE(texts(), QStringList{std::strerror(ENOENT)});
    QCOMPARE(window_->dialogs().messages[0].icon, QMessageBox::Critical);
    QCOMPARE(window_->addFilesDialog()->folder(), folder_);
    QCOMPARE(rows()->topLevelItemCount(), 12);
    for (int i = 0; i < 12; ++i) {
      const QTreeWidgetItem* row = rows()->topLevelItem(i);
      QCOMPARE(QStringList({row->text(0), row->text(1), row->text(2)}),
               QStringList({QString::number(i + 1).rightJustified(7), path(name(i)), sizes[i].second}));
    }
  }

  void aboutBox() {
    trigger("tbAbout");
    QPointer<ui::frmAbout> box = window_->aboutBox();
    QVERIFY(box && box->isVisible());
    auto text = [&](const char* label) { return box->findChild<QLabel*>(label)->text(); };
    QCOMPARE(box->windowTitle(), QString("About Vellmark"));
    QCOMPARE(text("lblTitle"), QString("Vellmark"));
    QCOMPARE(text("lblVersion"), QString("Version %1.%2.%3").arg(VELLMARK_VERSION_MAJOR)
                                     .arg(VELLMARK_VERSION_MINOR).arg(VELLMARK_VERSION_PATCH));
    QVERIFY(text("lblDesc").startsWith("This Program identifies the Binary Data files of Different Telecommunication "
                                       "Switches (Basic Service) and gives information about the Available CDRs."));
    // System Info starts the first tool found, else says there is none.
    box->setSystemInfoPrograms({"vellmark-no-such-tool"});
    QTest::mouseClick(box->findChild<QPushButton*>("cmdSysInfo"), Qt::LeftButton);
    QCOMPARE(texts(), QStringList{"System Information Is Unavailable At This Time"});
    QCOMPARE(window_->dialogs().messages[0].icon, QMessageBox::NoIcon);
    const QString tool = add("sysinfo-tool", Text("#!/bin/sh\n"));
    QVERIFY(QFile(tool).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    box->setSystemInfoPrograms({"vellmark-no-such-tool", tool});
    QTest::mouseClick(box->findChild<QPushButton*>("cmdSysInfo"), Qt::LeftButton);
    QCOMPARE(window_->dialogs().startedPrograms, QStringList{tool});
    QCOMPARE(texts().size(), 1);
    QCOMPARE(text("lblU"), kNoUpdates);
    QTest::mouseClick(box->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    QTRY_VERIFY(!box);
    trigger("menUpdates");
    QCOMPARE(texts().last(), kNoUpdates);
    QVERIFY(window_->dialogs().openedDocuments.isEmpty());
    QCOMPARE(ui::ToolbarIcon(ui::ToolbarPicture::Add).pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
  }

  // User Manual: velm.pdf from the program's folder or the current one, else velm.doc,
  // else a message.
  void userManual_data() {
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<bool>("firstOpens");   // whether the desktop opens the first one tried
    QTest::addColumn<QStringList>("opened");
    const QStringList both{"velm.pdf", "velm.doc"}, doc{"velm.doc"};
    QTest::newRow("beside the program, started elsewhere") << QStringList{"program/velm.pdf"} << true
                                                           << QStringList{"program/velm.pdf"};
    QTest::newRow("both") << both << true << QStringList{"velm.pdf"};
    QTest::newRow("no program for the PDF") << both << false << both;
    QTest::newRow("DOC only") << doc << true << doc;
    QTest::newRow("no program for the DOC") << doc << false << doc;
    QTest::newRow("neither") << QStringList() << true << QStringList();
  }
  void userManual() {
    QFETCH(QStringList, present);
    QFETCH(bool, firstOpens);
    QFETCH(QStringList, opened);
    QDir(folder_).mkdir("program");
    window_->setProgramFolder(path("program"));
    for (const QString& name : present) add(name, Text("manual"));
    window_->dialogs().setNextShellResult(firstOpens);
    trigger("menManual");
    QList<QUrl> urls;
    for (const QString& name : opened) urls.append(QUrl::fromLocalFile(path(name)));
    QCOMPARE(window_->dialogs().openedDocuments, urls);
    const QStringList missing{"Help File velm.pdf or velm.doc not found in the application folder"};
    QCOMPARE(texts(), opened.isEmpty() ? missing : QStringList());
  }

  // Sorting keeps each entry's number and a click on "No" brings back the list's order;
  // the filter narrows by text in any case and by family; Ctrl+C copies the rows shown,
  // in their order, as tab-separated text under the headings.
  void sortFilterCopy_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("numbers");   // the No column as shown
    QTest::newRow("start time") << 3 << false << "" << "" << "3 1 2";
    QTest::newRow("size, descending") << 6 << true << "" << "" << "1 2 3";
    QTest::newRow("records") << 5 << false << "" << "" << "3 2 1";
    QTest::newRow("text in another case") << 0 << false << "EWSD.AMA" << "" << "2";
    QTest::newRow("family") << 0 << false << "" << "OCB" << "1";
    QTest::newRow("text and family") << 4 << true << "/data" << "AXE" << "3";
    QTest::newRow("no row") << 0 << false << "no such text" << "" << "";
  }
  void sortFilterCopy() {
    QFETCH(int, column);
    QFETCH(bool, descending);
    QFETCH(QString, text);
    QFETCH(QString, family);
    QFETCH(QString, numbers);
    const AnalyserList entries = ThreeAnalysedEntries();
    window_->session().LoadEntries(entries.entries());
    list()->sortByColumn(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QTest::keyClicks(window_->findChild<QLineEdit*>("txtFilter"), text);
    auto* families = window_->findChild<QComboBox*>("cboFamily");
    families->setCurrentIndex(families->findData(family));
    auto shown = [&] {
      QStringList column;
      for (int row = 0; row < list()->model()->rowCount(); ++row) column << list()->model()->index(row, 1).data().toString();
      return column.join(' ');
    };
    QCOMPARE(shown(), numbers);
    list()->selectAll();
    list()->setFocus();
    QTest::keySequence(list(), QKeySequence::Copy);
    QStringList lines{"Binary File\tNo\tSwitch\tStart Time\tEnd Time\tRecords\tSize"};
    for (const QString& number : numbers.split(' ', Qt::SkipEmptyParts)) {
      QStringList cells;
      for (int c = 0; c < 7; ++c) cells << QString::fromStdString(entries.at(number.toUInt() - 1).column(c));
      lines << cells.join('\t');
    }
    QCOMPARE(QGuiApplication::clipboard()->text(), lines.join('\n') + '\n');
    QHeaderView* header = list()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(1) + 4, 4));
    QStringList inOrder = numbers.split(' ', Qt::SkipEmptyParts);
    inOrder.sort();
    QCOMPARE(shown(), inOrder.join(' '));
  }

  // Enter on a row shows its details, every field the list keeps; they follow the row.
  void detailsView() {
    AnalyserEntry repeat = MakeEntry({"2", "/cdr/b.dat", "CDOT", "2026-02-14   00:00:00", "2026-02-14   23:59:59", "64", ""});
    repeat.sizeBytes = 3082;
    repeat.packedBytes = 700;
    repeat.duplicateOf = repeat.sameContentAs = 1;
    repeat.digests = Digests{std::string(32, 'a'), std::string(64, 'b')};
    repeat.warnings = {{WarningKind::TrailingBytes, "10 bytes after the last record", 3072}};
    repeat.verifiedRecords = 63;
    repeat.callsPerHour = CallsPerHour{{"2026-02-14T08", 60}, {"2026-02-14T10", 3}};
    AnalyserEntry first = repeat, failed = MakeEntry({"3", "/cdr/c.dat", "AXE", "Invalid  File", "Invalid  File", "0", "1 KB"});
    first.number = "1";
    first.path = "/cdr/a.dat";
    failed.failure = ReadFailure{FailureKind::Corrupt, kFakeFailure, 96};
    window_->session().LoadEntries({first, repeat, failed});
    list()->setCurrentIndex(list()->model()->index(1, 0));
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Return);
    QVERIFY(window_->details()->isVisible());
    auto fields = [&] {
      QStringList lines;
      const QTableWidget* table = window_->details()->table();
      for (int r = 0; r < table->rowCount(); ++r) lines << table->item(r, 0)->text() + ": " + table->item(r, 1)->text();
      return lines;
    };
    QCOMPARE(fields(), (QStringList{"No: 2", "Binary File: /cdr/b.dat", "Switch: CDOT",
                                    "Start Time: 2026-02-14   00:00:00", "End Time: 2026-02-14   23:59:59",
                                    "Records: 64", "Size: 3 KB", "Size in bytes: 3082", "Compressed bytes: 700",
                                    "Warning: trailing_bytes: 10 bytes after the last record (at byte 3072)",
                                    "Verified records: 63", "XXH3-128: " + QString(32, 'a'), "SHA-256: " + QString(64, 'b'),
                                    "Duplicate of: No. 1  /cdr/a.dat", "Same content as: No. 1"}));
    QCOMPARE(window_->details()->histogram()->hourSlots().size(), std::size_t{3});  // the empty hour too
    QTest::keyClick(list(), Qt::Key_Down);
    QVERIFY(fields().contains(QString("Failure: corrupt: %1 (at byte 96)").arg(kFakeFailure)));
    QVERIFY(fields().contains("Size in bytes: not known (from a report)"));
  }

  // A list analysed and not saved since: Clear, Open Report and Exit ask first, No
  // keeps the list and Yes goes on. Once it is saved nothing is asked.
  void unsavedResults_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<bool>("savedFirst");
    for (const char* command : {"menClear", "menOpen", "menExit"}) {
      QTest::addRow("%s, No", command) << command << false << false;
      QTest::addRow("%s, Yes", command) << command << true << false;
    }
    QTest::newRow("saved, Exit") << "menExit" << false << true;
  }
  void unsavedResults() {
    QFETCH(QString, command);
    QFETCH(bool, answerYes);
    QFETCH(bool, savedFirst);
    drop({add("a.dat", First(CdotSamples))});
    trigger("menAnalyse");
    if (savedFirst) {
      window_->dialogs().setNextFileName(path("day.vmr"));
      trigger("menSave");
      QVERIFY(window_->windowTitle().startsWith("day.vmr - Vellmark "));
    }
    window_->dialogs().messages.clear();
    window_->dialogs().setNextAnswer(answerYes ? QMessageBox::Yes : QMessageBox::No);
    trigger(command.toLatin1());
    QCOMPARE(texts(), savedFirst ? QStringList() : QStringList{ui::kDiscardQuestion});
    const bool wentOn = command == "menClear"  ? shownRows() == 0
                        : command == "menOpen" ? !window_->dialogs().fileDialogs.filter("open").isEmpty()
                                               : !window_->isVisible();
    QCOMPARE(wentOn, answerYes || savedFirst);
  }

  // A second window finds what the first kept: its size, a column's width, the folder
  // of the report dialogs, the recent report and the year for short dates.
  void settingsRestoredInASecondWindow() {
    QCoreApplication::setOrganizationName("vellmark-tests");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path("settings"));
    struct Forget { ~Forget() { QCoreApplication::setOrganizationName(QString()); } } forget;
    auto first = std::make_unique<ui::frmVELM>(*files_, FakeReaders(*gate_));
    first->dialogs().setScripted(true);
    first->show();
    first->resize(900, 600);
    first->findChild<QTableView*>("ListView1")->horizontalHeader()->resizeSection(0, 480);
    first->setDateYear(2024);
    first->session().LoadEntries(ThreeAnalysedEntries().entries());
    QDir(folder_).mkdir("reports");
    first->dialogs().setNextFileName(path("reports/day.vmr"));
    first->findChild<QAction*>("menSave")->trigger();
    QVERIFY(first->close());
    first.reset();
    ui::frmVELM second(*files_, FakeReaders(*gate_));
    QCOMPARE(second.size(), QSize(900, 600));
    QCOMPARE(second.findChild<QTableView*>("ListView1")->horizontalHeader()->sectionSize(0), 480);
    QCOMPARE(second.dateYear(), 2024);
    QCOMPARE(second.dialogs().folders.value("report"), path("reports"));
    QCOMPARE(second.findChild<QMenu*>("menRecent")->actions().value(0)->toolTip(), path("reports/day.vmr"));
  }

  // The real exit, in a child process whose reader never ends by itself. Last, as under
  // ThreadSanitizer no thread may start after a fork.
  void closingDuringAPassEndsTheProcess_data() {
    QTest::addColumn<QString>("family");
    QTest::newRow("polling reader") << "EWSD";
    QTest::newRow("non-polling reader") << "OCB";
  }
  void closingDuringAPassEndsTheProcess() {
    QFETCH(QString, family);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--close-during-pass", family});
    QVERIFY(child.waitForFinished(15000));
    QVERIFY(child.readAllStandardError().endsWith("closing during the pass\n"));
    QVERIFY(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0);
  }
};

// The child of closingDuringAPassEndsTheProcess: closes the window while a reader waits.
static int CloseDuringPass(const QString& family) {
  TempDir dir;
  Gate gate;
  ui::frmVELM window(RealFileSystem(), FakeReaders(gate));
  window.dialogs().setScripted(true);
  window.dialogs().setNextAnswer(QMessageBox::Yes);   // stop the pass and exit
  window.session().AddFile(dir.write("a.dat", First(family == "OCB" ? OcbSamples : EwsdSamples)));
  window.show();
  QTimer::singleShot(0, &window, [&] {
    if (!QTest::qWaitFor([&] { return gate.started > 0; })) return;
    std::fputs("closing during the pass\n", stderr);
    window.close();
  });
  window.analyse();
  return 3;
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc == 3 && QString(argv[1]) == "--close-during-pass") return CloseDuringPass(argv[2]);
  WindowsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "windows_test.moc"
