#include "ui/exchange_rules_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace vellmark::ui {

namespace {

constexpr const char* kRuleKey = "timeline/rule/";
constexpr const char* kGapKey = "timeline/gapMinutes";

// As the window's settings: kept under the application's organisation and name, and for
// the run only in an application without one (a test, a benchmark).
std::optional<TimelineSettings>& RunOnly() {
  static std::optional<TimelineSettings> kept;
  return kept;
}
bool Kept() { return !QCoreApplication::organizationName().isEmpty(); }

}  // namespace

TimelineSettings TimelineSettings::Load() {
  if (!Kept()) return RunOnly().value_or(TimelineSettings{});
  QSettings store;
  TimelineSettings s;
  for (const auto& [family, pattern] : ExchangeRules::Defaults()) {
    const QString stored = store.value(QString(kRuleKey) + QString::fromStdString(family)).toString();
    if (!stored.isEmpty()) s.rules[family] = stored.toStdString();
  }
  s.gapMinutes = std::max(store.value(kGapKey, 60).toInt(), 0);
  return s;
}

void TimelineSettings::save() const {
  if (!Kept()) {
    RunOnly() = *this;
    return;
  }
  QSettings store;
  for (const auto& [family, pattern] : ExchangeRules::Defaults()) {
    auto it = rules.find(family);
    const QString key = QString(kRuleKey) + QString::fromStdString(family);
    if (it == rules.end() || it->second.empty()) store.remove(key);
    else store.setValue(key, QString::fromStdString(it->second));
  }
  store.setValue(kGapKey, gapMinutes);
}

ContinuityOptions TimelineSettings::options() const {
  ContinuityOptions options;
  for (const auto& [family, pattern] : rules) (void)options.rules.set(family, pattern);
  options.gapMinutes = gapMinutes;
  return options;
}

ExchangeRulesDialog::ExchangeRulesDialog(const TimelineSettings& settings, QWidget* parent) : QDialog(parent) {
  setObjectName("dlgExchangeRules");
  setWindowTitle(tr("Exchange Rules"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(tr("Each family's file names are read by a regular expression with the groups "
                              "(?<exchange>...) and, where names carry one, (?<seq>...). Leave a rule empty "
                              "for the default shown in grey."),
                           this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  auto* form = new QFormLayout;
  for (const auto& [family, pattern] : ExchangeRules::Defaults()) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromStdString("rule" + family));
    edit->setPlaceholderText(QString::fromStdString(pattern));
    edit->setMinimumWidth(360);
    if (auto it = settings.rules.find(family); it != settings.rules.end())
      edit->setText(QString::fromStdString(it->second));
    form->addRow(QString::fromStdString(family), edit);
    edits_[family] = edit;
  }
  gap_ = new QSpinBox(this);
  gap_->setObjectName("gapMinutes");
  gap_->setRange(0, 10 * 365 * 24 * 60);
  gap_->setSuffix(tr(" minutes"));
  gap_->setValue(settings.gapMinutes);
  form->addRow(tr("A gap is longer than"), gap_);
  layout->addLayout(form);
  refusal_ = new QLabel(this);
  refusal_->setObjectName("refusal");
  refusal_->setStyleSheet("color: #c00000");
  refusal_->setWordWrap(true);
  layout->addWidget(refusal_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                       QDialogButtonBox::RestoreDefaults, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &ExchangeRulesDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
          &ExchangeRulesDialog::restoreDefaults);
  layout->addWidget(buttons);
}

TimelineSettings ExchangeRulesDialog::settings() const {
  TimelineSettings s;
  for (const auto& [family, edit] : edits_)
    if (!edit->text().trimmed().isEmpty()) s.rules[family] = edit->text().trimmed().toStdString();
  s.gapMinutes = gap_->value();
  return s;
}

QString ExchangeRulesDialog::refusal() const { return refusal_->text(); }

void ExchangeRulesDialog::accept() {
  ExchangeRules check;
  for (const auto& [family, pattern] : settings().rules) {
    if (auto refused = check.set(family, pattern)) {
      refusal_->setText(QString::fromStdString(family + ": " + *refused));
      edits_[family]->setFocus();
      return;
    }
  }
  refusal_->clear();
  QDialog::accept();
}

void ExchangeRulesDialog::restoreDefaults() {
  for (auto& [family, edit] : edits_) edit->clear();
  gap_->setValue(60);
  refusal_->clear();
}

}  // namespace vellmark::ui
