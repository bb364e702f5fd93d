// The program's modes and start-up: help, dialog or batch; routing, the two character sets,
// the rights for security carry-over, then the run.
#include <algorithm>

#include "app/gui_loader.h"
#include "app/startup.h"
#include "cli/command_line.h"
#include "cli/usage_text.h"
#include "engine/charset_catalogue.h"
#include "messages/catalogue.h"
#include "messages/output_routing.h"
#include "platform/files.h"
#include "platform/streams.h"
#include "run/file_report.h"
#include "run/run_conversion.h"
#include "run/statistical_detector.h"
#include "security/privileges.h"

namespace glyphshift {
namespace {

// Every listed catalogue name followed by ", ", in catalogue order.
std::u16string ListedCharsetNames() {
  std::u16string list;
  for (const CharsetRecord& record : CharsetCatalogue()) {
    if (record.listed == 0) continue;
    list += record.name;
    list += u", ";
  }
  return list;
}

std::u16string UsageText() {
  std::u16string version;
  GetVersionString(u"FileVersion", version, 64);
  return BuildUsageText(version, ListedCharsetNames());
}

// Resolves `name` in place to its catalogue spelling; prints the Error 6 line when unknown.
bool ResolveAndReport(std::u16string& name, CharsetCode& code, const Message<msg::Wide, msg::Int>& resolved) {
  const char16_t* spelling = name.c_str();
  if (!ResolveCharsetName(&code, &spelling)) {
    Print(msg::kUnknownCharset, name);
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
    if (settings.detectionMethod == DetectionMethod::Statistical && !CStatisticalDetector::Available()) {
      Print(msg::kNoStatisticalDetector);
    }
  } else if (!ResolveAndReport(settings.sourceCharsetName, settings.sourceCharset, msg::kSourceCharset)) {
    return Result::UnknownCharset;
  }
  Print(msg::kEndOfHeading);
  if (settings.conversion.KeepsSecurity()) EnableSecurityPrivileges();
  return RunConversion(settings);
}

int RunProgram(std::span<const std::u16string> arguments) {
  arguments = arguments.first(std::min(arguments.size(), kMaxArguments));
  RunSettings settings;

  if (arguments.size() == 1) {
    const std::u16string& only = arguments[0];
    if (only == u"/?") {
      const std::u16string usage = WithLineFeeds(UsageText());
      if (!app::ShowHelpWindow(usage)) WriteToStartStream(platform::StdStream::Output, usage);
      return Code(Result::Abandoned);
    }
    if (only == u"--help") {
      WriteToStartStream(platform::StdStream::Output, WithLineFeeds(UsageText()));
      return Code(Result::Converted);
    }
    if (only == u"--version") {
      WriteToStartStream(platform::StdStream::Output, u"morfex (Glyphshift) " + DottedVersion() + u"\n");
      return Code(Result::Converted);
    }
  }

  if (arguments.empty()) {
    settings.uiMode = true;
    settings.output.noConsole = true;
    const int end = app::RunMainDialog(settings);
    if (end == ui::kDialogUnavailable) {
      WriteToStartStream(platform::StdStream::Error, Format(msg::kNoDisplayForDialog));
      return Code(Result::Abandoned);
    }
    if (end == ui::kDialogCancel) return Code(Result::Abandoned);
    settings.autoDetectSource = false;  // the dialog has chosen the source set
  } else {
    settings.sourceSpec = arguments[0];
    ParseOptions(arguments.subspan(1), settings);
  }
  return Code(RunWithOptions(std::move(settings)));
}

}  // namespace glyphshift
