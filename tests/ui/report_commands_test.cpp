// Save Report, Open Report and the workbook export as the window runs them: their
// dialogs, the overwrite question, and what a failure says and leaves behind.

#include <QTest>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "fake_readers.h"
#include "reports/text_report.h"
#include "support/fault_injection.h"
#include "testdata/bytes.h"
#include "testdata/report_entries.h"
#include "ui/frmVELM.h"
#include "ui/report_commands.h"

using namespace vellmark;
using vellmark::ui::frmVELM;

namespace {

std::string Read(const std::string& path) {
  auto bytes = testdata::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

const QString kReportDialog = "save Report files (*.vmr);;All Files (*)";

}  // namespace

class ReportCommandsTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();

  void saveWritesTheListAndSaysSo();
  void saveAsksBeforeReplacingAnyFile();
  void aFileAppearingAfterTheQuestionIsAskedAbout();
  void failedSavesKeepTheOldFileAndSayWhy();
  void openRoundTripReplacesTheListAndClearsTotals();
  void openLeavesTheListAloneForAWrongFile();
  void cancelledOrEmptyOpenStillClearsTheTotals();
  void exportRefusesAnEmptyListAndWritesTheTotals();

 private:
  void fill(const AnalyserList& list);
  QStringList texts() const;

  std::unique_ptr<testdata::TempDir> dir_;
  std::unique_ptr<FaultInjectingFileSystem> faulty_;
  std::unique_ptr<frmVELM> window_;
};

void ReportCommandsTest::init() {
  dir_ = std::make_unique<testdata::TempDir>();
  faulty_ = std::make_unique<FaultInjectingFileSystem>(RealFileSystem());
  window_ = std::make_unique<frmVELM>(*faulty_, ui::test::FakeReaders());
  window_->dialogs().setScripted(true);
}

void ReportCommandsTest::cleanup() {
  QCOMPARE(window_->dialogs().wrongThreadCalls, 0);
  window_.reset();
  faulty_.reset();
  dir_.reset();
}

void ReportCommandsTest::fill(const AnalyserList& list) {
  for (const auto& e : list.entries()) window_->session().list().append(e);
}

QStringList ReportCommandsTest::texts() const {
  QStringList all;
  for (const auto& m : window_->dialogs().messages) all.append(m.text);
  return all;
}

void ReportCommandsTest::saveWritesTheListAndSaysSo() {
  fill(testdata::ThreeAnalysedEntries());
  auto& dialogs = window_->dialogs();
  window_->setPanelText(2, "3");
  const std::string name = dir_->file("day.vmr");
  dialogs.setNextFileName(Q(name));
  ui::SaveReport(*window_);
  QCOMPARE(dialogs.fileDialogs, QStringList{kReportDialog});
  QCOMPARE(window_->panelText(5), "File " + Q(name) + " Saved");
  QCOMPARE(window_->panelText(2), QString("3"));
  QVERIFY(dialogs.messages.isEmpty());
  QCOMPARE(window_->lastReportName(), name);
  // The rows as the writer forms them, after the title line.
  const std::string saved = Read(name);
  const std::string expected = ReportText(window_->session().list(), testdata::FixedTime());
  QCOMPARE(saved.substr(saved.find("\r\n")), expected.substr(expected.find("\r\n")));

  // A doubled suffix is dropped; a name without one is used as typed.
  dialogs.setNextFileName(Q(dir_->file("b.vmr.vmr")));
  dialogs.setNextFileName(Q(dir_->file("plain")));
  ui::SaveReport(*window_);
  ui::SaveReport(*window_);
  QVERIFY(std::filesystem::exists(dir_->file("b.vmr")));
  QVERIFY(std::filesystem::exists(dir_->file("plain")));
  QCOMPARE(window_->panelText(5), "File " + Q(dir_->file("plain")) + " Saved");

  // Cancel: nothing happens.
  window_->setPanelText(5, "");
  ui::SaveReport(*window_);
  QCOMPARE(window_->panelText(5), QString());
}

void ReportCommandsTest::saveAsksBeforeReplacingAnyFile() {
  fill(testdata::ThreeAnalysedEntries());
  auto& dialogs = window_->dialogs();
  const std::string hidden = dir_->write(".hidden.vmr", "old");
  // No shows the dialog again; cancelling it then leaves the old file alone.
  dialogs.setNextFileName(Q(hidden));
  dialogs.setNextAnswer(QMessageBox::No);
  ui::SaveReport(*window_);
  QCOMPARE(texts(), QStringList{"File Exists. Do you want to OverWrite?"});
  QCOMPARE(dialogs.fileDialogs.size(), 2);
  QCOMPARE(Read(hidden), std::string("old"));
  QCOMPARE(window_->panelText(5), QString());

  // No, then another name that is free.
  dialogs.setNextFileName(Q(hidden));
  dialogs.setNextFileName(Q(dir_->file("new.vmr")));
  dialogs.setNextAnswer(QMessageBox::No);
  ui::SaveReport(*window_);
  QCOMPARE(Read(hidden), std::string("old"));
  QVERIFY(std::filesystem::exists(dir_->file("new.vmr")));

  dialogs.setNextFileName(Q(hidden));
  dialogs.setNextAnswer(QMessageBox::Yes);
  ui::SaveReport(*window_);
  QCOMPARE(Read(hidden), Read(dir_->file("new.vmr")));
}

// A file that appears at the chosen name after the question (or the dialog) is asked
// about again: No keeps it and shows the dialog again, Yes replaces it.
void ReportCommandsTest::aFileAppearingAfterTheQuestionIsAskedAbout() {
  fill(testdata::ThreeAnalysedEntries());
  auto& dialogs = window_->dialogs();
  faulty_->before(IoStep::Rename, [](const std::string& to) {
    if (!std::filesystem::exists(to)) std::ofstream(to) << "appeared";
  });
  for (const std::string name : {"day.vmr", "day.xlsx"}) {
    const std::string path = dir_->file(name);
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
      std::filesystem::remove(path);
      dialogs.messages.clear();
      dialogs.setNextFileName(Q(path));
      dialogs.setNextAnswer(answer);
      const int shown = dialogs.fileDialogs.size();
      name == "day.vmr" ? ui::SaveReport(*window_) : (void)ui::ExportToSpreadsheet(*window_);
      QCOMPARE(texts(), QStringList{"File Exists. Do you want to OverWrite?"});
      QCOMPARE(dialogs.fileDialogs.size(), shown + (answer == QMessageBox::No ? 2 : 1));
      QCOMPARE(Read(path) == "appeared", answer == QMessageBox::No);
    }
  }
}

void ReportCommandsTest::failedSavesKeepTheOldFileAndSayWhy() {
  fill(testdata::ThreeAnalysedEntries());
  auto& dialogs = window_->dialogs();
  const std::string name = dir_->write("day.vmr", "old report");
  const std::string book = dir_->write("day.xlsx", "old workbook");
  struct Fault {
    void (*arm)(FaultInjectingFileSystem&);
    std::string reason;
  };
  const Fault faults[] = {
      {[](FaultInjectingFileSystem& f) { f.failWritesAfter(1000, ENOSPC); }, "No space left on device"},
      {[](FaultInjectingFileSystem& f) { f.failWritesAfter(0, EIO); }, "Input/output error"},
      {[](FaultInjectingFileSystem& f) { f.failFlush(ENOSPC); }, "No space left on device"},
      {[](FaultInjectingFileSystem& f) { f.failRename(EXDEV); }, "Invalid cross-device link"},
  };
  for (const auto& fault : faults) {
    faulty_->clear();
    fault.arm(*faulty_);
    dialogs.messages.clear();
    dialogs.setNextFileName(Q(name));
    dialogs.setNextAnswer(QMessageBox::Yes);
    window_->setPanelText(5, "");
    ui::SaveReport(*window_);
    QCOMPARE(dialogs.messages.size(), 2);  // the overwrite question, then the failure
    QCOMPARE(dialogs.messages[1].text, Q("Could not save " + name + ": " + fault.reason));
    QCOMPARE(dialogs.messages[1].icon, QMessageBox::Critical);
    QCOMPARE(window_->panelText(5), QString());  // never "Saved"
    QCOMPARE(Read(name), std::string("old report"));

    dialogs.messages.clear();
    dialogs.setNextFileName(Q(book));
    QCOMPARE(ui::ExportToSpreadsheet(*window_), std::string());
    QVERIFY(!dialogs.messages.isEmpty());
    QVERIFY(dialogs.messages.back().text.contains(Q(fault.reason)));
    QCOMPARE(Read(book), std::string("old workbook"));
    QCOMPARE(Names(dir_->path()), (std::set<std::string>{"day.vmr", "day.xlsx"}));
  }

  // A folder cannot be saved over.
  faulty_->clear();
  dialogs.messages.clear();
  const std::string folder = dir_->file("folder.vmr");
  std::filesystem::create_directory(folder);
  dialogs.setNextFileName(Q(folder));
  ui::SaveReport(*window_);
  QCOMPARE(texts(), QStringList{Q("Could not save " + folder + ": Is a directory")});
  QVERIFY(std::filesystem::is_directory(folder));
}

void ReportCommandsTest::openRoundTripReplacesTheListAndClearsTotals() {
  fill(testdata::ThreeAnalysedEntries());
  auto& dialogs = window_->dialogs();
  const std::string name = dir_->file("r.vmr");
  dialogs.setNextFileName(Q(name));
  ui::SaveReport(*window_);
  const std::vector<AnalyserEntry> saved = window_->session().list().entries();

  window_->session().ClearEntries();
  window_->session().list().append(testdata::MakeEntry({"1", "/other", "OCB", "x", "x", "0", "1 KB"}));
  for (int i = 2; i <= 5; ++i) window_->setPanelText(i, "x");
  dialogs.setNextFileName(Q(name));
  ui::OpenReport(*window_);
  QCOMPARE(dialogs.fileDialogs.last(), QString("open Report files (*.vmr);;All Files (*)"));
  QCOMPARE(window_->session().list().size(), std::size_t{3});
  for (std::size_t i = 0; i < 3; ++i)
    for (int c = 0; c < AnalyserEntry::kColumns; ++c)
      QCOMPARE(window_->session().list().at(i).column(c), saved[i].column(c));
  for (int i = 2; i <= 5; ++i) QCOMPARE(window_->panelText(i), QString());
  QVERIFY(!window_->totals());
  QVERIFY(window_->session().resultsShown());
  QVERIFY(dialogs.messages.isEmpty());

  // A large report read in several pieces, 100,000 rows of it.
  AnalyserList many;
  for (std::size_t i = 1; i <= 100000; ++i)
    many.append(testdata::MakeEntry({std::to_string(i), "/data/cdr/day" + std::to_string(i) + ".ama", "EWSD",
                                     "2004-05-12   09:30:05", "2004-05-12   18:02:41", std::to_string(i * 7), "13 KB"}));
  const std::string big = dir_->file("many.vmr");
  QVERIFY(WriteReportFile(RealFileSystem(), big, many, testdata::FixedTime(), SaveMode::NewOnly).ok());
  dialogs.setNextFileName(Q(big));
  ui::OpenReport(*window_);
  QCOMPARE(window_->session().list().size(), std::size_t{100000});
  QCOMPARE(window_->session().list().at(99999).recordsText(), std::string("700000"));
}

void ReportCommandsTest::openLeavesTheListAloneForAWrongFile() {
  fill(testdata::ThreeAnalysedEntries());
  auto& dialogs = window_->dialogs();
  window_->setPanelText(2, "3");
  window_->session().list().setSelected(1, true);
  const std::string notReport = dir_->write("notes.txt", " Vellmark Report\r\n");
  dialogs.setNextFileName(Q(notReport));
  ui::OpenReport(*window_);
  QCOMPARE(texts(), QStringList{Q(notReport + " is not a Vellmark Report File.  Please Check")});
  QCOMPARE(dialogs.messages[0].icon, QMessageBox::Critical);
  QCOMPARE(window_->session().list().size(), std::size_t{3});
  QCOMPARE(window_->panelText(2), QString("3"));
  QCOMPARE(window_->lastReportName(), notReport);

  const std::string missing = dir_->file("missing.vmr");
  dialogs.setNextFileName(Q(missing));
  ui::OpenReport(*window_);
  QCOMPARE(texts().last(), Q("Could not open " + missing + ": No such file or directory"));
  dialogs.setNextFileName(Q(dir_->path()));
  ui::OpenReport(*window_);
  QCOMPARE(texts().last(), Q("Could not open " + dir_->path() + ": Is a directory"));

  // A read that fails part-way through a large report.
  std::string text = ReportText(testdata::ThreeAnalysedEntries(), testdata::FixedTime());
  while (text.size() < 200000) text += "| 1 | /x | OCB | s | e | 1 | 1 KB |\r\n";
  const std::string big = dir_->write("big.vmr", text);
  faulty_->failReadsFrom(150000, EIO);
  dialogs.setNextFileName(Q(big));
  ui::OpenReport(*window_);
  QCOMPARE(texts().last(), Q("Could not open " + big + ": Input/output error"));
  faulty_->clear();
  faulty_->failOpen(EACCES);
  dialogs.setNextFileName(Q(big));
  ui::OpenReport(*window_);
  QCOMPARE(texts().last(), Q("Could not open " + big + ": Permission denied"));
  QCOMPARE(window_->session().list().size(), std::size_t{3});
  QVERIFY(window_->session().list().at(1).selected);
  QCOMPARE(window_->panelText(2), QString("3"));
}

void ReportCommandsTest::cancelledOrEmptyOpenStillClearsTheTotals() {
  fill(testdata::ThreeAnalysedEntries());
  window_->setPanelText(3, "1.5 MB");
  ui::OpenReport(*window_);  // cancelled
  QCOMPARE(window_->session().list().size(), std::size_t{3});
  QCOMPARE(window_->panelText(3), QString());
  QVERIFY(window_->session().resultsShown());

  window_->session().setResultsShown(false);
  const std::string empty = dir_->write("empty.vmr", ReportText(AnalyserList(), testdata::FixedTime()));
  window_->dialogs().setNextFileName(Q(empty));
  ui::OpenReport(*window_);
  QVERIFY(window_->session().list().empty());
  QVERIFY(!window_->session().resultsShown());
  QVERIFY(window_->dialogs().messages.isEmpty());
}

void ReportCommandsTest::exportRefusesAnEmptyListAndWritesTheTotals() {
  auto& dialogs = window_->dialogs();
  QCOMPARE(ui::ExportToSpreadsheet(*window_), std::string());
  QCOMPARE(texts(), QStringList{"Nothing to Save"});
  QCOMPARE(dialogs.messages[0].icon, QMessageBox::Critical);
  QCOMPARE(dialogs.messages[0].title, QString("Vellmark"));
  QVERIFY(dialogs.fileDialogs.isEmpty());

  fill(testdata::ThreeAnalysedEntries());
  dialogs.messages.clear();
  QCOMPARE(ui::ExportToSpreadsheet(*window_), std::string());  // cancelled
  QCOMPARE(dialogs.fileDialogs.last(), QString("save Excel workbook (*.xlsx)"));
  const std::string book = dir_->file("day.xlsx");
  dialogs.setNextFileName(Q(book));
  QCOMPARE(ui::ExportToSpreadsheet(*window_), book);
  QVERIFY(dialogs.messages.isEmpty());
  QVERIFY(std::filesystem::file_size(book) > 1000);

  std::filesystem::create_directory(dir_->file("folder.xlsx"));
  dialogs.setNextFileName(Q(dir_->file("folder.xlsx")));
  QCOMPARE(ui::ExportToSpreadsheet(*window_), std::string());
  QCOMPARE(texts(), QStringList{Q(dir_->file("folder.xlsx") + ": Is a directory")});
}

QTEST_MAIN(ReportCommandsTest)
#include "report_commands_test.moc"
