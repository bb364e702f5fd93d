#include "convert/process_file.h"

#include "engine/ascii_case.h"

#include <array>
#include <bit>
#include <cstring>
#include <cerrno>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string_view>

#include "convert/fused_conversion.h"
#include "convert/markup_declarations.h"
#include "convert/named_files.h"
#include "convert/utf8_streaming.h"
#include "convert/working_text.h"
#include "engine/engine.h"
#include "platform/display.h"
#include "platform/file_memory.h"
#include "platform/files.h"
#include "platform/security.h"
#include "run/print_message.h"

namespace glyphshift {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::u16string_view kOutOfMemoryText = u"The system is out of memory. The operation failed.";
constexpr std::u16string_view kTooLargeText = u"The source file is too large to convert.";

constexpr std::uint8_t kUtf8Bom[] = {0xEF, 0xBB, 0xBF};
constexpr std::uint8_t kUtf16LeBom[] = {0xFF, 0xFE};
constexpr std::uint8_t kUtf16BeBom[] = {0xFE, 0xFF};

// Every length of a conversion is a 32-bit byte count, and a working text needs 2 bytes more.
constexpr std::uint64_t kMaxStepBytes = std::numeric_limits<std::uint32_t>::max() - 2u;

// Reads while converting: few enough calls, and a piece still in the cache when it is converted.
constexpr std::size_t kReadPieceBytes = 64 * 1024;

// The rows of the out-of-memory table: what a batch run prints for each step.
enum class FailedStep { LineBreaks, Markup };

// Reads a source piece by piece from its start.
class CSourceReader {
 public:
  explicit CSourceReader(const platform::CFile& file) : file_(file) {}
  platform::SysError Read(std::uint8_t* data, std::size_t size, std::size_t& got) {
    const platform::SysError error = platform::Files().ReadFile(file_, offset_, data, size, got);
    offset_ += got;
    return error;
  }

 private:
  const platform::CFile& file_;
  std::uint64_t offset_ = 0;
};

class FileConversion {
 public:
  FileConversion(const ConversionOptions& options, OpenedSource& source, const FileLocation& sourceLocation,
                 const FileLocation& destination, WrittenFile* written)
      : options_(options), source_(source), sourceLocation_(sourceLocation), destination_(destination),
        written_(written) {}

  std::int32_t Run(CharsetCode sourceCharset, const std::u16string& destinationCharsetName,
                   CharsetCode destinationCharset, std::uint32_t* sourceFileSize, std::uint32_t* destinationFileSize);
  std::int32_t ReportReadError(const platform::SysError& error);

 private:
  std::int32_t Read(platform::FileContent& raw, std::uint32_t* sourceFileSize);
  void ReadSecurity();
  std::int32_t Decode(CharsetCode code, Bytes raw);
  std::int32_t ReadAndEncode(CharsetCode sourceCharset, CharsetCode destinationCharset, std::uint32_t* sourceFileSize,
                             std::uint32_t* destinationFileSize, bool& stepwise);
  std::int32_t ReadAndDecodeUtf8(std::uint32_t* sourceFileSize, bool& stepwise);
  std::int32_t Steps(const std::u16string& destinationCharsetName, CharsetCode destinationCharset,
                     std::uint32_t* destinationFileSize);
  std::int32_t RewriteLineBreaks();
  void DropByteOrderMark();
  std::int32_t Write(CharsetCode code, std::uint32_t* destinationFileSize);
  std::int32_t WritePieces(Bytes mark, Bytes body, std::uint32_t* destinationFileSize);
  std::int32_t WriteStaged(platform::CStagedFile& staged, const platform::CFile* replaced, Bytes mark, Bytes body);
  std::int32_t Finish(std::int32_t writeResult);
  void MoveSource();
  void CarrySecurityOver(platform::CStagedFile& staged);

  std::int32_t ReportTooLarge();
  std::int32_t ReportOutOfMemory(FailedStep step);
  std::int32_t ReportWriteError(const platform::SysError& error);
  bool ShowsBoxes() const { return options_.uiMode && !options_.noStatusBox; }

  const ConversionOptions& options_;
  OpenedSource& source_;
  const FileLocation& sourceLocation_;
  const FileLocation& destination_;
  WrittenFile* written_;
  bool inPlace_ = false;  // the destination was the source itself
  WorkingText text_;
  std::unique_ptr<platform::FileSecurity> security_;
};

void ReportSystemError(int code) { PrintMessage(u"%s", platform::ErrorText(code)); }

// Some files (in /proc, say) report size 0 and still have content; a file may also have grown.
constexpr std::size_t kGrowthChunk = 64 * 1024;

// Reads an open file whole into FileMemory: no value-initialisation, no vector growth. Short
// memory is ENOMEM ("read"), 4 GiB or more EFBIG.
platform::SysError ReadIntoFileMemory(const platform::CFile& file, platform::FileContent& content) {
  content = {};
  platform::FileSystem& files = platform::Files();
  std::uint64_t size = file.status.size;
  if (size >= platform::kMaxFileSize) return {EFBIG, "read"};
  platform::FileMemory<std::uint8_t> block = platform::AllocateFileMemory(size);
  if (!block) return {ENOMEM, "read"};
  std::size_t got = 0;
  if (auto error = files.ReadFile(file, 0, block.get(), static_cast<std::size_t>(size), got)) return error;
  // The end is confirmed by a read that returns nothing; what a growing file adds goes into a
  // bigger block, so the usual case reads straight into a block of the exact size.
  while (got == size) {
    std::uint8_t chunk[kGrowthChunk];
    std::size_t more = 0;
    if (auto error = files.ReadFile(file, got, chunk, sizeof chunk, more)) return error;
    if (more == 0) break;
    if (got + more >= platform::kMaxFileSize) return {EFBIG, "read"};
    size = got + more + kGrowthChunk;
    platform::FileMemory<std::uint8_t> bigger = platform::AllocateFileMemory(size);
    if (!bigger) return {ENOMEM, "read"};
    if (got != 0) std::memcpy(bigger.get(), block.get(), got);
    std::memcpy(bigger.get() + got, chunk, more);
    block = std::move(bigger);
    got += more;
    std::size_t rest = 0;
    if (auto error = files.ReadFile(file, got, block.get() + got, static_cast<std::size_t>(size - got), rest)) {
      return error;
    }
    got += rest;
  }
  content.bytes = std::move(block);
  content.size = got;
  return {};
}

std::int32_t LineBreakTypeFromText(std::u16string_view name) {
  if (EqualsIgnoringAsciiCase(name, u"dos")) return 1;
  if (EqualsIgnoringAsciiCase(name, u"unix")) return 2;
  if (EqualsIgnoringAsciiCase(name, u"mac")) return 3;
  return 0;  // removes every line break, as a quoted or unknown value does
}

// Units stored in the other byte order than the machine's need swapping on the way in and out.
bool NeedsSwap(CharsetCode code) {
  const bool bigEndianForm = code == kCharsetUtf16Be;
  return bigEndianForm != (std::endian::native == std::endian::big);
}

std::int32_t FileConversion::ReportOutOfMemory(FailedStep step) {
  if (options_.uiMode) {
    if (!options_.noStatusBox) {
      platform::ShowMessageBox(kOutOfMemoryText, u"Out of memory", platform::MessageBoxIcon::Error);
    }
  } else if (step == FailedStep::LineBreaks) {
    PrintMessage(u"Error: %s", kOutOfMemoryText);
  } else {
    PrintMessage(u"%s", kOutOfMemoryText);
  }
  return kProcessOutOfMemory;
}

// Sizes whose 32-bit arithmetic would wrap are refused before anything is converted or written.
std::int32_t FileConversion::ReportTooLarge() {
  if (options_.uiMode) {
    if (!options_.noStatusBox) platform::ShowMessageBox(kTooLargeText, u"Error", platform::MessageBoxIcon::Error);
  } else {
    PrintMessage(u"Error: %s\n", kTooLargeText);
  }
  return kProcessOutOfMemory;
}

std::int32_t FileConversion::ReportReadError(const platform::SysError& error) {
  if (error.code == EFBIG) return ReportTooLarge();
  if (error.code == ENOMEM) return kProcessOutOfMemory;  // as a failed decoding block: no message
  // A directory or other non-regular file counts as a source that cannot be opened.
  ReportSystemError(error.code);
  return kProcessReadError;
}

void FileConversion::ReadSecurity() {
  const platform::FileRef file{source_.file.handle.Get(), source_.file.path};
  if (options_.keepSecurity && platform::ReadFileSecurity(file, security_)) security_.reset();
}

std::int32_t FileConversion::Read(platform::FileContent& raw, std::uint32_t* sourceFileSize) {
  if (const platform::SysError error = ReadIntoFileMemory(source_.file, raw)) return ReportReadError(error);
  if (raw.size >= platform::kMaxFileSize) return ReportTooLarge();
  if (sourceFileSize) *sourceFileSize = static_cast<std::uint32_t>(raw.size);
  ReadSecurity();
  return kProcessOk;
}

// Reads in pieces through the fused encoding and writes the result (then moves and so on).
// `stepwise` says the file is left to the whole-file path, with nothing reported or written yet.
std::int32_t FileConversion::ReadAndEncode(CharsetCode sourceCharset, CharsetCode destinationCharset,
                                           std::uint32_t* sourceFileSize, std::uint32_t* destinationFileSize,
                                           bool& stepwise) {
  CSourceReader reader(source_.file);
  const std::uint64_t size = source_.file.status.size;
  if (size >= platform::kMaxFileSize) return ReportTooLarge();
  CFusedEncoding encoding;
  const FusedResult planned = encoding.Begin(sourceCharset, size, destinationCharset);
  if (planned == FusedResult::TooLarge) {
    if (sourceFileSize) *sourceFileSize = static_cast<std::uint32_t>(size);
    return ReportTooLarge();
  }
  stepwise = planned == FusedResult::Stepwise;
  if (stepwise) return kProcessOk;
  std::uint8_t piece[kReadPieceBytes];
  std::uint64_t total = 0;
  for (;;) {
    std::size_t got = 0;
    if (const platform::SysError error = reader.Read(piece, sizeof piece, got)) return ReportReadError(error);
    if (got == 0) break;
    if (!encoding.Add(Bytes(piece, got))) {
      stepwise = true;  // the file grew while it was read
      return kProcessOk;
    }
    total += got;
  }
  encoding.Finish();
  if (sourceFileSize) *sourceFileSize = static_cast<std::uint32_t>(total);
  ReadSecurity();
  const Bytes mark = destinationCharset == kCharsetUtf8 ? Bytes(kUtf8Bom) : Bytes();
  return Finish(WritePieces(mark, encoding.Encoded(), destinationFileSize));
}

// Reads in pieces and decodes them into the working text; `stepwise` as above.
std::int32_t FileConversion::ReadAndDecodeUtf8(std::uint32_t* sourceFileSize, bool& stepwise) {
  CSourceReader reader(source_.file);
  const std::uint64_t size = source_.file.status.size;
  if (size >= platform::kMaxFileSize) return ReportTooLarge();
  auto decoding = std::unique_ptr<CUtf8Decoding>(new (std::nothrow) CUtf8Decoding);
  const FusedResult planned = decoding ? decoding->Begin(size) : FusedResult::Stepwise;
  if (planned == FusedResult::TooLarge) {
    if (sourceFileSize) *sourceFileSize = static_cast<std::uint32_t>(size);
    return ReportTooLarge();
  }
  stepwise = planned == FusedResult::Stepwise;
  if (stepwise) return kProcessOk;
  std::uint64_t total = 0;
  for (;;) {
    std::size_t got = 0;
    if (const platform::SysError error = reader.Read(decoding->Room(), CUtf8Decoding::kPieceBytes, got)) {
      return ReportReadError(error);
    }
    if (!decoding->Commit(got)) {
      stepwise = true;
      return kProcessOk;
    }
    if (got == 0) break;
    total += got;
  }
  if (sourceFileSize) *sourceFileSize = static_cast<std::uint32_t>(total);
  ReadSecurity();
  text_ = decoding->TakeText();
  return kProcessOk;
}

std::int32_t FileConversion::Decode(CharsetCode code, Bytes raw) {
  const auto size = static_cast<std::uint32_t>(raw.size());
  const bool unicodeForm = code == kCharsetUtf16 || code == kCharsetUtf16Be;
  // Single-byte and UTF-8 text takes at most one unit per byte.
  if (!unicodeForm && 2ull * size > kMaxStepBytes) return ReportTooLarge();

  std::uint32_t byteLength = 0;
  platform::FileMemory<char16_t> block;
  if (unicodeForm) {
    block = AllocateUnits(BlockUnitsFor(size));
    if (!block) return kProcessOutOfMemory;
    if (size != 0) std::memcpy(block.get(), raw.data(), size);
    byteLength = size;
    block[size / 2] = 0;  // for an odd size this replaces the incomplete last unit's byte
    if (NeedsSwap(code)) engine::SwapByteOrder(block.get(), size);
  } else if (code == kCharsetUtf8) {
    // No size query, which was a whole extra decoding pass: every byte gives at most one unit,
    // so 2 x size is always room enough. A large block is mapped, so the room the text does not
    // use costs no memory. (Most UTF-8 files are decoded while read; see utf8_streaming.h.)
    block = AllocateUnits(BlockUnitsFor(2ull * size));
    if (!block) return kProcessOutOfMemory;
    std::uint32_t written = 2 * size;
    engine::Utf8ToUtf16(raw.data(), size, block.get(), &written);
    byteLength = written;
  } else {
    block = AllocateUnits(BlockUnitsFor(2ull * size));
    if (!block) return kProcessOutOfMemory;
    std::uint32_t capacity = 2 * size;  // 0 for an empty source: a size query that writes nothing
    engine::SingleByteToUtf16(code, raw.data(), size, block.get(), &capacity);
    byteLength = 2 * size;
  }
  block[byteLength / 2] = 0;
  text_.buffer = std::move(block);
  text_.start = 0;
  text_.byteLength = byteLength;
  return kProcessOk;
}

std::int32_t FileConversion::RewriteLineBreaks() {
  // Every lone CR or LF may become CR LF.
  if (2ull * text_.byteLength > kMaxStepBytes) return ReportTooLarge();
  const std::int32_t type = LineBreakTypeFromText(*options_.lineBreak);
  std::uint32_t needed = 0;
  engine::TransformLineBreaks(type, text_.Text(), text_.byteLength, nullptr, &needed);
  auto block = AllocateUnits(BlockUnitsFor(needed));
  if (!block) return ReportOutOfMemory(FailedStep::LineBreaks);
  engine::TransformLineBreaks(type, text_.Text(), text_.byteLength, block.get(), &needed);
  block[needed / 2] = 0;
  text_.buffer = std::move(block);
  text_.start = 0;
  text_.byteLength = needed;
  return kProcessOk;
}

void FileConversion::DropByteOrderMark() {
  // An empty text shows its terminator here, never a mark.
  if (text_.Text()[0] == 0xFEFF) {
    ++text_.start;
    text_.byteLength -= 2;
  }
}

std::int32_t FileConversion::Write(CharsetCode code, std::uint32_t* destinationFileSize) {
  platform::FileMemory<std::uint8_t> encoded;
  Bytes body;
  Bytes mark;
  if (IsSingleByteCode(code)) {
    std::uint32_t size = 0;
    engine::Utf16ToSingleByte(code, text_.Text(), text_.byteLength, nullptr, &size);
    encoded = AllocateBytes(size);
    if (!encoded) return ReportOutOfMemory(FailedStep::LineBreaks);
    engine::Utf16ToSingleByte(code, text_.Text(), text_.byteLength, encoded.get(), &size);
    body = Bytes(encoded.get(), size);
  } else if (code == kCharsetUtf8) {
    // Up to 3 bytes per unit, and the mark: the file size must stay a 32-bit count.
    if (3ull * text_.UnitCount() + sizeof kUtf8Bom > kMaxStepBytes) return ReportTooLarge();
    std::uint32_t size = 0;
    engine::Utf16ToUtf8(text_.Text(), text_.byteLength, nullptr, &size);
    encoded = AllocateBytes(size);
    if (!encoded) return ReportOutOfMemory(FailedStep::LineBreaks);
    engine::Utf16ToUtf8(text_.Text(), text_.byteLength, encoded.get(), &size);
    body = Bytes(encoded.get(), size);
    mark = Bytes(kUtf8Bom);
  } else {
    if (std::uint64_t{text_.byteLength} + 2 > std::numeric_limits<std::uint32_t>::max()) return ReportTooLarge();
    if (NeedsSwap(code)) engine::SwapByteOrder(text_.Text(), text_.byteLength);
    body = Bytes(reinterpret_cast<const std::uint8_t*>(text_.Text()), text_.byteLength);
    mark = code == kCharsetUtf16Be ? Bytes(kUtf16BeBom) : Bytes(kUtf16LeBom);
  }
  return WritePieces(mark, body, destinationFileSize);
}

std::int32_t FileConversion::ReportWriteError(const platform::SysError& error) {
  ReportSystemError(error.code);
  return kProcessWriteError;
}

// One complete write under a temporary name that takes the destination's name only when the
// file is whole: a full disk, a failure or a kill never leaves half a file behind (and a move
// then keeps its source).
std::int32_t FileConversion::WritePieces(Bytes mark, Bytes body, std::uint32_t* destinationFileSize) {
  if (!options_.writeBom) mark = {};
  if (destination_.error) return ReportWriteError(destination_.error);
  platform::FileSystem& files = platform::Files();
  const platform::CDirectory& directory = *destination_.directory;

  platform::FileStatus existing;
  if (const platform::SysError error = files.Status(directory, destination_.name, existing)) {
    return ReportWriteError(error);
  }
  platform::CFile replaced;
  switch (existing.type) {
    case platform::EntryType::Directory: return ReportWriteError({EISDIR, "open"});
    // A device or FIFO would be replaced by a regular file, not written to.
    case platform::EntryType::Other: return ReportWriteError({EINVAL, "open"});
    case platform::EntryType::Regular:
      if (const platform::SysError error = files.OpenForReplacing(directory, destination_.name, replaced)) {
        return ReportWriteError(error);
      }
      inPlace_ = replaced.status.id == source_.file.status.id;
      break;
    // A link at the name is replaced by the new file, never followed.
    case platform::EntryType::SymbolicLink:
    case platform::EntryType::Missing: break;
  }

  platform::CStagedFile staged;
  if (const platform::SysError error = files.CreateStaged(directory, staged)) {
    PrintMessage(u"Cannot create a temporary file in \"%s\": %s", directory.path, platform::ErrorText(error.code));
    return kProcessWriteError;
  }
  const std::int32_t result = WriteStaged(staged, replaced.handle.IsValid() ? &replaced : nullptr, mark, body);
  if (result != kProcessOk) {
    files.Discard(staged);
    return result;
  }
  if (destinationFileSize) *destinationFileSize = static_cast<std::uint32_t>(staged.written);
  if (written_) *written_ = {std::move(staged.handle), staged.id};
  return kProcessOk;
}

std::int32_t FileConversion::WriteStaged(platform::CStagedFile& staged, const platform::CFile* replaced, Bytes mark,
                                         Bytes body) {
  platform::FileSystem& files = platform::Files();
  platform::SysError error = files.WriteStaged(staged, mark);
  if (!error) error = files.WriteStaged(staged, body);
  if (!error && staged.written != mark.size() + body.size()) error = {EIO, "write"};
  if (!error) {
    error = replaced ? files.CopyAttributes(staged, *replaced)
                     : files.SetNewFilePermissions(staged, source_.file.status.permissions);
  }
  if (error) return ReportWriteError(error);
  CarrySecurityOver(staged);
  // A replaced file must never be exposed before its data is on the disk. A brand-new file is
  // flushed only when the source is to be deleted after it: otherwise the source stays, so a
  // crash before the data reaches the disk loses nothing a rerun cannot make again, and the
  // flush cost 0.1-0.3 s per 100 MiB on the disk.
  if (replaced || options_.moveSource) error = files.FlushStaged(staged);
  if (!error) error = files.Commit(staged, destination_.name, platform::Replace::Allowed);
  if (error) return ReportWriteError(error);
  return kProcessOk;
}

// Sameness is decided by file identity, not path text: a file that is its own destination
// (under another spelling, or through a link) has just been rewritten and must stay.
void FileConversion::MoveSource() {
  if (inPlace_ || sourceLocation_.error) return;
  // The name must still hold the file that was converted; a named link is removed as named.
  const platform::FileId* expected = sourceLocation_.namedLink ? nullptr : &source_.file.status.id;
  if (const platform::SysError error =
          platform::Files().RemoveEntry(*sourceLocation_.directory, sourceLocation_.name, expected)) {
    PrintMessage(u"The source \"%s\" was not deleted: %s", sourceLocation_.path, platform::ErrorText(error.code));
  }
}

// On the temporary file, before it takes its name: a name swapped meanwhile cannot redirect the
// change. Failures are silent: the destination keeps the security it was written with.
void FileConversion::CarrySecurityOver(platform::CStagedFile& staged) {
  if (!options_.keepSecurity || !security_) return;
  const platform::FileRef file{staged.handle.Get(), destination_.path};
  if (options_.keepDacl) (void)platform::ApplyFileAccessList(file, *security_);
  if (options_.keepOwner) (void)platform::ApplyFileOwner(file, *security_);
}

std::int32_t FileConversion::Run(CharsetCode sourceCharset, const std::u16string& destinationCharsetName,
                                 CharsetCode destinationCharset, std::uint32_t* sourceFileSize,
                                 std::uint32_t* destinationFileSize) {
  // Converting while reading gives the same file as the steps below (see fused_conversion.h and
  // utf8_streaming.h); what it cannot take starts over there.
  bool stepwise = false;
  if (CanFuse(sourceCharset, destinationCharset, options_)) {
    const std::int32_t r = ReadAndEncode(sourceCharset, destinationCharset, sourceFileSize, destinationFileSize, stepwise);
    if (!stepwise) return r;
  } else if (sourceCharset == kCharsetUtf8) {
    const std::int32_t r = ReadAndDecodeUtf8(sourceFileSize, stepwise);
    if (r != kProcessOk) return r;
    if (!stepwise) return Steps(destinationCharsetName, destinationCharset, destinationFileSize);
  }
  {
    platform::FileContent raw;
    if (std::int32_t r = Read(raw, sourceFileSize); r != kProcessOk) return r;
    if (std::int32_t r = Decode(sourceCharset, Bytes(raw.bytes.get(), static_cast<std::size_t>(raw.size)));
        r != kProcessOk) {
      return r;
    }
  }  // the raw bytes are released before the next block is made
  return Steps(destinationCharsetName, destinationCharset, destinationFileSize);
}

// From the decoded working text to the written file.
std::int32_t FileConversion::Steps(const std::u16string& destinationCharsetName, CharsetCode destinationCharset,
                                   std::uint32_t* destinationFileSize) {
  if (options_.lineBreak) {
    if (std::int32_t r = RewriteLineBreaks(); r != kProcessOk) return r;
  }
  DropByteOrderMark();
  if (options_.modifyXml || options_.modifyHtml) {
    if (RewriteCharsetDeclarations(text_, destinationCharsetName, options_.modifyXml, options_.modifyHtml) ==
        EditResult::OutOfMemory) {
      return ReportOutOfMemory(FailedStep::Markup);
    }
  }
  return Finish(Write(destinationCharset, destinationFileSize));
}

// After the write: the move and the message boxes.
std::int32_t FileConversion::Finish(std::int32_t result) {
  if (result == kProcessOutOfMemory) return result;  // nothing was created
  if (result == kProcessOk && options_.moveSource) MoveSource();
  if (ShowsBoxes()) {
    if (result == kProcessOk) {
      platform::ShowMessageBox(u"Conversion finished!", u"Finished", platform::MessageBoxIcon::Information);
    } else {
      platform::ShowMessageBox(u"An Error occured during file creation.", u"Error", platform::MessageBoxIcon::Error);
    }
  }
  text_ = {};
  return result;
}

}  // namespace

std::int32_t ProcessFile(const ConversionOptions& options, OpenedSource& source, const FileLocation& sourceLocation,
                         const FileLocation& destination, const std::u16string& sourceCharsetName,
                         CharsetCode sourceCharset, const std::u16string& destinationCharsetName,
                         CharsetCode destinationCharset, std::uint32_t* sourceFileSize,
                         std::uint32_t* destinationFileSize, WrittenFile* written) {
  if (options.logLevel != 0) {
    PrintMessage(u"%S(%s, %s, %s, %s)\n", "ProcessFile", sourceLocation.path, destination.path, sourceCharsetName,
                 destinationCharsetName);
  }
  FileConversion conversion(options, source, sourceLocation, destination, written);
  if (source.error) return conversion.ReportReadError(source.error);
  return conversion.Run(sourceCharset, destinationCharsetName, destinationCharset, sourceFileSize, destinationFileSize);
}

std::int32_t ProcessFile(const ConversionOptions& options, const std::u16string& sourcePath,
                         const std::u16string& destinationPath, const std::u16string& sourceCharsetName,
                         CharsetCode sourceCharset, const std::u16string& destinationCharsetName,
                         CharsetCode destinationCharset, std::uint32_t* sourceFileSize,
                         std::uint32_t* destinationFileSize) {
  CNamedSource named(sourcePath);
  CDestinationPlace destination;
  destination.LocateNamed(destinationPath);
  return ProcessFile(options, named.source, named.location, destination.location, sourceCharsetName, sourceCharset,
                     destinationCharsetName, destinationCharset, sourceFileSize, destinationFileSize);
}

}  // namespace glyphshift
