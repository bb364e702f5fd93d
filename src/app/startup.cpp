// The program's modes and start-up: help, dialog or batch; routing, the two character sets,
// the rights for security carry-over, then the run.
#include <algorithm>

#include "app/gui_loader.h"
#include "app/startup.h"
#include "engine/charset_catalogue.h"
#include "messages/output_routing.h"
#include "messages/print_message.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/streams.h"
#include "run/command_line.h"
#include "run/enumeration.h"
#include "run/exit_codes.h"
#include "run/statistical_detector.h"
#include "run/usage_text.h"
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
bool ResolveAndReport(std::u16string& name, CharsetCode& code, std::u16string_view resolvedFormat) {
  const char16_t* spelling = name.c_str();
  if (!ResolveCharsetName(&code, &spelling)) {
    PrintMessage(u"Error 6: Character set \"%s\" is unknown.", name);
    return false;
  }
  name = spelling;
  PrintMessage(resolvedFormat, name, code);
  return true;
}

void WriteToStartStream(platform::StdStream stream, std::u16string_view text) {
  platform::WriteText(stream, text);
  platform::FlushStreams();
}

}  // namespace

int RunWithOptions(ConversionOptions& options) {
  if (const platform::SysError error = RouteOutput({options.noConsole, options.logFilePath, options.logLevel})) {
    std::u16string reason = platform::ErrorText(error.code);
    if (reason.empty()) reason = FormatText(u"error %d\n", {error.code});
    platform::WriteToConsole(platform::StdStream::Error,
                             FormatText(u"morfex: cannot open the log file \"%s\": %s", {options.logFilePath, reason}));
    return kExitAbandoned;
  }
  platform::RemoveStagedFilesOnInterrupt();
  if (!ResolveDetectionMethod(options.detectionMethodName, options.detectionMethod)) {
    PrintMessage(u"Error 6: Detection method \"%s\" is unknown; it is simple or statistical.\n",
                 options.detectionMethodName);
    return kExitUnknownCharset;
  }
  // The destination is checked first: with two unknown names only the destination is reported.
  if (!ResolveAndReport(options.destinationCharsetName, options.destinationCharset,
                        u"Destination character set: \"%s\" (Internal code %d)\n")) {
    return kExitUnknownCharset;
  }
  if (options.autoDetectSource) {
    PrintMessage(u"Source character set: Auto detect\n");
    if (options.detectionMethod == DetectionMethod::Statistical && !CStatisticalDetector::Available()) {
      PrintMessage(u"Statistical detection is not part of this build: the byte rules decide.\n");
    }
  } else if (!ResolveAndReport(options.sourceCharsetName, options.sourceCharset,
                               u"Source character set: \"%s\" (Internal code %d)\n")) {
    return kExitUnknownCharset;
  }
  PrintMessage(u"\n");
  if (options.keepSecurity) EnableSecurityPrivileges();
  return RunConversion(options);
}

int RunProgram(std::span<const std::u16string> arguments) {
  arguments = arguments.first(std::min(arguments.size(), kMaxArguments));
  ConversionOptions options;

  if (arguments.size() == 1) {
    const std::u16string& only = arguments[0];
    if (only == u"/?") {
      const std::u16string usage = WithLineFeeds(UsageText());
      if (!app::ShowHelpWindow(usage)) WriteToStartStream(platform::StdStream::Output, usage);
      return kExitAbandoned;
    }
    if (only == u"--help") {
      WriteToStartStream(platform::StdStream::Output, WithLineFeeds(UsageText()));
      return kExitConverted;
    }
    if (only == u"--version") {
      WriteToStartStream(platform::StdStream::Output, u"morfex (Glyphshift) " + DottedVersion() + u"\n");
      return kExitConverted;
    }
  }

  // "--dialog [FILE]" opens the dialog as no arguments do, with FILE as its source (a desktop
  // entry's %f).
  const bool dialogWithSource = !arguments.empty() && arguments.size() <= 2 && arguments[0] == u"--dialog";
  if (arguments.empty() || dialogWithSource) {
    options.uiMode = true;
    options.noConsole = true;
    if (arguments.size() == 2) options.sourceSpec = arguments[1];
    const int end = app::RunMainDialog(options);
    if (end == ui::kDialogUnavailable) {
      // With a display the loader has said why the dialog could not be had.
      if (!platform::IsDisplayAvailable()) {
        WriteToStartStream(platform::StdStream::Error,
                           u"morfex: no display for the dialog; give a source file, or see \"morfex --help\".\n");
      }
      return kExitAbandoned;
    }
    if (end == ui::kDialogCancel) return kExitAbandoned;
    options.autoDetectSource = false;  // the dialog has chosen the source set
  }

  options.ownerFromPrefix = false;
  options.userTranslationTablePath = u"user-to-account.csv";
  options.logFilePath.clear();
  if (!arguments.empty() && !dialogWithSource) {
    options.sourceSpec = arguments[0];
    ParseOptions(arguments.subspan(1), options);
  }
  return RunWithOptions(options);
}

}  // namespace glyphshift
