#pragma once
// Tools > Exchange Rules: the rule each family's file names are read by for their
// exchange and sequence number, and how long a gap must be to count. Kept with
// QSettings, so they hold from one start of the program to the next.

#include <QDialog>
#include <map>
#include <string>

#include "analysis/continuity.h"

class QLabel;
class QLineEdit;
class QSpinBox;

namespace vellmark::ui {

// What the user set: a pattern per switch text (none: the default) and the gap.
struct TimelineSettings {
  std::map<std::string, std::string> rules;
  int gapMinutes = 60;

  static TimelineSettings Load();
  void save() const;
  // The rules a stored pattern that is no longer accepted leaves at its default.
  ContinuityOptions options() const;
};

class ExchangeRulesDialog : public QDialog {
  Q_OBJECT
 public:
  ExchangeRulesDialog(const TimelineSettings& settings, QWidget* parent = nullptr);

  TimelineSettings settings() const;
  // The reason the last OK was refused ("" when none).
  QString refusal() const;

 public slots:
  // OK: checks every pattern; a refused one keeps the dialog open with the reason.
  void accept() override;
  void restoreDefaults();

 private:
  std::map<std::string, QLineEdit*> edits_;
  QSpinBox* gap_ = nullptr;
  QLabel* refusal_ = nullptr;
};

}  // namespace vellmark::ui
