#pragma once
// The Add Files dialog: a drive list, the folder tree of the chosen drive, and the
// regular files of the chosen folder as numbered rows with their sizes; an archive's
// row opens like a folder onto its members, each with its unpacked size. The selected
// rows go to the analyser list through the session, as dropped files do. Created on
// first use and afterwards only hidden and shown, so folder, rows and selection stay.

#include <QDialog>
#include <QHash>
#include <QString>
#include <cstdint>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QModelIndex;
class QPushButton;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace vellmark::ui {

class frmVELM;

// "No" column: the row number right-aligned in 7 characters.
QString RowNumberText(int number);
// "Size" column: bytes / 1024 + 0.5, half to even, + " KB" (a part of a KB counts up,
// unlike the main list's size).
QString OpenDialogSizeText(std::uint64_t bytes);
// "File Name" column: the folder, one "/" and the name.
QString FullPath(const QString& folder, const QString& name);

class frmOpen : public QDialog {
  Q_OBJECT
 public:
  explicit frmOpen(frmVELM& window, const QString& startFolder = QString());

  QString folder() const { return folder_; }
  // The mount points offered in the drive list.
  QStringList drives() const;

 public slots:
  // Moves the folder tree to a folder; the rows are refilled when it differs.
  void setFolder(const QString& folder);
  // Drive1_Change: moves to the drive's last folder, or says why it cannot.
  void chooseDrive(const QString& root);
  // Command1_Click: hides the dialog and adds the selected rows' files.
  void addSelected();
  // Hides the dialog and adds the files of the current folder and its subfolders.
  void addFolder();
  // While a pass runs nothing can be added: the buttons say so.
  void showPassRunning(bool running);
  // Command2_Click.
  void cancel();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void fillDrives();
  void folderChosen(const QModelIndex& index);
  void refillRows();
  // Fills an archive's row with its regular members when it is first opened.
  void listMembers(QTreeWidgetItem* item);
  QString driveOf(const QString& folder) const;
  void showDrive(const QString& root);
  void driveActivated(int item);

  frmVELM& window_;
  QComboBox* drives_ = nullptr;
  QTreeView* tree_ = nullptr;
  QFileSystemModel* dirs_ = nullptr;
  QTreeWidget* rows_ = nullptr;
  QLabel* folderLabel_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* addFolder_ = nullptr;
  QLabel* passNote_ = nullptr;
  QString folder_;
  QString drive_;
  QHash<QString, QString> lastFolderOnDrive_;
};

}  // namespace vellmark::ui
