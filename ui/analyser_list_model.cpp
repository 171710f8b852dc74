#include "ui/analyser_list_model.h"

#include <QApplication>
#include <QColor>
#include <QStyle>
#include <QFont>

#include "ui/icons.h"

namespace vellmark::ui {

namespace {

struct ColumnLayout {
  const char* heading;
  Qt::Alignment alignment;
  int widthTwips;
};

constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignVCenter;

const ColumnLayout kColumns[AnalyserListModel::ColumnCount] = {
    {"Binary File", kLeft, 5292}, {"No", kRight, 882},         {"Switch", kCentre, 2030},
    {"Start Time", kCentre, 3176}, {"End Time", kCentre, 3176}, {"Records", kRight, 2470},
    {"Size", kRight, 2540},
};

// Duplicates are drawn in pure red.
const QColor kDuplicateColour(255, 0, 0);

}  // namespace

AnalyserListModel::AnalyserListModel(AnalyserList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), rows_(static_cast<int>(list.size())) {
  list_.setObserver(this);
}

AnalyserListModel::~AnalyserListModel() { list_.setObserver(nullptr); }

int AnalyserListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int AnalyserListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant AnalyserListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  const AnalyserEntry& entry = list_.at(static_cast<std::size_t>(index.row()));
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(entry.column(column));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(kColumns[column].alignment);
    case Qt::DecorationRole:
      if (column == BinaryFile) {
        QIcon icon = FamilyIcon(entry.icon);
        if (!icon.isNull()) return icon;
      }
      if (column == No && !entry.warnings.empty()) return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
      return {};
    case Qt::ForegroundRole:
      if (entry.duplicate()) return kDuplicateColour;
      return {};
    case Qt::FontRole:
      if (entry.duplicate() && column == BinaryFile) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    case Qt::ToolTipRole: {
      // The full path first: the list cuts long paths in the middle.
      QStringList lines{QString::fromStdString(entry.path)};
      if (entry.failure) lines << QString::fromStdString(entry.failure->reason);
      // A compressed file or member: its sizes unpacked and packed.
      if (column == Size && entry.packedBytes)
        lines << QStringLiteral("%1 bytes unpacked, from %2 bytes compressed")
                     .arg(entry.sizeBytes.value_or(0))
                     .arg(*entry.packedBytes);
      if (entry.duplicateOf) lines << QStringLiteral("Duplicate of No. %1").arg(*entry.duplicateOf);
      if (entry.sameContentAs) lines << QStringLiteral("Same content as No. %1").arg(*entry.sameContentAs);
      for (const auto& w : entry.warnings) lines << QString::fromStdString(w.text);
      if (entry.verifiedRecords) lines << QStringLiteral("Verified records: %1").arg(*entry.verifiedRecords);
      return lines.join('\n');
    }
    default:
      return {};
  }
}

QVariant AnalyserListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
  if (role == Qt::DisplayRole) return QString::fromLatin1(kColumns[section].heading);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(kColumns[section].alignment);
  return {};
}

int AnalyserListModel::columnWidthTwips(int column) {
  return column >= 0 && column < ColumnCount ? kColumns[column].widthTwips : 0;
}

void AnalyserListModel::announceAppended() {
  const int size = static_cast<int>(list_.size());
  if (size <= rows_) return;
  beginInsertRows(QModelIndex(), rows_, size - 1);
  rows_ = size;
  endInsertRows();
}

void AnalyserListModel::aboutToInsert(std::size_t row) {
  if (batches_ == 0) beginInsertRows(QModelIndex(), static_cast<int>(row), static_cast<int>(row));
}

void AnalyserListModel::inserted(std::size_t) {
  if (batches_ > 0) return;
  ++rows_;
  endInsertRows();
}

void AnalyserListModel::aboutToRemove(std::size_t first, std::size_t last) {
  announceAppended();
  beginRemoveRows(QModelIndex(), static_cast<int>(first), static_cast<int>(last));
}

void AnalyserListModel::removed(std::size_t first, std::size_t last) {
  rows_ -= static_cast<int>(last - first + 1);
  endRemoveRows();
}

void AnalyserListModel::aboutToReset() { beginResetModel(); }

void AnalyserListModel::reset() {
  rows_ = static_cast<int>(list_.size());
  endResetModel();
}

void AnalyserListModel::changed(std::size_t row) {
  // A row still held back is shown as it is when it is told.
  const int r = static_cast<int>(row);
  if (r < rows_) emit dataChanged(index(r, 0), index(r, ColumnCount - 1));
}

}  // namespace vellmark::ui
