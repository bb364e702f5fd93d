#include "run/run_conversion.h"

#include "messages/catalogue.h"
#include "messages/output_routing.h"
#include "platform/files.h"
#include "run/run_state.h"
#include "run/single_file.h"
#include "run/wildcard_walk.h"

namespace glyphshift {

PathKind GetPathKind(const std::u16string& path) {
  if (path.find_first_of(u"*?") != std::u16string::npos) return PathKind::Wildcard;
  return platform::Files().GetEntryType(path) == platform::EntryType::Directory ? PathKind::Directory : PathKind::File;
}

Result RunConversion(const RunSettings& settings) {
  CRun run(settings);
  std::optional<Result> early;
  switch (GetPathKind(settings.sourceSpec)) {
    case PathKind::Directory:
      if (!settings.uiMode) Print(msg::kSourceIsDirectory, settings.sourceSpec);
      return Result::SourceIsDirectory;
    case PathKind::File: early = ConvertSingleFile(run); break;
    case PathKind::Wildcard: early = ConvertMatchingFiles(run); break;
  }
  if (early) return *early;

  Print(msg::kEndOfHeading);
  Print(msg::kConvertedCount, run.summary.convertedCount, run.summary.totalSourceBytes);
  Print(msg::kFailedCount, run.summary.failedCount);
  ReleaseConsole();
  return run.summary.lastResult;
}

}  // namespace glyphshift
