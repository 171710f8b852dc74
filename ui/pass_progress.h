#pragma once
// The pass as a whole, beside the bar of the file being read: which file of how many,
// the time since the pass began and the rate so far ("File 12 of 48  0:42  85.3 MB/s").
// After the pass it says how many files took how long.

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <cstdint>

namespace vellmark::ui {

class PassProgress : public QLabel {
  Q_OBJECT
 public:
  explicit PassProgress(QWidget* parent = nullptr);

  void start(int files);
  // File `number` (1-based) begins; `bytesBefore` were read in the files before it.
  void fileStarted(int number, std::uint64_t bytesBefore);
  void finish(std::uint64_t bytes);
  void clear();

  // "0:42", "1:02:03".
  static QString DurationText(qint64 milliseconds);

 private:
  void show(std::uint64_t bytes);

  QElapsedTimer clock_;
  QTimer tick_;
  int files_ = 0, number_ = 0;
  std::uint64_t bytes_ = 0;
};

}  // namespace vellmark::ui
