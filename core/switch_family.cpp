#include "core/switch_family.h"

namespace vellmark {

int FamilyIconIndex(std::string_view family) {
  if (family == "OCB") return kFamilyOcb;
  if (family == "CDOT") return kFamilyCdot;
  if (family == "E10B") return kFamilyE10b;
  if (family == "AXE") return kFamilyAxe;
  if (family == "5ESS") return kFamily5ess;
  if (family == "EWSD") return kFamilyEwsd;
  if (family == "Unknown") return kFamilyUnknown;
  return 0;
}

}  // namespace vellmark
