#include "cli/list_output.h"

#include <algorithm>
#include <array>
#include <vector>

#include "cli/result_line.h"
#include "cli/text_escape.h"
#include "reports/text_report.h"

namespace vellmark::cli {

namespace {

// A number, or "" (CSV) or null (JSON) when there is none.
template <typename T>
std::string Number(const std::optional<T>& value, const char* none) {
  return value ? std::to_string(*value) : none;
}
template <typename T>
std::string JsonNumber(const std::optional<T>& value) { return Number(value, "null"); }

// The totals as the status bar shows them; all empty when there are none.
TotalsTexts Totals(const ListOutput& list) { return list.totals ? ShowTotals(*list.totals) : TotalsTexts{}; }

void PrintJson(const ListOutput& list, std::ostream& out) {
  out << "{\"entries\":[";
  bool first = true;
  for (const auto& e : list.session.list().entries()) {
    out << (first ? "" : ",") << "{\"no\":" << JsonString(e.number) << ",\"path\":" << JsonString(e.path)
        << ",\"switch\":" << JsonString(e.family) << ",\"start\":" << JsonString(e.start)
        << ",\"end\":" << JsonString(e.end) << ",\"records\":" << JsonString(e.recordsText())
        << ",\"size\":" << JsonString(e.sizeText());
    if (e.packedBytes) out << ",\"compressed_size_bytes\":" << *e.packedBytes;
    out << ",\"duplicate\":" << (e.duplicate() ? "true" : "false");
    if (e.failure) {
      out << ",\"error\":" << JsonString(e.failure->reason) << ",\"error_kind\":\"" << FailureKindName(e.failure->kind)
          << "\",\"error_offset\":" << JsonNumber(e.failure->offset);
    }
    out << ",\"duplicate_of\":" << JsonNumber(e.duplicateOf) << ",\"same_content_as\":" << JsonNumber(e.sameContentAs)
        << ",\"digests\":" << JsonDigests(e.digests) << ",\"warnings\":" << JsonWarnings(e.warnings);
    if (list.session.options().verify) out << ",\"verified_records\":" << JsonNumber(e.verifiedRecords);
    out << "}";
    first = false;
  }
  const TotalsTexts totals = Totals(list);
  out << "],\"totals\":{\"files\":" << JsonString(totals.files) << ",\"size\":" << JsonString(totals.size)
      << ",\"records\":" << JsonString(totals.records) << "},\"message\":" << JsonString(list.message)
      << ",\"results_shown\":" << (list.session.resultsShown() ? "true" : "false") << "}\n";
}

// The kinds of an entry's warnings, joined by "; ".
std::string WarningKinds(const AnalyserEntry& e) {
  std::string kinds;
  for (const auto& w : e.warnings) kinds += (kinds.empty() ? "" : "; ") + std::string(WarningKindName(w.kind));
  return kinds;
}

void PrintCsv(const ListOutput& list, std::ostream& out) {
  const ReadOptions& options = list.session.options();
  out << "no,path,switch,start,end,records,size,duplicate,error_kind,error,duplicate_of,same_content_as,xxh3_128"
      << (options.sha256 ? ",sha256" : "") << ",warnings" << (options.verify ? ",verified_records" : "") << "\r\n";
  for (const auto& e : list.session.list().entries()) {
    for (int c : {1, 0, 2, 3, 4, 5, 6}) out << CsvField(e.column(c)) << ",";
    out << (e.duplicate() ? "yes" : "no") << "," << (e.failure ? FailureKindName(e.failure->kind) : "") << ","
        << CsvField(e.failure ? e.failure->reason : "") << "," << Number(e.duplicateOf, "") << ","
        << Number(e.sameContentAs, "") << "," << (e.digests ? e.digests->xxh3_128 : "");
    if (options.sha256) out << "," << (e.digests && e.digests->sha256 ? *e.digests->sha256 : "");
    out << "," << WarningKinds(e);
    if (options.verify) out << "," << Number(e.verifiedRecords, "");
    out << "\r\n";
  }
}

std::string Note(const AnalyserEntry& e) {
  std::vector<std::string> notes;
  if (e.duplicateOf) notes.push_back("duplicate of " + std::to_string(*e.duplicateOf));
  if (e.sameContentAs) notes.push_back("same content as " + std::to_string(*e.sameContentAs));
  if (e.failure) notes.push_back(std::string(FailureKindName(e.failure->kind)) + ": " + e.failure->reason);
  if (!e.warnings.empty()) notes.push_back(WarningKinds(e));
  std::string note;
  for (const auto& n : notes) note += (note.empty() ? "" : "; ") + n;
  return note;
}

void PrintTable(const ListOutput& list, std::ostream& out) {
  const AnalysisSession& session = list.session;
  const std::array<const char*, 8> headings = {"No", "Binary File", "Switch", "Start Time",
                                               "End Time", "Records", "Size", "Note"};
  const std::array<int, 8> order = {1, 0, 2, 3, 4, 5, 6, -1};
  const std::array<bool, 8> right = {true, false, false, false, false, true, true, false};

  std::vector<std::array<std::string, 8>> rows;
  for (const auto& e : session.list().entries()) {
    std::array<std::string, 8> row;
    for (std::size_t i = 0; i < 8; ++i) row[i] = EscapeForLine(order[i] < 0 ? Note(e) : e.column(order[i]));
    rows.push_back(std::move(row));
  }
  std::array<std::size_t, 8> width{};
  for (std::size_t i = 0; i < 8; ++i) {
    width[i] = DisplayWidth(headings[i]);
    for (const auto& row : rows) width[i] = std::max(width[i], DisplayWidth(row[i]));
  }
  auto printRow = [&](const std::array<std::string, 8>& cells) {
    std::string line;
    for (std::size_t i = 0; i < 8; ++i) {
      std::string pad(width[i] - DisplayWidth(cells[i]), ' ');
      if (i == 7) line += cells[i];
      else line += right[i] ? pad + cells[i] : cells[i] + pad;
      if (i < 7) line += "  ";
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << "\n";
  };
  std::array<std::string, 8> heading;
  for (std::size_t i = 0; i < 8; ++i) heading[i] = headings[i];
  printRow(heading);
  for (const auto& row : rows) printRow(row);
  const TotalsTexts totals = Totals(list);
  out << "\nTotal Valid Data Files: " << totals.files << "\n"
      << "Total Valid Data File Size: " << totals.size << "\n"
      << "Total Records: " << totals.records << "\n";
  if (!list.message.empty()) out << list.message << "\n";
}

}  // namespace

std::optional<ListFormat> ParseListFormat(std::string_view name) {
  if (name == "table") return ListFormat::Table;
  if (name == "json") return ListFormat::Json;
  if (name == "csv") return ListFormat::Csv;
  if (name == "vmr") return ListFormat::Vmr;
  if (name == "jsonl") return ListFormat::Jsonl;
  return std::nullopt;
}

void PrintList(const ListOutput& list, ListFormat format, std::ostream& out) {
  switch (format) {
    case ListFormat::Json: PrintJson(list, out); break;
    case ListFormat::Csv: PrintCsv(list, out); break;
    case ListFormat::Table: PrintTable(list, out); break;
    case ListFormat::Vmr: out << ReportText(list.session.list(), list.now); break;
    case ListFormat::Jsonl: break;
  }
}

}  // namespace vellmark::cli
