#pragma once
// The About box: the program's name, version, what it does, the project's web address
// and a button that starts the desktop's system information program. OK unloads it.

#include <QDialog>
#include <QStringList>

namespace vellmark::ui {

class DialogSeam;

inline const QString kSysInfoUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

class frmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit frmAbout(DialogSeam& dialogs, QWidget* parent = nullptr);

  // The system information programs looked for on PATH, first found first.
  static QStringList DefaultSystemInfoPrograms();
  void setSystemInfoPrograms(const QStringList& programs) { sysInfoPrograms_ = programs; }

 public slots:
  // Starts the first system information program found, or says there is none.
  void StartSysInfo();

 private:
  DialogSeam& dialogs_;
  QStringList sysInfoPrograms_;
};

}  // namespace vellmark::ui
