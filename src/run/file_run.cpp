#include "run/file_run.h"

#include <algorithm>
#include <cstdint>

#include <memory>

#include "engine/charset_catalogue.h"
#include "messages/print_message.h"
#include "platform/files.h"
#include "platform/streams.h"
#include "run/byte_size_text.h"
#include "run/path_rules.h"
#include "run/source_detection.h"

namespace glyphshift {

std::u16string DestinationName(std::u16string_view sourceName, std::u16string_view charsetName,
                               bool insertCharsetName) {
  std::u16string name(BaseNameOf(sourceName));
  if (insertCharsetName) {
    name += u'.';
    name += charsetName;
  }
  name += ExtensionOf(sourceName);
  return name;
}

std::optional<platform::FileId> RunLogFileId() {
  platform::FileId id;
  if (platform::GetLogFileId(platform::StdStream::Output, id)) return std::nullopt;
  return id;
}

void PrintSuccess(RunSummary& summary, std::uint64_t sourceSize, std::uint64_t destinationSize,
                  std::u16string_view displayName) {
  // 64-bit: a file of over 1 GiB that more than doubles (1252 text full of euro signs to UTF-8)
  // grows by more than a 32-bit count holds, and the line would show a negative growth.
  const std::int64_t growth = static_cast<std::int64_t>(destinationSize) - static_cast<std::int64_t>(sourceSize);
  PrintMessage(u"Success: [%s + %I64d Bytes] %s\n", FormatByteSize(sourceSize), growth, displayName);
  ++summary.convertedCount;
  summary.totalSourceBytes += static_cast<std::int64_t>(sourceSize);
}

void CountFailure(RunSummary& summary, std::int32_t result, std::u16string_view displayName) {
  summary.lastResult = result;
  ++summary.failedCount;
  PrintMessage(u"Error %d: Conversion of \"%s\" failed.\n", result, displayName);
}

namespace {

// Says, with a log level, what the statistical detector made of the file; a set that cannot be
// converted is always reported. False when the file is not to be converted.
bool ReportDetection(const ConversionOptions& options, const SourceDetection& detected, std::u16string_view path) {
  const char16_t* name = CharsetNameFromCode(detected.code);
  const std::u16string_view used = name != nullptr ? name : u"";
  switch (detected.outcome) {
    case DetectionOutcome::ByRules: return true;
    case DetectionOutcome::Unconvertible:
      PrintMessage(
          u"The character set of \"%s\" was detected as \"%S\", which cannot be converted; the file is "
          u"left as it is.\n",
          path, detected.detectorName);
      return false;
    case DetectionOutcome::Statistical:
      if (options.logLevel != 0) {
        PrintMessage(u"Statistical detection: \"%s\" is \"%S\", converted as \"%s\".\n", path, detected.detectorName,
                     used);
      }
      return true;
    case DetectionOutcome::NoAnswer:
      if (options.logLevel != 0) {
        PrintMessage(u"Statistical detection: no confident answer for \"%s\"; converted as \"%s\".\n", path, used);
      }
      return true;
    case DetectionOutcome::DoesNotFit:
      if (options.logLevel != 0) {
        PrintMessage(u"Statistical detection: \"%S\" does not fit the bytes of \"%s\"; converted as \"%s\".\n",
                     detected.detectorName, path, used);
      }
      return true;
  }
  return true;
}

// Whether the destination's name holds the run's log file (a link there would be replaced, not
// followed, so only the file itself counts).
bool IsRunLog(const FileLocation& destination) {
  const std::optional<platform::FileId> log = RunLogFileId();
  platform::FileStatus status;
  return log && !destination.error && !platform::Files().Status(*destination.directory, destination.name, status) &&
         status.type == platform::EntryType::Regular && status.id == *log;
}

}  // namespace

std::unique_ptr<CFileRun> RefusedFile(std::int32_t result, std::u16string_view displayName) {
  auto file = std::make_unique<CFileRun>();
  file->result = result;
  file->displayName = displayName;
  return file;
}

std::unique_ptr<CFileRun> StartFile(ConversionOptions& options, OpenedSource& source,
                                    const FileLocation& sourceLocation, const FileLocation& destination,
                                    std::u16string_view displayName) {
  if (IsRunLog(destination)) {
    PrintMessage(u"\"%s\" is the log file of this run; nothing is converted into it.\n", destination.path);
    return RefusedFile(kProcessWriteError, displayName);
  }
  if (options.autoDetectSource) {
    const SourceDetection detected = DetectSourceCharset(source, options.detectionMethod);
    if (!ReportDetection(options, detected, sourceLocation.path)) return RefusedFile(kProcessReadError, displayName);
    options.sourceCharset = detected.code;
    if (const char16_t* name = CharsetNameFromCode(detected.code)) options.sourceCharsetName = name;
  }
  auto file = std::make_unique<CFileRun>();
  file->displayName = displayName;
  file->result =
      ConvertToStaged(options, source, sourceLocation, destination, options.sourceCharsetName, options.sourceCharset,
                      options.destinationCharsetName, options.destinationCharset, &file->sourceSize, file->converted);
  return file;
}

bool FinishFile(const ConversionOptions& options, CFileRun& file, RunSummary& summary) {
  std::uint64_t destinationSize = 0;
  WrittenFile written;
  const std::int32_t result =
      file.result != kProcessOk ? file.result : CompleteConversion(options, file.converted, &destinationSize, &written);
  if (result != kProcessOk) {
    CountFailure(summary, result, file.displayName);
    if (file.done) file.done(nullptr);
    return false;
  }
  summary.lastResult = result;
  PrintSuccess(summary, file.sourceSize, destinationSize, file.displayName);
  if (file.done) file.done(&written);
  return true;
}

bool ConvertFile(ConversionOptions& options, OpenedSource& source, const FileLocation& sourceLocation,
                 const FileLocation& destination, std::u16string_view displayName, RunSummary& summary,
                 WrittenFile* written) {
  std::unique_ptr<CFileRun> file = StartFile(options, source, sourceLocation, destination, displayName);
  file->done = [written](WrittenFile* result) {
    if (written && result) *written = std::move(*result);
  };
  return FinishFile(options, *file, summary);
}

void CCommitBatch::Add(std::unique_ptr<CFileRun> file) {
  if (!held_) held_ = std::make_unique<CHeldMessages>();
  if (file->result == kProcessOk) bytes_ += file->converted.staged.written;
  pending_.push_back({std::move(file), held_->Mark()});
  // With /error-stop a failure must end the directory before anything later is converted.
  if (pending_.size() >= kMaxFiles || bytes_ >= kMaxBytes || options_.errorStop) Complete();
}

bool CCommitBatch::Holds(std::u16string_view name) const {
  for (const Pending& p : pending_) {
    const CConvertedFile& c = p.file->converted;
    if (p.file->result == kProcessOk && (c.destination.name == name || c.sourceLocation.name == name)) return true;
  }
  return false;
}

void CCommitBatch::Complete() {
  if (pending_.empty()) {
    held_.reset();
    return;
  }
  // One wait for all: each file's write-back was started as it was complete; each is waited
  // for (its write errors are its own), then the file systems are flushed once.
  platform::FileSystem& files = platform::Files();
  std::vector<CConvertedFile*> flushed;
  for (Pending& p : pending_) {
    CConvertedFile& c = p.file->converted;
    if (p.file->result != kProcessOk || !c.NeedsFlush(options_)) continue;
    c.flushError = files.WaitForStaged(c.staged);
    c.flushed = true;
    if (!c.flushError) flushed.push_back(&c);
  }
  std::vector<platform::FileId> systems;  // one directory of each file system, by its device
  for (CConvertedFile* c : flushed) {
    const platform::FileId& directory = c->staged.directory->id;
    if (std::any_of(systems.begin(), systems.end(),
                    [&](const platform::FileId& s) { return s.device == directory.device; })) {
      continue;
    }
    systems.push_back(directory);
    // A failure cannot be pinned on one file: every file of that file system keeps its old content.
    if (const platform::SysError error = files.FlushFileSystem(*c->staged.directory)) {
      for (CConvertedFile* other : flushed) {
        if (other->staged.directory->id.device == directory.device) other->flushError = error;
      }
    }
  }
  for (Pending& p : pending_) {
    held_->ReleaseUntil(p.heldMark);
    held_->PrintThrough([&] { FinishFile(options_, *p.file, summary_); });
  }
  pending_.clear();
  bytes_ = 0;
  held_.reset();  // writes the lines printed after the last file
}
}  // namespace glyphshift
