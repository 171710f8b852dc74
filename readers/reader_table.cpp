#include "core/reader_table.h"

#include "readers/modCdot.h"
#include "readers/modE10B.h"

namespace vellmark {

ReaderTable DefaultReaderTable() {
  return {
      {"CDOT", ReadCdotFile},
      {"E10B", ReadE10bFile},
  };
}

}  // namespace vellmark
