#include "cli/command_line.h"

#include <algorithm>
#include <limits>

#include "cli/nearest_names.h"
#include "engine/ascii_case.h"
#include "messages/catalogue.h"
#include "platform/files.h"

namespace glyphshift {
namespace {

enum class Match { Whole, Prefix };

// `value` is the rest of the argument behind a prefix option (empty for a whole option).
using OptionEffect = void (*)(RunSettings& o, std::u16string_view value);

// A value the option cannot take, and what is said about it then.
using ValueCheck = bool (*)(std::u16string_view value);

struct OptionRule {
  std::u16string_view text;
  Match match;
  OptionEffect effect;
  ValueCheck accepts = nullptr;  // null: every value
  const Message<msg::Wide>* refusal = nullptr;
};

// "/line=" takes its value as typed (a quoted name is no name): dos, unix and mac rewrite the
// breaks, none removes them. Anything else once removed every break too, which a typo must not
// do to a file converted in place.
std::optional<std::int32_t> LineBreakTypeOf(std::u16string_view value) {
  if (const std::int32_t type = LineBreakTypeFromName(value); type != 0) return type;
  if (EqualsIgnoringAsciiCase(value, u"none")) return 0;
  return std::nullopt;
}

// "/jobs=": a whole number of workers, 1 to RunSettings::kMaxJobs, as typed (no sign, no spaces).
std::optional<std::int32_t> JobCountOf(std::u16string_view value) {
  if (value.empty() || value.size() > 3) return std::nullopt;
  std::int32_t count = 0;
  for (const char16_t c : value) {
    if (c < u'0' || c > u'9') return std::nullopt;
    count = count * 10 + (c - u'0');
  }
  if (count < 1 || count > RunSettings::kMaxJobs) return std::nullopt;
  return count;
}

// Tested in this order; the first match wins, so "/r" never shadows "/recursive" (both whole).
constexpr OptionRule kOptionTable[] = {
    {u"/line=", Match::Prefix,
     [](RunSettings& o, std::u16string_view v) { o.conversion.lineBreakType = LineBreakTypeOf(v).value_or(0); },
     [](std::u16string_view v) { return LineBreakTypeOf(v).has_value(); }, &msg::kUnknownLineBreak},
    {u"/nobom", Match::Whole, [](RunSettings& o, std::u16string_view) { o.conversion.writeBom = false; }},
    {u"/nowait", Match::Whole, [](RunSettings& o, std::u16string_view) { o.noStatusBox = true; }},
    {u"/xml", Match::Whole, [](RunSettings& o, std::u16string_view) { o.conversion.modifyXml = true; }},
    {u"/html", Match::Whole, [](RunSettings& o, std::u16string_view) { o.conversion.modifyHtml = true; }},
    {u"/replace", Match::Whole,
     [](RunSettings& o, std::u16string_view) {
       o.replaceSource = true;
       o.conversion.moveSource = false;
     }},
    {u"/scs=", Match::Prefix,
     [](RunSettings& o, std::u16string_view v) {
       o.sourceCharsetName = RemoveQuotes(v);
       o.autoDetectSource = false;
     }},
    {u"/detect=", Match::Prefix,
     [](RunSettings& o, std::u16string_view v) { o.detectionMethodName = RemoveQuotes(v); }},
    {u"/dcs=", Match::Prefix,
     [](RunSettings& o, std::u16string_view v) {
       o.destinationCharsetName = RemoveQuotes(v);
       o.destinationCharsetGiven = true;
     }},
    {u"/info", Match::Whole, [](RunSettings& o, std::u16string_view) { o.report = ReportFormat::Table; }},
    {u"/info=", Match::Prefix, [](RunSettings& o, std::u16string_view) { o.report = ReportFormat::JsonLines; },
     [](std::u16string_view v) { return EqualsIgnoringAsciiCase(v, u"json"); }, &msg::kUnknownReportFormat},
    {u"/output=", Match::Prefix,
     [](RunSettings& o, std::u16string_view v) {
       // "-" is standard output; a file of that name is "./-".
       o.standardOutput = RemoveQuotes(v) == u"-";
       o.outputPath = o.standardOutput ? std::u16string_view() : RemoveQuotes(v);
     }},
    {u"/jobs=", Match::Prefix, [](RunSettings& o, std::u16string_view v) { o.jobs = JobCountOf(v).value_or(1); },
     [](std::u16string_view v) { return JobCountOf(v).has_value(); }, &msg::kBadJobCount},
    {u"/error-stop", Match::Whole, [](RunSettings& o, std::u16string_view) { o.errorStop = true; }},
    {u"/move", Match::Whole, [](RunSettings& o, std::u16string_view) { o.conversion.moveSource = true; }},
    {u"/keep-owner", Match::Whole, [](RunSettings& o, std::u16string_view) { o.conversion.keepOwner = true; }},
    {u"/keep-dacl", Match::Whole, [](RunSettings& o, std::u16string_view) { o.conversion.keepDacl = true; }},
    {u"/silent", Match::Whole,
     [](RunSettings& o, std::u16string_view) {
       o.output.noConsole = true;
       o.noStatusBox = true;
     }},
    {u"/log=", Match::Prefix,
     [](RunSettings& o, std::u16string_view v) {
       o.output.logFilePath = RemoveQuotes(v);
       o.output.noConsole = true;
     }},
    {u"/loglevel=", Match::Prefix, [](RunSettings& o, std::u16string_view v) { o.output.logLevel = ParseLogLevel(v); }},
    {u"/private.owner-from-prefix", Match::Whole,
     [](RunSettings& o, std::u16string_view) { o.ownerFromPrefix = true; }},
    {u"/private.ofp", Match::Whole, [](RunSettings& o, std::u16string_view) { o.ownerFromPrefix = true; }},
    {u"/private.user-translation-table=", Match::Prefix,
     [](RunSettings& o, std::u16string_view v) { o.userTranslationTablePath = v; }},
    {u"/private.utt=", Match::Prefix, [](RunSettings& o, std::u16string_view v) { o.userTranslationTablePath = v; }},
    {u"/lossy", Match::Whole, [](RunSettings& o, std::u16string_view) { o.conversion.lossPolicy = LossPolicy::Lossy; }},
    {u"/strict", Match::Whole,
     [](RunSettings& o, std::u16string_view) { o.conversion.lossPolicy = LossPolicy::Strict; }},
    {u"/binary", Match::Whole, [](RunSettings& o, std::u16string_view) { o.conversion.binaryAllowed = true; }},
    {u"/r", Match::Whole, [](RunSettings& o, std::u16string_view) { o.recursive = true; }},
    {u"/recursive", Match::Whole, [](RunSettings& o, std::u16string_view) { o.recursive = true; }},
};

bool IsCSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// The forms that are a mode of their own when given alone (the caller's to run).
constexpr std::u16string_view kLoneForms[] = {u"/?", u"--help", u"-h", u"--version", u"--list"};

const OptionRule* FindOption(std::u16string_view argument) {
  for (const OptionRule& rule : kOptionTable) {
    const bool matched = rule.match == Match::Whole ? EqualsIgnoringAsciiCase(argument, rule.text)
                                                    : StartsWithIgnoringAsciiCase(argument, rule.text);
    if (matched) return &rule;
  }
  return nullptr;
}

// An argument that starts like an option and is no option is a mistake, unless it names a path:
// an existing one, or one with a separator or a wildcard in its name part (option names hold
// neither), which the run then reports as a missing file or pattern.
bool IsMistypedOption(const std::u16string& argument) {
  if (argument.empty() || (argument[0] != u'/' && argument[0] != u'-')) return false;
  const std::u16string_view name = std::u16string_view(argument).substr(0, argument.find(u'='));
  if (name.find_first_of(u"*?") != std::u16string_view::npos) return false;
  if (name.find(u'/', 1) != std::u16string_view::npos) return false;
  return platform::Files().GetEntryType(argument) == platform::EntryType::Missing;
}

// The option nearest to what was typed, with the typed value after a prefix option, or empty.
// Leading dashes are read as the slash, so "--output=x" suggests "/output=x".
std::u16string NearestOption(std::u16string_view typed) {
  const std::size_t equals = typed.find(u'=');
  const std::u16string_view name = typed.substr(0, equals == typed.npos ? typed.size() : equals + 1);
  const std::size_t dashes = name.starts_with(u"--") ? 2 : name.starts_with(u"-") ? 1 : 0;
  const std::u16string slashed = dashes != 0 ? u"/" + std::u16string(name.substr(dashes)) : std::u16string(name);

  const OptionRule* best = nullptr;
  std::u16string_view bestText;
  std::size_t bestDistance = std::numeric_limits<std::size_t>::max();
  auto consider = [&](std::u16string_view text, const OptionRule* rule) {
    const std::size_t distance = std::min(TypingDistance(name, text), TypingDistance(slashed, text));
    if (distance < bestDistance && IsNearEnough(distance, text.size())) {
      bestDistance = distance;
      bestText = text;
      best = rule;
    }
  };
  for (const OptionRule& rule : kOptionTable) consider(rule.text, &rule);
  for (const std::u16string_view form : kLoneForms) consider(form, nullptr);
  if (bestText.empty()) return {};
  std::u16string suggestion(bestText);
  if (best != nullptr && best->match == Match::Prefix && equals != typed.npos) suggestion += typed.substr(equals + 1);
  return suggestion;
}

std::u16string UnknownOption(const std::u16string& argument) {
  const std::u16string nearest = NearestOption(argument);
  return nearest.empty() ? Format(msg::kUnknownOption, argument) : Format(msg::kUnknownOptionNear, argument, nearest);
}

// The rules between the arguments, once all are read.
std::optional<std::u16string> CheckSources(RunSettings& settings) {
  if (settings.standardInput) {
    if (!settings.sources.empty()) return Format(msg::kStandardInputAmongSources);
    if (settings.replaceSource && settings.outputPath.empty()) return Format(msg::kStandardInputInPlace);
    if (settings.outputPath.empty()) settings.standardOutput = true;
  } else if (settings.sources.empty()) {
    return Format(msg::kNoSource);
  }
  // A move deletes its source once the destination has its name: neither stream can stand in
  // for either, and text handed to a pipe is not kept anywhere.
  if ((settings.standardInput || settings.standardOutput) && settings.conversion.moveSource) {
    return Format(msg::kStandardStreamNotMoved);
  }
  return std::nullopt;
}

}  // namespace

std::u16string_view RemoveQuotes(std::u16string_view value) {
  if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"') return value.substr(1, value.size() - 2);
  return value;
}

bool ResolveDetectionMethod(std::u16string_view name, DetectionMethod& method) {
  if (EqualsIgnoringAsciiCase(name, u"simple")) {
    method = DetectionMethod::Simple;
  } else if (EqualsIgnoringAsciiCase(name, u"statistical")) {
    method = DetectionMethod::Statistical;
  } else {
    return false;
  }
  return true;
}

std::int32_t ParseLogLevel(std::u16string_view value) {
  std::size_t i = 0;
  while (i < value.size() && IsCSpace(value[i])) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == u'+' || value[i] == u'-')) negative = value[i++] == u'-';
  // Accumulated as a magnitude up to one past INT32_MAX, which is all clamping needs.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i) {
    magnitude = magnitude * 10 + (value[i] - u'0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  const std::int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(signedValue);
}

std::optional<std::u16string> ParseCommandLine(std::span<const std::u16string> arguments, RunSettings& settings) {
  for (const std::u16string& argument : arguments) {
    if (argument == u"-") {
      if (settings.standardInput) return Format(msg::kStandardInputAmongSources);
      settings.standardInput = true;
      continue;
    }
    if (std::find(std::begin(kLoneForms), std::end(kLoneForms), argument) != std::end(kLoneForms)) {
      return Format(msg::kGivenAlone, argument);
    }
    if (const OptionRule* rule = FindOption(argument)) {
      const std::u16string_view value =
          std::u16string_view(argument).substr(rule->match == Match::Whole ? argument.size() : rule->text.size());
      if (rule->accepts != nullptr && !rule->accepts(value)) return Format(*rule->refusal, argument);
      rule->effect(settings, value);
      continue;
    }
    if (IsMistypedOption(argument)) return UnknownOption(argument);
    settings.sources.push_back(argument);
  }
  return CheckSources(settings);
}

namespace {

// Reads one argument from `r` on, writing it back from `w` (never past `r`). Returns the problem
// and leaves `r` on the character that ended the argument (a space or `end`).
SplitProblem ReadArgument(std::u16string& t, std::size_t end, std::size_t& r, std::size_t& w) {
  const std::size_t start = w;
  bool quoted = false;
  while (r < end) {
    std::size_t backslashes = 0;
    while (r + backslashes < end && t[r + backslashes] == u'\\') ++backslashes;
    if (backslashes != 0) {
      const bool beforeQuote = r + backslashes < end && t[r + backslashes] == u'"';
      const std::size_t kept = beforeQuote ? backslashes / 2 : backslashes;
      for (std::size_t k = 0; k < kept; ++k) t[w++] = u'\\';
      r += backslashes;
      if (beforeQuote && backslashes % 2 == 1) t[w++] = t[r++];  // an escaped, literal quote
      continue;
    }
    const char16_t c = t[r];
    if (c == u' ' && !quoted) break;
    if (c != u'"') {
      t[w++] = t[r++];
      continue;
    }
    ++r;
    if (quoted) {
      quoted = false;
    } else if (w > start && t[w - 1] == u'=') {
      // A value that keeps its quotes, the option table removes them: up to the next quote,
      // backslashes literal, and nothing but a space may follow.
      t[w++] = u'"';
      while (r < end && t[r] != u'"') t[w++] = t[r++];
      if (r == end) return SplitProblem::UnclosedQuote;
      t[w++] = t[r++];
      if (r < end && t[r] != u' ') return SplitProblem::TextAfterQuotedValue;
      return SplitProblem::None;
    } else {
      quoted = true;
    }
  }
  return quoted ? SplitProblem::UnclosedQuote : SplitProblem::None;
}

}  // namespace

SplitCommandLineResult SplitCommandLine(std::u16string& commandLine) {
  SplitCommandLineResult result;
  // The text ends at its first terminator, as a C string would.
  const std::size_t end = std::min(commandLine.find(u'\0'), commandLine.size());
  std::u16string& t = commandLine;
  std::size_t r = 0;
  while (r < end && t[r] == u' ') ++r;
  while (r < end) {
    const std::size_t start = r;
    std::size_t w = r;
    result.problem = ReadArgument(t, end, r, w);
    if (r < end) ++r;  // the space that ended it, which the terminator may now take
    if (w < t.size()) t[w] = u'\0';
    const std::u16string_view argument(t.data() + start, w - start);
    if (result.problem != SplitProblem::None) {
      result.where = argument;
      return result;
    }
    result.arguments.push_back(argument);
    while (r < end && t[r] == u' ') ++r;
  }
  return result;
}

}  // namespace glyphshift
