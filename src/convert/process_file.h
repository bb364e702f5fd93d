// Converts one file from its source to its written destination.
#pragma once

#include <cstdint>
#include <string>

#include "convert/conversion_options.h"
#include "platform/files.h"

namespace glyphshift {

// Results; the usage text gives the same numbers as exit codes.
inline constexpr std::int32_t kProcessOk = 0;
inline constexpr std::int32_t kProcessWriteError = 1;
inline constexpr std::int32_t kProcessReadError = 2;
inline constexpr std::int32_t kProcessOutOfMemory = -1;

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

// Reads the source, decodes, rewrites line breaks, drops a leading byte order mark, rewrites
// markup declarations, encodes and writes the destination (which may be the source) under a
// temporary name that takes the destination's name when complete, with the replaced file's
// attributes (or the source's permission bits for a new file) and, as `options` say, the
// source's owner and access list. Then moves (removes `sourceLocation`). A link at the
// destination's name is replaced, never followed. The sizes (may be null) receive the source
// size once it is known and the written size once the destination is complete; `written` (may
// be null) the destination after success.
std::int32_t ProcessFile(const ConversionOptions& options, OpenedSource& source, const FileLocation& sourceLocation,
                         const FileLocation& destination, const std::u16string& sourceCharsetName,
                         CharsetCode sourceCharset, const std::u16string& destinationCharsetName,
                         CharsetCode destinationCharset, std::uint32_t* sourceFileSize,
                         std::uint32_t* destinationFileSize, WrittenFile* written = nullptr);

// The same for two paths a person named: links at both names are followed, so converting
// through a link replaces its target and keeps the link.
std::int32_t ProcessFile(const ConversionOptions& options, const std::u16string& sourcePath,
                         const std::u16string& destinationPath, const std::u16string& sourceCharsetName,
                         CharsetCode sourceCharset, const std::u16string& destinationCharsetName,
                         CharsetCode destinationCharset, std::uint32_t* sourceFileSize,
                         std::uint32_t* destinationFileSize);

}  // namespace glyphshift
