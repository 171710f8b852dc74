#include "cli/result_line.h"

#include <type_traits>

#include "cli/json_reader.h"
#include "cli/text_escape.h"
#include "core/switch_family.h"
#include "core/texts.h"
#include "readers/reader_toolkit.h"

namespace vellmark::cli {

namespace {

template <typename T>
std::string Number(const std::optional<T>& value) {
  return value ? std::to_string(*value) : "null";
}

std::string JsonTextOrNull(const std::optional<std::string>& text) { return text ? JsonString(*text) : "null"; }


// "2026-02-14T08:02:11" for a real "2026-02-14   08:02:11"; nothing for a status or a
// text that is no date and time.
std::optional<std::string> IsoTime(const std::string& stamp) {
  if (!IsRealStamp(stamp)) return std::nullopt;
  return stamp.substr(0, 10) + "T" + stamp.substr(13);
}

// Appends the pieces in order, without the temporaries a chain of + makes.
template <typename... Pieces>
void Append(std::string& out, const Pieces&... pieces) {
  (out.append(std::string_view(pieces)), ...);
}


template <typename Kind>
std::optional<Kind> KindNamed(const std::string& name, Kind last, const char* (*nameOf)(Kind)) {
  for (int k = 0; k <= static_cast<int>(last); ++k)
    if (name == nameOf(static_cast<Kind>(k))) return static_cast<Kind>(k);
  return std::nullopt;
}

// Reads the members of one line into an entry; the reason when one is missing or wrong.
class LineReader {
 public:
  explicit LineReader(const JsonValue& line) : line_(line) {}
  const std::string& error() const { return error_; }

  bool text(const char* key, std::string& out) {
    const JsonValue* v = line_.find(key);
    if (!v || v->type != JsonValue::Type::String) return wrong(key, "a string");
    out = v->text;
    return true;
  }
  template <typename T>
  bool number(const JsonValue& holder, const char* key, std::optional<T>& out, bool required = false) {
    const JsonValue* v = holder.find(key);
    if (!v || v->isNull()) return !required || wrong(key, "a number");
    if constexpr (std::is_signed_v<T>) out = v->signedNumber();
    else out = v->unsignedNumber();
    return out || wrong(key, "a whole number");
  }
  bool flag(const JsonValue& holder, const char* key, bool& out) {
    const JsonValue* v = holder.find(key);
    if (!v || v->type != JsonValue::Type::Bool) return wrong(key, "true or false");
    out = v->boolean;
    return true;
  }
  bool wrong(const char* key, const char* what) {
    if (error_.empty()) error_ = std::string("\"") + key + "\" is not " + what;
    return false;
  }

 private:
  const JsonValue& line_;
  std::string error_;
};

bool ReadFailureOf(const JsonValue& line, LineReader& r, AnalyserEntry& e) {
  const JsonValue* kind = line.find("error_kind");
  if (!kind || kind->isNull()) return true;
  auto k = KindNamed(kind->text, FailureKind::Internal, FailureKindName);
  if (kind->type != JsonValue::Type::String || !k) return r.wrong("error_kind", "a failure kind");
  ReadFailure failure{*k, "", std::nullopt};
  if (!r.text("error", failure.reason) || !r.number(line, "error_offset", failure.offset)) return false;
  e.failure = std::move(failure);
  return true;
}

bool ReadWarnings(const JsonValue& line, LineReader& r, AnalyserEntry& e) {
  const JsonValue* list = line.find("warnings");
  if (!list || list->isNull()) return true;
  if (list->type != JsonValue::Type::Array) return r.wrong("warnings", "a list");
  for (const JsonValue& item : list->items) {
    const JsonValue* kind = item.find("kind");
    const JsonValue* text = item.find("text");
    auto k = kind ? KindNamed(kind->text, WarningKind::AssumedLayout, WarningKindName) : std::nullopt;
    if (!k || !text || text->type != JsonValue::Type::String) return r.wrong("warnings", "a list of warnings");
    Warning w{*k, text->text, std::nullopt};
    if (!r.number(item, "offset", w.offset)) return false;
    e.warnings.push_back(std::move(w));
  }
  return true;
}

bool ReadDigests(const JsonValue& line, LineReader& r, AnalyserEntry& e) {
  const JsonValue* digests = line.find("digests");
  if (!digests || digests->isNull()) return true;
  const JsonValue* xxh = digests->find("xxh3_128");
  if (!xxh || xxh->type != JsonValue::Type::String) return r.wrong("digests", "a set of digests");
  Digests d{xxh->text, std::nullopt};
  if (const JsonValue* sha = digests->find("sha256"); sha && sha->type == JsonValue::Type::String) d.sha256 = sha->text;
  e.digests = std::move(d);
  return true;
}

bool ReadCallsPerHour(const JsonValue& line, LineReader& r, AnalyserEntry& e) {
  const JsonValue* hours = line.find("calls_per_hour");
  if (!hours || hours->isNull()) return true;
  if (hours->type != JsonValue::Type::Array) return r.wrong("calls_per_hour", "a list");
  CallsPerHour counts;
  for (const JsonValue& item : hours->items) {
    const JsonValue* hour = item.find("hour");
    std::optional<std::uint64_t> calls;
    if (!hour || hour->type != JsonValue::Type::String) return r.wrong("calls_per_hour", "a list of hours");
    if (!r.number(item, "calls", calls, true)) return false;
    counts.push_back({hour->text, *calls});
  }
  e.callsPerHour = std::move(counts);
  return true;
}

}  // namespace

std::string CallsPerHourJson(const std::optional<CallsPerHour>& hours) {
  if (!hours) return "null";
  std::string out = "[";
  for (const HourCount& h : *hours)
    Append(out, out.size() > 1 ? "," : "", "{\"hour\":", JsonString(h.hour), ",\"calls\":", std::to_string(h.calls), "}");
  return out + "]";
}

std::string JsonDigests(const std::optional<Digests>& digests) {
  if (!digests) return "null";
  std::string out;
  Append(out, "{\"xxh3_128\":\"", digests->xxh3_128, "\"");
  if (digests->sha256) Append(out, ",\"sha256\":\"", *digests->sha256, "\"");
  return out + "}";
}

std::string JsonWarnings(const std::vector<Warning>& warnings) {
  std::string out = "[";
  for (std::size_t i = 0; i < warnings.size(); ++i)
    Append(out, i ? "," : "", "{\"kind\":\"", WarningKindName(warnings[i].kind), "\",\"text\":",
           JsonString(warnings[i].text), ",\"offset\":", Number(warnings[i].offset), "}");
  return out + "]";
}

std::string ResultLine(const AnalyserEntry& e, const LineOptions& options) {
  const std::optional<ReadFailure>& f = e.failure;
  std::string line;
  line.reserve(512);
  Append(line, "{\"path\":", JsonString(e.path), ",\"size_bytes\":", Number(e.sizeBytes),
         ",\"compressed_size_bytes\":", Number(e.packedBytes), ",\"mtime_ns\":", Number(e.mtimeNs));
  Append(line, ",\"switch\":", JsonString(e.family), ",\"start\":", JsonString(e.start), ",\"end\":",
         JsonString(e.end), ",\"start_iso\":", JsonTextOrNull(IsoTime(e.start)), ",\"end_iso\":",
         JsonTextOrNull(IsoTime(e.end)), ",\"records\":", std::to_string(e.records));
  Append(line, ",\"error\":", f ? JsonString(f->reason) : "null", ",\"error_kind\":", f ? "\"" : "",
         f ? FailureKindName(f->kind) : "null", f ? "\"" : "", ",\"error_offset\":", Number(f ? f->offset : std::nullopt));
  Append(line, ",\"warnings\":", JsonWarnings(e.warnings), ",\"digests\":", JsonDigests(e.digests),
         ",\"verified_records\":", Number(e.verifiedRecords), ",\"calls_per_hour\":", CallsPerHourJson(e.callsPerHour));
  Append(line, ",\"options\":{\"year\":", std::to_string(options.year), ",\"verify\":", options.verify ? "true" : "false",
         ",\"sha256\":", options.sha256 ? "true" : "false", "}}");
  return line;
}

std::optional<ParsedLine> ParseResultLine(std::string_view text, std::string& error) {
  JsonParse json = ParseJson(text);
  if (!json.value || json.value->type != JsonValue::Type::Object) {
    error = json.value ? "not a JSON object" : json.error;
    return std::nullopt;
  }
  const JsonValue& line = *json.value;
  LineReader r(line);
  ParsedLine parsed;
  AnalyserEntry& e = parsed.entry;
  std::optional<std::uint64_t> records;
  std::optional<std::int64_t> year;
  const JsonValue* options = line.find("options");
  const bool ok = r.text("path", e.path) && r.text("switch", e.family) && r.text("start", e.start) &&
                  r.text("end", e.end) && r.number(line, "records", records, true) &&
                  r.number(line, "size_bytes", e.sizeBytes) && r.number(line, "compressed_size_bytes", e.packedBytes) &&
                  r.number(line, "mtime_ns", e.mtimeNs) && r.number(line, "verified_records", e.verifiedRecords) &&
                  ReadFailureOf(line, r, e) && ReadWarnings(line, r, e) && ReadDigests(line, r, e) &&
                  ReadCallsPerHour(line, r, e) &&
                  (options ? r.number(*options, "year", year, true) && r.flag(*options, "verify", parsed.options.verify) &&
                                 r.flag(*options, "sha256", parsed.options.sha256)
                           : r.wrong("options", "the run's options"));
  if (!ok || *year < 0 || *year > 99999) {
    error = ok ? "\"year\" is not a year" : r.error();
    return std::nullopt;
  }
  e.records = *records;
  e.icon = FamilyIconIndex(e.family);
  parsed.options.year = static_cast<int>(*year);
  return parsed;
}

bool HoldsResult(const AnalyserEntry& entry) { return !entry.failure && entry.start != kWaitingStatus; }

}  // namespace vellmark::cli
