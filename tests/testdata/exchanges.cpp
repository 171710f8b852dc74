#include "testdata/exchanges.h"

#include "testdata/axe.h"
#include "testdata/e10b.h"

namespace vellmark::testdata {

namespace {

Bytes E10b(std::vector<E10bTicket> tickets) { return E10bFile(E10bBlocks(tickets)); }

}  // namespace

std::vector<SampleFile> ExchangeFiles() {
  auto newYear = E10bRun(121, 10, 365, 23, 50);
  auto after = E10bRun(131, 20, 1, 0, 0);
  newYear.insert(newYear.end(), after.begin(), after.end());
  return {
      {"E10B-DEL1-0001.TKT", E10b(E10bRun(1, 60, 45, 8, 0))},
      {"E10B-DEL1-0002.TKT", E10b(E10bRun(61, 60, 45, 11, 0))},
      {"E10B-DEL1-0005.TKT", E10b(E10bRun(241, 60, 45, 12, 0))},
      {"E10B-DEL2-0001.TKT", E10b(E10bRun(1, 120, 45, 8, 0))},
      {"E10B-DEL2-0002.TKT", E10b(newYear)},
      {"BOMFILE01.AXE", AxeFile(AxeBlocks(AxeRun(0, 120, "260214", 8, 0, 30)))},
      {"BOMFILE02.AXE", AxeFile(AxeBlocks(AxeRun(0, 120, "260214", 8, 30, 30)))},
  };
}

}  // namespace vellmark::testdata
