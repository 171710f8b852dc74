#include "ui/list_filter.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include "core/switch_family.h"
#include "ui/icons.h"

namespace vellmark::ui {

ListFilter::ListFilter(QWidget* parent) : QWidget(parent) {
  setObjectName("ListFilter");
  text_ = new QLineEdit(this);
  text_->setObjectName("txtFilter");
  text_->setPlaceholderText(QStringLiteral("Filter rows"));
  text_->setClearButtonEnabled(true);
  text_->setAccessibleName(QStringLiteral("Filter rows by text"));
  text_->setToolTip(QStringLiteral("Show only the rows whose texts contain this (Ctrl+F)"));
  text_->setFixedWidth(text_->fontMetrics().averageCharWidth() * 28);
  connect(text_, &QLineEdit::textChanged, this, &ListFilter::textChanged);

  family_ = new QComboBox(this);
  family_->setObjectName("cboFamily");
  family_->setAccessibleName(QStringLiteral("Filter rows by switch family"));
  family_->setToolTip(QStringLiteral("Show only the rows of one switch family"));
  family_->addItem(QStringLiteral("All families"), QString());
  for (int index = 1; index < static_cast<int>(SwitchFamilyTable::kTexts.size()); ++index) {
    const QString text = QString::fromStdString(SwitchFamilyTable::text(index));
    family_->addItem(FamilyIcon(index), text, text);
  }
  connect(family_, &QComboBox::currentIndexChanged, this,
          [this](int item) { emit familyChanged(family_->itemData(item).toString()); });

  counts_ = new QLabel(this);
  counts_->setObjectName("lblFilterCounts");
  counts_->setAccessibleName(QStringLiteral("Rows shown"));

  setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 0, 2, 0);
  layout->addWidget(counts_);
  layout->addWidget(text_);
  layout->addWidget(family_);
}

void ListFilter::showCounts(int shown, int total) {
  counts_->setText(shown == total ? QString() : QStringLiteral("%1 of %2 rows").arg(shown).arg(total));
}

}  // namespace vellmark::ui
