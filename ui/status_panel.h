#pragma once
// A panel of the status bar: a sunken frame that asks for its design width but gives
// way when the window is narrow, and cuts a text too long for it in the middle, so
// both ends of a path stay readable (the whole text is its tooltip then). The first
// panel carries the progress bar at its left and the pass's overall progress beside it;
// the bar gives way, down to a stub, when the text beside it needs the room.

#include <QLabel>

class QProgressBar;

namespace vellmark::ui {

class StatusPanel : public QLabel {
  Q_OBJECT
 public:
  StatusPanel(int width, QWidget* parent);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  // The text as given, whatever part of it shows.
  QString fullText() const { return full_; }
  void setFullText(const QString& text);
  // A tooltip shown while the text fits.
  void setDescription(const QString& description);

  void carry(QProgressBar* bar, int left, int width, int height, QWidget* beside);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void placeBar();
  void elide();

  int width_;
  QString full_, description_;
  QProgressBar* bar_ = nullptr;
  QWidget* beside_ = nullptr;
  int barLeft_ = 0, barWidth_ = 0, barHeight_ = 0;
};

}  // namespace vellmark::ui
