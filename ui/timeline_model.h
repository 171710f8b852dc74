#pragma once
// What the timeline shows, worked out from the analyser list: one lane per exchange,
// a bar per file from its first to its last call, shaded by its calls per hour, the
// gaps and overlaps between the files of a lane, and the rows left out. It follows
// the list model and works itself out anew after every change (coalesced to one per
// turn of the event loop, so a pass redraws it as each entry finishes).

#include <QColor>
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <optional>
#include <set>
#include <vector>

#include "analysis/continuity.h"
#include "core/analyser_list.h"

class QAbstractItemModel;

namespace vellmark::ui {

class TimelineModel : public QObject {
  Q_OBJECT
 public:
  // Part of a bar: one clock hour's share of its calls.
  struct HourShade {
    qint64 from = 0, to = 0;  // seconds since 1970
    QColor colour;
  };
  struct Bar {
    std::size_t row = 0;  // 0-based list row
    QString path;         // the row's file
    int lane = 0;
    qint64 start = 0, end = 0;  // seconds since 1970
    QColor fill;                // without calls per hour
    QColor outline;             // red for a duplicate, purple for the same content, else dark grey
    std::vector<HourShade> hours;
    bool duplicate = false;
    bool sameContent = false;
    bool warned = false;  // the row has warnings
    bool selected = false;
  };
  enum class ShadeKind { Gap, Overlap };
  struct Shade {
    int lane = 0;
    qint64 from = 0, to = 0;
    ShadeKind kind = ShadeKind::Gap;
    QColor colour;
    std::int64_t minutes = 0;
  };

  static const QColor kBarColour;
  static const QColor kGapColour;
  static const QColor kOverlapColour;
  static const QColor kDuplicateColour;
  static const QColor kSameContentColour;
  static const QColor kOutlineColour;
  // The colour of an hour holding `share` (0 to 1) of the busiest hour's calls.
  static QColor DensityColour(double share);

  // `source`, when given, is the Qt model of `list`: its signals say when to look again.
  TimelineModel(const AnalyserList& list, QAbstractItemModel* source, QObject* parent = nullptr);

  void setOptions(ContinuityOptions options);
  const ContinuityOptions& options() const { return options_; }

  // Works the picture out now; otherwise it is done once the event loop turns.
  void refresh();

  const Continuity& continuity() const { return continuity_; }
  int laneCount() const { return static_cast<int>(continuity_.lanes.size()); }
  QString laneLabel(int lane) const;
  const std::vector<Bar>& bars() const { return bars_; }
  const std::vector<Shade>& shades() const { return shades_; }
  // 0-based rows of data files without a place on a lane.
  std::vector<std::size_t> leftOutRows() const;
  // The earliest first call and the latest last call; none without bars.
  std::optional<std::pair<qint64, qint64>> span() const;

  // The bar of `lane` that covers time `t`, the last drawn (the latest starting) first.
  const Bar* barAt(int lane, qint64 t) const;
  const Bar* barOfRow(std::size_t row) const;

  // The list rows selected; their bars are drawn highlighted.
  void setSelectedRows(const std::set<std::size_t>& rows);

  // A time as the list shows it.
  static QString TimeText(qint64 seconds);

 signals:
  void changed();

 private:
  void schedule();

  const AnalyserList& list_;
  ContinuityOptions options_;
  Continuity continuity_;
  std::vector<Bar> bars_;
  std::vector<int> barOfRow_;  // by list row: the index of its bar, or -1
  std::vector<Shade> shades_;
  std::set<std::size_t> selected_;
  bool scheduled_ = false;
};

}  // namespace vellmark::ui
