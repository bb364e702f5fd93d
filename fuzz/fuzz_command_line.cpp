// The command line: the splitter, the option table over what it split, and the "/loglevel="
// number rules against the C library's strtol.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "fuzz_support.h"
#include "settings/run_settings.h"

using glyphshift::fuzz::Require;
namespace gs = glyphshift;

namespace {

// strtol over the same text narrowed to ASCII, clamped to 32 bits. Text beyond ASCII is let
// through: strtol would not read it the same way.
bool LogLevelAgreesWithStrtol(std::u16string_view value) {
  std::string narrow;
  for (char16_t c : value) {
    if (c == 0 || c > 0x7F) return true;
    narrow += static_cast<char>(c);
  }
  errno = 0;
  const long parsed = std::strtol(narrow.c_str(), nullptr, 10);
  constexpr long kMin = std::numeric_limits<std::int32_t>::min();
  constexpr long kMax = std::numeric_limits<std::int32_t>::max();
  const long clamped = parsed < kMin ? kMin : parsed > kMax ? kMax : parsed;
  return gs::ParseLogLevel(value) == clamped;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  std::u16string line = gs::fuzz::Latin1Of(data, size);
  const std::u16string original = line;
  const gs::SplitCommandLineResult split = gs::SplitCommandLine(line);
  const std::vector<std::u16string_view>& arguments = split.arguments;

  const char16_t* const begin = line.data();
  const char16_t* previousEnd = begin;
  for (std::u16string_view argument : arguments) {
    Require(argument.data() >= previousEnd && argument.data() + argument.size() <= begin + line.size(),
            "arguments lie in order inside the line");
    Require(argument.find(u'\0') == std::u16string_view::npos, "no argument holds a terminator");
    previousEnd = argument.data() + argument.size();
  }
  Require(split.problem == gs::SplitProblem::None || original.find(u'"') != std::u16string::npos,
          "only a quote can leave the splitter without sense");
  if (original.find_first_of(u"\"\\") == std::u16string::npos) {
    // Without quotes and backslashes the splitter is a plain split on spaces.
    std::size_t count = 0;
    std::size_t p = 0;
    const std::size_t end = std::min(original.find(u'\0'), original.size());
    while (p < end && original[p] == u' ') ++p;
    while (p < end) {
      const std::size_t stop = std::min(original.find(u' ', p), end);
      Require(count < arguments.size() && arguments[count] == std::u16string_view(original).substr(p, stop - p),
              "a quote-free split on spaces");
      ++count;
      p = stop;
      while (p < end && original[p] == u' ') ++p;
    }
    Require(count == arguments.size(), "as many arguments as a quote-free split");
  }

  const std::vector<std::u16string> copies(arguments.begin(), arguments.end());
  gs::RunSettings settings;
  const std::optional<std::u16string> problem = gs::ParseCommandLine(std::span<const std::u16string>(copies), settings);
  Require(problem.has_value() || settings.standardInput || !settings.sources.empty(), "an accepted line has a source");

  for (std::u16string_view argument : arguments) {
    Require(LogLevelAgreesWithStrtol(argument), "log level as strtol reads it");
    const std::u16string_view unquoted = gs::RemoveQuotes(argument);
    Require(unquoted.size() == argument.size() || unquoted.size() + 2 == argument.size(), "quotes come in pairs");
  }
  return 0;
}
