// The list model over the core list, and the dialog filters.

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QSignalSpy>
#include <QTest>

#include "analysis/analysis_session.h"
#include "support/memory_file_system.h"
#include "fake_readers.h"
#include "testdata/recording_observer.h"
#include "ui/analyser_list_model.h"
#include "ui/dialog_seam.h"

using namespace vellmark;
using vellmark::ui::AnalyserListModel;

class AnalyserListModelTest : public QObject {
  Q_OBJECT
 private slots:
  void followsEveryChangeOfTheList();
  void showsTextsAlignmentsAndIcons();
  void duplicatesAreRedWithABoldRowText();
  void failedEntryShowsItsReasonAsTooltip();
  void barFiltersBecomeQtNameFilters();
};

void AnalyserListModelTest::followsEveryChangeOfTheList() {
  testdata::RecordingObserver observer;
  MemoryFileSystem files;
  files.put("/d/a.dat", ui::test::CdotFile());
  files.put("/d/b.dat", ui::test::CdotFile());
  files.put("/d/c.dat", ui::test::AxeFile());
  files.put("/d/d.dat", ui::test::CdotFile());
  AnalysisSession session(files, ui::test::FakeReaders());
  AnalyserListModel model(session.list());
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);

  session.OfferFiles({"/d/a.dat", "/d/b.dat", "/d/c.dat", "/d/d.dat"});
  QCOMPARE(model.rowCount(), 4);
  QCOMPARE(model.index(3, AnalyserListModel::No).data().toString(), QString("4"));

  session.RunAnalysis(false, observer);
  QVERIFY(!changes.isEmpty());
  QCOMPARE(model.index(0, AnalyserListModel::Records).data().toString(),
           QString::number(ui::test::CdotFile().size()));
  QCOMPARE(model.index(2, AnalyserListModel::StartTime).data().toString(), QString("Invalid  File"));

  // Removing rows 2 and 4 renumbers the rest in their old order.
  session.list().setSelected(1, true);
  session.list().setSelected(3, true);
  session.RemoveSelectedEntries();
  QCOMPARE(model.rowCount(), 2);
  QCOMPARE(model.index(0, AnalyserListModel::BinaryFile).data().toString(), QString("/d/a.dat"));
  QCOMPARE(model.index(1, AnalyserListModel::BinaryFile).data().toString(), QString("/d/c.dat"));
  QCOMPARE(model.index(1, AnalyserListModel::No).data().toString(), QString("2"));

  session.ClearEntries();
  QCOMPARE(model.rowCount(), 0);
  session.AddFile("/d/a.dat");
  QCOMPARE(model.rowCount(), 1);
}

void AnalyserListModelTest::showsTextsAlignmentsAndIcons() {
  AnalyserList list;
  AnalyserListModel model(list);
  AnalyserEntry ewsd;
  ewsd.path = "/d/ewsd.ama";
  ewsd.number = "1";
  ewsd.family = "EWSD";
  ewsd.icon = 6;
  ewsd.start = ewsd.end = "To be  Analysed";
  ewsd.sizeBytes = 13 * 1024;
  list.append(ewsd);
  AnalyserEntry cdot42 = ewsd;
  cdot42.family = "CDOT42";
  cdot42.icon = 0;  // a report row outside the table
  list.append(cdot42);

  const QStringList headings = {"Binary File", "No", "Switch", "Start Time", "End Time", "Records", "Size"};
  const Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter, Qt::AlignHCenter,
                                      Qt::AlignHCenter, Qt::AlignRight, Qt::AlignRight};
  const int twips[] = {5292, 882, 2030, 3176, 3176, 2470, 2540};
  QCOMPARE(model.columnCount(), 7);
  for (int c = 0; c < 7; ++c) {
    QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), headings[c]);
    auto alignment = model.index(0, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
    QCOMPARE(alignment & Qt::AlignHorizontal_Mask, horizontal[c]);
    QCOMPARE(AnalyserListModel::columnWidthTwips(c), twips[c]);
  }
  QCOMPARE(model.index(0, 0).data().toString(), QString("/d/ewsd.ama"));
  QCOMPARE(model.index(0, 3).data().toString(), QString("To be  Analysed"));
  QCOMPARE(model.index(0, 6).data().toString(), QString("13 KB"));

  QVERIFY(!model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
  QVERIFY(!model.index(0, 1).data(Qt::DecorationRole).isValid());
  QVERIFY(!model.index(1, 0).data(Qt::DecorationRole).isValid());
  // Every family of the table has a picture of its own.
  QList<QImage> pictures;
  for (int family = 1; family <= 8; ++family) {
    AnalyserEntry e = ewsd;
    e.icon = family;
    list.update(0, [&](AnalyserEntry& row) { row = e; });
    QImage image = model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
    QCOMPARE(image.size(), QSize(16, 16));
    QVERIFY(!pictures.contains(image));
    pictures.append(image);
  }
}

void AnalyserListModelTest::duplicatesAreRedWithABoldRowText() {
  AnalyserList list;
  AnalyserListModel model(list);
  AnalyserEntry entry;
  entry.path = "/d/a";
  list.append(entry);
  entry.path = "/d/b";
  list.append(entry);
  QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
  list.update(1, [](AnalyserEntry& e) { e.duplicateOf = 1; });
  QCOMPARE(changes.size(), 1);
  QCOMPARE(changes[0][0].toModelIndex(), model.index(1, 0));
  QCOMPARE(changes[0][1].toModelIndex(), model.index(1, 6));

  for (int c = 0; c < 7; ++c) {
    QCOMPARE(model.index(1, c).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    QVERIFY(!model.index(0, c).data(Qt::ForegroundRole).isValid());
    QCOMPARE(model.index(1, c).data(Qt::FontRole).value<QFont>().bold(), c == 0);
    QVERIFY(!model.index(0, c).data(Qt::FontRole).value<QFont>().bold());
  }
}

void AnalyserListModelTest::failedEntryShowsItsReasonAsTooltip() {
  AnalyserList list;
  AnalyserListModel model(list);
  AnalyserEntry entry;
  entry.path = "/d/a";
  list.append(entry);
  QVERIFY(!model.index(0, 0).data(Qt::ToolTipRole).isValid());
  list.update(0, [](AnalyserEntry& e) {
    e.failure = ReadFailure{FailureKind::Read, "/d/a: Input/output error"};
  });
  for (int c = 0; c < 7; ++c)
    QCOMPARE(model.index(0, c).data(Qt::ToolTipRole).toString(), QString("/d/a: Input/output error"));
}

void AnalyserListModelTest::barFiltersBecomeQtNameFilters() {
  QCOMPARE(ui::QtNameFilters("Report files (*.vmr)|*.vmr| All Files (*.*)|*.*"),
           QString("Report files (*.vmr);;All Files (*)"));
  QCOMPARE(ui::QtNameFilters("Excel workbook (*.xlsx)"), QString("Excel workbook (*.xlsx)"));
  QCOMPARE(ui::QtNameFilters("Data|*.dat;*.ama"), QString("Data (*.dat *.ama)"));
}

QTEST_MAIN(AnalyserListModelTest)
#include "analyser_list_model_test.moc"
