#include "testdata/report_entries.h"

#include "core/switch_family.h"

namespace vellmark::testdata {

AnalyserEntry MakeEntry(const EntryTexts& t) {
  AnalyserEntry e;
  e.number = t.number;
  e.path = t.path;
  e.family = t.family;
  e.start = t.start;
  e.end = t.end;
  e.setRecordsText(t.records);
  e.writtenSize = t.size;
  if (t.duplicate) e.duplicateOf = 1;
  e.icon = FamilyIconIndex(t.family);
  return e;
}

AnalyserList MakeList(std::initializer_list<EntryTexts> entries) {
  AnalyserList list;
  for (const auto& t : entries) list.append(MakeEntry(t));
  return list;
}

AnalyserList ThreeAnalysedEntries() {
  return MakeList({
      {"1", "/data/cdr/ocb/ocb-a.dat", "OCB", "2004-05-12   09:30:05", "2004-05-12   18:02:41", "1207", "13 KB"},
      {"2", "/data/cdr/ewsd/ewsd.ama", "EWSD", "2004-05-13   00:00:10", "2004-05-13   23:59:58", "85", "2 KB"},
      {"3", "/data/cdr/axe.dat", "AXE", "12/05/2004   07:15:00", "12/05/2004   07:45:12", "3", "1 KB"},
  });
}

std::tm FixedTime() {
  std::tm t{};
  t.tm_year = 2004 - 1900;
  t.tm_mon = 4;
  t.tm_mday = 12;
  t.tm_hour = 9;
  t.tm_min = 30;
  t.tm_sec = 5;
  return t;
}

}  // namespace vellmark::testdata
