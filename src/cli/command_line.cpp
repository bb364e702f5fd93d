#include "cli/command_line.h"

#include "engine/ascii_case.h"

#include <algorithm>
#include <limits>

namespace glyphshift {
namespace {

enum class Match { Whole, Prefix };

// `value` is the rest of the argument behind a prefix option (empty for a whole option).
using OptionEffect = void (*)(RunSettings& o, std::u16string_view value);

struct OptionRule {
  std::u16string_view text;
  Match match;
  OptionEffect effect;
};

// Tested in this order; the first match wins, so "/r" never shadows "/recursive" (both whole).
constexpr OptionRule kOptionTable[] = {
    {u"/line=", Match::Prefix,
     [](RunSettings& o, std::u16string_view v) { o.conversion.lineBreakType = LineBreakTypeFromName(v); }},
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
     [](RunSettings& o, std::u16string_view v) { o.destinationCharsetName = RemoveQuotes(v); }},
    {u"/output=", Match::Prefix, [](RunSettings& o, std::u16string_view v) { o.outputPath = RemoveQuotes(v); }},
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

void ParseOptions(std::span<const std::u16string> options, RunSettings& settings) {
  for (const std::u16string& argument : options) {
    for (const OptionRule& rule : kOptionTable) {
      const bool matched = rule.match == Match::Whole ? EqualsIgnoringAsciiCase(argument, rule.text)
                                                      : StartsWithIgnoringAsciiCase(argument, rule.text);
      if (!matched) continue;
      rule.effect(settings, std::u16string_view(argument).substr(rule.match == Match::Whole ? argument.size()
                                                                                            : rule.text.size()));
      break;
    }
  }
}

std::vector<std::u16string_view> SplitCommandLine(std::u16string& commandLine) {
  std::vector<std::u16string_view> arguments;
  arguments.reserve(kMaxArguments);
  // The text ends at its first terminator, as a C string would.
  const std::size_t end = std::min(commandLine.find(u'\0'), commandLine.size());
  std::u16string& t = commandLine;
  std::size_t p = 0;
  while (p < end && arguments.size() < kMaxArguments) {
    std::size_t s = p;
    std::size_t q = p;
    while (q < end) {
      const char16_t c = t[q];
      if (c == u'=' && q + 1 < end && t[q + 1] == u'"') {
        // A quoted value keeps "=" and both quotes; whatever follows the closing quote is
        // consumed as the separator.
        q += 2;
        while (q < end && t[q] != u'"') ++q;
        if (q < end) ++q;
        break;
      }
      if (c == u'"') {
        // Text before a quote that does not follow "=" is dropped; the closing quote ends it.
        s = q + 1;
        q = s;
        while (q < end && t[q] != u'"') ++q;
        break;
      }
      if (c == u' ') break;
      ++q;
    }
    if (q < end) t[q] = u'\0';
    arguments.emplace_back(t.data() + s, q - s);
    p = q + 1;
    while (p < end && t[p] == u' ') ++p;
  }
  return arguments;
}

}  // namespace glyphshift
