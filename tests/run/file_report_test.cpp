// How the run shows a file's report: the lines of a console run, the boxes of the dialog's run
// (none with /nowait), for each kind of problem.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/native_text.h"
#include "platform/streams.h"
#include "run/file_report.h"

namespace glyphshift {
namespace {

using Problem = ConversionReport::Problem;

std::vector<std::u16string>& Boxes() {
  static std::vector<std::u16string> boxes;
  return boxes;
}

enum class Mode { Console, Dialog, SilentDialog };

// What the report printed, and the captions of the boxes it showed.
std::pair<std::string, std::vector<std::u16string>> Shown(const ConversionReport& report, Mode mode) {
  RunSettings settings;
  settings.uiMode = mode != Mode::Console;
  settings.noStatusBox = mode == Mode::SilentDialog;
  Boxes().clear();
  platform::SetMessageBoxHandler([](std::u16string_view text, std::u16string_view caption, platform::MessageBoxIcon) {
    Boxes().push_back(std::u16string(caption) + u": " + std::u16string(text));
  });
  ::testing::internal::CaptureStdout();
  ReportProblem(settings, report, {u"x.txt", kCharsetIso88591, kCharsetUtf8, false, {}});
  if (report.problem == Problem::None) ReportFinished(settings, {});
  platform::FlushStreams();
  const std::string printed = ::testing::internal::GetCapturedStdout();
  platform::SetMessageBoxHandler(nullptr);
  return {printed, Boxes()};
}

ConversionReport Report(Problem problem, int code = 0, StreamStep step = StreamStep::None) {
  ConversionReport report;
  report.problem = problem;
  report.error = {code, "test"};
  report.step = step;
  report.where = u"/d/x";
  return report;
}

TEST(FileReport, LinesAndBoxesForEachProblem) {
  const std::string tooLarge = platform::ToNative(platform::ErrorText(platform::kErrorTooLarge));
  // The error box names where and why below its fixed text; without a place, the file.
  const std::u16string reason = platform::FromNative(tooLarge.substr(0, tooLarge.find_last_not_of('\n') + 1));
  const std::u16string errorBox = u"Error: An Error occured during file creation.\n\n\"/d/x\"\n" + reason;
  const std::u16string errorBoxOfFile = u"Error: An Error occured during file creation.\n\n\"x.txt\"\n" + reason;
  ConversionReport nowhere = Report(Problem::DestinationUnwritable, platform::kErrorTooLarge);
  nowhere.where.clear();
  const std::u16string memoryBox = u"Out of memory: The system is out of memory. The operation failed.";
  const struct {
    ConversionReport report;
    Mode mode;
    std::string printed;
    std::vector<std::u16string> boxes;
  } cases[] = {
      {Report(Problem::None), Mode::Console, "", {}},
      {Report(Problem::None), Mode::Dialog, "", {u"Finished: Conversion finished!"}},
      {Report(Problem::None), Mode::SilentDialog, "", {}},
      {Report(Problem::SourceUnreadable, platform::kErrorNotFound),
       Mode::Dialog,
       platform::ToNative(platform::ErrorText(platform::kErrorNotFound)),
       {}},
      {Report(Problem::DestinationUnwritable, platform::kErrorTooLarge), Mode::Console, tooLarge, {}},
      {Report(Problem::DestinationUnwritable, platform::kErrorTooLarge), Mode::Dialog, tooLarge, {errorBox}},
      {nowhere, Mode::Dialog, tooLarge, {errorBoxOfFile}},
      {Report(Problem::NoTemporaryFile, platform::kErrorTooLarge),
       Mode::Dialog,
       "Cannot create a temporary file in \"/d/x\": " + tooLarge,
       {errorBox}},
      {Report(Problem::SourceNotDeleted, platform::kErrorTooLarge),
       Mode::Dialog,
       "The source \"/d/x\" was not deleted: " + tooLarge,
       {}},
      {Report(Problem::OutOfMemory, 0, StreamStep::Decoding), Mode::Console, "", {}},
      {Report(Problem::OutOfMemory, 0, StreamStep::LineBreaks),
       Mode::Console,
       "Error: The system is out of memory. The operation failed.",
       {}},
      {Report(Problem::OutOfMemory, 0, StreamStep::Markup),
       Mode::Console,
       "The system is out of memory. The operation failed.",
       {}},
      {Report(Problem::OutOfMemory, 0, StreamStep::Encoding),
       Mode::Console,
       "Error: The system is out of memory. The operation failed.",
       {}},
      {Report(Problem::OutOfMemory, 0, StreamStep::Markup), Mode::Dialog, "", {memoryBox}},
      {Report(Problem::OutOfMemory, 0, StreamStep::Markup), Mode::SilentDialog, "", {}},
  };
  for (const auto& c : cases) {
    const auto [printed, boxes] = Shown(c.report, c.mode);
    EXPECT_EQ(printed, c.printed) << static_cast<int>(c.report.problem) << " in mode " << static_cast<int>(c.mode);
    EXPECT_EQ(boxes, c.boxes) << static_cast<int>(c.report.problem) << " in mode " << static_cast<int>(c.mode);
  }
}

// The dialog's run shows a converted file's warnings in its box, and asks about a file it left
// unchanged to protect its content (a file that changed meanwhile is no question).
TEST(FileReport, DialogShowsWarningsAndAsksWhetherToConvertAnyway) {
  RunSettings dialog;
  dialog.uiMode = true;
  ConversionReport lossy = Report(Problem::None);
  lossy.losses.unencodable = {2, 5, {3, 4}};
  const ReportedFile file{u"u.txt", kCharsetUtf8, kCharsetIso88591, false, {}};
  Boxes().clear();
  platform::SetMessageBoxHandler([](std::u16string_view text, std::u16string_view, platform::MessageBoxIcon) {
    Boxes().push_back(std::u16string(text));
  });
  ReportFinished(dialog, LossWarnings(lossy, file));
  platform::SetMessageBoxHandler(nullptr);
  EXPECT_EQ(Boxes(), std::vector<std::u16string>{u"Conversion finished!\n\nWarning: 2 characters of \"u.txt\" have no "
                                                 u"equivalent in ISO-8859-1 and were written as \"?\" (first at line "
                                                 u"3, column 4).\n"});

  static std::u16string asked;
  static bool answer = false;
  platform::SetQuestionHandler([](std::u16string_view text, std::u16string_view) {
    asked = text;
    return answer;
  });
  lossy.problem = Problem::WouldLose;
  for (const bool yes : {false, true}) {
    answer = yes;
    EXPECT_EQ(AskToConvertAnyway(dialog, lossy, file), yes);
  }
  EXPECT_EQ(asked,
            u"Left unchanged: converting \"u.txt\" to ISO-8859-1 would lose 2 characters (first at line 3, "
            u"column 4); /lossy converts it anyway.\n\nConvert it anyway?");
  asked.clear();
  EXPECT_FALSE(AskToConvertAnyway(dialog, Report(Problem::SourceChanged), file));
  RunSettings console;
  EXPECT_FALSE(AskToConvertAnyway(console, lossy, file));
  EXPECT_TRUE(asked.empty()) << "asked outside the dialog, or about a changed file";
  platform::SetQuestionHandler(nullptr);
}

}  // namespace
}  // namespace glyphshift
