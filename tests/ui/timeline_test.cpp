// The Timeline beside the list, on files of three exchanges with a known gap, overlap
// and left-out row: its lanes, bars and colours, the hours a verify pass shades, a
// click selecting the row, the PNG and SVG exports, and the exchange rules dialog.

#include <QAbstractProxyModel>
#include <QAction>
#include <QImage>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <memory>

#include "testdata/bytes.h"
#include "testdata/exchanges.h"
#include "ui/frmVELM.h"
#include "ui/hour_histogram.h"
#include "ui/timeline_dock.h"
#include "ui/timeline_model.h"
#include "ui/timeline_view.h"

using namespace vellmark;
using namespace vellmark::ui;

class TimelineTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init();
  void cleanup() { window_.reset(), dir_.reset(); }

  void lanesBarsAndColoursFollowTheList();
  void verifyShadesTheHoursAndAClickSelectsTheRow();
  void exportsAreImagesOfTheViewsSize();
  void exchangeRulesRefuseABadRuleAndRedrawTheLanes();

 private:
  TimelineModel& model() const { return *window_->timeline()->model(); }
  std::unique_ptr<testdata::TempDir> dir_;
  std::unique_ptr<frmVELM> window_;
};

void TimelineTest::init() {
  dir_ = std::make_unique<testdata::TempDir>();
  window_ = std::make_unique<frmVELM>();
  window_->dialogs().setScripted(true);
  std::vector<std::string> paths;
  for (const auto& file : testdata::ExchangeFiles()) paths.push_back(dir_->write(file.name, file.bytes));
  // A copy of row 6 under another number: a duplicate with the same content.
  paths.push_back(dir_->write("BOMFILE06.AXE", testdata::ExchangeFiles()[5].bytes));
  window_->offerFiles(paths);
  window_->findChild<QAction*>("menTimeline")->trigger();
  window_->resize(1000, 700);
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  window_->analyse();
  QVERIFY(window_->timeline()->isVisible());
}

void TimelineTest::lanesBarsAndColoursFollowTheList() {
  QCoreApplication::processEvents();  // the model looks again once the loop turns
  QCOMPARE(model().laneCount(), 3);
  QCOMPARE(model().laneLabel(1), QString("E10B  DEL1"));
  QCOMPARE(model().bars().size(), std::size_t{7});
  QCOMPARE(model().leftOutRows(), std::vector<std::size_t>{4});
  const auto* copy = model().barOfRow(7);
  QVERIFY(copy && copy->duplicate && copy->sameContent);
  QCOMPARE(copy->outline, TimelineModel::kDuplicateColour);
  QCOMPARE(model().barOfRow(0)->outline, TimelineModel::kOutlineColour);
  QCOMPARE(model().barOfRow(0)->fill, TimelineModel::kBarColour);
  QCOMPARE(model().shades().size(), std::size_t{3});  // DEL1's gap; row 7 and the copy over row 6
  QCOMPARE(model().shades()[0].kind, TimelineModel::ShadeKind::Gap);
  QCOMPARE(model().shades()[0].colour, TimelineModel::kGapColour);
  QCOMPARE(model().shades()[0].to - model().shades()[0].from, qint64{121 * 60});
  QCOMPARE(model().shades()[1].colour, TimelineModel::kOverlapColour);

  window_->dialogs().setNextAnswer(QMessageBox::Yes);  // the results were not saved
  window_->clearList();
  QCoreApplication::processEvents();
  QCOMPARE(model().laneCount(), 0);
}

void TimelineTest::verifyShadesTheHoursAndAClickSelectsTheRow() {
  window_->verifyCounts();
  QCoreApplication::processEvents();
  const auto* late = model().barOfRow(6);  // 08:30 to 09:29: half in each hour
  QCOMPARE(late->hours.size(), std::size_t{2});
  QCOMPARE(late->hours[0].colour, TimelineModel::DensityColour(60.0 / 120));  // row 6's 08:00 hour holds 120
  TimelineView* view = window_->timeline()->view();
  const int x = static_cast<int>(view->xOf((late->start + late->end) / 2));
  const int y = TimelineView::kAxisHeight + late->lane * TimelineView::kLaneHeight + TimelineView::kLaneHeight / 2;
  auto* list = window_->findChild<QTableView*>("ListView1");
  list->sortByColumn(5, Qt::DescendingOrder);  // the view's rows are not the list's
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(x, y));
  QCOMPARE(list->selectionModel()->selectedRows().size(), 1);
  auto* proxy = qobject_cast<QAbstractProxyModel*>(list->model());
  QCOMPARE(proxy->mapToSource(list->selectionModel()->selectedRows().front()).row(), 6);
  QVERIFY(model().barOfRow(6)->selected);
  QVERIFY(!model().barOfRow(5)->selected);
  QVERIFY(view->hoverText(QPoint(x, y)).startsWith("Row 7: " + QString::fromStdString(dir_->file("BOMFILE02.AXE"))));
  QCOMPARE(window_->timeline()->histogram()->hourSlots().size(), std::size_t{2});
  QCOMPARE(window_->timeline()->histogram()->hourSlots()[1].calls, std::uint64_t{60});
}

void TimelineTest::exportsAreImagesOfTheViewsSize() {
  TimelineView* view = window_->timeline()->view();
  QVERIFY(view->width() > 200);
  const QString png = QString::fromStdString(dir_->file("timeline.png"));
  const QString svg = QString::fromStdString(dir_->file("timeline.svg"));
  window_->dialogs().setNextFileName(png);
  window_->timeline()->exportPicture("png");
  QImage image(png);
  QCOMPARE(image.size(), view->size());
  QCOMPARE(image.pixelColor(2, 2), view->palette().base().color());
  window_->dialogs().setNextFileName(svg);
  window_->timeline()->exportPicture("svg");
  const auto bytes = testdata::ReadWholeFile(svg.toStdString());
  QVERIFY(std::string(bytes.begin(), bytes.end()).find("<svg") != std::string::npos);
  QVERIFY(window_->dialogs().messages.size() == 1);  // only the pass's closing message
}

void TimelineTest::exchangeRulesRefuseABadRuleAndRedrawTheLanes() {
  ExchangeRulesDialog dialog(window_->timeline()->settings());
  auto* e10b = dialog.findChild<QLineEdit*>("ruleE10B");
  e10b->setText("(?<seq>\\d+)");
  dialog.accept();
  QVERIFY(dialog.result() != QDialog::Accepted);
  QVERIFY(dialog.refusal().contains("exchange"));
  e10b->setText("-(?<exchange>DEL)\\d-");
  dialog.accept();
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
  window_->timeline()->setSettings(dialog.settings());
  QCOMPARE(model().laneCount(), 2);
  QCOMPARE(TimelineSettings::Load().rules.at("E10B"), std::string("-(?<exchange>DEL)\\d-"));
  window_->timeline()->setSettings({});
  QCOMPARE(TimelineSettings::Load().rules.size(), std::size_t{0});
}

QTEST_MAIN(TimelineTest)
#include "timeline_test.moc"
