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

  std::unique_ptr<testdata::TempDir> m_dir;
  std::unique_ptr<frmVELM> m_window;
  frmOpen* m_dialog = nullptr;
  QTreeWidget* m_rows = nullptr;
};

void FrmOpenTest::init() {
  ui::test::ResetGate();
  m_dir = std::make_unique<testdata::TempDir>();
  m_window = std::make_unique<frmVELM>(RealFileSystem(), ui::test::FakeReaders());
  m_window->dialogs().setScripted(true);
  m_window->setExitNow([] {});
  m_window->show();
  QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void FrmOpenTest::cleanup() {
  Gate().release = true;
  QVERIFY(!QApplication::overrideCursor());
  m_window.reset();
  m_dir.reset();
  m_dialog = nullptr;
  m_rows = nullptr;
}

frmOpen* FrmOpenTest::openDialog() {
  m_window->findChild<QAction*>("menAdd")->trigger();
  m_dialog = m_window->addFilesDialog();
  if (!m_dialog) qFatal("no Add Files dialog");
  m_rows = m_dialog->findChild<QTreeWidget*>("ListView1");
  return m_dialog;
}

void FrmOpenTest::select(const QList<int>& rows) {
  m_rows->clearSelection();
  for (int r : rows) m_rows->topLevelItem(r)->setSelected(true);
}

QString FrmOpenTest::row(int index, int column) const { return m_rows->topLevelItem(index)->text(column); }

QString FrmOpenTest::listCell(int row, int column) const {
  return m_window->model()->index(row, column).data().toString();
}

QString FrmOpenTest::panel(int index) const {
  return m_window->findChild<QLabel*>(QStringLiteral("sb1Panel%1").arg(index))->text();
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
  const std::string folder = m_dir->path();
  m_dir->write("b.dat", testdata::Bytes(1024, 0x11));
  m_dir->write("A.dat", testdata::Bytes(3072, 0x22));
  m_dir->write(".hidden", testdata::Bytes{});
  m_dir->write("C.DAT", testdata::Bytes(1, 0x33));
  m_dir->write("c.dat", testdata::Bytes(500, 0x33));
  std::filesystem::create_directory(m_dir->file("empty"));
  std::filesystem::create_symlink(m_dir->file("gone"), m_dir->file("dangling"));
  std::filesystem::create_symlink(m_dir->file("b.dat"), m_dir->file("link.dat"));

  openDialog();
  QVERIFY(m_dialog->isVisible());
  QCOMPARE(m_dialog->windowTitle(), QString("Add Files"));
  m_dialog->setFolder(QString::fromStdString(folder));
  QCOMPARE(m_dialog->folder(), QString::fromStdString(folder));

  // Folders and a link to nothing are no rows; a link to a file is one.
  const QString f = QString::fromStdString(folder) + "/";
  const QStringList names{".hidden", "A.dat", "b.dat", "C.DAT", "c.dat", "link.dat"};
  const QStringList sizes{"0 KB", "4 KB", "2 KB", "1 KB", "1 KB", "2 KB"};
  QCOMPARE(m_rows->topLevelItemCount(), names.size());
  QCOMPARE(m_rows->headerItem()->text(0), QString("No"));
  QCOMPARE(m_rows->headerItem()->text(1), QString("File Name"));
  QCOMPARE(m_rows->headerItem()->text(2), QString("Size"));
  for (int r = 0; r < names.size(); ++r) {
    QCOMPARE(row(r, 0), ui::RowNumberText(r + 1));
    QCOMPARE(row(r, 1), f + names[r]);
    QCOMPARE(row(r, 2), sizes[r]);
  }
  QCOMPARE(m_rows->selectionMode(), QAbstractItemView::ExtendedSelection);

  // A folder without files: no rows.
  m_dialog->setFolder(f + "empty");
  QCOMPARE(m_rows->topLevelItemCount(), 0);
}

void FrmOpenTest::addRefusesAListedFileAndAddsTheRestInRowOrder() {
  const QString a = QString::fromStdString(m_dir->write("a.dat", ui::test::OcbFile()));
  const QString b = QString::fromStdString(m_dir->write("b.dat", ui::test::CdotFile()));
  const QString c = QString::fromStdString(m_dir->write("c.dat", ui::test::CdotFile()));
  const QString d = QString::fromStdString(m_dir->write("d.txt", "no family of switch writes this"));
  // A path that differs only in case is another file.
  const QString upper = QString::fromStdString(m_dir->write("B.DAT", ui::test::OcbFile()));
  m_window->session().OfferFiles({b.toStdString()});
  m_window->setPanelText(2, "9");

  openDialog();
  m_dialog->setFolder(QString::fromStdString(m_dir->path()));
  // Names equal but for case: capitals first.
  QCOMPARE(row(1, 1), upper);
  QCOMPARE(row(2, 1), b);
  select({0, 1, 2, 3, 4});
  QTest::mouseClick(m_dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);

  QVERIFY(!m_dialog->isVisible());
  QCOMPARE(m_window->model()->rowCount(), 5);
  const QStringList order{b, a, upper, c, d};
  const QStringList families{"CDOT", "OCB", "OCB", "CDOT", "Unknown"};
  for (int r = 0; r < order.size(); ++r) {
    QCOMPARE(listCell(r, 0), order[r]);
    QCOMPARE(listCell(r, 1), QString::number(r + 1));
    QCOMPARE(listCell(r, 2), families[r]);
  }
  const auto& messages = m_window->dialogs().messages;
  QCOMPARE(messages.size(), 1);
  QCOMPARE(messages[0].text, kRefused + "\n\n" + b);
  QCOMPARE(messages[0].icon, QMessageBox::Information);
  QCOMPARE(messages[0].title, QString("Vellmark"));
  QCOMPARE(panel(2), QString());
}

void FrmOpenTest::cancelKeepsFolderRowsAndSelection() {
  m_dir->write("a.dat", ui::test::CdotFile());
  m_dir->write("b.dat", ui::test::CdotFile());
  m_dir->write("c.dat", ui::test::CdotFile());
  openDialog();
  m_dialog->setFolder(QString::fromStdString(m_dir->path()));
  select({1, 2});
  QTest::mouseClick(m_dialog->findChild<QPushButton*>("Command2"), Qt::LeftButton);
  QVERIFY(!m_dialog->isVisible());
  QCOMPARE(m_window->model()->rowCount(), 0);
  QVERIFY(m_window->dialogs().messages.isEmpty());

  // Reopened: the same dialog, folder, rows and selection.
  frmOpen* first = m_dialog;
  openDialog();
  QCOMPARE(m_dialog, first);
  QVERIFY(m_dialog->isVisible());
  QCOMPARE(m_dialog->folder(), QString::fromStdString(m_dir->path()));
  QCOMPARE(m_rows->topLevelItemCount(), 3);
  QVERIFY(!m_rows->topLevelItem(0)->isSelected());
  QVERIFY(m_rows->topLevelItem(1)->isSelected());
  QVERIFY(m_rows->topLevelItem(2)->isSelected());
  QTest::mouseClick(m_dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QCOMPARE(m_window->model()->rowCount(), 2);
  QCOMPARE(listCell(0, 0), QString::fromStdString(m_dir->file("b.dat")));
}

void FrmOpenTest::addWithNothingSelectedClearsTheTotals() {
  m_dir->write("a.dat", ui::test::CdotFile());
  openDialog();
  m_dialog->setFolder(QString::fromStdString(m_dir->path()));
  for (int p = 2; p <= 5; ++p) m_window->setPanelText(p, "x");
  QCOMPARE(panel(5), QString("x"));
  QTest::mouseClick(m_dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QVERIFY(!m_dialog->isVisible());
  QCOMPARE(m_window->model()->rowCount(), 0);
  QVERIFY(m_window->dialogs().messages.isEmpty());
  for (int p = 2; p <= 5; ++p) QCOMPARE(panel(p), QString());
}

void FrmOpenTest::addDuringAPassDoesNothing() {
  const std::string ocb = m_dir->write("a.dat", ui::test::OcbFile());
  m_dir->write("b.dat", ui::test::CdotFile());
  openDialog();
  m_dialog->setFolder(QString::fromStdString(m_dir->path()));
  select({1});
  m_window->session().OfferFiles({ocb});

  // The OCB fake reader waits at the gate: act while it reads.
  bool acted = false;
  QTimer::singleShot(0, m_window.get(), [&] {
    ReleaseOnExit release;
    QVERIFY(QTest::qWaitFor([] { return Gate().started > 0; }, 5000));
    QVERIFY(m_window->session().analysing());
    m_dialog->addSelected();
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(m_window->model()->rowCount(), 1);
    acted = true;
  });
  m_window->findChild<QAction*>("menAnalyse")->trigger();
  QVERIFY(acted);
  QCOMPARE(m_window->model()->rowCount(), 1);
  QVERIFY(m_rows->topLevelItem(1)->isSelected());
}

void FrmOpenTest::rowsAreRefilledOnlyWhenTheFolderChanges() {
  m_dir->write("a.dat", ui::test::CdotFile());
  std::filesystem::create_directory(m_dir->file("other"));
  openDialog();
  m_dialog->setFolder(QString::fromStdString(m_dir->path()));
  QCOMPARE(m_rows->topLevelItemCount(), 1);
  m_dialog->findChild<QPushButton*>("Command2")->click();

  // Made while hidden: not shown until the folder is chosen again.
  m_dir->write("b.dat", ui::test::CdotFile());
  openDialog();
  m_dialog->setFolder(QString::fromStdString(m_dir->path()));
  QCOMPARE(m_rows->topLevelItemCount(), 1);
  m_dialog->setFolder(QString::fromStdString(m_dir->file("other")));
  m_dialog->setFolder(QString::fromStdString(m_dir->path()));
  QCOMPARE(m_rows->topLevelItemCount(), 2);

  // Choosing a folder in the tree moves the rows too.
  auto* tree = m_dialog->findChild<QTreeView*>("Dir1");
  auto* model = tree->model();
  QModelIndex other;
  QVERIFY(QTest::qWaitFor([&] {
    const QModelIndex here = tree->currentIndex();
    for (int r = 0; r < model->rowCount(here); ++r)
      if (model->index(r, 0, here).data().toString() == "other") other = model->index(r, 0, here);
    return other.isValid();
  }, 5000));
  tree->setCurrentIndex(other);
  QCOMPARE(m_dialog->folder(), QString::fromStdString(m_dir->file("other")));
  QCOMPARE(m_rows->topLevelItemCount(), 0);
}

void FrmOpenTest::aDriveThatCannotBeEnteredSaysWhy() {
  m_dir->write("a.dat", ui::test::CdotFile());
  openDialog();
  QVERIFY(m_dialog->drives().contains("/"));
  m_dialog->setFolder(QString::fromStdString(m_dir->path()));
  auto* drives = m_dialog->findChild<QComboBox*>("Drive1");
  const QString drive = drives->currentData().toString();
  QVERIFY(m_dialog->folder().startsWith(drive));

  m_dialog->chooseDrive("/no/such/drive");
  const auto& messages = m_window->dialogs().messages;
  QCOMPARE(messages.size(), 1);
  QCOMPARE(messages[0].icon, QMessageBox::Critical);
  QCOMPARE(messages[0].text, QString::fromLocal8Bit(std::make_error_code(std::errc::no_such_file_or_directory).message()));
  QCOMPARE(m_dialog->folder(), QString::fromStdString(m_dir->path()));
  QCOMPARE(m_rows->topLevelItemCount(), 1);
  QCOMPARE(drives->currentData().toString(), drive);

  // A drive that can be entered: back to the last folder on it.
  m_dialog->chooseDrive(drive);
  QCOMPARE(m_dialog->folder(), QString::fromStdString(m_dir->path()));
  QCOMPARE(messages.size(), 1);
}

QTEST_MAIN(FrmOpenTest)
#include "frmOpen_test.moc"
