// Which table a text is in, given a character set named for it (by its own markup declaration)
// and the byte values the text holds. Kept here, beside the tables, so that the judgement needs nothing
// but the catalogue.
#pragma once

#include "engine/charset_catalogue.h"
#include "engine/detection.h"

namespace glyphshift::engine {

inline constexpr CharsetCode kNoFittingTable = -1;

// The single-byte code to read a text with, whose byte values are `sample`, when it was judged
// to be in the set of code `detected` (0..59, a code with a catalogue record):
//  1. `detected` itself, when it defines every byte of the sample and reads none of them as a
//     C1 control (U+0080..U+009F);
//  2. else the first code with a record whose table reads every character `detected` defines
//     (its C1 controls aside) as `detected` does, and gives every byte of the sample a character
//     that is no C1 control: a text judged ISO-8859-1 whose bytes 0x80..0x9F are quotation marks
//     and dashes is Windows-1252, and text in the set is read the same either way;
//  3. else `detected`, when it defines every byte of the sample (its C1 controls stay);
//  4. else kNoFittingTable: a byte of the text has no character in `detected`.
CharsetCode FitTableToSample(CharsetCode detected, const ByteSet& sample) noexcept;

}  // namespace glyphshift::engine
