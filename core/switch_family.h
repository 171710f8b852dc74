#pragma once
// The switch family table: slot 0 stands for a file that is not a data file, slots 1
// to 8 are the families, and a slot's index is also the family's icon number.

#include <array>
#include <string>
#include <string_view>

namespace vellmark {

constexpr int kNotADataFile = 0;
constexpr int kFamilyOcb = 1;
constexpr int kFamilyCdot = 2;
constexpr int kFamilyE10b = 3;
constexpr int kFamilyAxe = 4;
constexpr int kFamily5ess = 5;
constexpr int kFamilyEwsd = 6;
constexpr int kFamilyCdot42 = 7;
constexpr int kFamilyUnknown = 8;

struct SwitchFamilyTable {
  static constexpr std::array<std::string_view, 9> kTexts = {
      "", "OCB", "CDOT", "E10B", "AXE", "5ESS", "EWSD", "CDOT42", "Unknown"};
  static std::string text(int index) {
    return index >= 0 && index < 9 ? std::string(kTexts[index]) : std::string();
  }
};

// The icon number for a family text read back from a report; 0 (no icon) for any
// text outside the table, "CDOT42" included.
int FamilyIconIndex(std::string_view family);

}  // namespace vellmark
