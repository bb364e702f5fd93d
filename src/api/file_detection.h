// Detection of a file's character set by the byte rules, read in pieces through the platform:
// the one place that reads a file for detection, used by the exported DetectCharacterSetByFile,
// by the run for every source it must judge, and by the dialogs for a chosen source.
#pragma once

#include <cstdint>
#include <string>

#include "engine/charset_catalogue.h"
#include "engine/charset_guess.h"
#include "engine/detection.h"
#include "platform/files.h"

namespace glyphshift {

struct FileDetection {
  CharsetCode code = kCharsetWindows1252;  // what a file that cannot be read is taken as
  std::uint64_t bytesRead = 0;             // up to where the answer was settled
  bool readFailed = false;
  bool highBytes = false;  // a byte above 0x7F was read: the statistical model has something to go by

  // The rules' single-byte fallback (ISO-8859-1) for a text of 3 bytes or more, which the
  // statistical model may judge better.
  bool Fallback() const { return !readFailed && IsSingleByteCode(code) && bytesRead >= 3; }
};

// The byte rules (engine/detection.h) over the opened file: a file of any size is judged in
// little memory, and reading stops as soon as the answer is settled (at the first byte that is
// no UTF-8, for most legacy text). Detection reads the very file a conversion then reads, so a
// name swapped in between cannot make the run judge one file and convert another.
FileDetection DetectFileCharset(const platform::CFile& file);

// The statistical model's sample of a file: its pieces of 16 KiB that hold a byte above 0x7F, in
// file order, engine::kGuessSampleBytes in all, from the first kGuessReadLimit bytes: a long
// ASCII head does not hide the text after it, and a large file costs little (0.5 ms for a
// Windows-1251 file of 1 GiB whose conversion takes 1.1 s). Only in a file without such a
// piece, its first pieces of ASCII.
inline constexpr std::uint64_t kGuessReadLimit = 16ull << 20;

struct FileGuess {
  engine::CharsetGuess guess;  // kNoAnswer also when the file could not be read, or no memory
  engine::ByteSet bytes;       // the byte values of everything read
  bool readFailed = false;
};

// The model's answer (engine/charset_guess.h) over the opened file's sample.
FileGuess GuessFileCharset(const platform::CFile& file);

// The set the dialogs propose for a source: the byte rules' answer, or the model's where the
// rules fall back to ISO-8859-1 and the model is confident of a set the program converts.
// Windows-1252 for a file that cannot be read, as DetectCharacterSetByFile answers.
CharsetCode ProposeFileCharset(const std::u16string& path);

}  // namespace glyphshift
