// The text report: the parser on a whole text and the file loader on the same bytes
// as a file; then the writer, with the bytes as entry texts (see EntriesOfLines),
// whose report must read back to the same texts.
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "fuzz/fuzz_target.h"
#include "reports/text_report.h"

namespace {

// A text as a report gives it back: a line break is written "?", and blanks at the
// ends of a cell are not told apart from its padding.
std::string ReadBack(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = '?';
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)vellmark::ParseReport(std::string_view(reinterpret_cast<const char*>(data), size));
  vellmark::MemoryFileSystem files;
  files.put("report.vmr", std::vector<std::uint8_t>(data, data + size));
  (void)vellmark::LoadReportFile(files, "report.vmr");

  const vellmark::AnalyserList list = vellmark::fuzz::EntriesOfLines(data, size);
  auto back = vellmark::ParseReport(vellmark::ReportText(list, std::tm{}));
  if (!back || back->size() != list.size()) std::abort();
  for (std::size_t i = 0; i < list.size(); ++i)
    for (int c = 0; c < vellmark::AnalyserEntry::kColumns; ++c)
      if ((*back)[i].column(c) != ReadBack(list.at(i).column(c))) std::abort();
  return 0;
}
