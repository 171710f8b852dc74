// The About box and the Help menu's User Manual and Check for Updates, through the
// main window's commands; the desktop shell is answered by the dialog seam.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "fake_readers.h"
#include "testdata/bytes.h"
#include "ui/frmAbout.h"
#include "ui/frmVELM.h"
#include "ui/help_commands.h"
#include "ui/project_links.h"

using namespace vellmark;
using vellmark::ui::frmAbout;
using vellmark::ui::frmVELM;

class FrmAboutTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();

  void aboutBoxTextsLinkAndOk();
  void systemInfoStartsAToolOrSaysItIsUnavailable();
  void userManualOpensThePdfElseTheDocElseSaysBoth();
  void checkForUpdatesOpensTheUpdatePage();

 private:
  frmAbout* openAbout();
  void trigger(const char* name);
  QString text(const char* label) const;

  std::unique_ptr<testdata::TempDir> dir_;
  std::unique_ptr<frmVELM> window_;
  QString oldFolder_;
};

void FrmAboutTest::init() {
  dir_ = std::make_unique<testdata::TempDir>();
  oldFolder_ = QDir::currentPath();
  // The help documents are looked up in the current folder.
  QVERIFY(QDir::setCurrent(QString::fromStdString(dir_->path())));
  window_ = std::make_unique<frmVELM>(RealFileSystem(), ui::test::FakeReaders());
  window_->dialogs().setScripted(true);
  window_->setExitNow([] {});
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void FrmAboutTest::cleanup() {
  window_.reset();
  QDir::setCurrent(oldFolder_);
  dir_.reset();
}

void FrmAboutTest::trigger(const char* name) {
  auto* a = window_->findChild<QAction*>(name);
  if (!a) qFatal("no action %s", name);
  a->trigger();
}

frmAbout* FrmAboutTest::openAbout() {
  trigger("menAbout");
  frmAbout* box = window_->aboutBox();
  if (!box) qFatal("no About box");
  return box;
}

QString FrmAboutTest::text(const char* label) const {
  auto* l = window_->aboutBox()->findChild<QLabel*>(label);
  if (!l) qFatal("no label %s", label);
  return l->text();
}

void FrmAboutTest::aboutBoxTextsLinkAndOk() {
  frmAbout* box = openAbout();
  QVERIFY(box->isVisible());
  QVERIFY(!box->isModal());
  QCOMPARE(box->windowTitle(), QString("About Vellmark"));
  QCOMPARE(text("lblTitle"), QString("Vellmark"));
  QCOMPARE(text("lblVersion"), QStringLiteral("Version %1.%2.%3")
                                   .arg(VELLMARK_VERSION_MAJOR)
                                   .arg(VELLMARK_VERSION_MINOR)
                                   .arg(VELLMARK_VERSION_PATCH));
  QVERIFY(text("lblDesc").startsWith(
      "This Program identifies the Binary Data files of Different Telecommunication Switches (Basic Service) "
      "and gives information about the Available CDRs. "));
  QVERIFY(!box->findChild<QLabel*>("Image1")->pixmap().isNull());
  QCOMPARE(box->findChild<QPushButton*>("cmdOK")->text(), QString("OK"));
  QCOMPARE(box->findChild<QPushButton*>("cmdSysInfo")->text(), QString("&System Info..."));

  // The link opens the project's home page; nothing is said either way.
  auto* link = box->findChild<QLabel*>("lblU");
  QVERIFY(link->text().contains(ui::kProjectAddress));
  emit link->linkActivated(ui::kProjectAddress);
  QCOMPARE(window_->dialogs().openedDocuments, QList<QUrl>{QUrl("https://vellmark.example.org/")});

  // Shown again while open: the same box. OK unloads it.
  QCOMPARE(openAbout(), box);
  QPointer<frmAbout> watch(box);
  QTest::mouseClick(box->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
  QTRY_VERIFY(!watch);
  QVERIFY(!window_->aboutBox());
  QVERIFY(openAbout() != nullptr);
  QVERIFY(window_->dialogs().messages.isEmpty());
}

void FrmAboutTest::systemInfoStartsAToolOrSaysItIsUnavailable() {
  frmAbout* box = openAbout();
  auto* sysInfo = box->findChild<QPushButton*>("cmdSysInfo");
  auto& dialogs = window_->dialogs();

  box->setSystemInfoPrograms({"vellmark-no-such-sysinfo"});
  QTest::mouseClick(sysInfo, Qt::LeftButton);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].text, QString("System Information Is Unavailable At This Time"));
  QCOMPARE(dialogs.messages[0].icon, QMessageBox::NoIcon);
  QCOMPARE(dialogs.messages[0].title, QString("Vellmark"));
  QVERIFY(dialogs.startedPrograms.isEmpty());

  // The first program found is started.
  const QString tool = QString::fromStdString(dir_->write("sysinfo-tool", "#!/bin/sh\n"));
  QVERIFY(QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  box->setSystemInfoPrograms({"vellmark-no-such-sysinfo", tool});
  QTest::mouseClick(sysInfo, Qt::LeftButton);
  QCOMPARE(dialogs.startedPrograms, QStringList{tool});
  QCOMPARE(dialogs.messages.size(), 1);

  // One that is found but will not start gets the same message.
  dialogs.setNextShellResult(false);
  QTest::mouseClick(sysInfo, Qt::LeftButton);
  QCOMPARE(dialogs.startedPrograms.size(), 2);
  QCOMPARE(dialogs.messages.size(), 2);
  QCOMPARE(dialogs.messages[1].text, QString("System Information Is Unavailable At This Time"));
}

void FrmAboutTest::userManualOpensThePdfElseTheDocElseSaysBoth() {
  auto& dialogs = window_->dialogs();
  const QUrl pdf = QUrl::fromLocalFile(QString::fromStdString(dir_->file("velm.pdf")));
  const QUrl doc = QUrl::fromLocalFile(QString::fromStdString(dir_->file("velm.doc")));

  // Neither: one error message.
  trigger("menManual");
  QVERIFY(dialogs.openedDocuments.isEmpty());
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].text, QString("Help File velm.pdf or velm.doc not found in the application folder"));
  QCOMPARE(dialogs.messages[0].icon, QMessageBox::Critical);
  QCOMPARE(dialogs.messages[0].title, QString("Vellmark"));

  // Only the .doc: it opens, and a .doc nothing can open is not reported.
  dir_->write("velm.doc", "manual");
  trigger("menManual");
  QCOMPARE(dialogs.openedDocuments, QList<QUrl>{doc});
  dialogs.setNextShellResult(false);
  trigger("menManual");
  QCOMPARE(dialogs.openedDocuments, (QList<QUrl>{doc, doc}));
  QCOMPARE(dialogs.messages.size(), 1);

  // The PDF present: only it opens.
  dialogs.openedDocuments.clear();
  dir_->write("velm.pdf", "%PDF-1.4\n");
  trigger("menManual");
  QCOMPARE(dialogs.openedDocuments, QList<QUrl>{pdf});

  // A PDF that nothing opens: the .doc is tried; without it, the message.
  dialogs.openedDocuments.clear();
  dialogs.setNextShellResult(false);
  trigger("menManual");
  QCOMPARE(dialogs.openedDocuments, (QList<QUrl>{pdf, doc}));
  QFile::remove(doc.toLocalFile());
  dialogs.setNextShellResult(false);
  trigger("menManual");
  QCOMPARE(dialogs.messages.size(), 2);
  QCOMPARE(dialogs.messages[1].text, ui::kManualMissing);
}

void FrmAboutTest::checkForUpdatesOpensTheUpdatePage() {
  trigger("menUpdates");
  QCOMPARE(window_->dialogs().openedDocuments, QList<QUrl>{QUrl("https://vellmark.example.org/updates/velm.html")});
  QVERIFY(window_->dialogs().messages.isEmpty());
}

QTEST_MAIN(FrmAboutTest)
#include "frmAbout_test.moc"
