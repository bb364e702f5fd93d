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
#include "convert/utf8_streaming.h"
#include "convert/working_text.h"
#include "engine/engine.h"
#include "platform/display.h"
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

class FileConversion {
 public:
  FileConversion(const ConversionOptions& options, const std::u16string& sourcePath,
                 const std::u16string& destinationPath)
      : options_(options), sourcePath_(sourcePath), destinationPath_(destinationPath) {}

  std::int32_t Run(CharsetCode sourceCharset, const std::u16string& destinationCharsetName,
                   CharsetCode destinationCharset, std::uint32_t* sourceFileSize, std::uint32_t* destinationFileSize);

 private:
  std::int32_t Read(platform::FileContent& raw, std::uint32_t* sourceFileSize);
  std::int32_t Open(std::unique_ptr<platform::CFileReader>& reader, std::uint64_t& size);
  std::int32_t ReportReadError(const platform::SysError& error);
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
  std::int32_t Finish(std::int32_t writeResult);
  void MoveSource();
  void CarrySecurityOver();

  std::int32_t ReportTooLarge();
  std::int32_t ReportOutOfMemory(FailedStep step);
  bool ShowsBoxes() const { return options_.uiMode && !options_.noStatusBox; }

  const ConversionOptions& options_;
  const std::u16string& sourcePath_;
  const std::u16string& destinationPath_;
  WorkingText text_;
  std::unique_ptr<platform::FileSecurity> security_;
};

void ReportSystemError(int code) { PrintMessage(u"%s", platform::ErrorText(code)); }

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
  if (options_.keepSecurity && platform::ReadFileSecurity(sourcePath_, security_)) security_.reset();
}

std::int32_t FileConversion::Read(platform::FileContent& raw, std::uint32_t* sourceFileSize) {
  if (const platform::SysError error = platform::Files().ReadWholeFile(sourcePath_, raw)) return ReportReadError(error);
  if (raw.size >= platform::kMaxFileSize) return ReportTooLarge();
  if (sourceFileSize) *sourceFileSize = static_cast<std::uint32_t>(raw.size);
  ReadSecurity();
  return kProcessOk;
}

std::int32_t FileConversion::Open(std::unique_ptr<platform::CFileReader>& reader, std::uint64_t& size) {
  if (const platform::SysError error = platform::Files().OpenForReading(sourcePath_, reader, size)) {
    return ReportReadError(error);
  }
  return kProcessOk;
}

// Reads in pieces through the fused encoding and writes the result (then moves and so on).
// `stepwise` says the file is left to the whole-file path, with nothing reported or written yet.
std::int32_t FileConversion::ReadAndEncode(CharsetCode sourceCharset, CharsetCode destinationCharset,
                                           std::uint32_t* sourceFileSize, std::uint32_t* destinationFileSize,
                                           bool& stepwise) {
  std::unique_ptr<platform::CFileReader> reader;
  std::uint64_t size = 0;
  if (std::int32_t r = Open(reader, size); r != kProcessOk) return r;
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
    if (const platform::SysError error = reader->Read(piece, sizeof piece, got)) return ReportReadError(error);
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
  std::unique_ptr<platform::CFileReader> reader;
  std::uint64_t size = 0;
  if (std::int32_t r = Open(reader, size); r != kProcessOk) return r;
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
    if (const platform::SysError error = reader->Read(decoding->Room(), CUtf8Decoding::kPieceBytes, got)) {
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

std::int32_t FileConversion::WritePieces(Bytes mark, Bytes body, std::uint32_t* destinationFileSize) {
  if (!options_.writeBom) mark = {};

  // One complete write: the platform replaces an existing file only once the new one is whole,
  // so a full disk never leaves half a file behind (and a move then keeps its source).
  // A brand-new file is flushed only when the source is to be deleted after it: otherwise the
  // source stays, so a crash before the data reaches the disk loses nothing a rerun cannot
  // make again, and the flush cost 0.1-0.3 s per 100 MiB on the disk. Replacing an existing
  // file is always flushed by the platform.
  const std::array<Bytes, 2> pieces{mark, body};
  std::uint64_t written = 0;
  platform::SysError error =
      platform::Files().WriteWholeFile(destinationPath_, pieces, options_.moveSource, written);
  if (!error && written != mark.size() + body.size()) error = {EIO, "write"};
  if (error) {
    ReportSystemError(error.code);
    return kProcessWriteError;
  }
  if (destinationFileSize) *destinationFileSize = static_cast<std::uint32_t>(written);
  return kProcessOk;
}

// Sameness is decided by file identity, not path text: a file that is its own destination
// (under another spelling, or through a link) has just been rewritten and must stay.
void FileConversion::MoveSource() {
  platform::FileSystem& files = platform::Files();
  platform::FileId source, destination;
  if (files.GetFileId(sourcePath_, source) || files.GetFileId(destinationPath_, destination)) return;
  if (source == destination) return;
  files.DeleteFile(sourcePath_);  // a failure leaves the source, which loses nothing
}

void FileConversion::CarrySecurityOver() {
  if (!options_.keepSecurity || !security_) return;
  // Failures are silent: the destination keeps the security it was written with.
  if (options_.keepDacl) platform::ApplyFileAccessList(destinationPath_, *security_);
  if (options_.keepOwner) platform::ApplyFileOwner(destinationPath_, *security_);
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

// After the write: the move, the message boxes and the security carry-over.
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
  // Only onto a file this call wrote: after a failed write the path holds an older file (or
  // nothing), whose security must stay as it was.
  if (result == kProcessOk) CarrySecurityOver();
  return result;
}

}  // namespace

std::int32_t ProcessFile(const ConversionOptions& options, const std::u16string& sourcePath,
                         const std::u16string& destinationPath, const std::u16string& sourceCharsetName,
                         CharsetCode sourceCharset, const std::u16string& destinationCharsetName,
                         CharsetCode destinationCharset, std::uint32_t* sourceFileSize,
                         std::uint32_t* destinationFileSize) {
  if (options.logLevel != 0) {
    PrintMessage(u"%S(%s, %s, %s, %s)\n", "ProcessFile", sourcePath, destinationPath, sourceCharsetName,
                 destinationCharsetName);
  }
  return FileConversion(options, sourcePath, destinationPath)
      .Run(sourceCharset, destinationCharsetName, destinationCharset, sourceFileSize, destinationFileSize);
}

}  // namespace glyphshift
