#include "reports/text_report.h"

#include <cerrno>
#include <cstdio>

#include "core/block_reader.h"
#include "core/switch_family.h"
#include "core/texts.h"
#include "core/utf8.h"
#include "reports/safe_save.h"

namespace vellmark {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kHeaderLines = 5;   // title, empty line, rule, heading, rule
constexpr std::size_t kCells = 7;
constexpr std::size_t kKeptLineBuffer = std::size_t{1} << 16;

// A text as a cell holds it: a line break would split its row in two and lose the
// entry on reading, so it becomes "?"; a "|" is written "\|" so it splits no cell.
std::string CellText(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text) {
    if (c == '|') s += '\\';
    s += c == '\r' || c == '\n' ? '?' : c;
  }
  return s;
}

// Texts wider than their column are written whole: the row grows, nothing is lost.
std::string RightAligned(std::string_view text, std::size_t width) {
  std::string cell = CellText(text);
  const std::size_t n = CharacterCount(cell);
  return n >= width ? cell : std::string(width - n, ' ') + cell;
}

std::string LeftAligned(std::string_view text, std::size_t width) {
  std::string cell = CellText(text);
  const std::size_t n = CharacterCount(cell);
  return n >= width ? cell : cell + std::string(width - n, ' ');
}

// p blanks on each side, p = (21 - n) / 2 rounded half to even, at least 0.
std::string Centred(std::string_view text) {
  const std::size_t n = CharacterCount(text);
  std::size_t p = 0;
  if (n < 21) {
    std::size_t twice = 21 - n;          // 2p before rounding
    p = twice / 2;
    if (twice % 2 == 1 && p % 2 == 1) ++p;  // a half goes to the even neighbour
  }
  std::string blanks(p, ' ');
  return blanks + CellText(text) + blanks;
}

std::string_view TrimBlanks(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// Reads a report line by line, from one string or from blocks of a file.
class ReportParser {
 public:
  // Takes the next piece of the file; false once the file is known not to be a report.
  // Lines end in CR LF, LF or CR alone.
  bool feed(std::string_view chunk) {
    while (!chunk.empty()) {
      if (afterCr_ && chunk.front() == '\n') chunk.remove_prefix(1);  // the LF of a CR LF
      afterCr_ = false;
      const std::size_t end = chunk.find_first_of("\r\n");
      const std::string_view piece = chunk.substr(0, end);
      // A line longer than any report holds: no report, and no more of it in memory.
      if (pending_.size() + piece.size() > kMaxReportLine) {
        rejected_ = true;
        return false;
      }
      pending_.append(piece);
      if (end == std::string_view::npos) break;
      afterCr_ = chunk[end] == '\r';
      chunk.remove_prefix(end + 1);
      if (!line()) return false;
    }
    // The mark is known as soon as eight bytes of the first line are.
    if (lines_ == 0 && pending_.size() >= kReportMark.size() && pending_.rfind(kReportMark, 0) != 0) {
      rejected_ = true;
      return false;
    }
    return true;
  }

  // The end of the file; nullopt when it is not a report.
  std::optional<std::vector<AnalyserEntry>> finish() {
    if (!rejected_ && !pending_.empty()) line();
    if (rejected_ || lines_ == 0) return std::nullopt;
    return std::move(entries_);
  }

 private:
  bool line() {
    const std::string_view text = pending_;
    ++lines_;
    if (lines_ == 1) {
      rejected_ = text.rfind(kReportMark, 0) != 0;
    } else if (lines_ > kHeaderLines && (text.empty() || text.front() != '+')) {
      row(text);
    }
    // The buffer of one long line is not kept for the lines after it.
    if (pending_.capacity() > kKeptLineBuffer) std::string().swap(pending_);
    pending_.clear();
    return !rejected_;
  }

  // A bar after "\" is part of a text; the others cut the row into cells.
  static std::size_t NextBar(std::string_view text, std::size_t from) {
    for (std::size_t bar = text.find('|', from); bar != std::string_view::npos; bar = text.find('|', bar + 1))
      if (bar == 0 || text[bar - 1] != '\\') return bar;
    return std::string_view::npos;
  }

  static std::string Unescaped(std::string_view cell) {
    std::string s(cell);
    for (std::size_t at = s.find("\\|"); at != std::string::npos; at = s.find("\\|", at + 1)) s.erase(at, 1);
    return s;
  }

  void row(std::string_view text) {
    std::string cells[kCells];
    std::size_t piece = 0;
    std::size_t from = 0;
    for (std::size_t bar = text.find('|');; bar = NextBar(text, from)) {
      std::string_view part = text.substr(from, bar == std::string_view::npos ? std::string_view::npos : bar - from);
      if (piece >= 1 && piece <= kCells) cells[piece - 1] = Unescaped(TrimBlanks(part));
      ++piece;
      if (bar == std::string_view::npos || piece > kCells) break;
      from = bar + 1;
    }
    // The writer never makes a row of fewer than seven cells: such a line is not a row.
    if (piece <= kCells) return;
    AnalyserEntry entry;
    entry.number = cells[0];
    entry.path = cells[1];
    entry.family = cells[2];
    entry.start = cells[3];
    entry.end = cells[4];
    entry.setRecordsText(cells[5]);
    entry.writtenSize = cells[6];
    entry.icon = FamilyIconIndex(entry.family);
    entries_.push_back(std::move(entry));
  }

  std::string pending_;
  bool afterCr_ = false;
  std::size_t lines_ = 0;
  bool rejected_ = false;
  std::vector<AnalyserEntry> entries_;
};

}  // namespace

std::string ReportTitleLine(const std::tm& now) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%02d-%02d-%04d  %02d:%02d:%02d", now.tm_mday, now.tm_mon + 1,
                now.tm_year + 1900, now.tm_hour, now.tm_min, now.tm_sec);
  return std::string(kReportTitle) + stamp;
}

std::string ReportRowLine(const AnalyserEntry& entry) {
  return "| " + RightAligned(entry.number, 3) + " | " + LeftAligned(entry.path, 50) + " | " +
         RightAligned(entry.family, 10) + " | " + Centred(entry.start) + " | " + Centred(entry.end) + " | " +
         RightAligned(entry.recordsText(), 10) + " | " + RightAligned(entry.sizeText(), 10) + " | ";
}

std::string ReportText(const AnalyserList& list, const std::tm& now) {
  std::string text;
  text.reserve((list.size() + 6) * 150);
  auto line = [&text](std::string_view s) {
    text += s;
    text += kLineEnd;
  };
  line(ReportTitleLine(now));
  line("");
  line(kReportRule);
  line(kReportHeading);
  line(kReportRule);
  for (const auto& entry : list.entries()) line(ReportRowLine(entry));
  line(kReportRule);
  return text;
}

std::string ReportFileName(const std::string& chosen) {
  constexpr std::string_view kDoubled = ".vmr.vmr";
  if (chosen.size() >= kDoubled.size() && chosen.compare(chosen.size() - kDoubled.size(), kDoubled.size(), kDoubled) == 0)
    return chosen.substr(0, chosen.size() - 4);
  return chosen;
}

std::optional<std::vector<AnalyserEntry>> ParseReport(std::string_view text) {
  ReportParser parser;
  if (!parser.feed(text)) return std::nullopt;
  return parser.finish();
}

Status WriteReportFile(FileSystem& files, const std::string& path, const AnalyserList& list, const std::tm& now,
                       SaveMode mode) {
  const std::string text = ReportText(list, now);
  // A report Open Report would refuse is not written.
  for (std::size_t from = 0, end; from < text.size(); from = end + 2) {
    end = text.find(kLineEnd, from);
    if (end - from > kMaxReportLine) return IoError{IoStep::Write, EFBIG, "a row is too long for a report"};
  }
  return SaveFile(files, path, text, mode);
}

Result<std::optional<std::vector<AnalyserEntry>>> LoadReportFile(FileSystem& files, const std::string& path) {
  ReportParser parser;
  bool report = true;
  Status read = ReadFileBlocks(files, path, std::size_t{1} << 16, [&](std::string_view block) {
    report = parser.feed(block);
    return report;
  });
  if (!read) return read.error();
  if (!report) return std::optional<std::vector<AnalyserEntry>>();
  return parser.finish();
}

}  // namespace vellmark
