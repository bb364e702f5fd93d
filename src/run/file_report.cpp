#include "run/file_report.h"

#include "engine/charset_catalogue.h"
#include "messages/catalogue.h"
#include "platform/display.h"

namespace glyphshift {

namespace {

void ShowBox(const msg::BoxText& box, platform::MessageBoxIcon icon) {
  platform::ShowMessageBox(box.text, box.caption, icon);
}

// The box alone would not say which file failed, nor why: both go below its text.
void ShowWriteErrorBox(const ConversionReport& report, const ReportedFile& file) {
  std::u16string reason = platform::ErrorText(report.error.code);
  while (!reason.empty() && (reason.back() == u'\n' || reason.back() == u'\r')) reason.pop_back();
  const std::u16string_view where = report.where.empty() ? file.name : std::u16string_view(report.where);
  platform::ShowMessageBox(Format(msg::kWriteErrorDetail, msg::kWriteErrorBox.text, where, reason),
                           msg::kWriteErrorBox.caption, platform::MessageBoxIcon::Error);
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

struct Place {
  std::int64_t line, column;
};
Place PlaceOf(const LossTally& tally) {
  return {static_cast<std::int64_t>(tally.place.line), static_cast<std::int64_t>(tally.place.column)};
}

// Bytes that do not decode: "not valid UTF-8" for a Unicode source, "not defined in" a table;
// the warning form (with what they were written as) or the refusal's.
template <class... Many, class... One>
std::u16string BytesText(const LossTally& tally, const ReportedFile& file, std::u16string_view writtenAs,
                         const Message<msg::Int64, msg::Name, msg::Wide, Many...>& many,
                         const Message<msg::Name, msg::Wide, One...>& one) {
  const auto count = static_cast<std::int64_t>(tally.count);
  const Place at = PlaceOf(tally);
  const std::u16string_view set = NameOf(file.sourceCharset);
  if constexpr (sizeof...(Many) == 3) {
    return count == 1 ? Format(one, file.name, set, writtenAs, at.line, at.column)
                      : Format(many, count, file.name, set, writtenAs, at.line, at.column);
  } else {
    return count == 1 ? Format(one, file.name, set, at.line, at.column)
                      : Format(many, count, file.name, set, at.line, at.column);
  }
}

// Why a lossy conversion was refused, a line for each kind of loss.
std::u16string RefusedLossText(const LossReport& losses, const ReportedFile& file) {
  std::u16string text;
  if (losses.undecodable.count != 0) {
    text += IsSingleByteCode(file.sourceCharset)
                ? BytesText(losses.undecodable, file, {}, msg::kHoldsUndefined, msg::kHoldsUndefinedOne)
                : BytesText(losses.undecodable, file, {}, msg::kHoldsInvalid, msg::kHoldsInvalidOne);
  }
  if (losses.oddByte) text += Format(msg::kHoldsHalfUnit, file.name);
  const LossTally& lost = losses.unencodable;
  const Place at = PlaceOf(lost);
  if (lost.count == 1) {
    text += Format(msg::kWouldLoseOne, file.name, NameOf(file.destinationCharset), at.line, at.column);
  } else if (lost.count != 0) {
    text += Format(msg::kWouldLose, file.name, NameOf(file.destinationCharset), static_cast<std::int64_t>(lost.count),
                   at.line, at.column);
  }
  return text;
}

}  // namespace

bool SkipsFile(const ConversionReport& report, const ReportedFile& file) {
  return report.problem == ConversionReport::Problem::NotText && file.listed;
}

std::u16string LossWarnings(const ConversionReport& report, const ReportedFile& file) {
  const LossReport& losses = report.losses;
  const std::u16string_view writtenAs =
      IsSingleByteCode(file.destinationCharset) ? msg::kWrittenAsQuestionMark : msg::kWrittenAsReplacement;
  std::u16string text;
  if (losses.undecodable.count != 0) {
    text += IsSingleByteCode(file.sourceCharset)
                ? BytesText(losses.undecodable, file, writtenAs, msg::kUndefined, msg::kUndefinedOne)
                : BytesText(losses.undecodable, file, writtenAs, msg::kInvalid, msg::kInvalidOne);
  }
  if (losses.oddByte) text += Format(msg::kHalfUnit, file.name);
  const LossTally& lost = losses.unencodable;
  const Place at = PlaceOf(lost);
  if (lost.count == 1) {
    text += Format(msg::kUnencodableOne, file.name, NameOf(file.destinationCharset), at.line, at.column);
  } else if (lost.count != 0) {
    text += Format(msg::kUnencodable, static_cast<std::int64_t>(lost.count), file.name, NameOf(file.destinationCharset),
                   at.line, at.column);
  }
  // The model's answer says more than the byte patterns the loss check saw.
  if (!file.looksLike.empty()) {
    text += Format(msg::kLooksLike, file.name, file.looksLike);
  } else if (losses.readsAsUtf16) {
    text += Format(msg::kReadsAsUtf16, file.name);
  } else if (losses.c1Bytes) {
    text += Format(msg::kReadAsLatin1, file.name);
  }
  return text;
}

std::u16string RefusalText(const ConversionReport& report, const ReportedFile& file) {
  using Problem = ConversionReport::Problem;
  switch (report.problem) {
    case Problem::NotText: {
      const auto at = static_cast<std::int64_t>(report.losses.binaryAt.value_or(0));
      return SkipsFile(report, file) ? Format(msg::kSkippedNotText, file.name, at)
                                     : Format(msg::kNotText, file.name, at);
    }
    case Problem::WouldLose: return RefusedLossText(report.losses, file);
    case Problem::SourceChanged: return Format(msg::kSourceChanged, file.name);
    default: return {};
  }
}

void ReportProblem(const RunSettings& settings, const ConversionReport& report, const ReportedFile& file) {
  using Problem = ConversionReport::Problem;
  if (!report.attributesNotKeptAt.empty()) Print(msg::kReplacedGrantedMore, report.attributesNotKeptAt);
  switch (report.problem) {
    case Problem::NotText:
    case Problem::WouldLose:
    case Problem::SourceChanged: PrintMessageText(RefusalText(report, file)); return;
    case Problem::None: return;
    case Problem::SourceUnreadable: Print(msg::kSystemErrorText, platform::ErrorText(report.error.code)); return;
    case Problem::DestinationUnwritable:
      Print(msg::kSystemErrorText, platform::ErrorText(report.error.code));
      if (settings.ShowsBoxes()) ShowWriteErrorBox(report, file);
      return;
    case Problem::NoTemporaryFile:
      Print(msg::kNoTemporaryFile, report.where, platform::ErrorText(report.error.code));
      if (settings.ShowsBoxes()) ShowWriteErrorBox(report, file);
      return;
    case Problem::OutOfMemory: ReportOutOfMemory(settings, report.step); return;
    case Problem::SourceNotDeleted:
      Print(msg::kSourceNotDeleted, report.where, platform::ErrorText(report.error.code));
      return;
  }
}

void ReportFinished(const RunSettings& settings, std::u16string_view warnings) {
  if (!settings.ShowsBoxes()) return;
  if (warnings.empty()) {
    ShowBox(msg::kFinishedBox, platform::MessageBoxIcon::Information);
    return;
  }
  platform::ShowMessageBox(Format(msg::kFinishedWithWarnings, msg::kFinishedBox.text, warnings),
                           msg::kFinishedBox.caption, platform::MessageBoxIcon::Information);
}

bool AskToConvertAnyway(const RunSettings& settings, const ConversionReport& report, const ReportedFile& file) {
  using Problem = ConversionReport::Problem;
  if (!settings.ShowsBoxes() || (report.problem != Problem::WouldLose && report.problem != Problem::NotText)) {
    return false;
  }
  return platform::AskQuestion(Format(msg::kConvertAnyway, RefusalText(report, file)), msg::kLeftUnchangedCaption);
}

}  // namespace glyphshift
