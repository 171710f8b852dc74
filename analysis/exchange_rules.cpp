#include "analysis/exchange_rules.h"

#include <cctype>

#include "core/archive_names.h"

namespace vellmark {

namespace {

// std::regex knows no named groups: "(?<name>" becomes a plain group, and the
// number of each named group is noted. Escapes and bracket expressions are passed
// over, so a "(" inside them opens nothing.
struct Translated {
  std::string pattern;
  std::map<std::string, std::size_t> groups;
};

Result<Translated, std::string> TranslateNamedGroups(const std::string& in) {
  Translated out;
  std::size_t groups = 0;
  bool inBrackets = false;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    if (c == '\\') {
      out.pattern.append(in, i, 2);
      ++i;
      continue;
    }
    if (inBrackets) {
      inBrackets = c != ']';
    } else if (c == '[') {
      inBrackets = true;
      // A "]" right after "[" or "[^" is a member, not the end.
      std::size_t first = i + 1 + (i + 1 < in.size() && in[i + 1] == '^');
      if (first < in.size() && in[first] == ']') {
        out.pattern.append(in, i, first + 1 - i);
        i = first;
        continue;
      }
    } else if (c == '(') {
      if (in.compare(i, 3, "(?<") == 0) {
        const std::size_t close = in.find('>', i + 3);
        if (close == std::string::npos) return std::string("a group name is not closed with >");
        const std::string name = in.substr(i + 3, close - i - 3);
        if (!out.groups.emplace(name, ++groups).second) return "the group name " + name + " is used twice";
        out.pattern += '(';
        i = close;
        continue;
      }
      if (in.compare(i, 2, "(?") != 0) ++groups;
    }
    out.pattern += c;
  }
  return out;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

Result<ExchangeRule, std::string> ExchangeRule::Parse(const std::string& pattern) {
  auto translated = TranslateNamedGroups(pattern);
  if (!translated) return translated.error();
  ExchangeRule rule;
  rule.pattern_ = pattern;
  try {
    rule.regex_ = std::regex(translated->pattern, std::regex::ECMAScript);
  } catch (const std::regex_error& e) {
    return std::string("not a regular expression: ") + e.what();
  }
  auto exchange = translated->groups.find("exchange");
  if (exchange == translated->groups.end())
    return std::string("the rule has no group named exchange: (?<exchange>...)");
  rule.exchangeGroup_ = exchange->second;
  if (auto seq = translated->groups.find("seq"); seq != translated->groups.end()) rule.seqGroup_ = seq->second;
  return rule;
}

std::optional<ExchangeKey> ExchangeRule::match(std::string_view name) const {
  std::match_results<std::string_view::const_iterator> m;
  if (!std::regex_search(name.begin(), name.end(), m, regex_)) return std::nullopt;
  ExchangeKey key;
  key.exchange = m[exchangeGroup_].str();
  if (key.exchange.empty()) return std::nullopt;
  key.fromName = true;
  if (seqGroup_ != 0) {
    const std::string seq = m[seqGroup_].str();
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
