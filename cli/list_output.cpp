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

// A list of row numbers.
std::string JsonRows(const std::vector<std::size_t>& rows) {
  std::string text = "[";
  for (std::size_t i = 0; i < rows.size(); ++i) text += (i ? "," : "") + std::to_string(rows[i]);
  return text + "]";
}

void PrintContinuityJson(const Continuity& c, std::ostream& out) {
  auto lane = [&c](std::size_t i) {
    return "\"family\":" + JsonString(c.lanes[i].family) + ",\"exchange\":" + JsonString(c.lanes[i].exchange);
  };
  out << ",\"continuity\":{\"exchanges\":[";
  for (std::size_t i = 0; i < c.lanes.size(); ++i)
    out << (i ? "," : "") << "{" << lane(i) << ",\"rows\":" << JsonRows(c.lanes[i].rows) << "}";
  for (const auto* spans : {&c.gaps, &c.overlaps}) {
    out << "],\"" << (spans == &c.gaps ? "gaps" : "overlaps") << "\":[";
    for (std::size_t i = 0; i < spans->size(); ++i) {
      const LaneSpan& s = (*spans)[i];
      out << (i ? "," : "") << "{" << lane(s.lane) << ",\"after\":" << s.after << ",\"before\":" << s.before
          << ",\"minutes\":" << s.minutes << "}";
    }
  }
  out << "],\"missing\":[";
  for (std::size_t i = 0; i < c.missing.size(); ++i)
    out << (i ? "," : "") << "{" << lane(c.missing[i].lane) << ",\"from\":" << c.missing[i].from
        << ",\"to\":" << c.missing[i].to << "}";
  out << "],\"left_out\":" << JsonRows(c.leftOut) << "}";
}

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
    if (list.session.options().verify)
      out << ",\"verified_records\":" << JsonNumber(e.verifiedRecords) << ",\"calls_per_hour\":"
          << CallsPerHourJson(e.callsPerHour);
    out << "}";
    first = false;
  }
  const TotalsTexts totals = Totals(list);
  out << "],\"totals\":{\"files\":" << JsonString(totals.files) << ",\"size\":" << JsonString(totals.size)
      << ",\"records\":" << JsonString(totals.records) << "},\"message\":" << JsonString(list.message)
      << ",\"results_shown\":" << (list.session.resultsShown() ? "true" : "false");
  if (list.continuity) PrintContinuityJson(*list.continuity, out);
  out << "}\n";
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

// Row numbers joined by blanks.
std::string RowsText(const std::vector<std::size_t>& rows) {
  std::string text;
  for (std::size_t row : rows) text += (text.empty() ? "" : " ") + std::to_string(row);
  return text;
}

// The continuity findings after the totals: the lanes with their rows in time order,
// then the gaps, overlaps, missing numbers and the rows left out.
void PrintContinuityTable(const Continuity& c, std::int64_t gapMinutes, std::ostream& out) {
  out << "\nContinuity (gaps over " << gapMinutes << " minutes)\n";
  std::size_t familyWidth = DisplayWidth("Switch"), exchangeWidth = DisplayWidth("Exchange");
  for (const Lane& lane : c.lanes) {
    familyWidth = std::max(familyWidth, DisplayWidth(EscapeForLine(lane.family)));
    exchangeWidth = std::max(exchangeWidth, DisplayWidth(EscapeForLine(lane.exchange)));
  }
  auto padded = [](const std::string& text, std::size_t width) {
    return text + std::string(width - DisplayWidth(text), ' ');
  };
  auto lane = [&](std::size_t i) {
    return padded(EscapeForLine(c.lanes[i].family), familyWidth) + "  " +
           padded(EscapeForLine(c.lanes[i].exchange), exchangeWidth);
  };
  out << padded("Switch", familyWidth) << "  " << padded("Exchange", exchangeWidth) << "  Rows by time\n";
  for (std::size_t i = 0; i < c.lanes.size(); ++i) out << lane(i) << "  " << RowsText(c.lanes[i].rows) << "\n";
  auto heading = [&out](const char* name, bool empty) { out << name << (empty ? ": none\n" : ":\n"); };
  heading("Gaps", c.gaps.empty());
  for (const LaneSpan& g : c.gaps)
    out << "  " << lane(g.lane) << "  " << g.minutes << " minutes after row " << g.after << ", before row "
        << g.before << "\n";
  heading("Overlaps", c.overlaps.empty());
  for (const LaneSpan& o : c.overlaps)
    out << "  " << lane(o.lane) << "  row " << o.before << " overlaps row " << o.after << " by " << o.minutes
        << " minutes\n";
  heading("Missing numbers", c.missing.empty());
  for (const MissingNumbers& m : c.missing)
    out << "  " << lane(m.lane) << "  " << m.from << (m.from == m.to ? "" : " to " + std::to_string(m.to)) << "\n";
  out << "Left out: " << (c.leftOut.empty() ? "none" : RowsText(c.leftOut)) << "\n";
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
  if (list.continuity) PrintContinuityTable(*list.continuity, list.gapMinutes, out);
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
