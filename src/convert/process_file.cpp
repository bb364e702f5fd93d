#include "convert/process_file.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "convert/named_files.h"
#include "convert/stream_conversion.h"
#include "engine/ascii_case.h"
#include "messages/print_message.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/security.h"

namespace glyphshift {

namespace {

void ReportSystemError(int code) { PrintMessage(u"%s", platform::ErrorText(code)); }

std::int32_t LineBreakTypeFromText(std::u16string_view name) {
  if (EqualsIgnoringAsciiCase(name, u"dos")) return 1;
  if (EqualsIgnoringAsciiCase(name, u"unix")) return 2;
  if (EqualsIgnoringAsciiCase(name, u"mac")) return 3;
  return 0;  // removes every line break, as a quoted or unknown value does
}

bool ShowsBoxes(const ConversionOptions& options) { return options.uiMode && !options.noStatusBox; }

// A failure to write the destination: the system's text, and in the dialog the error box.
std::int32_t ReportWriteError(const ConversionOptions& options, const platform::SysError& error) {
  ReportSystemError(error.code);
  if (ShowsBoxes(options)) {
    platform::ShowMessageBox(u"An Error occured during file creation.", u"Error", platform::MessageBoxIcon::Error);
  }
  return kProcessWriteError;
}

// A source that cannot be opened or read counts as one that cannot be read; short memory is
// the out-of-memory result, without a message, as a failed decoding block.
std::int32_t ReportReadError(const platform::SysError& error) {
  if (error.code == platform::kErrorOutOfMemory) return kProcessOutOfMemory;
  ReportSystemError(error.code);
  return kProcessReadError;
}

// The buffers of the line-break step and of the output were the blocks of the whole-text steps
// that report out of memory; the markup step reports it in its own words.
std::int32_t ReportOutOfMemory(const ConversionOptions& options, StreamStep step) {
  if (step == StreamStep::Decoding) return kProcessOutOfMemory;  // nothing is reported
  if (options.uiMode) {
    if (!options.noStatusBox) {
      platform::ShowMessageBox(kOutOfMemoryText, u"Out of memory", platform::MessageBoxIcon::Error);
    }
  } else if (step == StreamStep::Markup) {
    PrintMessage(u"%s", kOutOfMemoryText);
  } else {
    PrintOutOfMemory();
  }
  return kProcessOutOfMemory;
}

// The staged destination as the conversion's output.
class CStagedSink final : public CByteSink {
 public:
  explicit CStagedSink(platform::CStagedFile& staged) : staged_(staged) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    return Keep(platform::Files().WriteStaged(staged_, bytes));
  }
  std::uint64_t Size() const override { return staged_.written; }
  bool Truncate(std::uint64_t size) override { return Keep(platform::Files().TruncateStaged(staged_, size)); }
  const platform::SysError& Error() const { return error_; }

 private:
  bool Keep(const platform::SysError& error) {
    if (error && !error_) error_ = error;
    return !error;
  }
  platform::CStagedFile& staged_;
  platform::SysError error_;
};

// What stands at the destination's name decides how the output is written: a regular file is
// replaced (its attributes kept), a link or nothing gives a new file, anything else is refused.
platform::SysError InspectDestination(const FileLocation& destination, platform::CFile& replaced) {
  if (destination.error) return destination.error;
  platform::FileSystem& files = platform::Files();
  platform::FileStatus existing;
  if (const platform::SysError error = files.Status(*destination.directory, destination.name, existing)) return error;
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

// Large files of the process's own user are mapped a window at a time: their bytes are
// converted where they lie in the page cache, which saves copying each one into a buffer
// (a sixth of the time of a 1 GiB conversion). The windows keep the mapped memory small.
constexpr std::uint64_t kMapFrom = 4ull << 20;
constexpr std::size_t kMapWindow = 16u << 20;

// Reads the source piece by piece through the conversion; the result, reported.
std::int32_t Stream(const ConversionOptions& options, const platform::CFile& source, CStreamConversion& stream,
                    const CStagedSink& sink, std::uint64_t& total) {
  platform::FileSystem& files = platform::Files();
  total = 0;
  if (source.status.size >= kMapFrom) {
    for (platform::CMappedBytes view; total < source.status.size; total += view.size) {
      const auto window = static_cast<std::size_t>(std::min<std::uint64_t>(kMapWindow, source.status.size - total));
      if (files.MapFile(source, total, window, view)) break;  // read from here on
      if (!stream.Add({view.data, view.size})) return ReportWriteError(options, sink.Error());
    }
  }
  // The rest (all of a small or another user's file, and whatever a file grew by) is read.
  for (;;) {
    const std::span<std::uint8_t> room = stream.Room();
    std::size_t got = 0;
    if (const platform::SysError error = files.ReadFile(source, total, room.data(), room.size(), got)) {
      return ReportReadError(error);
    }
    if (got == 0) break;
    total += got;
    if (!stream.Add({room.data(), got})) return ReportWriteError(options, sink.Error());
  }
  if (!stream.Finish()) return ReportWriteError(options, sink.Error());
  return kProcessOk;
}

// On the staged file, before it takes its name: a name swapped meanwhile cannot redirect the
// change. Failures are silent: the destination keeps the security it was written with.
void CarrySecurityOver(const ConversionOptions& options, const platform::CFile& source, platform::CStagedFile& staged,
                       const std::u16string& destinationPath) {
  if (!options.keepSecurity) return;
  std::unique_ptr<platform::FileSecurity> security;
  if (platform::ReadFileSecurity({source.handle.Get(), source.path}, security) || !security) return;
  const platform::FileRef file{staged.handle.Get(), destinationPath};
  if (options.keepDacl) (void)platform::ApplyFileAccessList(file, *security);
  if (options.keepOwner) (void)platform::ApplyFileOwner(file, *security);
}

// Sameness is decided by file identity, not path text: a file that is its own destination
// (under another spelling, or through a link) has just been rewritten and must stay.
void MoveSource(const CConvertedFile& converted) {
  const FileLocation& source = converted.sourceLocation;
  if (converted.inPlace || source.error) return;
  // The name must still hold the file that was converted; a named link is removed as named.
  const platform::FileId* expected = source.namedLink ? nullptr : &converted.sourceId;
  if (const platform::SysError error = platform::Files().RemoveEntry(*source.directory, source.name, expected)) {
    PrintMessage(u"The source \"%s\" was not deleted: %s", source.path, platform::ErrorText(error.code));
  }
}

}  // namespace

std::int32_t ConvertToStaged(const ConversionOptions& options, OpenedSource& source, const FileLocation& sourceLocation,
                             const FileLocation& destination, const std::u16string& sourceCharsetName,
                             CharsetCode sourceCharset, const std::u16string& destinationCharsetName,
                             CharsetCode destinationCharset, std::uint64_t* sourceFileSize, CConvertedFile& converted) {
  if (options.logLevel != 0) {
    PrintMessage(u"%S(%s, %s, %s, %s)\n", "ProcessFile", sourceLocation.path, destination.path, sourceCharsetName,
                 destinationCharsetName);
  }
  if (source.error) return ReportReadError(source.error);
  if (sourceFileSize) *sourceFileSize = source.file.status.size;

  StreamSettings settings;
  settings.source = sourceCharset;
  settings.destination = destinationCharset;
  if (options.lineBreak) settings.lineBreakType = LineBreakTypeFromText(*options.lineBreak);
  settings.writeBom = options.writeBom;
  settings.modifyXml = options.modifyXml;
  settings.modifyHtml = options.modifyHtml;
  settings.destinationName = destinationCharsetName;
  CStagedSink sink(converted.staged);
  CStreamConversion stream(settings, sink);
  // Every buffer is had before anything is created: short memory leaves nothing behind.
  if (const StreamStep failed = stream.Begin(source.file.status.size); failed != StreamStep::None) {
    return ReportOutOfMemory(options, failed);
  }

  platform::FileSystem& files = platform::Files();
  platform::CFile replaced;
  if (const platform::SysError error = InspectDestination(destination, replaced)) {
    return ReportWriteError(options, error);
  }
  if (const platform::SysError error = files.CreateStaged(*destination.directory, converted.staged)) {
    PrintMessage(u"Cannot create a temporary file in \"%s\": %s", destination.directory->path,
                 platform::ErrorText(error.code));
    if (ShowsBoxes(options)) {
      platform::ShowMessageBox(u"An Error occured during file creation.", u"Error", platform::MessageBoxIcon::Error);
    }
    return kProcessWriteError;
  }

  std::uint64_t total = 0;
  std::int32_t result = Stream(options, source.file, stream, sink, total);
  if (result == kProcessOk) {
    if (sourceFileSize) *sourceFileSize = total;
    const platform::SysError error =
        replaced.handle.IsValid() ? files.CopyAttributes(converted.staged, replaced)
                                  : files.SetNewFilePermissions(converted.staged, source.file.status.permissions);
    if (error) result = ReportWriteError(options, error);
  }
  if (result != kProcessOk) {
    files.Discard(converted.staged);
    return result;
  }
  CarrySecurityOver(options, source.file, converted.staged, destination.path);

  converted.destination = destination;
  converted.sourceLocation = sourceLocation;
  converted.sourceId = source.file.status.id;
  converted.replaces = replaced.handle.IsValid();
  converted.inPlace = converted.replaces && replaced.status.id == source.file.status.id;
  // Read whole: the source's handle goes now, so that a destination that is the source itself
  // can take its name (Windows refuses to rename over a file that is still open).
  source.file = {};
  // Started now, the write-back overlaps whatever comes before the flush.
  if (converted.NeedsFlush(options)) files.StartFlushStaged(converted.staged);
  return kProcessOk;
}

std::int32_t CompleteConversion(const ConversionOptions& options, CConvertedFile& converted,
                                std::uint64_t* destinationFileSize, WrittenFile* written) {
  platform::FileSystem& files = platform::Files();
  platform::SysError error = converted.flushError;
  if (!converted.flushed && converted.NeedsFlush(options)) error = files.FlushStaged(converted.staged);
  if (!error) error = files.Commit(converted.staged, converted.destination.name, platform::Replace::Allowed);
  if (error) {
    files.Discard(converted.staged);
    return ReportWriteError(options, error);
  }
  if (destinationFileSize) *destinationFileSize = converted.staged.written;
  if (written) *written = {std::move(converted.staged.handle), converted.staged.id};
  if (options.moveSource) MoveSource(converted);
  if (ShowsBoxes(options)) {
    platform::ShowMessageBox(u"Conversion finished!", u"Finished", platform::MessageBoxIcon::Information);
  }
  return kProcessOk;
}

std::int32_t ProcessFile(const ConversionOptions& options, OpenedSource& source, const FileLocation& sourceLocation,
                         const FileLocation& destination, const std::u16string& sourceCharsetName,
                         CharsetCode sourceCharset, const std::u16string& destinationCharsetName,
                         CharsetCode destinationCharset, std::uint64_t* sourceFileSize,
                         std::uint64_t* destinationFileSize, WrittenFile* written) {
  CConvertedFile converted;
  const std::int32_t result =
      ConvertToStaged(options, source, sourceLocation, destination, sourceCharsetName, sourceCharset,
                      destinationCharsetName, destinationCharset, sourceFileSize, converted);
  if (result != kProcessOk) return result;
  return CompleteConversion(options, converted, destinationFileSize, written);
}

std::int32_t ProcessFile(const ConversionOptions& options, const std::u16string& sourcePath,
                         const std::u16string& destinationPath, const std::u16string& sourceCharsetName,
                         CharsetCode sourceCharset, const std::u16string& destinationCharsetName,
                         CharsetCode destinationCharset, std::uint64_t* sourceFileSize,
                         std::uint64_t* destinationFileSize) {
  CNamedSource named(sourcePath);
  CDestinationPlace destination;
  destination.LocateNamed(destinationPath);
  return ProcessFile(options, named.source, named.location, destination.location, sourceCharsetName, sourceCharset,
                     destinationCharsetName, destinationCharset, sourceFileSize, destinationFileSize);
}

}  // namespace glyphshift
