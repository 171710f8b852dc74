#include "core/reader_table.h"

namespace vellmark {

ReaderTable DefaultReaderTable() {
  return {
  };
}

}  // namespace vellmark
