// The main window and the Add Files dialog driven as a user would, over a scratch folder
// that is also the current folder; the dialog seam answers every dialog.

#include <QtTest>
#include <QtWidgets>
#include <cerrno>
#include <cstring>
#include <thread>

#include "readers/modCdot.h"
#include "reports/text_report.h"
#include "support/fault_injection.h"
#include "testdata/archives.h"
#include "testdata/report_entries.h"
#include "testdata/samples.h"
#include "ui/analyser_list_model.h"
#include "ui/details_view.h"
#include "ui/frmOpen.h"
#include "ui/frmVELM.h"
#include "ui/hour_histogram.h"
#include "ui/icons.h"

using namespace vellmark;
using namespace vellmark::testdata;

namespace {

const char* const kFakeFailure = "record 3 at offset 96: length 0";
const QString kOverwrite = "File Exists. Do you want to OverWrite?";
const QString kListed = "The Following files Already Exists \n\n";

bool OnWindowThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }
Bytes First(std::vector<SampleFile> (*family)()) { return family().front().bytes; }

// What the fake readers did (the gated ones read until `release`, or 20 s) and the window's exits.
struct Gate {
  std::atomic<bool> release{false};
  std::atomic<int> started{0}, steps{0}, onWindowThread{0}, exits{0};
};

// OCB: gated, never polls. EWSD: gated, stops at its stop points. AXE: shows a message
// of its own and fails. CDOT: the real reader, which reads at once.
ReaderTable FakeReaders(Gate& gate) {
  ReaderTable table;
  table.add("CDOT", ReadCdotFile);
  for (const std::string family : {"OCB", "EWSD", "AXE"})
    table.add(family, [&gate, family](const std::string&, ReaderContext& context) -> ReaderOutcome {
      ++gate.started;
      gate.onWindowThread += OnWindowThread();
      for (int wait = 0; family != "AXE" && !gate.release && wait < 10000; ++wait) {
        context.setProgress(++gate.steps % 100);
        if (family == "EWSD" && context.pollStop()) return Stopped{};
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      if (family != "AXE") return CallRange{"2004-05-12   09:30:05", "2004-05-12   17:45:10", 1};
      context.message("Unknown package 64", "AXE");
      return ReadFailure{FailureKind::Corrupt, kFakeFailure, 96};
    });
  return table;
}

struct SortCase { int column; bool descending; QString text, family, numbers; };   // rows of sortFilterCopy

}  // namespace

class WindowsTest : public QObject {
  Q_OBJECT
  std::unique_ptr<Gate> gate_;
  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<FaultInjectingFileSystem> files_;
  std::unique_ptr<ui::frmVELM> window_;
  std::unique_ptr<QAbstractItemModelTester> tester_;
  QString folder_;

  QString path(const QString& name) const { return folder_ + "/" + name; }
  QString add(const std::string& name, const Bytes& bytes) const { return QString::fromStdString(dir_->write(name, bytes)); }
  void trigger(const char* name) const {
    if (auto* action = window_->findChild<QAction*>(name)) action->trigger(); else qFatal("no action %s", name);
  }
  void click(QWidget* in, const char* name) const { QTest::mouseClick(in->findChild<QPushButton*>(name), Qt::LeftButton); }
  QTableView* list() const { return window_->findChild<QTableView*>("ListView1"); }
  int shownRows() const { return list()->verticalHeader()->count(); }   // what the model announced
  QString cell(int row, int column) const { return window_->model()->index(row, column).data().toString(); }
  QString panels() const {
    return QStringList{window_->panelText(2), window_->panelText(3), window_->panelText(4), window_->panelText(5)}.join('|');
  }
  QStringList texts() const {
    QStringList all;
    for (const auto& shown : window_->dialogs().messages) all.append(shown.text);
    return all;
  }
  std::string read(const QString& name) const {
    const auto bytes = ReadWholeFile(path(name).toStdString());
    return {bytes.begin(), bytes.end()};
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
    QVERIFY(QDir::setCurrent(folder_));   // where the user manual is looked for too
    window_ = std::make_unique<ui::frmVELM>(*files_, FakeReaders(*gate_));
    window_->dialogs().setScripted(true);
    window_->setExitNow([this] { ++gate_->exits; });
    tester_ = std::make_unique<QAbstractItemModelTester>(window_->model(),   // checks every change of the list
                                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() {
    const int wrongThreadCalls = window_->dialogs().wrongThreadCalls;
    tester_.reset();
    window_.reset();
    QCOMPARE(wrongThreadCalls, 0);
    QCOMPARE(gate_->onWindowThread.load(), 0);
    QVERIFY(!QApplication::overrideCursor());
  }

  // During a pass the reader runs off the window's thread, its progress reaches the bar on
  // it, the pass's progress shows; only the commands that can act are enabled; the Add
  // Files dialog says why it cannot add; drops are refused; Exit asks (No goes on, Yes
  // ends the process); Stop lets a reader that never polls finish its file.
  void commandsDuringAPass() {
    const QString first = add("a.dat", First(OcbSamples));
    window_->dropFiles({first, add("b.dat", First(CdotSamples))});
    ui::frmOpen* dialog = showAddFiles();
    QWidget* addButton = dialog->findChild<QWidget*>("Command1");
    auto* bar = window_->findChild<QProgressBar*>("ProgressBar1");
    std::atomic<int> offThread{0};
    connect(bar, &QProgressBar::valueChanged, bar, [&] { offThread += !OnWindowThread(); }, Qt::DirectConnection);
    auto enabled = [&] {
      QStringList names;
      for (QAction* a : window_->findChildren<QAction*>(QRegularExpression("^(men|tb)")))
        if (a->isEnabled()) names << a->objectName();
      names.sort();
      return names;
    };
    analyseWith([&] {
      QCOMPARE(window_->panelText(5), "Analysing " + first);
      QVERIFY(window_->findChild<QLabel*>("lblPassProgress")->text().startsWith("File 1 of 2  0:0"));
      QVERIFY(QTest::qWaitFor([&] { return bar->value() > 5; }));
      QCOMPARE(enabled(), (QStringList{"menCopy", "menDetails", "menExit", "menFind", "menFolder", "menManual",
                                       "menStop", "menTimeline", "menUpdates", "tbStop"}));
      window_->dropFiles({add("late.dat", First(CdotSamples))});
      QVERIFY(dialog->findChild<QLabel*>("lblPassRunning")->isVisible() && !addButton->isEnabled());
      trigger("menExit");
      QVERIFY(window_->isVisible() && gate_->exits == 0 && shownRows() == 2 && gate_->started == 1);
      window_->dialogs().setNextAnswer(QMessageBox::Yes);
      trigger("menExit");
      QVERIFY(!window_->isVisible() && gate_->exits == 1);
      trigger("tbStop");
    });
    QCOMPARE(texts(), (QStringList{ui::kExitDuringPass, ui::kExitDuringPass, "Data File Analysis Stopped"}));
    QVERIFY(cell(0, 3) != "To be  Analysed" && cell(1, 3) == "To be  Analysed");
    QVERIFY(!enabled().contains("tbStop") && enabled().size() > 20 && addButton->isEnabled());
    QCOMPARE(offThread.load(), 0);
  }

  // A reader that polls asks at its next stop point: Yes stops the pass there; No, on
  // the files left, reads on.
  void stopAsked() {
    window_->dropFiles({add("a.dat", First(EwsdSamples)), add("b.dat", First(CdotSamples))});
    for (const bool yes : {true, false}) {
      gate_->release = false;   // the readers wait again
      gate_->started = 0;
      window_->dialogs().messages.clear();
      window_->dialogs().setNextAnswer(yes ? QMessageBox::Yes : QMessageBox::No);
      analyseWith([&] {
        trigger("tbStop");
        QVERIFY(QTest::qWaitFor([&] { return !texts().isEmpty(); }));
      });
      QCOMPARE(texts().join('|'), "Do you want to Stop the Analyser|Data File Analysis " + QString(yes ? "Stopped" : "Over"));
      QCOMPARE(cell(0, 3) + cell(1, 3) == "To be  AnalysedTo be  Analysed", yes);
    }
  }

  // After a pass: duplicates red with a bold name, a failed file's reason as its tooltip,
  // a picture per family, a reader's message, the totals under their captions; Remove
  // renumbers the rows and works the totals out again.
  void analysedRows() {
    const Bytes day = First(CdotSamples);
    QDir(folder_).mkdir("copy");
    window_->dropFiles({add("KOL1140226.DAT", day), add("x.dat", First(AxeSamples)), add("copy/KOL1140226.DAT", day)});
    QSignalSpy changes(window_->model(), &QAbstractItemModel::dataChanged);
    trigger("tbAnalyse");
    QCOMPARE(changes.value(changes.size() - 1).value(1).toModelIndex().column(), 6);   // all of a row changes
    const ui::DialogSeam::Shown& message = window_->dialogs().messages[0];
    QVERIFY(message.text == "Unknown package 64" && message.title == "AXE" && message.icon == QMessageBox::Critical);
    auto data = [&](int row, int column, int role) { return window_->model()->index(row, column).data(role); };
    for (int column = 0; column < 7; ++column) {
      QCOMPARE(data(2, column, Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
      QCOMPARE(data(2, column, Qt::FontRole).value<QFont>().bold(), column == 0);
      QVERIFY(!data(0, column, Qt::ForegroundRole).isValid() && !data(0, column, Qt::FontRole).value<QFont>().bold());
      QCOMPARE(data(1, column, Qt::ToolTipRole).toString(), path("x.dat") + "\n" + kFakeFailure);
      QVERIFY(data(2, column, Qt::ToolTipRole).toString().startsWith(path("copy/KOL1140226.DAT") +
                                                                     "\nDuplicate of No. 1\nSame content as No. 1"));
    }
    auto picture = [&](int row) { return data(row, 0, Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage(); };
    QVERIFY(!picture(0).isNull() && !picture(1).isNull() && picture(0) != picture(1));
    QCOMPARE(ui::ToolbarIcon(ui::ToolbarPicture::Add).pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));   // sharp when scaled
    auto caption = [&](int number) { return window_->findChild<QLabel*>(QString("lblPanel%1").arg(number))->text(); };
    QCOMPARE(caption(2) + caption(3) + caption(4) + panels(), QString("Valid files:Size:Records:3|0.02 MB|128|"));
    list()->selectRow(0);
    trigger("tbRemove");
    QCOMPARE(cell(1, 0) + cell(1, 1), path("copy/KOL1140226.DAT") + "2");
    QCOMPARE(panels(), QString("2|0.01 MB|64|"));
  }

  // Save Report: a doubled suffix is dropped; replacing a file is asked first, No shows
  // the dialog again; a failed write says why and leaves the old file and no other.
  void saveReport() {
    window_->session().LoadEntries(ThreeAnalysedEntries().entries());
    add("old.vmr", Text("old"));
    for (const char* name : {"day.vmr.vmr", "old.vmr", "new.vmr", "old.vmr"}) window_->dialogs().setNextFileName(path(name));
    window_->dialogs().setNextAnswer(QMessageBox::No);
    window_->dialogs().setNextAnswer(QMessageBox::Yes);
    for (int save = 0; save < 3; ++save) trigger("tbSave");   // day.vmr; old.vmr (No), new.vmr; old.vmr (Yes)
    QCOMPARE(window_->dialogs().fileDialogs.size(), 4);
    QVERIFY(read("old.vmr").find(ThreeAnalysedEntries().at(2).path) != std::string::npos);
    const std::string saved = read("new.vmr");
    files_->failWritesAfter(100, ENOSPC);
    window_->dialogs().setNextFileName(path("new.vmr"));
    window_->dialogs().setNextAnswer(QMessageBox::Yes);
    trigger("tbSave");
    QCOMPARE(texts(), QStringList(3, kOverwrite) << "Could not save " + path("new.vmr") + ": No space left on device");
    QVERIFY(read("new.vmr") == saved && window_->panelText(5) == "File " + path("old.vmr") + " Saved");
    QCOMPARE(QDir(folder_).entryList(QDir::Files | QDir::Hidden), (QStringList{"day.vmr", "new.vmr", "old.vmr"}));
  }

  // Nothing to export from an empty list. A file that appears at the chosen name after
  // the question is asked about again: No shows the dialog again, Yes replaces it.
  void exportAndAFileAppearingAfterTheQuestion() {
    trigger("tbExport");
    window_->session().LoadEntries(ThreeAnalysedEntries().entries());
    files_->before(IoStep::Rename, [](const std::string& to) { QFile(QString::fromStdString(to)).open(QIODevice::NewOnly); });
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
      QFile::remove(path("day.xlsx"));
      window_->dialogs().setNextFileName(path("day.xlsx"));
      window_->dialogs().setNextAnswer(answer);
      trigger("tbExport");
      QCOMPARE(read("day.xlsx").empty(), answer == QMessageBox::No);
    }
    QCOMPARE(texts(), (QStringList{"Nothing to Save", kOverwrite, kOverwrite}));
    QCOMPARE(window_->dialogs().fileDialogs.size(), 3);   // No: the dialog again
    QCOMPARE(window_->dialogs().openedDocuments, QList<QUrl>{QUrl::fromLocalFile(path("day.xlsx"))});
  }

  // Add Files shows a folder's files with the size as bytes / 1024 + 0.5 rounded half to
  // even, and an archive as a folder of its members; a drive that cannot be entered says
  // why; cancelled, the dialog keeps its folder. A folder dropped stands for its files in
  // name order, an archive for its members; listed ones are refused; the totals go.
  void addingFiles() {
    QDir(folder_).mkdir("day");
    for (int size : {6144, 1024, 0}) add("day/f" + std::to_string(size), Bytes(size));
    const QString zip = add("day/g.zip", BuildZip({{"in/", {}, Member::Kind::Folder}, {"in/A.DAT", First(CdotSamples)},
                                                   {"in/B.DAT", First(OcbSamples)}}));
    showAddFiles()->setFolder(path("day"));
    click(window_->addFilesDialog(), "Command2");
    ui::frmOpen* dialog = showAddFiles();
    dialog->chooseDrive("/no/such/drive");
    QVERIFY(texts() == QStringList{std::strerror(ENOENT)} && dialog->folder() == path("day"));
    QStringList shown, listed;
    for (int row = 0; row < 3; ++row) shown << rows()->topLevelItem(row)->text(1) + " " + rows()->topLevelItem(row)->text(2);
    QCOMPARE(shown, (QStringList{path("day/f0 0 KB"), path("day/f1024 2 KB"), path("day/f6144 6 KB")}));
    rows()->expandItem(rows()->topLevelItem(3));
    rows()->topLevelItem(3)->child(1)->setSelected(true);
    click(dialog, "Command1");
    window_->setPanelText(2, "x");
    QMimeData mime;   // the folder dragged from a file manager onto the list
    mime.setUrls({QUrl::fromLocalFile(path("day"))});
    QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent dropped(QPoint(9, 9), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list()->viewport(), &enter);
    QApplication::sendEvent(list()->viewport(), &dropped);
    QVERIFY(enter.isAccepted() && dropped.isAccepted());
    QCoreApplication::processEvents();
    for (int row = 0; row < shownRows(); ++row) listed << cell(row, 0);
    QCOMPARE(listed, (QStringList{zip + "#in/B.DAT", path("day/f0"), path("day/f1024"), path("day/f6144"), zip + "#in/A.DAT"}));
    QCOMPARE(texts().last(), kListed + zip + "#in/B.DAT");
    QCOMPARE(panels(), QString("|||"));
  }

  // User Manual: velm.pdf beside the program or in the current folder, else velm.doc
  // (a failure then not reported), else a message.
  void userManual() {
    QDir(folder_).mkdir("program");
    window_->setProgramFolder(path("program"));
    const QUrl pdf = QUrl::fromLocalFile(add("program/velm.pdf", Text("manual")));
    const QUrl doc = QUrl::fromLocalFile(add("velm.doc", Text("manual")));
    trigger("menManual");
    window_->dialogs().setNextShellResult(false);
    window_->dialogs().setNextShellResult(false);
    trigger("menManual");
    QCOMPARE(window_->dialogs().openedDocuments, (QList<QUrl>{pdf, pdf, doc}));
    QVERIFY(QFile::remove(pdf.toLocalFile()) && QFile::remove(doc.toLocalFile()));
    trigger("menManual");
    QCOMPARE(texts(), QStringList{"Help File velm.pdf or velm.doc not found in the application folder"});
  }

  // Sorting keeps each entry's number, and a click on "No" (the list's order) shows no arrow;
  // the filter narrows by text in any case and by family; Ctrl+C copies the rows shown,
  // in their order, as tab-separated text under the headings.
  void sortFilterCopy_data() {
    QTest::addColumn<SortCase>("c");
    QTest::newRow("start time") << SortCase{3, false, "", "", "3 1 2"};
    QTest::newRow("size, descending") << SortCase{6, true, "", "", "1 2 3"};
    QTest::newRow("records") << SortCase{5, false, "", "", "2 1 3"};
    QTest::newRow("text in another case") << SortCase{0, false, "13 kb", "", "1"};
    QTest::newRow("text and family") << SortCase{4, true, "/data", "AXE", "3"};
  }
  void sortFilterCopy() {
    QFETCH(SortCase, c);
    std::vector<AnalyserEntry> entries = ThreeAnalysedEntries().entries();
    entries[2].records = 5000;   // the records' order is not the sizes'
    window_->session().LoadEntries(entries);
    list()->sortByColumn(c.column, c.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QTest::keyClicks(window_->findChild<QLineEdit*>("txtFilter"), c.text);
    auto* families = window_->findChild<QComboBox*>("cboFamily");
    families->setCurrentIndex(families->findData(c.family));
    list()->selectAll();
    list()->setFocus();
    QTest::keySequence(list(), QKeySequence::Copy);   // the rows in the order shown
    QString copied = "Binary File\tNo\tSwitch\tStart Time\tEnd Time\tRecords\tSize\n";
    for (const QString& number : c.numbers.split(' ', Qt::SkipEmptyParts))
      for (int column = 0; column < 7; ++column)
        copied += QString::fromStdString(entries[number.toUInt() - 1].column(column)) + (column < 6 ? '\t' : '\n');
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    QHeaderView* header = list()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(1) + 4, 4));
    QCOMPARE(header->sortIndicatorSection(), -1);
  }

  // In a sorted list, Enter on a row shows that entry's details, every field the list
  // keeps, and they follow the current row; Remove takes the entry selected.
  void detailsAndRemoveInASortedList() {
    AnalyserEntry first = MakeEntry({"1", "/cdr/a.dat", "CDOT", "Invalid  File", "Invalid  File", "0", "1 KB"});
    first.failure = ReadFailure{FailureKind::Corrupt, kFakeFailure, 96};
    AnalyserEntry repeat = MakeEntry({"2", "/cdr/b.dat", "CDOT", "2026-02-14   00:00:00", "2026-02-14   23:59:59", "64", ""});
    repeat.sizeBytes = 3082;
    repeat.duplicateOf = 1;
    first.digests = repeat.digests = Digests{std::string(32, 'a'), std::string(64, 'b')};
    repeat.warnings = {{WarningKind::TrailingBytes, "10 bytes after the last record", 3072}};
    repeat.callsPerHour = CallsPerHour{{"2026-02-14T08", 60}, {"2026-02-14T10", 3}};
    window_->session().LoadEntries({first, repeat});
    list()->sortByColumn(6, Qt::DescendingOrder);   // by size: No. 2 first
    list()->setCurrentIndex(list()->model()->index(0, 0));
    QTest::keyClick(list(), Qt::Key_Return);
    auto fields = [&] {
      QStringList lines;
      const QTableWidget* table = window_->details()->table();
      for (int r = 0; r < table->rowCount(); ++r) lines << table->item(r, 0)->text() + ": " + table->item(r, 1)->text();
      return lines;
    };
    QCOMPARE(fields(), (QStringList{"No: 2", "Binary File: /cdr/b.dat", "Switch: CDOT",
                                    "Start Time: 2026-02-14   00:00:00", "End Time: 2026-02-14   23:59:59",
                                    "Records: 64", "Size: 3 KB", "Size in bytes: 3082",
                                    "Warning: trailing_bytes: 10 bytes after the last record (at byte 3072)",
                                    "XXH3-128: " + QString(32, 'a'), "SHA-256: " + QString(64, 'b'),
                                    "Duplicate of: No. 1  /cdr/a.dat", "Same content as: No. 1"}));
    QVERIFY(window_->details()->isVisible() && window_->details()->histogram()->hourSlots().size() == 3);   // 09:00 too
    QTest::keyClick(list(), Qt::Key_Down);
    QVERIFY(fields().contains(QString("Failure: corrupt: %1 (at byte 96)").arg(kFakeFailure)));
    QVERIFY(fields().contains("Size in bytes: not known (from a report)"));
    list()->selectRow(0);
    trigger("menRemove");
    QCOMPARE(cell(0, 0) + " " + QString::number(shownRows()), QString("/cdr/a.dat 1"));
  }

  // A list analysed and not saved since: Clear, Open Report and Exit ask first, and No
  // keeps it. Yes: Open Report refuses a file that is not a report and changes nothing,
  // a cancel clears the totals, a report replaces the list; after it Exit asks nothing.
  void openReportAndUnsavedResults() {
    window_->dropFiles({add("a.dat", First(CdotSamples))});
    trigger("menAnalyse");
    window_->dialogs().messages.clear();
    for (const char* command : {"menClear", "menOpen", "menExit"}) trigger(command);   // No
    QVERIFY(shownRows() == 1 && window_->dialogs().fileDialogs.isEmpty() && window_->isVisible());
    const QString report = add("r.vmr", Text(ReportText(ThreeAnalysedEntries(), FixedTime())));
    for (const QString& chosen : {add("notes.vmr", Text("Exchange notes\r\n")), QString(), report}) {
      window_->setPanelText(5, "x");
      window_->dialogs().setNextAnswer(QMessageBox::Yes);
      window_->dialogs().setNextFileName(chosen);
      trigger("menOpen");
      QVERIFY(shownRows() == (chosen == report ? 3 : 1) && window_->panelText(5).isEmpty() == !chosen.endsWith("notes.vmr"));
    }
    trigger("menExit");
    const QString refusal = path("notes.vmr") + " is not a Vellmark Report File.  Please Check";
    QCOMPARE(texts(), QStringList(4, ui::kDiscardQuestion) << refusal << ui::kDiscardQuestion << ui::kDiscardQuestion);
  }

  // A list analysed and saved closes without a question. A second window finds what the
  // first kept: its size, a column's width, the report folder, the recent report and the
  // year for short dates.
  void settingsRestoredInASecondWindow() {
    QCoreApplication::setOrganizationName("vellmark-tests");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path("settings"));
    struct Forget { ~Forget() { QCoreApplication::setOrganizationName(QString()); } } forget;
    tester_.reset();
    window_ = std::make_unique<ui::frmVELM>(*files_, FakeReaders(*gate_));
    window_->dialogs().setScripted(true);
    window_->show();
    window_->resize(900, 600);
    list()->horizontalHeader()->resizeSection(0, 480);
    window_->setDateYear(2024);
    window_->dropFiles({add("a.dat", First(CdotSamples))});
    trigger("menAnalyse");
    window_->dialogs().setNextFileName(path("day.vmr"));
    trigger("menSave");
    QVERIFY(window_->windowTitle().startsWith("day.vmr - Vellmark ") && window_->close());
    window_ = std::make_unique<ui::frmVELM>(*files_, FakeReaders(*gate_));
    QCOMPARE(window_->size(), QSize(900, 600));
    QCOMPARE(list()->horizontalHeader()->sectionSize(0), 480);
    QCOMPARE(window_->dateYear(), 2024);
    QCOMPARE(window_->dialogs().folders.value("report"), folder_);
    QCOMPARE(window_->findChild<QMenu*>("menRecent")->actions().value(0)->toolTip(), path("day.vmr"));
  }
};

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"
