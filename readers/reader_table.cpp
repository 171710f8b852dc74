#include "core/reader_table.h"

#include "readers/modAXE.h"
#include "readers/modCdot.h"
#include "readers/modE10B.h"
#include "readers/modEWSD.h"
#include "readers/modESS.h"
#include "readers/modOCB.h"

namespace vellmark {

ReaderTable DefaultReaderTable() {
  return {
      {"OCB", ReadOcbFile},
      {"EWSD", ReadEwsdFile},
      {"CDOT", ReadCdotFile},
      {"E10B", ReadE10bFile},
      {"AXE", ReadAxeFile},
      {"5ESS", ReadEssFile},
  };
}

}  // namespace vellmark
