#pragma once
// Analyser entries and lists as reports and exports see them, written out as their texts.

#include <ctime>
#include <initializer_list>
#include <string>

#include "core/analyser_list.h"

namespace vellmark::testdata {

struct EntryTexts {
  std::string number, path, family, start, end, records, size;
  bool duplicate = false;
};

AnalyserEntry MakeEntry(const EntryTexts& texts);
AnalyserList MakeList(std::initializer_list<EntryTexts> entries);

// Three analysed entries of different families, all fitting their report columns.
AnalyserList ThreeAnalysedEntries();

// 12 May 2004, 09:30:05.
std::tm FixedTime();

}  // namespace vellmark::testdata
