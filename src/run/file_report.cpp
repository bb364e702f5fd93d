#include "run/file_report.h"

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

}  // namespace

void ReportProblem(const RunSettings& settings, const ConversionReport& report) {
  using Problem = ConversionReport::Problem;
  if (!report.attributesNotKeptAt.empty()) Print(msg::kReplacedGrantedMore, report.attributesNotKeptAt);
  switch (report.problem) {
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
    case Problem::SourceChanged: Print(msg::kSourceChanged, report.where); return;
  }
}

void ReportFinished(const RunSettings& settings) {
  if (settings.ShowsBoxes()) ShowBox(msg::kFinishedBox, platform::MessageBoxIcon::Information);
}

}  // namespace glyphshift
