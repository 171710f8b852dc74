// Add Files shows an archive as a folder: its regular members can be chosen one by one,
// and choosing the archive adds them all, members already listed refused by name.
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "fake_readers.h"
#include "testdata/archives.h"
#include "ui/analyser_list_model.h"
#include "ui/frmOpen.h"
#include "ui/frmVELM.h"

using namespace vellmark;

class FrmOpenArchiveTest : public QObject {
  Q_OBJECT
 private slots:
  void membersAreChosenLikeFilesOfAFolder() {
    testdata::TempDir dir;
    const QString zip = QString::fromStdString(dir.write(
        "day.zip", testdata::BuildZip({{"in/", {}, testdata::Member::Kind::Folder},
                                       {"in/A.DAT", ui::test::CdotFile()},
                                       {"in/B.DAT", ui::test::OcbFile()}})));
    ui::frmVELM window(RealFileSystem(), ui::test::FakeReaders());
    window.dialogs().setScripted(true);
    window.findChild<QAction*>("menAdd")->trigger();
    ui::frmOpen* dialog = window.addFilesDialog();
    dialog->setFolder(QString::fromStdString(dir.path()));
    auto* rows = dialog->findChild<QTreeWidget*>("ListView1");
    QTreeWidgetItem* archive = rows->topLevelItem(0);
    rows->expandItem(archive);
    QCOMPARE(archive->childCount(), 2);
    QCOMPARE(archive->child(1)->text(1), zip + "#in/B.DAT");
    QCOMPARE(archive->child(1)->text(2), ui::OpenDialogSizeText(ui::test::OcbFile().size()));

    archive->child(1)->setSelected(true);
    QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    rows->clearSelection();
    archive->setSelected(true);
    QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);

    QCOMPARE(window.model()->rowCount(), 2);
    QCOMPARE(window.model()->index(0, 0).data().toString(), zip + "#in/B.DAT");
    QCOMPARE(window.model()->index(0, 2).data().toString(), QString("OCB"));
    QCOMPARE(window.model()->index(1, 0).data().toString(), zip + "#in/A.DAT");
    QCOMPARE(window.dialogs().messages.size(), 1);
    QCOMPARE(window.dialogs().messages[0].text, "The Following files Already Exists \n\n" + zip + "#in/B.DAT");
  }
};

QTEST_MAIN(FrmOpenArchiveTest)
#include "frmOpen_archive_test.moc"
