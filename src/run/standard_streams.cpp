#include "run/standard_streams.h"

#include "convert/named_files.h"
#include "messages/catalogue.h"
#include "messages/progress.h"
#include "run/file_report.h"
#include "run/path_rules.h"

namespace glyphshift {
namespace {

// The text for standard output, kept until it is complete: a markup value is rewritten after
// it was written, and nothing may reach a pipe that a later step could still refuse.
class CSpoolSink final : public CDestinationSink {
 public:
  explicit CSpoolSink(platform::CSpool& spool) : spool_(spool) {}
  bool Write(std::span<const std::uint8_t> bytes) override { return Keep(spool_.Append(bytes)); }
  std::uint64_t Size() const override { return spool_.Size(); }
  bool Truncate(std::uint64_t size) override { return Keep(spool_.Truncate(size)); }

 private:
  platform::CSpool& spool_;
};

}  // namespace

std::unique_ptr<CFileRun> StartFileForStandardOutput(CRun& run, OpenedSource& source,
                                                     const FileLocation& sourceLocation,
                                                     std::u16string_view displayName) {
  const RunSettings& settings = run.settings;
  std::unique_ptr<CFileRun> file =
      PrepareFile(run, source, sourceLocation, msg::kStandardOutputName, displayName, false);
  if (file->result != Result::Converted) return file;
  file->standardOutput = std::make_unique<platform::CSpool>();
  CSpoolSink sink(*file->standardOutput);
  file->result = ConvertToSink(settings.conversion, source, file->facts.charset, settings.destinationCharsetName,
                               settings.destinationCharset, sink, &file->sourceSize, file->report, file->guessedLatin1);
  ReportProblem(settings, file->report, Reported(settings, *file));
  return file;
}

Result DeliverToStandardOutput(const platform::CSpool& spool, std::uint64_t* destinationSize,
                               ConversionReport& report) {
  if (const platform::SysError error = platform::CopyToStandardOutput(spool)) {
    report.problem = ConversionReport::Problem::DestinationUnwritable;
    report.error = error;
    return report.FileResult();
  }
  if (destinationSize) *destinationSize = spool.Size();
  return Result::Converted;
}

void OpenStandardInputSource(platform::CSpool& spool, OpenedSource& source, FileLocation& location) {
  RunProgress().BeginFile(msg::kStandardInputName, 0);
  source.error = platform::OpenStandardInput(spool, source.file, [](std::size_t read) { RunProgress().Receive(read); });
  source.file.path = msg::kStandardInputName;
  // No directory holds it: nothing may be done to it but reading (a move is refused earlier).
  location.path = msg::kStandardInputName;
  location.error = {platform::kErrorInvalid, "open"};
}

void ConvertStandardInput(CRun& run) {
  const RunSettings& settings = run.settings;
  platform::CSpool spool;
  OpenedSource source;
  FileLocation location;
  OpenStandardInputSource(spool, source, location);

  if (settings.standardOutput) {
    const std::unique_ptr<CFileRun> file = StartFileForStandardOutput(run, source, location, msg::kStandardInputName);
    FinishFile(run, *file);
    return;
  }
  CDestinationPlace destination;
  destination.LocateNamed(CanonicalizePath(settings.outputPath));
  ConvertFile(run, source, location, destination.location, msg::kStandardInputName);
}

}  // namespace glyphshift
