#include "testdata/ess.h"

#include <cstdio>

#include "testdata/samples.h"

namespace vellmark::testdata {

std::string EssRecord(const EssCall& call) {
  std::string record(kEssRecordLength, ' ');
  PlaceText(record, 1, "0625");                                                   // structure code
  PlaceText(record, 5, ZeroPadded(8022400000ULL + call.serial * 7919 % 100000, 10));  // calling
  PlaceText(record, 15, ZeroPadded(9845000000ULL + call.serial * 104729 % 1000000, 10));  // called
  PlaceText(record, 31, "0001" + ZeroPadded(call.serial % 1000, 3) + " 00210");
  PlaceText(record, 44, call.date);
  PlaceText(record, 50, call.time);
  PlaceText(record, 56, ZeroPadded(call.serial * 37 % 3600, 6));  // duration in seconds
  PlaceText(record, 62, call.route.empty() ? "0" + ZeroPadded(3100 + call.serial % 50, 4) + " 00000000" : call.route);
  PlaceText(record, 75, "7");
  PlaceText(record, 76, "000 0 00 " + ZeroPadded(call.serial, 8) + " 0000000000");
  return record;
}

Bytes EssFile(const std::vector<EssCall>& calls, std::size_t leadingBlanks, std::string_view separator) {
  std::string text(leadingBlanks, ' ');
  for (const auto& call : calls) {
    text += EssRecord(call);
    text += separator;
  }
  return Text(text);
}

std::vector<EssCall> EssRun(std::size_t n, const std::string& date, unsigned hour, unsigned minute,
                            unsigned gap) {
  std::vector<EssCall> calls;
  unsigned seconds = (hour * 60 + minute) * 60;
  for (std::size_t i = 0; i < n; ++i, seconds += gap) {
    EssCall call;
    call.date = date;
    call.time = ZeroPadded(seconds / 3600 % 24, 2) + ZeroPadded(seconds / 60 % 60, 2) + ZeroPadded(seconds % 60, 2);
    call.serial = static_cast<unsigned>(i + 1);
    calls.push_back(call);
  }
  return calls;
}

std::vector<SampleFile> EssSamples() {
  // A working day written back to back, with a few records that are not calls.
  auto day = EssRun(120, "250318", 9, 0, 53);
  day[17].date = "000000";
  day[64].date = "      ";
  day[101].date = "      ";

  // One call per line. The probe looks at a 122-character stride, so in a file with
  // line feeds it sees column 75 - k of record k; these routes carry a 7 there.
  auto lines = EssRun(40, "250319", 7, 45, 71);
  for (std::size_t k = 1; k <= 10; ++k) {
    std::string route = "0" + ZeroPadded(3100 + k, 4) + " 00000000";
    route[13 - k] = '7';
    lines[k].route = route;
  }
  return {{"AMA20250318.001", EssFile(day)}, {"AMA20250319.001", EssFile(lines, 0, "\n")}};
}

}  // namespace vellmark::testdata
