#pragma once
// 5ESS files from readable descriptions: 122-character text records, "7" in column
// 75, back to back or separated by line feeds, maybe after leading blanks.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "testdata/bytes.h"

namespace vellmark::testdata {

inline constexpr std::size_t kEssRecordLength = 122;

// One record. Date and time are the six characters written at 44..49 and 50..55;
// blanks or zeros in the date make a record that is not a call.
struct EssCall {
  std::string date = "250318";  // YYMMDD
  std::string time = "093005";  // hhmmss
  unsigned serial = 0;          // varies the numbers and the duration
  std::string route;            // 13 characters at 62..74; empty: made from serial
};

// The record's 122 characters.
std::string EssRecord(const EssCall& call);

// The records after `leadingBlanks` blanks, each followed by `separator`.
Bytes EssFile(const std::vector<EssCall>& calls, std::size_t leadingBlanks = 0,
              std::string_view separator = "");

// n calls `gap` seconds apart from the given day and time (within the day).
std::vector<EssCall> EssRun(std::size_t n, const std::string& date, unsigned hour, unsigned minute,
                            unsigned gap);

}  // namespace vellmark::testdata
