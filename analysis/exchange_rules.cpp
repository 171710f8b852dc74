#include "analysis/exchange_rules.h"

#include <cctype>

#include "core/archive_names.h"

namespace vellmark {

namespace {

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

Result<ExchangeRule, std::string> ExchangeRule::Parse(const std::string& pattern) {
  int error = 0;
  PCRE2_SIZE at = 0;
  // Names are bytes, not always UTF-8: the pattern matches byte by byte.
  pcre2_code* code =
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), 0, &error, &at, nullptr);
  if (!code) {
    PCRE2_UCHAR text[256];
    pcre2_get_error_message(error, text, sizeof text);
    return "not a regular expression: " + std::string(reinterpret_cast<const char*>(text)) + " at character " +
           std::to_string(at + 1);
  }
  ExchangeRule rule;
  rule.pattern_ = pattern;
  rule.code_.reset(code, pcre2_code_free);
  const int exchange = pcre2_substring_number_from_name(code, reinterpret_cast<PCRE2_SPTR>("exchange"));
  if (exchange < 0) return std::string("the rule has no group named exchange: (?<exchange>...)");
  rule.exchangeGroup_ = static_cast<std::uint32_t>(exchange);
  const int seq = pcre2_substring_number_from_name(code, reinterpret_cast<PCRE2_SPTR>("seq"));
  rule.seqGroup_ = seq < 0 ? 0 : static_cast<std::uint32_t>(seq);
  return rule;
}

std::optional<ExchangeKey> ExchangeRule::match(std::string_view name) const {
  std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> data(
      pcre2_match_data_create_from_pattern(code_.get(), nullptr), pcre2_match_data_free);
  // No match, or a pattern that gives up at the library's match limit: no key.
  const int found = pcre2_match(code_.get(), reinterpret_cast<PCRE2_SPTR>(name.data()), name.size(), 0, 0,
                                data.get(), nullptr);
  if (found <= 0) return std::nullopt;
  const PCRE2_SIZE* groups = pcre2_get_ovector_pointer(data.get());
  auto group = [&](std::uint32_t n) {
    if (n >= static_cast<std::uint32_t>(found) || groups[2 * n] == PCRE2_UNSET) return std::string();
    return std::string(name.substr(groups[2 * n], groups[2 * n + 1] - groups[2 * n]));
  };
  ExchangeKey key;
  key.exchange = group(exchangeGroup_);
  if (key.exchange.empty()) return std::nullopt;
  key.fromName = true;
  if (seqGroup_ != 0) {
    const std::string seq = group(seqGroup_);
    // More than 18 digits would not fit: no number then.
    if (AllDigits(seq) && seq.size() <= 18) key.seq = std::stoull(seq);
  }
  return key;
}

const std::vector<std::pair<std::string, std::string>>& ExchangeRules::Defaults() {
  static const std::vector<std::pair<std::string, std::string>> defaults = {
      // OCB26045A.DAT: the letters before year and day of the year, then the file's letter.
      {"OCB", R"((?<exchange>[A-Za-z]+)\d{5}[A-Za-z]?\.)"},
      // AMA17042026.ama: the exchange before the date DDMMYYYY.
      {"EWSD", R"((?<exchange>[A-Za-z][A-Za-z0-9]*?)\d{8}\.)"},
      // AMA20250318.001: the exchange before the date YYYYMMDD, the number after the dot.
      {"5ESS", R"((?<exchange>[A-Za-z][A-Za-z0-9]*?)\d{8}\.(?<seq>\d+)$)"},
      // E10B-KOL1-0045.TKT: the exchange and the number between dashes.
      {"E10B", R"(-(?<exchange>[^-.]+)-(?<seq>\d+)\.)"},
      // KOL1140226.DAT, CD1502.DAT: the exchange before the date part (DDMMYY after
      // four characters, else DDMM), as the C-DOT reader reads the date.
      {"CDOT", R"(^(?<exchange>[^.]{4}(?=\d{6}\.)|[^.]*?(?=\d{4}\.)))"},
      // TTFILE01.AXE: the exchange, then the number before the dot.
      {"AXE", R"(^(?<exchange>[^.]*?)(?<seq>\d+)\.)"},
  };
  return defaults;
}

ExchangeRules::ExchangeRules() {
  for (const auto& [family, pattern] : Defaults()) rules_.emplace(family, ExchangeRule::Parse(pattern).value());
}

std::optional<std::string> ExchangeRules::FamilyNamed(std::string_view name) {
  std::string upper;
  for (char c : name)
    if (c != '-') upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const auto& [family, pattern] : Defaults())
    if (family == upper) return family;
  return std::nullopt;
}

std::optional<std::string> ExchangeRules::set(const std::string& family, const std::string& pattern) {
  std::string text = pattern;
  if (text.empty()) {
    for (const auto& [f, p] : Defaults())
      if (f == family) text = p;
    if (text.empty()) return "no default rule for " + family;
  }
  auto rule = ExchangeRule::Parse(text);
  if (!rule) return rule.error();
  rules_.insert_or_assign(family, std::move(*rule));
  return std::nullopt;
}

const ExchangeRule* ExchangeRules::rule(const std::string& family) const {
  auto it = rules_.find(family);
  return it == rules_.end() ? nullptr : &it->second;
}

ExchangeKey ExchangeRules::keyOf(const AnalyserEntry& entry) const {
  if (const ExchangeRule* r = rule(entry.family))
    if (auto key = r->match(EntryFileName(entry.path))) return *key;
  return ExchangeKey{EntryFolder(entry.path), std::nullopt, false};
}

std::string EntryFolder(std::string_view path) {
  if (auto member = SplitMemberPath(path)) {
    const std::size_t slash = member->member.find_last_of("/\\");
    if (slash == std::string::npos) return member->archive;
    return member->archive + kMemberMark + member->member.substr(0, slash);
  }
  const std::size_t slash = path.find_last_of("/\\");
  if (slash == std::string_view::npos) return ".";
  return std::string(path.substr(0, slash == 0 ? 1 : slash));
}

}  // namespace vellmark
