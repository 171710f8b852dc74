#include "ui/details_view.h"

#include <QHeaderView>
#include <QSplitter>
#include <QTableWidget>

#include "core/analyser_list.h"
#include "ui/hour_histogram.h"

namespace vellmark::ui {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

QString Rows(const std::vector<std::size_t>& numbers) {
  if (numbers.empty()) return QStringLiteral("none");
  constexpr std::size_t kShown = 20;
  QStringList parts;
  for (std::size_t i = 0; i < numbers.size() && i < kShown; ++i) parts << QStringLiteral("No. %1").arg(numbers[i]);
  QString text = parts.join(", ");
  if (numbers.size() > kShown) text += QStringLiteral(" and %1 more").arg(numbers.size() - kShown);
  return text;
}

QString AtOffset(const std::optional<std::uint64_t>& offset) {
  return offset ? QStringLiteral(" (at byte %1)").arg(*offset) : QString();
}

}  // namespace

std::vector<DetailField> EntryDetails(const AnalyserList& list, std::size_t row) {
  const AnalyserEntry& e = list.at(row);
  std::vector<DetailField> fields{
      {"No", Text(e.number)},
      {"Binary File", Text(e.path)},
      {"Switch", Text(e.family)},
      {"Start Time", Text(e.start)},
      {"End Time", Text(e.end)},
      {"Records", Text(e.recordsText())},
      {"Size", Text(e.sizeText())},
      {"Size in bytes", e.sizeBytes ? QString::number(*e.sizeBytes) : QStringLiteral("not known (from a report)")},
  };
  if (e.packedBytes) fields.push_back({"Compressed bytes", QString::number(*e.packedBytes)});
  if (e.failure)
    fields.push_back({"Failure", QStringLiteral("%1: %2%3")
                                     .arg(FailureKindName(e.failure->kind), Text(e.failure->reason), AtOffset(e.failure->offset))});
  if (e.warnings.empty()) fields.push_back({"Warnings", QStringLiteral("none")});
  for (const Warning& w : e.warnings)
    fields.push_back({"Warning", QStringLiteral("%1: %2%3").arg(WarningKindName(w.kind), Text(w.text), AtOffset(w.offset))});
  if (e.verifiedRecords) fields.push_back({"Verified records", QString::number(*e.verifiedRecords)});
  fields.push_back({"XXH3-128", e.digests ? Text(e.digests->xxh3_128) : QStringLiteral("none (not read to its end)")});
  if (e.digests && e.digests->sha256) fields.push_back({"SHA-256", Text(*e.digests->sha256)});
  QString duplicate = QStringLiteral("none");
  if (e.duplicateOf) {
    duplicate = QStringLiteral("No. %1").arg(*e.duplicateOf);
    if (*e.duplicateOf >= 1 && *e.duplicateOf <= list.size())
      duplicate += "  " + Text(list.at(*e.duplicateOf - 1).path);
  }
  fields.push_back({"Duplicate of", duplicate});
  std::vector<std::size_t> same;
  if (e.digests)
    for (std::size_t other = 0; other < list.size(); ++other)
      if (other != row && list.at(other).digests && list.at(other).digests->xxh3_128 == e.digests->xxh3_128)
        same.push_back(other + 1);
  fields.push_back({"Same content as", Rows(same)});
  return fields;
}

DetailsView::DetailsView(const AnalyserList& list, QWidget* parent)
    : QDockWidget(QStringLiteral("Details"), parent), list_(list) {
  setObjectName("dockDetails");
  setAccessibleName(QStringLiteral("Details of the current row"));
  table_ = new QTableWidget(0, 2, this);
  table_->setObjectName("tblDetails");
  table_->setAccessibleName(QStringLiteral("Details of the current row"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Field"), QStringLiteral("Value")});
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->horizontalHeader()->hide();
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setWordWrap(true);
  table_->setShowGrid(false);
  table_->setAlternatingRowColors(true);
  // Below the fields, the calls of each hour (after Verify Counts).
  histogram_ = new HourHistogram(this);
  histogram_->setObjectName("histDetails");
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(table_);
  split->addWidget(histogram_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  setWidget(split);
}

void DetailsView::showRow(std::optional<std::size_t> row) {
  row_ = row && *row < list_.size() ? row : std::nullopt;
  refresh();
}

void DetailsView::refresh() {
  if (row_ && *row_ >= list_.size()) row_.reset();
  const std::vector<DetailField> fields = row_ ? EntryDetails(list_, *row_) : std::vector<DetailField>{};
  table_->setRowCount(static_cast<int>(fields.size()));
  QFont bold = table_->font();
  bold.setBold(true);
  for (int r = 0; r < static_cast<int>(fields.size()); ++r) {
    auto* name = new QTableWidgetItem(fields[r].name);
    name->setFont(bold);
    name->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
    table_->setItem(r, 0, name);
    auto* value = new QTableWidgetItem(fields[r].value);
    value->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
    table_->setItem(r, 1, value);
  }
  table_->resizeColumnToContents(0);
  histogram_->setCounts(row_ ? list_.at(*row_).callsPerHour : std::nullopt);
  histogram_->setVisible(histogram_->counts().has_value());
}

}  // namespace vellmark::ui
