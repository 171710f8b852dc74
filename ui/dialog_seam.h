#pragma once
// Every message box, question and file dialog of the program goes through here, so
// tests can answer them without real modal dialogs: in scripted mode nothing is
// shown, each call is recorded, and answers and file names come from queues.

#include <QHash>
#include <QList>
#include <QMessageBox>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

class QWidget;

namespace vellmark::ui {

class DialogSeam {
 public:
  struct Shown {
    QString text;
    QMessageBox::Icon icon;
    QString title;
  };

  // A message box with an OK button.
  void message(QWidget* parent, const QString& text, QMessageBox::Icon icon, const QString& title);
  // A question with the question icon and Yes and No; true for Yes.
  bool question(QWidget* parent, const QString& text, const QString& title);
  // Open and save dialogs; "" when cancelled. `filter` is a Qt name filter list. They
  // start in the folder last used for the filter's kind of file (`offered` names a
  // file to start at instead), and the command asks before replacing a file.
  QString openFileName(QWidget* parent, const QString& filter, const QString& offered);
  QString saveFileName(QWidget* parent, const QString& filter);
  // The kind of file a filter is for: "report", "workbook", or the filter itself.
  static QString KindOf(const QString& filter);
  // The folder last used for each kind of file.
  QHash<QString, QString> folders;
  // Asks for a whole number from `min` to `max`; nothing when cancelled.
  std::optional<int> number(QWidget* parent, const QString& title, const QString& label, int value, int min, int max);
  // Opens a document with the desktop's default program.
  void openDocument(const QUrl& url);
  // Opens a local file with the desktop's default program; false when the desktop
  // could not (no program for its type, or the file went away).
  bool openLocalDocument(const QString& path);
  // Starts a program in a window of its own; false when it could not be started.
  bool startProgram(const QString& program);

  // Test hooks.
  void setScripted(bool on) { scripted_ = on; }
  bool scripted() const { return scripted_; }
  void setNextAnswer(QMessageBox::StandardButton answer) { answers_.enqueue(answer); }
  void setNextFileName(const QString& name) { fileNames_.enqueue(name); }
  void setNextNumber(int number) { numbers_.enqueue(number); }   // cancel when empty
  // What the next openLocalDocument or startProgram reports; true when empty.
  void setNextShellResult(bool ok) { shellResults_.enqueue(ok); }

  QList<Shown> messages;        // message boxes shown, questions included
  QStringList fileDialogs;      // "open <filter>" or "save <filter>"
  QList<QUrl> openedDocuments;
  QStringList startedPrograms;
  int wrongThreadCalls = 0;     // calls made off the window's thread (a fault)

 private:
  void checkThread();
  QString chosen(const QString& filter, const QString& name);

  bool scripted_ = false;
  QQueue<QMessageBox::StandardButton> answers_;   // No when empty
  QQueue<QString> fileNames_;                     // "" (cancel) when empty
  QQueue<int> numbers_;
  QQueue<bool> shellResults_;
};

// "Report files (*.vmr)|*.vmr| All Files (*.*)|*.*" -> "Report files (*.vmr);;All Files (*)".
// A text without "|" is taken as a Qt filter already.
QString QtNameFilters(const QString& barFilter);

}  // namespace vellmark::ui
