// Converts one file from its source to its written destination.
#pragma once

#include <cstdint>
#include <string>

#include "convert/conversion_settings.h"
#include "convert/loss_check.h"
#include "convert/stream_conversion.h"
#include "engine/charset_catalogue.h"
#include "messages/results.h"
#include "platform/files.h"

namespace glyphshift {

// What went wrong with a conversion, or what of it was not done, for the run to report: the
// conversion itself prints nothing and shows nothing.
struct ConversionReport {
  enum class Problem {
    None,
    SourceUnreadable,       // `error`: the source could not be opened or read
    DestinationUnwritable,  // `error`: the destination at `where` could not be written, flushed or named
    NoTemporaryFile,        // `error`: no temporary file in the directory at `where`
    OutOfMemory,            // in `step`
    SourceNotDeleted,       // `error`: a move left its source at `where` (its destination stays)
    NotText,                // the source holds binary data (`losses.binaryAt`): nothing was written
    WouldLose,              // the conversion would lose text (`losses`) where that is refused
    SourceChanged,          // the source changed or was cut short while it was read: nothing was written
  };
  Problem problem = Problem::None;
  platform::SysError error;
  StreamStep step = StreamStep::None;
  std::u16string where;
  // What the conversion could not carry over: the warnings of a converted file, the reasons of
  // a refused one.
  LossReport losses;
  // Besides any problem: the file replaced at this destination let other accounts read or write
  // more than the source did, so the output has the owner and mode of a new file instead.
  std::u16string attributesNotKeptAt;

  // The result a problem gives the file.
  Result FileResult() const;
};

// Where a file is: the directory the run opened for it and the file's name there. The path
// names it in messages. `error` says why the directory could not be opened (`directory` is
// then null and every operation on the location fails with it).
struct FileLocation {
  const platform::CDirectory* directory = nullptr;
  std::u16string name;
  std::u16string path;
  platform::SysError error;
  // The person named a link here: a move removes the link, whatever file it leads to.
  bool namedLink = false;
};

// The source as the run hands it over: opened (and perhaps read for detection already), or the
// reason it could not be opened.
struct OpenedSource {
  platform::CFile file;
  platform::SysError error;
};

// The destination of a successful conversion, still open: owner-from-prefix changes this file
// and no other, whatever happens to its name.
struct WrittenFile {
  platform::CHandle handle;
  platform::FileId id;
};

// A conversion whose output is complete under a temporary name in the destination's directory.
// What is left is to make it durable where that is due, give it its name and move the source.
struct CConvertedFile {
  platform::CStagedFile staged;
  FileLocation destination;
  FileLocation sourceLocation;
  platform::FileId sourceId;
  platform::FileStatus sourceStatus;  // as the source was when it was opened
  bool replaces = false;              // a file stood at the destination's name
  bool inPlace = false;               // ... and it was the source itself
  // Set by a caller that flushed a batch of staged files together.
  bool flushed = false;
  platform::SysError flushError;

  // A replaced file must never be exposed before its data is on the disk. A brand-new file is
  // flushed only when the source is to be deleted after it: otherwise the source stays, so a
  // crash before the data reaches the disk loses nothing a rerun cannot make again, and the
  // flush cost 0.1-0.3 s per 100 MiB on the disk.
  bool NeedsFlush(const ConversionSettings& settings) const { return replaces || settings.moveSource; }
};

// Where a conversion writes its bytes; it keeps the first error a write met, for the report.
class CDestinationSink : public CByteSink {
 public:
  const platform::SysError& Error() const { return error_; }

 protected:
  // Keeps `error` if it is the first; true when there was none.
  bool Keep(const platform::SysError& error) {
    if (error && !error_) error_ = error;
    return !error;
  }

 private:
  platform::SysError error_;
};

// Where a conversion that is only read goes: nowhere (a replay, a report).
class CNullSink final : public CByteSink {
 public:
  bool Write(std::span<const std::uint8_t> bytes) override {
    size_ += bytes.size();
    return true;
  }
  std::uint64_t Size() const override { return size_; }
  bool Truncate(std::uint64_t size) override {
    size_ = size;
    return true;
  }

 private:
  std::uint64_t size_ = 0;
};

// Reads the opened source piece by piece through `stream` (begun) and finishes it; `total`
// receives the bytes read. A source cut short while it was read is SourceChanged; a stream the
// observer stopped (binary data) answers Converted: the caller reads why.
Result StreamSource(const platform::CFile& source, CStreamConversion& stream, const platform::SysError& sinkError,
                    std::uint64_t& total, ConversionReport& report);

// The conversion alone, into `sink`, for a destination that is no file in a directory (standard
// output): reading, decoding and every step ConvertToStaged takes, piece by piece in memory that
// does not grow with the file, the loss check as for a new file. On failure `report` says why;
// what the sink holds then is to be dropped. `sourceFileSize` (may be null) receives the source
// size.
Result ConvertToSink(const ConversionSettings& settings, OpenedSource& source, CharsetCode sourceCharset,
                     const std::u16string& destinationCharsetName, CharsetCode destinationCharset,
                     CDestinationSink& sink, std::uint64_t* sourceFileSize, ConversionReport& report,
                     bool guessedLatin1 = false);
// Whether the in-place conversion of `source`, opened at `location`, may go ahead: of two runs
// that convert one tree in place, only one may convert a file, or the other converts the first
// one's output again. The run that holds the file's lock converts it (Locked: another does);
// a name that no longer holds the file the run found there (`found`) or opened has been
// replaced, by another run's output most likely (Replaced). Taken: the lock is this run's until
// `source` is closed.
enum class InPlaceClaim { Taken, Locked, Replaced };
InPlaceClaim ClaimInPlace(const FileLocation& location, const platform::FileId& found, const platform::CFile& source);

// The first part of ProcessFile: reading, decoding, rewriting line breaks,
// dropping a leading byte order mark, rewriting markup declarations, encoding and writing,
// piece by piece in memory that does not grow with the file, into a staged file in the
// destination's directory that gets the replaced file's attributes (or the source's permission
// bits for a new file) and, as `settings` say, the source's owner and access list. A link at the
// destination's name is replaced, never followed. On success `converted` holds the output; on
// failure `report` says why and nothing is left behind. `sourceFileSize` (may be null) receives
// the source size once it is known. `destinationCharsetName` is written into markup declarations.
// Every conversion counts what it cannot carry over (`report.losses`): a source that is no text,
// or a lossy conversion the settings' policy refuses, leaves nothing behind (result 7); a source
// that changes meanwhile too. `guessedLatin1`: the source's set is the byte rules' fallback, so
// its use of bytes 0x80-0x9F is noted. `destinationSeen` (may be null): what the caller found at
// the destination's name just before, so that it is not looked up twice.
Result ConvertToStaged(const ConversionSettings& settings, OpenedSource& source, const FileLocation& sourceLocation,
                       const FileLocation& destination, CharsetCode sourceCharset,
                       const std::u16string& destinationCharsetName, CharsetCode destinationCharset,
                       std::uint64_t* sourceFileSize, CConvertedFile& converted, ConversionReport& report,
                       bool guessedLatin1 = false, const platform::FileStatus* destinationSeen = nullptr);

// The rest of ProcessFile for a converted ConvertToStaged: the flush where due (unless the
// caller did it), the rename to the destination's name, the move of the source.
// `destinationFileSize` and `written` (may be null) receive the result once the destination has
// its name; `report` says what failed. A source a move could not delete is a write error, its
// destination left in place.
Result CompleteConversion(const ConversionSettings& settings, CConvertedFile& converted,
                          std::uint64_t* destinationFileSize, WrittenFile* written, ConversionReport& report);

// Both parts for one file.
Result ProcessFile(const ConversionSettings& settings, OpenedSource& source, const FileLocation& sourceLocation,
                   const FileLocation& destination, CharsetCode sourceCharset,
                   const std::u16string& destinationCharsetName, CharsetCode destinationCharset,
                   std::uint64_t* sourceFileSize, std::uint64_t* destinationFileSize, ConversionReport& report,
                   WrittenFile* written = nullptr, bool guessedLatin1 = false);

}  // namespace glyphshift
