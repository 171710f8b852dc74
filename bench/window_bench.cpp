// vellmark-window-bench: how long the window goes without handling its events while
// a pass runs over one large file of each family, or while it works on a list of many
// rows.
//
//   QT_QPA_PLATFORM=offscreen vellmark-window-bench [--size=1GiB] [--cache-dir=DIR]
//   QT_QPA_PLATFORM=offscreen vellmark-window-bench --rows=100000 [--cache-dir=DIR]
//
// A timer ticks every 2 ms on the window's thread; the longest time between two
// handled ticks during the pass is printed per family (the goal is under 50 ms).
// --rows=N lists N copies of the samples (hard links, so every copy after the first
// of a sample is a duplicate), then times each step a user takes on the list: adding
// them, a pass, sorting by each column, typing into the filter, removing every other
// row, clearing. A step the window takes in one go is as long as the window waits.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "bench/bench_files.h"
#include "testdata/samples.h"
#include "ui/analyser_list_model.h"
#include "ui/frmVELM.h"
#include "ui/list_proxy.h"

using namespace vellmark;

namespace {

struct PassTiming {
  double seconds = 0;
  double longestGapMs = 0;
  long ticks = 0;
  std::string records;
};

PassTiming TimePass(ui::frmVELM& window, const bench::BenchFile& file) {
  window.session().ClearEntries();
  window.session().AddFile(file.path);

  PassTiming timing;
  QElapsedTimer clock;
  qint64 lastTick = -1;
  QTimer ticker;
  ticker.setInterval(2);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    qint64 now = clock.nsecsElapsed();
    if (lastTick >= 0) timing.longestGapMs = std::max(timing.longestGapMs, (now - lastTick) / 1e6);
    lastTick = now;
    ++timing.ticks;
  });

  // The pass runs inside an event handler, as the Analyse button runs it. A loop of its
  // own: quitting the application would close the window, which asks about the results.
  QEventLoop loop;
  QTimer::singleShot(0, &window, [&] {
    clock.start();
    lastTick = 0;
    ticker.start();
    window.analyse();
    ticker.stop();
    // The gap up to the end of the pass counts too.
    timing.longestGapMs = std::max(timing.longestGapMs, (clock.nsecsElapsed() - lastTick) / 1e6);
    timing.seconds = clock.nsecsElapsed() / 1e9;
    loop.quit();
  });
  loop.exec();
  timing.records = window.session().list().at(0).recordsText();
  return timing;
}

// Runs `step` from the event loop, as a click would, and paints `window` after it, so
// work a view leaves for later counts too; returns its time and the longest wait
// between handled ticks of a 2 ms timer meanwhile (both in ms).
std::pair<double, double> TimeStep(ui::frmVELM& window, const std::function<void()>& step) {
  QElapsedTimer clock;
  qint64 lastTick = 0;
  double longest = 0, total = 0;
  QTimer ticker;
  ticker.setInterval(2);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longest = std::max(longest, (now - lastTick) / 1e6);
    lastTick = now;
  });
  QEventLoop loop;
  QTimer::singleShot(0, [&] {
    clock.start();
    ticker.start();
    step();
    window.proxy()->rowCount();
    QCoreApplication::processEvents();
    window.repaint();
    ticker.stop();
    longest = std::max(longest, (clock.nsecsElapsed() - lastTick) / 1e6);
    total = clock.nsecsElapsed() / 1e6;
    loop.quit();
  });
  loop.exec();
  return {total, longest};
}

// N copies of the samples, each in a folder of its own: hard links to one set.
std::vector<std::string> SampleCopies(int rows, const std::string& folder) {
  namespace fs = std::filesystem;
  const fs::path base = fs::path(folder) / ("rows-" + std::to_string(rows));
  const auto samples = testdata::AllSamples();
  fs::create_directories(base / "samples");
  for (const auto& sample : samples)
    if (!fs::exists(base / "samples" / sample.name))
      std::ofstream(base / "samples" / sample.name, std::ios::binary)
          .write(reinterpret_cast<const char*>(sample.bytes.data()), static_cast<std::streamsize>(sample.bytes.size()));
  std::vector<std::string> paths;
  for (int i = 0; static_cast<int>(paths.size()) < rows; ++i) {
    const fs::path dir = base / std::to_string(i);
    fs::create_directories(dir);
    for (const auto& sample : samples) {
      if (static_cast<int>(paths.size()) == rows) break;
      const fs::path copy = dir / sample.name;
      if (!fs::exists(copy)) fs::create_hard_link(base / "samples" / sample.name, copy);
      paths.push_back(copy.string());
    }
  }
  return paths;
}

int RowsBench(int rows, const std::string& folder) {
  std::vector<std::string> paths = SampleCopies(rows + 34, folder);
  const std::vector<std::string> later(paths.end() - 34, paths.end() - 17), last(paths.end() - 17, paths.end());
  paths.resize(static_cast<std::size_t>(rows));
  ui::frmVELM window;
  window.dialogs().setScripted(true);
  window.show();
  auto* list = window.findChild<QTableView*>("ListView1");
  auto* filter = window.findChild<QLineEdit*>("txtFilter");
  auto* family = window.findChild<QComboBox*>("cboFamily");
  std::printf("%-34s %10s %16s\n", "step, rows", "ms", "longest wait ms");
  auto report = [&](const std::string& name, std::pair<double, double> t) {
    std::printf("%-34s %10.1f %16.1f\n", (name + ", " + std::to_string(window.session().list().size())).c_str(), t.first,
                t.second);
    std::fflush(stdout);
  };
  report("add", TimeStep(window, [&] { window.offerFiles(paths); }));
  report("analyse", TimeStep(window, [&] { window.analyse(); }));
  report("add 17 more", TimeStep(window, [&] { window.offerFiles(later); }));
  list->sortByColumn(ui::AnalyserListModel::Size, Qt::AscendingOrder);
  report("add 17 more, sorted by size", TimeStep(window, [&] { window.offerFiles(last); }));
  const char* columns[] = {"Binary File", "No", "Switch", "Start Time", "End Time", "Records", "Size"};
  for (int c = 0; c < 7; ++c)
    report(std::string("sort by ") + columns[c], TimeStep(window, [&] { list->sortByColumn(c, Qt::DescendingOrder); }));
  report("list order", TimeStep(window, [&] { window.proxy()->showListOrder(); }));
  report("filter: type K", TimeStep(window, [&] { filter->insert("K"); }));
  report("filter: type O", TimeStep(window, [&] { filter->insert("O"); }));
  report("filter: family OCB", TimeStep(window, [&] { family->setCurrentIndex(family->findData("OCB")); }));
  report("filter: cleared", TimeStep(window, [&] {
    filter->clear();
    family->setCurrentIndex(0);
  }));
  report("select all, copy", TimeStep(window, [&] {
    list->selectAll();
    window.copyRows();
  }));
  report("details of the last row", TimeStep(window, [&] {
    list->setCurrentIndex(list->model()->index(list->model()->rowCount() - 1, 0));
    window.showDetails();
  }));
  // Rows scattered over the list: one family's, chosen through the filter.
  report("filter: family CDOT, select all", TimeStep(window, [&] {
    family->setCurrentIndex(family->findData("CDOT"));
    list->selectAll();
  }));
  report("remove them", TimeStep(window, [&] { window.removeFiles(); }));
  report("filter: cleared", TimeStep(window, [&] { family->setCurrentIndex(0); }));
  report("select rows 1 to 1000, remove", TimeStep(window, [&] {
    list->selectionModel()->select(QItemSelection(list->model()->index(0, 0), list->model()->index(999, 0)),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window.removeFiles();
  }));
  report("clear", TimeStep(window, [&] {
    window.dialogs().setNextAnswer(QMessageBox::Yes);
    window.clearList();
  }));
  return window.session().list().empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::uint64_t size = std::uint64_t{1} << 30;
  std::string folder;
  int rows = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--size=", 0) == 0) size = bench::ParseSize(arg.substr(7));
    else if (arg.rfind("--cache-dir=", 0) == 0) folder = arg.substr(12);
    else if (arg.rfind("--rows=", 0) == 0) rows = std::atoi(arg.c_str() + 7);
    else {
      (arg == "--help" ? std::cout : std::cerr) << "usage: vellmark-window-bench [--size=1GiB | --rows=N] [--cache-dir=DIR]\n";
      return arg == "--help" ? 0 : 2;
    }
  }
  if (rows > 0) {
    try {
      return RowsBench(rows, bench::BenchFolder(folder));
    } catch (const std::exception& e) {
      std::cerr << "vellmark-window-bench: " << e.what() << "\n";
      return 1;
    }
  }
  if (size == 0) {
    std::cerr << "vellmark-window-bench: sizes are given as 1GiB, 64MiB, 1MB or a number of bytes\n";
    return 2;
  }

  ui::frmVELM window;
  window.dialogs().setScripted(true);
  window.show();

  int failures = 0;
  std::printf("%-6s %10s %10s %16s %8s\n", "family", "size", "pass s", "longest gap ms", "ticks");
  for (const auto& family : bench::BenchFamilies()) {
    bench::BenchFile file;
    try {
      file = bench::EnsureBenchFile(family, size, bench::BenchFolder(folder));
    } catch (const std::exception& e) {
      std::cerr << "vellmark-window-bench: " << e.what() << "\n";
      return 1;
    }
    PassTiming t = TimePass(window, file);
    std::printf("%-6s %10s %10.3f %16.1f %8ld\n", family.c_str(), bench::SizeName(size).c_str(), t.seconds,
                t.longestGapMs, t.ticks);
    std::fflush(stdout);
    // The count is the last field of the expected result.
    std::string expectedRecords = file.expected.substr(file.expected.rfind(',') + 1);
    if (t.records != expectedRecords) {
      std::cerr << family << ": " << t.records << " records, expected " << expectedRecords << "\n";
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
