#include "run/file_report.h"

#include "engine/charset_catalogue.h"
#include "messages/catalogue.h"
#include "platform/display.h"

namespace glyphshift {

namespace {

void ShowBox(const msg::BoxText& box, platform::MessageBoxIcon icon) {
  platform::ShowMessageBox(box.text, box.caption, icon);
}

// Short memory in the line-break or markup step is reported in the dialog's box, or in words
// of its own for each step; a failed decoding block says nothing.
void ReportOutOfMemory(const RunSettings& settings, StreamStep step) {
  if (step == StreamStep::Decoding) return;
  if (settings.uiMode) {
    if (!settings.noStatusBox) ShowBox(msg::kOutOfMemoryBox, platform::MessageBoxIcon::Error);
  } else if (step == StreamStep::Markup) {
    Print(msg::kOutOfMemoryInMarkup, msg::kOutOfMemoryText);
  } else {
    PrintOutOfMemory();
  }
}

// A set as the usage text lists it: the primary name, and the Unicode forms in capitals.
std::u16string_view NameOf(CharsetCode code) {
  switch (code) {
    case kCharsetUtf8: return u"UTF-8";
    case kCharsetUtf16: return u"UTF-16";
    case kCharsetUtf16Be: return u"UTF-16BE";
    default: break;
  }
  const char16_t* name = CharsetNameFromCode(code);
  return name != nullptr ? name : u"";
}

// Bytes that do not decode: "not valid UTF-8" for a Unicode source, "not defined in" a table.
template <class... Many, class... One>
void PrintBytes(const LossTally& tally, const ReportedFile& file, std::u16string_view writtenAs,
                const Message<msg::Int64, msg::Wide, msg::Wide, Many...>& many,
                const Message<msg::Wide, msg::Wide, One...>& one) {
  const auto count = static_cast<std::int64_t>(tally.count);
  const auto line = static_cast<std::int64_t>(tally.place.line);
  const auto column = static_cast<std::int64_t>(tally.place.column);
  if constexpr (sizeof...(Many) == 3) {
    if (count == 1) {
      Print(one, file.name, NameOf(file.sourceCharset), writtenAs, line, column);
    } else {
      Print(many, count, file.name, NameOf(file.sourceCharset), writtenAs, line, column);
    }
  } else {
    if (count == 1) {
      Print(one, file.name, NameOf(file.sourceCharset), line, column);
    } else {
      Print(many, count, file.name, NameOf(file.sourceCharset), line, column);
    }
  }
}

// Why a lossy conversion was refused, a line for each kind of loss.
void ReportRefusedLoss(const LossReport& losses, const ReportedFile& file) {
  const bool singleByteSource = IsSingleByteCode(file.sourceCharset);
  if (losses.undecodable.count != 0) {
    if (singleByteSource) {
      PrintBytes(losses.undecodable, file, {}, msg::kHoldsUndefined, msg::kHoldsUndefinedOne);
    } else {
      PrintBytes(losses.undecodable, file, {}, msg::kHoldsInvalid, msg::kHoldsInvalidOne);
    }
  }
  if (losses.oddByte) Print(msg::kHoldsHalfUnit, file.name);
  const LossTally& lost = losses.unencodable;
  if (lost.count == 1) {
    Print(msg::kWouldLoseOne, file.name, NameOf(file.destinationCharset), static_cast<std::int64_t>(lost.place.line),
          static_cast<std::int64_t>(lost.place.column));
  } else if (lost.count != 0) {
    Print(msg::kWouldLose, file.name, NameOf(file.destinationCharset), static_cast<std::int64_t>(lost.count),
          static_cast<std::int64_t>(lost.place.line), static_cast<std::int64_t>(lost.place.column));
  }
}

}  // namespace

bool SkipsFile(const ConversionReport& report, const ReportedFile& file) {
  return report.problem == ConversionReport::Problem::NotText && file.listed;
}

void ReportLosses(const ConversionReport& report, const ReportedFile& file) {
  const LossReport& losses = report.losses;
  const std::u16string_view writtenAs =
      IsSingleByteCode(file.destinationCharset) ? msg::kWrittenAsQuestionMark : msg::kWrittenAsReplacement;
  if (losses.undecodable.count != 0) {
    if (IsSingleByteCode(file.sourceCharset)) {
      PrintBytes(losses.undecodable, file, writtenAs, msg::kUndefined, msg::kUndefinedOne);
    } else {
      PrintBytes(losses.undecodable, file, writtenAs, msg::kInvalid, msg::kInvalidOne);
    }
  }
  if (losses.oddByte) Print(msg::kHalfUnit, file.name);
  const LossTally& lost = losses.unencodable;
  if (lost.count == 1) {
    Print(msg::kUnencodableOne, file.name, NameOf(file.destinationCharset), static_cast<std::int64_t>(lost.place.line),
          static_cast<std::int64_t>(lost.place.column));
  } else if (lost.count != 0) {
    Print(msg::kUnencodable, static_cast<std::int64_t>(lost.count), file.name, NameOf(file.destinationCharset),
          static_cast<std::int64_t>(lost.place.line), static_cast<std::int64_t>(lost.place.column));
  }
  if (losses.readsAsUtf16) {
    Print(msg::kReadsAsUtf16, file.name);
  } else if (losses.c1Bytes) {
    Print(msg::kReadAsLatin1, file.name);
  }
}

std::u16string ReasonOf(const platform::SysError& error) {
  std::u16string reason = platform::ErrorText(error.code);
  if (reason.empty()) reason = Format(msg::kUnnamedError, error.code);
  return reason;
}

void ReportProblem(const RunSettings& settings, const ConversionReport& report, const ReportedFile& file) {
  using Problem = ConversionReport::Problem;
  switch (report.problem) {
    case Problem::NotText: {
      const auto at = static_cast<std::int64_t>(report.losses.binaryAt.value_or(0));
      if (SkipsFile(report, file)) {
        Print(msg::kSkippedNotText, file.name, at);
      } else {
        Print(msg::kNotText, file.name, at);
      }
      return;
    }
    case Problem::WouldLose: ReportRefusedLoss(report.losses, file); return;
    case Problem::SourceChanged: Print(msg::kSourceChanged, file.name); return;
    case Problem::None: return;
    case Problem::SourceUnreadable: Print(msg::kSystemErrorText, platform::ErrorText(report.error.code)); return;
    case Problem::DestinationUnwritable:
      Print(msg::kSystemErrorText, platform::ErrorText(report.error.code));
      if (settings.ShowsBoxes()) ShowBox(msg::kWriteErrorBox, platform::MessageBoxIcon::Error);
      return;
    case Problem::NoTemporaryFile:
      Print(msg::kNoTemporaryFile, report.where, platform::ErrorText(report.error.code));
      if (settings.ShowsBoxes()) ShowBox(msg::kWriteErrorBox, platform::MessageBoxIcon::Error);
      return;
    case Problem::OutOfMemory: ReportOutOfMemory(settings, report.step); return;
    case Problem::SourceNotDeleted:
      Print(msg::kSourceNotDeleted, report.where, platform::ErrorText(report.error.code));
      return;
  }
}

void ReportFinished(const RunSettings& settings) {
  if (settings.ShowsBoxes()) ShowBox(msg::kFinishedBox, platform::MessageBoxIcon::Information);
}

}  // namespace glyphshift
