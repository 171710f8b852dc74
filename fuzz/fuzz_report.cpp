// The text report reader: the parser on a whole text and the file loader on the same
// bytes as a file.
#include <string_view>

#include "fuzz/fuzz_target.h"
#include "reports/text_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)vellmark::ParseReport(std::string_view(reinterpret_cast<const char*>(data), size));
  vellmark::MemoryFileSystem files;
  files.put("report.vmr", std::vector<std::uint8_t>(data, data + size));
  (void)vellmark::LoadReportFile(files, "report.vmr");
  return 0;
}
