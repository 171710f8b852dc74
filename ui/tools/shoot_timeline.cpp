// Takes the timeline's screenshot for the README and the manual, offscreen: the main
// window with the Timeline shown, after Verify Counts over every file of the current
// folder (named as they are there, so no machine's folders show), one row selected
// and the hours around it shown.
//   cd FOLDER && vellmark-shoot-timeline OUTPUT.png [ROW]

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTableView>
#include <cstdio>
#include <cstdlib>

#include "ui/frmVELM.h"
#include "ui/timeline_dock.h"
#include "ui/timeline_model.h"
#include "ui/timeline_view.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: vellmark-shoot-timeline OUTPUT.png [ROW]\n");
    return 2;
  }
  QStandardPaths::setTestModeEnabled(true);  // the default rules, not the user's
  vellmark::ui::frmVELM window;
  window.dialogs().setScripted(true);
  std::vector<std::string> names;
  for (const QString& name : QDir::current().entryList(QDir::Files, QDir::Name)) names.push_back(name.toStdString());
  window.offerFiles(names);
  window.findChild<QAction*>("menTimeline")->trigger();
  window.resize(1300, 900);
  window.show();
  window.verifyCounts();
  const int row = argc > 2 ? std::atoi(argv[2]) : 0;
  window.findChild<QTableView*>("ListView1")->selectRow(row);
  QApplication::processEvents();
  // The hours around the selected file: from one hour before it to two after.
  if (const auto* bar = window.timeline()->model()->barOfRow(static_cast<std::size_t>(row)))
    window.timeline()->view()->showSpan(bar->start - 3600, bar->end + 2 * 3600);
  if (!window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "vellmark-shoot-timeline: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
