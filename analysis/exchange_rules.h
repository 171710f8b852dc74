#pragma once
// Which exchange a file came from, and its sequence number, read from the file's own
// name by a rule per switch family: a regular expression with the named groups
// `exchange` and, where names carry one, `seq`. The defaults fit the usual names of
// each family; a user may replace any of them.

#include <cstdint>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "core/analyser_entry.h"
#include "core/io_error.h"

namespace vellmark {

struct ExchangeKey {
  std::string exchange;
  std::optional<std::uint64_t> seq;
  bool fromName = false;  // false: no rule matched; the exchange is the file's folder
};

class ExchangeRule {
 public:
  // The pattern (Perl-compatible, PCRE2) as a rule; the reason when it is no regular
  // expression or has no group named `exchange`. A name matches where the pattern is found in it
  // (anchor it with ^ and $ to match the whole name).
  static Result<ExchangeRule, std::string> Parse(const std::string& pattern);

  // The exchange and number in `name`; none when the pattern is not found there or
  // the exchange group is empty. A `seq` group that holds anything but digits gives
  // no number.
  std::optional<ExchangeKey> match(std::string_view name) const;
  const std::string& pattern() const { return pattern_; }

 private:
  std::string pattern_;
  std::shared_ptr<pcre2_code> code_;  // compiled once, shared by the copies of a rule set
  std::uint32_t exchangeGroup_ = 0;
  std::uint32_t seqGroup_ = 0;  // 0: the pattern has none
};

class ExchangeRules {
 public:
  // The default rules of the six families, by switch text.
  ExchangeRules();
  static const std::vector<std::pair<std::string, std::string>>& Defaults();

  // The switch text a user's family name stands for ("cdot", "C-DOT" and "CDOT" are
  // all C-DOT); none for a name that is no family with a reader.
  static std::optional<std::string> FamilyNamed(std::string_view name);

  // Replaces the rule of `family` (a switch text); the reason when the pattern is
  // refused. An empty pattern brings back the default.
  std::optional<std::string> set(const std::string& family, const std::string& pattern);
  const ExchangeRule* rule(const std::string& family) const;

  // The entry's exchange and number from its file's own name; without a rule that
  // matches, the folder the file lies in.
  ExchangeKey keyOf(const AnalyserEntry& entry) const;

 private:
  std::map<std::string, ExchangeRule> rules_;
};

// The folder part of an entry's path: for an archive member, the archive and the
// folders inside it ("day.zip#KOL1"); "." for a bare name.
std::string EntryFolder(std::string_view path);

}  // namespace vellmark
