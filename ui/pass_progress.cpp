#include "ui/pass_progress.h"

namespace vellmark::ui {

namespace {

QString Rate(std::uint64_t bytes, qint64 milliseconds) {
  if (milliseconds <= 0) return {};
  return QStringLiteral("%1 MB/s").arg(static_cast<double>(bytes) / 1048576.0 / (milliseconds / 1000.0), 0, 'f', 1);
}

}  // namespace

PassProgress::PassProgress(QWidget* parent) : QLabel(parent) {
  setObjectName("lblPassProgress");
  setAccessibleName(QStringLiteral("Analysis progress"));
  setTextFormat(Qt::PlainText);
  tick_.setInterval(1000);
  connect(&tick_, &QTimer::timeout, this, [this] { show(bytes_); });
}

QString PassProgress::DurationText(qint64 milliseconds) {
  const qint64 seconds = milliseconds / 1000;
  const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  const QString ms = QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QChar('0'));
  return h > 0 ? QStringLiteral("%1:%2").arg(h).arg(ms.rightJustified(5, '0')) : ms;
}

void PassProgress::start(int files) {
  files_ = files;
  number_ = 0;
  bytes_ = 0;
  clock_.start();
  tick_.start();
  show(0);
}

void PassProgress::fileStarted(int number, std::uint64_t bytesBefore) {
  number_ = number;
  bytes_ = bytesBefore;
  show(bytesBefore);
}

void PassProgress::show(std::uint64_t bytes) {
  const qint64 ms = clock_.elapsed();
  QString text = QStringLiteral("File %1 of %2  %3").arg(number_).arg(files_).arg(DurationText(ms));
  if (bytes > 0) text += "  " + Rate(bytes, ms);
  setText(text);
  setToolTip(text);
}

void PassProgress::finish(std::uint64_t bytes) {
  tick_.stop();
  const qint64 ms = clock_.isValid() ? clock_.elapsed() : 0;
  QString text = QStringLiteral("%1 of %2 files in %3").arg(number_).arg(files_).arg(DurationText(ms));
  if (bytes > 0 && ms > 0) text += "  " + Rate(bytes, ms);
  setText(text);
  setToolTip(text);
}

void PassProgress::clear() {
  tick_.stop();
  setText({});
  setToolTip({});
}

}  // namespace vellmark::ui
