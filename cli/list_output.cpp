#include "cli/list_output.h"

#include <algorithm>
#include <array>
#include <vector>

#include "cli/text_escape.h"
#include "reports/text_report.h"

namespace vellmark::cli {

namespace {

void PrintJson(const AnalysisSession& session, const std::string& message, std::ostream& out) {
  out << "{\"entries\":[";
  bool first = true;
  for (const auto& e : session.list().entries()) {
    out << (first ? "" : ",") << "{\"no\":" << JsonString(e.number) << ",\"path\":" << JsonString(e.path)
        << ",\"switch\":" << JsonString(e.family) << ",\"start\":" << JsonString(e.start)
        << ",\"end\":" << JsonString(e.end) << ",\"records\":" << JsonString(e.records)
        << ",\"size\":" << JsonString(e.size) << ",\"duplicate\":" << (e.duplicate ? "true" : "false");
    if (e.failure != ReadFailure::None)
      out << ",\"error\":" << JsonString(e.failureReason) << ",\"error_kind\":\"" << ReadFailureName(e.failure) << "\"";
    out << "}";
    first = false;
  }
  out << "],\"totals\":{\"files\":" << JsonString(session.panel(2)) << ",\"size\":" << JsonString(session.panel(3))
      << ",\"records\":" << JsonString(session.panel(4)) << "},\"message\":" << JsonString(message)
      << ",\"results_shown\":" << (session.resultsShown() ? "true" : "false") << "}\n";
}

void PrintCsv(const AnalysisSession& session, std::ostream& out) {
  out << "no,path,switch,start,end,records,size,duplicate,error_kind,error\r\n";
  for (const auto& e : session.list().entries()) {
    for (int c : {1, 0, 2, 3, 4, 5, 6}) out << CsvField(e.column(c)) << ",";
    out << (e.duplicate ? "yes" : "no") << "," << ReadFailureName(e.failure) << "," << CsvField(e.failureReason)
        << "\r\n";
  }
}

std::string Note(const AnalyserEntry& e) {
  std::string note = e.duplicate ? "duplicate" : "";
  if (e.failure != ReadFailure::None) {
    if (!note.empty()) note += "; ";
    note += std::string(ReadFailureName(e.failure)) + ": " + e.failureReason;
  }
  return note;
}

void PrintTable(const AnalysisSession& session, const std::string& message, std::ostream& out) {
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
  out << "\nTotal Valid Data Files: " << session.panel(2) << "\n"
      << "Total Valid Data File Size: " << session.panel(3) << "\n"
      << "Total Records: " << session.panel(4) << "\n";
  if (!message.empty()) out << message << "\n";
}

}  // namespace

std::optional<ListFormat> ParseListFormat(std::string_view name) {
  if (name == "table") return ListFormat::Table;
  if (name == "json") return ListFormat::Json;
  if (name == "csv") return ListFormat::Csv;
  if (name == "vmr") return ListFormat::Vmr;
  return std::nullopt;
}

void PrintList(const AnalysisSession& session, ListFormat format, const std::string& message, const std::tm& now,
               std::ostream& out) {
  switch (format) {
    case ListFormat::Json: PrintJson(session, message, out); break;
    case ListFormat::Csv: PrintCsv(session, out); break;
    case ListFormat::Table: PrintTable(session, message, out); break;
    case ListFormat::Vmr: out << ReportText(session.list(), now); break;
  }
}

}  // namespace vellmark::cli
