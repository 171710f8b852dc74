// The Add Files dialog, opened from the main window as a user would: its rows, the
// selection going to the list, refused paths, Cancel, a drive that cannot be entered.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>

#include "fake_readers.h"
#include "testdata/bytes.h"
#include "ui/analyser_list_model.h"
#include "ui/frmOpen.h"
#include "ui/frmVELM.h"

using namespace vellmark;
using vellmark::ui::frmOpen;
using vellmark::ui::frmVELM;
using vellmark::ui::test::Gate;

namespace {

const QString kRefused = "The Following files Already Exists ";

struct ReleaseOnExit {
  ~ReleaseOnExit() { Gate().release = true; }
};

}  // namespace

class FrmOpenTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();

  void rowTextsSizesAndPaths();
  void rowsAreTheFolderRegularFilesByNameIgnoringCase();
  void addRefusesAListedFileAndAddsTheRestInRowOrder();
  void cancelKeepsFolderRowsAndSelection();
  void addWithNothingSelectedClearsTheTotals();
  void addDuringAPassDoesNothing();
  void rowsAreRefilledOnlyWhenTheFolderChanges();
  void aDriveThatCannotBeEnteredSaysWhy();

 private:
  frmOpen* openDialog();
  void select(const QList<int>& rows);
  QString row(int index, int column) const;
  QString listCell(int row, int column) const;
  QString panel(int index) const;

  std::unique_ptr<testdata::TempDir> dir_;
  std::unique_ptr<frmVELM> window_;
  frmOpen* dialog_ = nullptr;
  QTreeWidget* rows_ = nullptr;
};

void FrmOpenTest::init() {
  ui::test::ResetGate();
  dir_ = std::make_unique<testdata::TempDir>();
  window_ = std::make_unique<frmVELM>(RealFileSystem(), ui::test::FakeReaders());
  window_->dialogs().setScripted(true);
  window_->setExitNow([] {});
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void FrmOpenTest::cleanup() {
  Gate().release = true;
  QVERIFY(!QApplication::overrideCursor());
  window_.reset();
  dir_.reset();
  dialog_ = nullptr;
  rows_ = nullptr;
}

frmOpen* FrmOpenTest::openDialog() {
  window_->findChild<QAction*>("menAdd")->trigger();
  dialog_ = window_->addFilesDialog();
  if (!dialog_) qFatal("no Add Files dialog");
  rows_ = dialog_->findChild<QTreeWidget*>("ListView1");
  return dialog_;
}

void FrmOpenTest::select(const QList<int>& rows) {
  rows_->clearSelection();
  for (int r : rows) rows_->topLevelItem(r)->setSelected(true);
}

QString FrmOpenTest::row(int index, int column) const { return rows_->topLevelItem(index)->text(column); }

QString FrmOpenTest::listCell(int row, int column) const {
  return window_->model()->index(row, column).data().toString();
}

QString FrmOpenTest::panel(int index) const {
  return window_->findChild<QLabel*>(QStringLiteral("sb1Panel%1").arg(index))->text();
}

void FrmOpenTest::rowTextsSizesAndPaths() {
  QCOMPARE(ui::RowNumberText(1), QString("      1"));
  QCOMPARE(ui::RowNumberText(12), QString("     12"));
  QCOMPARE(ui::RowNumberText(1234567), QString("1234567"));
  QCOMPARE(ui::RowNumberText(12345678), QString("2345678"));

  // Length / 1024 + 0.5, halves to the even neighbour.
  const std::pair<std::uint64_t, const char*> sizes[] = {
      {0, "0 KB"},    {1, "1 KB"},    {500, "1 KB"},  {1023, "1 KB"},
      {1024, "2 KB"}, {1025, "2 KB"}, {2048, "2 KB"}, {3072, "4 KB"},
      {5120, "6 KB"}, {UINT64_MAX, "18014398509481984 KB"}};
  for (const auto& [bytes, text] : sizes) QCOMPARE(ui::OpenDialogSizeText(bytes), QString(text));

  QCOMPARE(ui::FullPath("/", "X.DAT"), QString("/X.DAT"));
  QCOMPARE(ui::FullPath("/data/cdr", "X.DAT"), QString("/data/cdr/X.DAT"));
}

void FrmOpenTest::rowsAreTheFolderRegularFilesByNameIgnoringCase() {
  const std::string folder = dir_->path();
  dir_->write("b.dat", testdata::Bytes(1024, 0x11));
  dir_->write("A.dat", testdata::Bytes(3072, 0x22));
  dir_->write(".hidden", testdata::Bytes{});
  dir_->write("C.DAT", testdata::Bytes(1, 0x33));
  dir_->write("c.dat", testdata::Bytes(500, 0x33));
  std::filesystem::create_directory(dir_->file("empty"));
  std::filesystem::create_symlink(dir_->file("gone"), dir_->file("dangling"));
  std::filesystem::create_symlink(dir_->file("b.dat"), dir_->file("link.dat"));

  openDialog();
  QVERIFY(dialog_->isVisible());
  QCOMPARE(dialog_->windowTitle(), QString("Add Files"));
  dialog_->setFolder(QString::fromStdString(folder));
  QCOMPARE(dialog_->folder(), QString::fromStdString(folder));

  // Folders and a link to nothing are no rows; a link to a file is one.
  const QString f = QString::fromStdString(folder) + "/";
  const QStringList names{".hidden", "A.dat", "b.dat", "C.DAT", "c.dat", "link.dat"};
  const QStringList sizes{"0 KB", "4 KB", "2 KB", "1 KB", "1 KB", "2 KB"};
  QCOMPARE(rows_->topLevelItemCount(), names.size());
  QCOMPARE(rows_->headerItem()->text(0), QString("No"));
  QCOMPARE(rows_->headerItem()->text(1), QString("File Name"));
  QCOMPARE(rows_->headerItem()->text(2), QString("Size"));
  for (int r = 0; r < names.size(); ++r) {
    QCOMPARE(row(r, 0), ui::RowNumberText(r + 1));
    QCOMPARE(row(r, 1), f + names[r]);
    QCOMPARE(row(r, 2), sizes[r]);
  }
  QCOMPARE(rows_->selectionMode(), QAbstractItemView::ExtendedSelection);

  // A folder without files: no rows.
  dialog_->setFolder(f + "empty");
  QCOMPARE(rows_->topLevelItemCount(), 0);
}

void FrmOpenTest::addRefusesAListedFileAndAddsTheRestInRowOrder() {
  const QString a = QString::fromStdString(dir_->write("a.dat", ui::test::OcbFile()));
  const QString b = QString::fromStdString(dir_->write("b.dat", ui::test::CdotFile()));
  const QString c = QString::fromStdString(dir_->write("c.dat", ui::test::CdotFile()));
  const QString d = QString::fromStdString(dir_->write("d.txt", "no family of switch writes this"));
  // A path that differs only in case is another file.
  const QString upper = QString::fromStdString(dir_->write("B.DAT", ui::test::OcbFile()));
  window_->session().OfferFiles({b.toStdString()});
  window_->setPanelText(2, "9");

  openDialog();
  dialog_->setFolder(QString::fromStdString(dir_->path()));
  // Names equal but for case: capitals first.
  QCOMPARE(row(1, 1), upper);
  QCOMPARE(row(2, 1), b);
  select({0, 1, 2, 3, 4});
  QTest::mouseClick(dialog_->findChild<QPushButton*>("Command1"), Qt::LeftButton);

  QVERIFY(!dialog_->isVisible());
  QCOMPARE(window_->model()->rowCount(), 5);
  const QStringList order{b, a, upper, c, d};
  const QStringList families{"CDOT", "OCB", "OCB", "CDOT", "Unknown"};
  for (int r = 0; r < order.size(); ++r) {
    QCOMPARE(listCell(r, 0), order[r]);
    QCOMPARE(listCell(r, 1), QString::number(r + 1));
    QCOMPARE(listCell(r, 2), families[r]);
  }
  const auto& messages = window_->dialogs().messages;
  QCOMPARE(messages.size(), 1);
  QCOMPARE(messages[0].text, kRefused + "\n\n" + b);
  QCOMPARE(messages[0].icon, QMessageBox::Information);
  QCOMPARE(messages[0].title, QString("Vellmark"));
  QCOMPARE(panel(2), QString());
}

void FrmOpenTest::cancelKeepsFolderRowsAndSelection() {
  dir_->write("a.dat", ui::test::CdotFile());
  dir_->write("b.dat", ui::test::CdotFile());
  dir_->write("c.dat", ui::test::CdotFile());
  openDialog();
  dialog_->setFolder(QString::fromStdString(dir_->path()));
  select({1, 2});
  QTest::mouseClick(dialog_->findChild<QPushButton*>("Command2"), Qt::LeftButton);
  QVERIFY(!dialog_->isVisible());
  QCOMPARE(window_->model()->rowCount(), 0);
  QVERIFY(window_->dialogs().messages.isEmpty());

  // Reopened: the same dialog, folder, rows and selection.
  frmOpen* first = dialog_;
  openDialog();
  QCOMPARE(dialog_, first);
  QVERIFY(dialog_->isVisible());
  QCOMPARE(dialog_->folder(), QString::fromStdString(dir_->path()));
  QCOMPARE(rows_->topLevelItemCount(), 3);
  QVERIFY(!rows_->topLevelItem(0)->isSelected());
  QVERIFY(rows_->topLevelItem(1)->isSelected());
  QVERIFY(rows_->topLevelItem(2)->isSelected());
  QTest::mouseClick(dialog_->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QCOMPARE(window_->model()->rowCount(), 2);
  QCOMPARE(listCell(0, 0), QString::fromStdString(dir_->file("b.dat")));
}

void FrmOpenTest::addWithNothingSelectedClearsTheTotals() {
  dir_->write("a.dat", ui::test::CdotFile());
  openDialog();
  dialog_->setFolder(QString::fromStdString(dir_->path()));
  for (int p = 2; p <= 5; ++p) window_->setPanelText(p, "x");
  QCOMPARE(panel(5), QString("x"));
  QTest::mouseClick(dialog_->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QVERIFY(!dialog_->isVisible());
  QCOMPARE(window_->model()->rowCount(), 0);
  QVERIFY(window_->dialogs().messages.isEmpty());
  for (int p = 2; p <= 5; ++p) QCOMPARE(panel(p), QString());
}

void FrmOpenTest::addDuringAPassDoesNothing() {
  const std::string ocb = dir_->write("a.dat", ui::test::OcbFile());
  dir_->write("b.dat", ui::test::CdotFile());
  openDialog();
  dialog_->setFolder(QString::fromStdString(dir_->path()));
  select({1});
  window_->session().OfferFiles({ocb});

  // The OCB fake reader waits at the gate: act while it reads.
  bool acted = false;
  QTimer::singleShot(0, window_.get(), [&] {
    ReleaseOnExit release;
    QVERIFY(QTest::qWaitFor([] { return Gate().started > 0; }, 5000));
    QVERIFY(window_->session().analysing());
    dialog_->addSelected();
    QVERIFY(dialog_->isVisible());
    QCOMPARE(window_->model()->rowCount(), 1);
    acted = true;
  });
  window_->findChild<QAction*>("menAnalyse")->trigger();
  QVERIFY(acted);
  QCOMPARE(window_->model()->rowCount(), 1);
  QVERIFY(rows_->topLevelItem(1)->isSelected());
}

void FrmOpenTest::rowsAreRefilledOnlyWhenTheFolderChanges() {
  dir_->write("a.dat", ui::test::CdotFile());
  std::filesystem::create_directory(dir_->file("other"));
  openDialog();
  dialog_->setFolder(QString::fromStdString(dir_->path()));
  QCOMPARE(rows_->topLevelItemCount(), 1);
  dialog_->findChild<QPushButton*>("Command2")->click();

  // Made while hidden: not shown until the folder is chosen again.
  dir_->write("b.dat", ui::test::CdotFile());
  openDialog();
  dialog_->setFolder(QString::fromStdString(dir_->path()));
  QCOMPARE(rows_->topLevelItemCount(), 1);
  dialog_->setFolder(QString::fromStdString(dir_->file("other")));
  dialog_->setFolder(QString::fromStdString(dir_->path()));
  QCOMPARE(rows_->topLevelItemCount(), 2);

  // Choosing a folder in the tree moves the rows too.
  auto* tree = dialog_->findChild<QTreeView*>("Dir1");
  auto* model = tree->model();
  QModelIndex other;
  QVERIFY(QTest::qWaitFor([&] {
    const QModelIndex here = tree->currentIndex();
    for (int r = 0; r < model->rowCount(here); ++r)
      if (model->index(r, 0, here).data().toString() == "other") other = model->index(r, 0, here);
    return other.isValid();
  }, 5000));
  tree->setCurrentIndex(other);
  QCOMPARE(dialog_->folder(), QString::fromStdString(dir_->file("other")));
  QCOMPARE(rows_->topLevelItemCount(), 0);
}

void FrmOpenTest::aDriveThatCannotBeEnteredSaysWhy() {
  dir_->write("a.dat", ui::test::CdotFile());
  openDialog();
  QVERIFY(dialog_->drives().contains("/"));
  dialog_->setFolder(QString::fromStdString(dir_->path()));
  auto* drives = dialog_->findChild<QComboBox*>("Drive1");
  const QString drive = drives->currentData().toString();
  QVERIFY(dialog_->folder().startsWith(drive));

  dialog_->chooseDrive("/no/such/drive");
  const auto& messages = window_->dialogs().messages;
  QCOMPARE(messages.size(), 1);
  QCOMPARE(messages[0].icon, QMessageBox::Critical);
  QCOMPARE(messages[0].text, QString::fromLocal8Bit(std::make_error_code(std::errc::no_such_file_or_directory).message()));
  QCOMPARE(dialog_->folder(), QString::fromStdString(dir_->path()));
  QCOMPARE(rows_->topLevelItemCount(), 1);
  QCOMPARE(drives->currentData().toString(), drive);

  // A drive that can be entered: back to the last folder on it.
  dialog_->chooseDrive(drive);
  QCOMPARE(dialog_->folder(), QString::fromStdString(dir_->path()));
  QCOMPARE(messages.size(), 1);
}

QTEST_MAIN(FrmOpenTest)
#include "frmOpen_test.moc"
