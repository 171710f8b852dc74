#pragma once
// The filter box at the end of the toolbar: a text the rows must contain and a switch
// family they must have. It narrows what the list shows, never the list itself.

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;

namespace vellmark::ui {

class ListFilter : public QWidget {
  Q_OBJECT
 public:
  explicit ListFilter(QWidget* parent = nullptr);

  QLineEdit* textBox() const { return text_; }
  QComboBox* familyBox() const { return family_; }
  // "12 of 48 rows" while the filter hides rows, otherwise nothing.
  void showCounts(int shown, int total);

 signals:
  void textChanged(const QString& text);
  // "" for every family.
  void familyChanged(const QString& family);

 private:
  QLineEdit* text_ = nullptr;
  QComboBox* family_ = nullptr;
  QLabel* counts_ = nullptr;
};

}  // namespace vellmark::ui
