// The program's modes and start-up: help, dialog or batch; routing, the two character sets,
// the rights for security carry-over, then the run.
#include <optional>
#include <vector>

#include "app/gui_loader.h"
#include "app/startup.h"
#include "cli/charset_names.h"
#include "cli/command_line.h"
#include "cli/usage_text.h"
#include "engine/charset_catalogue.h"
#include "messages/catalogue.h"
#include "messages/output_routing.h"
#include "messages/progress.h"
#include "platform/files.h"
#include "platform/streams.h"
#include "run/file_report.h"
#include "run/run_conversion.h"
#include "security/privileges.h"

namespace glyphshift {
namespace {

std::u16string UsageText() {
  std::u16string version;
  GetVersionString(u"FileVersion", version, 64);
  return BuildUsageText(version, ListedCharsetNames());
}

// Resolves `name` in place to its catalogue spelling; prints the Error 6 line when unknown, and
// the nearest names after it.
bool ResolveAndReport(std::u16string& name, CharsetCode& code, const Message<msg::Wide, msg::Int>& resolved) {
  const char16_t* spelling = name.c_str();
  if (!ResolveCharsetName(&code, &spelling)) {
    Print(msg::kUnknownCharset, name);
    PrintMessageText(CharsetSuggestion(name));
    return false;
  }
  name = spelling;
  Print(resolved, name, code);
  return true;
}

void WriteToStartStream(platform::StdStream stream, std::u16string_view text) {
  platform::WriteText(stream, text);
  platform::FlushStreams();
}

}  // namespace

Result RunWithOptions(RunSettings settings) {
  // Filter mode: standard output carries the converted text alone; a report, its entries.
  settings.output.messagesToStandardError = settings.standardOutput || settings.ReportsOnly();
  if (const platform::SysError error = RouteOutput(settings.output)) {
    platform::WriteToConsole(platform::StdStream::Error,
                             Format(msg::kLogNotOpened, settings.output.logFilePath, ReasonOf(error)));
    // A log named through a link the run may not follow is refused as a destination is.
    return error.code == platform::kErrorUnsafeLink ? Result::WriteError : Result::Abandoned;
  }
  platform::RemoveStagedFilesOnInterrupt();
  if (!ResolveDetectionMethod(settings.detectionMethodName, settings.detectionMethod)) {
    Print(msg::kUnknownDetectionMethod, settings.detectionMethodName);
    return Result::UnknownCharset;
  }
  // The destination is checked first: with two unknown names only the destination is reported.
  if (!ResolveAndReport(settings.destinationCharsetName, settings.destinationCharset, msg::kDestinationCharset)) {
    return Result::UnknownCharset;
  }
  if (settings.autoDetectSource) {
    Print(msg::kSourceAutoDetect);
  } else if (!ResolveAndReport(settings.sourceCharsetName, settings.sourceCharset, msg::kSourceCharset)) {
    return Result::UnknownCharset;
  }
  Print(msg::kEndOfHeading);
  if (settings.conversion.KeepsSecurity() && !settings.ReportsOnly()) EnableSecurityPrivileges();
  // A person may be watching: the run shows its messages, and they are not in a log.
  if (!settings.output.noConsole && !settings.uiMode) RunProgress().Start();
  const Result result = RunConversion(settings);
  RunProgress().Stop();
  return result;
}

int RunProgram(std::span<const std::u16string> arguments) {
  RunSettings settings;

  if (arguments.size() == 1) {
    const std::u16string& only = arguments[0];
    if (only == u"/?") {
      const std::u16string usage = WithLineFeeds(UsageText());
      if (!app::ShowHelpWindow(usage)) WriteToStartStream(platform::StdStream::Output, usage);
      return Code(Result::Abandoned);
    }
    if (only == u"--help" || only == u"-h") {
      WriteToStartStream(platform::StdStream::Output, WithLineFeeds(UsageText()));
      return Code(Result::Converted);
    }
    if (only == u"--version") {
      WriteToStartStream(platform::StdStream::Output, u"morfex (Glyphshift) " + DottedVersion() + u"\n");
      return Code(Result::Converted);
    }
    if (only == u"--list") {
      WriteToStartStream(platform::StdStream::Output, CharsetListing());
      return Code(Result::Converted);
    }
  }

  // "--dialog [FILE]" opens the dialog as no arguments do, with FILE as its source (a desktop
  // entry's %f).
  const bool dialogWithSource = !arguments.empty() && arguments.size() <= 2 && arguments[0] == u"--dialog";
  if (arguments.empty() || dialogWithSource) {
    settings.uiMode = true;
    settings.output.noConsole = true;
    if (arguments.size() == 2) settings.sources = {arguments[1]};
    const int end = app::RunMainDialog(settings);
    if (end == ui::kDialogUnavailable || end == ui::kDialogCancel) return Code(Result::Abandoned);
    settings.autoDetectSource = false;  // the dialog has chosen the source set
  } else if (const std::optional<std::u16string> problem = ParseCommandLine(arguments, settings)) {
    // Not through the routing: the options that would route it are themselves in doubt.
    platform::WriteToConsole(platform::StdStream::Error, *problem);
    return Code(Result::InvalidCommandLine);
  }
  return Code(RunWithOptions(std::move(settings)));
}

int RunProgramWithCommandLine(std::u16string commandLine) {
  const SplitCommandLineResult split = SplitCommandLine(commandLine);
  if (split.problem != SplitProblem::None) {
    const Message<msg::Wide>& message =
        split.problem == SplitProblem::UnclosedQuote ? msg::kUnclosedQuote : msg::kTextAfterQuotedValue;
    platform::WriteToConsole(platform::StdStream::Error, Format(message, split.where));
    return Code(Result::InvalidCommandLine);
  }
  const std::vector<std::u16string> arguments(split.arguments.begin(), split.arguments.end());
  return RunProgram(arguments);
}

}  // namespace glyphshift
