#pragma once
// Files of three exchanges whose continuity is known, read with the year 2026:
//   row  file                  calls (2026-02-14 unless told)
//   1    E10B-DEL1-0001.TKT    08:00 to 08:59
//   2    E10B-DEL1-0002.TKT    11:00 to 11:59   a gap of 121 minutes after row 1
//   3    E10B-DEL1-0005.TKT    12:00 to 12:59   numbers 3 and 4 missing
//   4    E10B-DEL2-0001.TKT    08:00 to 09:59
//   5    E10B-DEL2-0002.TKT    12-31 23:50 to 01-01 00:19: ends before it starts
//   6    BOMFILE01.AXE         08:00:00 to 08:59:30   a call every 30 seconds
//   7    BOMFILE02.AXE         08:30:00 to 09:29:30   overlaps row 6 by 29 minutes

#include <vector>

#include "testdata/samples.h"

namespace vellmark::testdata {

std::vector<SampleFile> ExchangeFiles();

}  // namespace vellmark::testdata
