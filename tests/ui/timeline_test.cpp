// The Timeline beside the list, on files of three exchanges with a known gap, overlap and
// left-out row, and a copy of one of them.

#include <QtTest>
#include <QtWidgets>

#include "testdata/bytes.h"
#include "testdata/exchanges.h"
#include "ui/frmVELM.h"
#include "ui/hour_histogram.h"
#include "ui/list_proxy.h"
#include "ui/timeline_dock.h"
#include "ui/timeline_model.h"
#include "ui/timeline_view.h"

using namespace vellmark;
using namespace vellmark::ui;

class TimelineTest : public QObject {
  Q_OBJECT
  std::unique_ptr<testdata::TempDir> dir_;
  std::unique_ptr<frmVELM> window_;
  TimelineModel& model() const { return *window_->timeline()->model(); }

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() {
    dir_ = std::make_unique<testdata::TempDir>();
    window_ = std::make_unique<frmVELM>();
    window_->dialogs().setScripted(true);
    std::vector<std::string> paths;
    for (const auto& file : testdata::ExchangeFiles()) paths.push_back(dir_->write(file.name, file.bytes));
    paths.push_back(dir_->write("BOMFILE06.AXE", testdata::ExchangeFiles()[5].bytes));   // row 6 again
    window_->offerFiles(paths);
    window_->findChild<QAction*>("menTimeline")->trigger();
    window_->resize(1000, 700);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->analyse();
  }
  void cleanup() { window_.reset(), dir_.reset(); }

  // A lane per exchange, a bar per file, the copy outlined as a duplicate, the gap and
  // the overlaps shaded. The exchange rules dialog refuses a rule without an exchange;
  // an accepted one redraws the lanes and is kept. A cleared list leaves no lanes.
  void lanesBarsShadesAndRules() {
    QCoreApplication::processEvents();  // the model looks again once the loop turns
    QCOMPARE(model().laneCount(), 3);
    QCOMPARE(model().laneLabel(1), QString("E10B  DEL1"));
    QCOMPARE(model().bars().size(), std::size_t{7});
    QCOMPARE(model().leftOutRows(), std::vector<std::size_t>{4});
    const auto* copy = model().barOfRow(7);
    QVERIFY(copy && copy->duplicate && copy->sameContent && copy->outline == TimelineModel::kDuplicateColour);
    QCOMPARE(model().barOfRow(0)->outline, TimelineModel::kOutlineColour);
    const auto& shades = model().shades();   // DEL1's gap; row 7 and the copy over row 6
    QCOMPARE(shades.size(), std::size_t{3});
    QVERIFY(shades[0].kind == TimelineModel::ShadeKind::Gap && shades[1].kind == TimelineModel::ShadeKind::Overlap);
    QCOMPARE(shades[0].to - shades[0].from, qint64{121 * 60});

    ExchangeRulesDialog dialog(window_->timeline()->settings());
    auto* e10b = dialog.findChild<QLineEdit*>("ruleE10B");
    e10b->setText("(?<seq>\\d+)");
    dialog.accept();
    QVERIFY(dialog.result() != QDialog::Accepted && dialog.refusal().contains("exchange"));
    e10b->setText("-(?<exchange>DEL)\\d-");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    window_->timeline()->setSettings(dialog.settings());
    QCOMPARE(model().laneCount(), 2);
    QCOMPARE(TimelineSettings::Load().rules.at("E10B"), std::string("-(?<exchange>DEL)\\d-"));
    window_->timeline()->setSettings({});
    QCOMPARE(TimelineSettings::Load().rules.size(), std::size_t{0});

    window_->dialogs().setNextAnswer(QMessageBox::Yes);  // the results were not saved
    window_->clearList();
    QCoreApplication::processEvents();
    QCOMPARE(model().laneCount(), 0);
  }

  // The exports are pictures of the view, on its background; a verify pass shades the
  // bars by hour; a click on a bar selects its row however the list is sorted.
  void exportsAndAClickAfterAVerifyPass() {
    TimelineView* view = window_->timeline()->view();
    const QString png = QString::fromStdString(dir_->file("timeline.png"));
    const QString svg = QString::fromStdString(dir_->file("timeline.svg"));
    window_->dialogs().setNextFileName(png);
    window_->timeline()->exportPicture("png");
    const QImage image(png);
    QVERIFY(image.size() == view->size() && image.pixelColor(2, 2) == view->palette().base().color());
    window_->dialogs().setNextFileName(svg);
    window_->timeline()->exportPicture("svg");
    QFile picture(svg);
    QVERIFY(picture.open(QIODevice::ReadOnly) && picture.readAll().contains("<svg"));
    QCOMPARE(window_->dialogs().messages.size(), 1);  // only the pass's closing message

    window_->verifyCounts();
    QCoreApplication::processEvents();
    const auto* late = model().barOfRow(6);  // 08:30 to 09:29: half in each hour
    QCOMPARE(late->hours.size(), std::size_t{2});
    QCOMPARE(late->hours[0].colour, TimelineModel::DensityColour(60.0 / 120));  // row 6's 08:00 hour holds 120
    const QPoint at(static_cast<int>(view->xOf((late->start + late->end) / 2)),
                    TimelineView::kAxisHeight + late->lane * TimelineView::kLaneHeight + TimelineView::kLaneHeight / 2);
    auto* list = window_->findChild<QTableView*>("ListView1");
    list->sortByColumn(5, Qt::DescendingOrder);  // the view's rows are not the list's
    QTest::mouseClick(view, Qt::LeftButton, {}, at);
    const QModelIndexList selected = list->selectionModel()->selectedRows();
    QVERIFY(selected.size() == 1 && window_->proxy()->mapToSource(selected.front()).row() == 6);
    QVERIFY(model().barOfRow(6)->selected && !model().barOfRow(5)->selected);
    QVERIFY(view->hoverText(at).startsWith("Row 7: " + QString::fromStdString(dir_->file("BOMFILE02.AXE"))));
    const auto& hours = window_->timeline()->histogram()->hourSlots();   // the row's calls per hour
    QVERIFY(hours.size() == 2 && hours[1].calls == 60);
  }
};

QTEST_MAIN(TimelineTest)
#include "timeline_test.moc"
