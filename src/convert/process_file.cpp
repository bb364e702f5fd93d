#include "convert/process_file.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "convert/stream_conversion.h"
#include "messages/progress.h"
#include "platform/files.h"
#include "platform/security.h"

namespace glyphshift {

Result ConversionReport::FileResult() const {
  switch (problem) {
    case Problem::None: return Result::Converted;
    case Problem::SourceUnreadable: return Result::ReadError;
    case Problem::DestinationUnwritable:
    case Problem::NoTemporaryFile:
    // The person asked for the source to go: a copy left beside it is not what was asked.
    case Problem::SourceNotDeleted: return Result::WriteError;
    case Problem::OutOfMemory: return Result::Abandoned;
    case Problem::NotText:
    case Problem::WouldLose:
    case Problem::SourceChanged: return Result::LeftUnchanged;
  }
  return Result::WriteError;
}

namespace {

using Problem = ConversionReport::Problem;

Result Fail(ConversionReport& report, Problem problem, const platform::SysError& error) {
  report.problem = problem;
  report.error = error;
  return report.FileResult();
}

// A source that cannot be opened or read counts as one that cannot be read; short memory is
// the out-of-memory result, as a failed decoding block.
Result ReadFailure(ConversionReport& report, const platform::SysError& error) {
  if (error.code == platform::kErrorOutOfMemory) {
    report.step = StreamStep::Decoding;
    return Fail(report, Problem::OutOfMemory, error);
  }
  return Fail(report, Problem::SourceUnreadable, error);
}

// The staged destination as the conversion's output.
class CStagedSink final : public CDestinationSink {
 public:
  explicit CStagedSink(platform::CStagedFile& staged) : staged_(staged) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    return Keep(platform::Files().WriteStaged(staged_, bytes));
  }
  std::uint64_t Size() const override { return staged_.written; }
  bool Truncate(std::uint64_t size) override { return Keep(platform::Files().TruncateStaged(staged_, size)); }
  bool WritesBehind() const override { return true; }

 private:
  platform::CStagedFile& staged_;
};

// What stands at the destination's name decides how the output is written: a regular file is
// replaced (its attributes kept), a link or nothing gives a new file, anything else is refused.
platform::SysError InspectDestination(const FileLocation& destination, const platform::FileStatus* seen,
                                      platform::CFile& replaced) {
  if (destination.error) return destination.error;
  platform::FileSystem& files = platform::Files();
  platform::FileStatus existing;
  if (seen != nullptr) {
    existing = *seen;
  } else if (const platform::SysError error = files.Status(*destination.directory, destination.name, existing)) {
    return error;
  }
  switch (existing.type) {
    case platform::EntryType::Directory: return {platform::kErrorIsDirectory, "open"};
    // A device or FIFO would be replaced by a regular file, not written to.
    case platform::EntryType::Other: return {platform::kErrorInvalid, "open"};
    case platform::EntryType::Regular:
      return files.OpenForReplacing(*destination.directory, destination.name, replaced);
    // A link at the name is replaced by the new file, never followed.
    case platform::EntryType::SymbolicLink:
    case platform::EntryType::Missing: break;
  }
  return {};
}

// The output cannot be written, or the observer stopped the conversion.
Result Halted(const CStreamConversion& stream, ConversionReport& report, const platform::SysError& sinkError) {
  if (stream.Stopped()) return Result::Converted;
  return Fail(report, Problem::DestinationUnwritable, sinkError);
}

// A source cut short while it was read gave the conversion less than the file held: the output
// is no conversion of the file, which is left as it is.
Result CutShort(ConversionReport& report, const platform::CFile& source) {
  report.where = source.path;
  return Fail(report, Problem::SourceChanged, {});
}

// The staged file's owner, mode and access list: a new file's (the source's permission bits
// less the umask), or those of the file it replaces, but only where they let no account read or
// write the output that could not do the same to the source or to the new file: a file another
// user planted at the destination's name must not decide who reads the copy. `notKept` says a
// replaced file's were refused.
platform::SysError GiveAttributes(const platform::CFile& source, const platform::CFile& replaced,
                                  platform::CStagedFile& staged, bool& notKept) {
  platform::FileSystem& files = platform::Files();
  const auto newFile = [&] { return files.SetNewFilePermissions(staged, source.status.permissions); };
  if (!replaced.handle.IsValid()) return newFile();
  // In place, the file replaced is the source: it grants what the source does.
  bool wider = replaced.status.id != source.status.id;
  const platform::FileRef old{replaced.handle.Get(), replaced.path, &replaced.status};
  if (wider) {
    if (const platform::SysError error =
            platform::GrantsMoreThan(old, {source.handle.Get(), source.path, &source.status}, wider)) {
      return error;
    }
  }
  if (wider) {
    if (const platform::SysError error = newFile()) return error;
    if (const platform::SysError error = platform::GrantsMoreThan(old, {staged.handle.Get(), staged.path}, wider)) {
      return error;
    }
  }
  notKept = wider;
  return wider ? platform::SysError{} : files.CopyAttributes(staged, replaced);
}

// On the staged file, before it takes its name: a name swapped meanwhile cannot redirect the
// change. Failures are silent: the destination keeps the security it was written with.
void CarrySecurityOver(const ConversionSettings& settings, const platform::CFile& source, platform::CStagedFile& staged,
                       const std::u16string& destinationPath) {
  if (!settings.KeepsSecurity()) return;
  std::unique_ptr<platform::FileSecurity> security;
  if (platform::ReadFileSecurity({source.handle.Get(), source.path}, security) || !security) return;
  const platform::FileRef file{staged.handle.Get(), destinationPath};
  if (settings.keepDacl) (void)platform::ApplyFileAccessList(file, *security);
  if (settings.keepOwner) (void)platform::ApplyFileOwner(file, *security);
}

// Sameness is decided by file identity, not path text: a file that is its own destination
// (under another spelling, or through a link) has just been rewritten and must stay.
void MoveSource(const CConvertedFile& converted, ConversionReport& report) {
  const FileLocation& source = converted.sourceLocation;
  if (converted.inPlace || source.error) return;
  // The name must still hold the file that was converted; a named link is removed as named.
  const platform::FileId* expected = source.namedLink ? nullptr : &converted.sourceId;
  if (const platform::SysError error = platform::Files().RemoveEntry(*source.directory, source.name, expected)) {
    report.problem = Problem::SourceNotDeleted;
    report.error = error;
    report.where = source.path;
  }
}

StreamSettings StreamSettingsFor(const ConversionSettings& settings, CharsetCode sourceCharset,
                                 const std::u16string& destinationCharsetName, CharsetCode destinationCharset,
                                 CStreamObserver& observer) {
  StreamSettings streamSettings;
  streamSettings.source = sourceCharset;
  streamSettings.destination = destinationCharset;
  streamSettings.lineBreakType = settings.lineBreakType;
  streamSettings.writeBom = settings.writeBom;
  streamSettings.modifyXml = settings.modifyXml;
  streamSettings.modifyHtml = settings.modifyHtml;
  streamSettings.destinationName = destinationCharsetName;
  streamSettings.observer = &observer;
  return streamSettings;
}

Result BeginStream(CStreamConversion& stream, const OpenedSource& source, ConversionReport& report) {
  if (const StreamStep failed = stream.Begin(source.file.status.size); failed != StreamStep::None) {
    report.step = failed;
    return Fail(report, Problem::OutOfMemory, {platform::kErrorOutOfMemory, "allocate"});
  }
  return Result::Converted;
}

// Whether the source must stay as it is when the conversion would lose text.
bool RefusesLoss(const ConversionSettings& settings, bool replacesSource) {
  switch (settings.lossPolicy) {
    case LossPolicy::Lossy: return false;
    case LossPolicy::Strict: return true;
    case LossPolicy::Protect: return replacesSource || settings.moveSource;
  }
  return true;
}

// The source as it is now against how it was when it was opened, by its handle. Its name is
// checked where the output gets its own (CompleteConversion).
bool SourceChanged(const platform::CFile& file) {
  platform::FileStatus now;
  return platform::Files().StatusOfOpen(file, now) || !now.Unchanged(file.status);
}

// What the loss check found decides the fate of a conversion that streamed to its end: a source
// that is no text, that changed meanwhile, or whose lossy conversion the policy refuses, gets no
// output. The places of the first losses come from a second pass up to them (a clean file is
// read once).
Result JudgeConversion(const ConversionSettings& settings, const CLossCheck& check, const OpenedSource& source,
                       const StreamSettings& streamSettings, bool replacesSource, ConversionReport& report) {
  report.losses = check.Report();
  if (report.losses.binaryAt && !settings.binaryAllowed) return Fail(report, Problem::NotText, {});
  if (SourceChanged(source.file)) return Fail(report, Problem::SourceChanged, {});
  PlaceLosses(report.losses, [&](CStreamObserver& finder) {
    StreamSettings replaySettings = streamSettings;
    replaySettings.observer = &finder;
    CNullSink nowhere;
    CStreamConversion replay(replaySettings, nowhere);
    ConversionReport ignored;
    std::uint64_t read = 0;
    if (replay.Begin(source.file.status.size) == StreamStep::None)
      (void)StreamSource(source.file, replay, {}, read, ignored);
  });
  if (report.losses.Lossy() && RefusesLoss(settings, replacesSource)) return Fail(report, Problem::WouldLose, {});
  return Result::Converted;
}

}  // namespace

Result StreamSource(const platform::CFile& source, CStreamConversion& stream, const platform::SysError& sinkError,
                    std::uint64_t& total, ConversionReport& report) {
  // However the reading ends, no write is still in progress when the caller has the sink back.
  struct CSettled {
    CStreamConversion& stream;
    ~CSettled() { stream.Settle(); }
  } settled{stream};
  total = 0;
  // Read into the stream's buffer, never mapped: a read copies out of the page cache at memory
  // speed, where on the virtual machines we measure on each mapped page costs a fault on its
  // first touch (1 GiB: 0.42 s to pass over mapped, 0.10 s to read in 128 KiB pieces).
  for (;;) {
    const std::span<std::uint8_t> room = stream.Room();
    std::size_t got = 0;
    if (const platform::SysError error = platform::ReadAt(source, total, room.data(), room.size(), got)) {
      return ReadFailure(report, error);
    }
    if (got == 0) break;
    total += got;
    if (!stream.Add({room.data(), got})) return Halted(stream, report, sinkError);
    RunProgress().Advance(got);
  }
  if (total < source.status.size) return CutShort(report, source);
  if (!stream.Finish()) return Halted(stream, report, sinkError);
  return Result::Converted;
}

InPlaceClaim ClaimInPlace(const FileLocation& location, const platform::FileId& found, const platform::CFile& source) {
  platform::FileSystem& files = platform::Files();
  if (files.LockFile(source).code == platform::kErrorLocked) return InPlaceClaim::Locked;
  // Checked with the lock held: a run that held it before has given the name its output by now.
  platform::FileStatus named;
  if (location.error || files.Status(*location.directory, location.name, named) || named.id != source.status.id ||
      named.id != found) {
    return InPlaceClaim::Replaced;
  }
  return InPlaceClaim::Taken;
}

Result ConvertToSink(const ConversionSettings& settings, OpenedSource& source, CharsetCode sourceCharset,
                     const std::u16string& destinationCharsetName, CharsetCode destinationCharset,
                     CDestinationSink& sink, std::uint64_t* sourceFileSize, ConversionReport& report,
                     bool guessedLatin1) {
  if (source.error) return ReadFailure(report, source.error);
  CLossCheck check(sourceCharset, destinationCharset, {settings.binaryAllowed, guessedLatin1});
  const StreamSettings streamSettings =
      StreamSettingsFor(settings, sourceCharset, destinationCharsetName, destinationCharset, check);
  CStreamConversion stream(streamSettings, sink);
  if (const Result result = BeginStream(stream, source, report); result != Result::Converted) return result;
  std::uint64_t total = 0;
  Result result = StreamSource(source.file, stream, sink.Error(), total, report);
  if (sourceFileSize) *sourceFileSize = total;
  // Standard output is a new destination: nothing it replaces or deletes.
  if (result == Result::Converted) result = JudgeConversion(settings, check, source, streamSettings, false, report);
  return result;
}

Result ConvertToStaged(const ConversionSettings& settings, OpenedSource& source, const FileLocation& sourceLocation,
                       const FileLocation& destination, CharsetCode sourceCharset,
                       const std::u16string& destinationCharsetName, CharsetCode destinationCharset,
                       std::uint64_t* sourceFileSize, CConvertedFile& converted, ConversionReport& report,
                       bool guessedLatin1, const platform::FileStatus* destinationSeen) {
  if (source.error) return ReadFailure(report, source.error);
  if (sourceFileSize) *sourceFileSize = source.file.status.size;

  CLossCheck check(sourceCharset, destinationCharset, {settings.binaryAllowed, guessedLatin1});
  const StreamSettings streamSettings =
      StreamSettingsFor(settings, sourceCharset, destinationCharsetName, destinationCharset, check);
  CStagedSink sink(converted.staged);
  CStreamConversion stream(streamSettings, sink);
  // Every buffer is had before anything is created: short memory leaves nothing behind.
  if (const Result result = BeginStream(stream, source, report); result != Result::Converted) return result;

  platform::FileSystem& files = platform::Files();
  platform::CFile replaced;
  if (const platform::SysError error = InspectDestination(destination, destinationSeen, replaced)) {
    report.where = destination.path;
    return Fail(report, Problem::DestinationUnwritable, error);
  }
  if (const platform::SysError error = files.CreateStaged(*destination.directory, converted.staged)) {
    report.where = destination.directory->path;
    return Fail(report, Problem::NoTemporaryFile, error);
  }
  const bool inPlace = replaced.handle.IsValid() && replaced.status.id == source.file.status.id;

  std::uint64_t total = 0;
  Result result = StreamSource(source.file, stream, sink.Error(), total, report);
  if (result == Result::Converted) {
    if (sourceFileSize) *sourceFileSize = total;
    result = JudgeConversion(settings, check, source, streamSettings, inPlace, report);
  }
  if (result == Result::Converted) {
    bool notKept = false;
    if (const platform::SysError error = GiveAttributes(source.file, replaced, converted.staged, notKept)) {
      result = Fail(report, Problem::DestinationUnwritable, error);
    } else if (notKept) {
      report.attributesNotKeptAt = destination.path;
    }
  }
  if (result != Result::Converted) {
    if (report.problem == Problem::DestinationUnwritable) report.where = destination.path;
    files.Discard(converted.staged);
    return result;
  }
  CarrySecurityOver(settings, source.file, converted.staged, destination.path);

  converted.destination = destination;
  converted.sourceLocation = sourceLocation;
  converted.sourceId = source.file.status.id;
  converted.sourceStatus = source.file.status;
  converted.replaces = replaced.handle.IsValid();
  converted.inPlace = inPlace;
  // Read whole: the source's handle goes now, so that a destination that is the source itself
  // can take its name (Windows refuses to rename over a file that is still open).
  source.file = {};
  // Started now, the write-back overlaps whatever comes before the flush.
  if (converted.NeedsFlush(settings)) files.StartFlushStaged(converted.staged);
  return Result::Converted;
}

Result CompleteConversion(const ConversionSettings& settings, CConvertedFile& converted,
                          std::uint64_t* destinationFileSize, WrittenFile* written, ConversionReport& report) {
  platform::FileSystem& files = platform::Files();
  // The name must still hold the source as it was read: a source changed after it was read is
  // neither replaced nor moved, and gets no output.
  const FileLocation& source = converted.sourceLocation;
  platform::FileStatus now;
  if (!source.error && !source.namedLink &&
      (files.Status(*source.directory, source.name, now) || !now.Unchanged(converted.sourceStatus))) {
    files.Discard(converted.staged);
    return Fail(report, Problem::SourceChanged, {});
  }
  platform::SysError error = converted.flushError;
  if (!converted.flushed && converted.NeedsFlush(settings)) error = files.FlushStaged(converted.staged);
  if (!error) error = files.Commit(converted.staged, converted.destination.name, platform::Replace::Allowed);
  if (error) {
    files.Discard(converted.staged);
    report.where = converted.destination.path;
    return Fail(report, Problem::DestinationUnwritable, error);
  }
  if (destinationFileSize) *destinationFileSize = converted.staged.written;
  if (written) *written = {std::move(converted.staged.handle), converted.staged.id};
  if (settings.moveSource) MoveSource(converted, report);
  return report.FileResult();
}

Result ProcessFile(const ConversionSettings& settings, OpenedSource& source, const FileLocation& sourceLocation,
                   const FileLocation& destination, CharsetCode sourceCharset,
                   const std::u16string& destinationCharsetName, CharsetCode destinationCharset,
                   std::uint64_t* sourceFileSize, std::uint64_t* destinationFileSize, ConversionReport& report,
                   WrittenFile* written, bool guessedLatin1) {
  CConvertedFile converted;
  const Result result =
      ConvertToStaged(settings, source, sourceLocation, destination, sourceCharset, destinationCharsetName,
                      destinationCharset, sourceFileSize, converted, report, guessedLatin1);
  if (result != Result::Converted) return result;
  return CompleteConversion(settings, converted, destinationFileSize, written, report);
}

}  // namespace glyphshift
