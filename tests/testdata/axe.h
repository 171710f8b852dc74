#pragma once
// AXE files from readable descriptions: blocks of 2048 bytes holding text records
// that open with their own length; the last byte of every block is 0.

#include <cstddef>
#include <string>
#include <vector>

#include "testdata/bytes.h"

namespace vellmark::testdata {

inline constexpr std::size_t kAxeBlockSize = 2048;

// One call record. `layout` says where the stamp sits:
//   0: a full 16-digit called number at 19..34, stamp fields from 50 and 71;
//   1: a called number with a blank at 19, stamp fields from 51 and 72;
//   2: blanks at 35..37, stamp fields from 66 and 87.
struct AxeCall {
  int layout = 0;
  std::string date = "250318";  // YYMMDD, copied as it stands
  std::string time = "140259";  // hhmmss
  std::size_t length = 0;       // 0: 120 for layouts 0 and 1, 150 for layout 2
  unsigned serial = 0;          // varies the numbers and the duration
};

// The record's text, `length` characters, its length field first.
std::string AxeRecord(const AxeCall& call);

// Record texts from the start of one block.
using AxeBlock = std::vector<std::string>;

// Whole blocks: the records, then `padding` up to the block's last byte, which is 0.
// Record text that would reach the last byte is cut off.
Bytes AxeFile(const std::vector<AxeBlock>& blocks, char padding = ' ');

// Records packed into blocks in order; a record that does not fit before a block's
// last byte opens the next block.
std::vector<AxeBlock> AxeBlocks(const std::vector<std::string>& records);

// n calls of one layout, `gap` seconds apart from the given day and time, with
// lengths cycling between 100 and 160.
std::vector<std::string> AxeRun(int layout, std::size_t n, const std::string& date, unsigned hour,
                                 unsigned minute, unsigned gap);

}  // namespace vellmark::testdata
