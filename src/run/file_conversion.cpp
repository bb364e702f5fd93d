#include "run/file_conversion.h"

#include <cstdint>

#include <memory>
#include <new>

#include "engine/charset_catalogue.h"
#include "engine/detection.h"
#include "platform/files.h"
#include "platform/streams.h"
#include "run/byte_size_text.h"
#include "run/path_rules.h"
#include "run/print_message.h"

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

// The set of a source nobody can read; its conversion then reports why.
constexpr CharsetCode kUnreadableSourceCharset = 18;

// Pieces read for detection: few calls, and memory that does not grow with the file.
constexpr std::size_t kDetectionPieceBytes = 128 * 1024;

// Detection reads the very file the conversion reads: a name swapped in between cannot make
// the run judge one file and convert another. It reads in pieces and stops as soon as the
// answer is settled (at the first byte that is no UTF-8, for most legacy text).
CharsetCode DetectFromFile(const platform::CFile& file) {
  const std::unique_ptr<std::uint8_t[]> piece(new (std::nothrow) std::uint8_t[kDetectionPieceBytes]);
  if (!piece) return kUnreadableSourceCharset;
  engine::CCharsetDetector detector;
  for (std::uint64_t offset = 0;;) {
    std::size_t got = 0;
    if (platform::Files().ReadFile(file, offset, piece.get(), kDetectionPieceBytes, got)) {
      return kUnreadableSourceCharset;
    }
    if (got == 0 || !detector.Add(piece.get(), got)) break;
    offset += got;
  }
  return detector.Finish();
}

void DetectSourceCharset(ConversionOptions& options, const OpenedSource& source) {
  const CharsetCode code = source.error ? kUnreadableSourceCharset : DetectFromFile(source.file);
  options.sourceCharset = code;
  if (const char16_t* name = CharsetNameFromCode(code)) options.sourceCharsetName = name;
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

bool ConvertFile(ConversionOptions& options, OpenedSource& source, const FileLocation& sourceLocation,
                 const FileLocation& destination, std::u16string_view displayName, RunSummary& summary,
                 WrittenFile* written) {
  if (IsRunLog(destination)) {
    PrintMessage(u"\"%s\" is the log file of this run; nothing is converted into it.\n", destination.path);
    CountFailure(summary, kProcessWriteError, displayName);
    return false;
  }
  if (options.autoDetectSource) DetectSourceCharset(options, source);

  std::uint64_t sourceSize = 0;
  std::uint64_t destinationSize = 0;
  const std::int32_t result =
      ProcessFile(options, source, sourceLocation, destination, options.sourceCharsetName, options.sourceCharset,
                  options.destinationCharsetName, options.destinationCharset, &sourceSize, &destinationSize, written);
  if (result != kProcessOk) {
    CountFailure(summary, result, displayName);
    return false;
  }
  summary.lastResult = result;
  PrintSuccess(summary, sourceSize, destinationSize, displayName);
  return true;
}

}  // namespace glyphshift
