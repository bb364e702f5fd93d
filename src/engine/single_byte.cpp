// Single-byte code pages to UTF-16 and back: one table look-up per character, with whole
// blocks of ASCII widened or narrowed at once where the table leaves ASCII as it is.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>

#include "engine/codec_path.h"
#include "engine/codec_support.h"
#include "engine/engine.h"
#include "engine/mapping_table.h"
#include "engine/reference/reference.h"
#include "engine/reverse_table.h"
#include "engine/simd/kernels.h"
#include "engine/utf8_steps.h"

#if defined(GLYPHSHIFT_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace glyphshift::engine {
namespace {

// Four look-ups gathered into one 8-byte store: stores, not loads, limit a look-up loop.
inline std::uint64_t LookUpFour(const char16_t* units, std::uint32_t bytes) noexcept {
  return std::uint64_t{units[bytes & 0xFF]} | std::uint64_t{units[(bytes >> 8) & 0xFF]} << 16 |
         std::uint64_t{units[(bytes >> 16) & 0xFF]} << 32 | std::uint64_t{units[bytes >> 24]} << 48;
}

// Any of the four units undefined (0xFFFF)?
inline bool HasUndefined(std::uint64_t four) noexcept {
  const std::uint64_t inverted = ~four;  // an undefined unit becomes a zero lane
  return ((inverted - 0x0001'0001'0001'0001ull) & four & 0x8000'8000'8000'8000ull) != 0;
}

// Decodes `count` bytes; returns true when one of them was undefined.
bool DecodeBytes(CharsetCode code, const std::uint8_t* source, std::uint32_t count, char16_t* destination) noexcept {
  const char16_t* units = kMappingTables[code].units;
  [[maybe_unused]] const bool asciiIdentity = IsAsciiCompatible(code);  // the vector paths use it
  std::uint64_t undefined = 0;
  std::uint32_t i = 0;
#if defined(GLYPHSHIFT_HAVE_SSE2)
  if (CurrentCodecPath() == CodecPath::kAvx512) {
    bool undefinedByte = false;
    i = simd::DecodeSingleBytesAvx512(units, source, count, destination, undefinedByte);
    undefined = undefinedByte ? 1 : 0;
  }
#endif
  while (count - i >= 16) {
#if defined(GLYPHSHIFT_HAVE_SSE2)
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
    if (asciiIdentity && _mm_movemask_epi8(in) == 0) {
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), _mm_unpacklo_epi8(in, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i + 8), _mm_unpackhi_epi8(in, zero));
      i += 16;
      continue;
    }
#endif
    for (unsigned k = 0; k < 16; k += 4) {
      std::uint32_t four;
      std::memcpy(&four, source + i + k, sizeof four);
      const std::uint64_t decoded = LookUpFour(units, four);
      undefined |= HasUndefined(decoded);
      StoreWord(destination + i + k, decoded);
    }
    i += 16;
  }
  for (; i < count; ++i) {
    destination[i] = units[source[i]];
    undefined |= destination[i] == kMappingUndefined;
  }
  return undefined != 0;
}

// Encodes `count` units, a multiple of 16, through a filled ReverseTable.
void EncodeBlocks(const std::uint8_t* reverse, [[maybe_unused]] bool asciiIdentity, const char16_t* source,
                  std::uint32_t count, std::uint8_t* destination) noexcept {
  for (std::uint32_t i = 0; i < count; i += 16) {
#if defined(GLYPHSHIFT_HAVE_SSE2)
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i + 8));
    const __m128i high = _mm_and_si128(_mm_or_si128(a, b), _mm_set1_epi16(static_cast<short>(0xFF80)));
    if (asciiIdentity && _mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), _mm_packus_epi16(a, b));
      continue;
    }
#endif
    for (unsigned k = 0; k < 16; k += 8) {
      std::uint64_t eight = 0;
      for (unsigned u = 0; u < 8; ++u) eight |= std::uint64_t{reverse[source[i + k + u]]} << (8 * u);
      StoreWord(destination + i + k, eight);
    }
  }
}

// Encodes `count` units through a filled ReverseTable.
void EncodeUnits(const std::uint8_t* reverse, bool asciiIdentity, const char16_t* source, std::uint32_t count,
                 std::uint8_t* destination) noexcept {
  std::uint32_t i = 0;
#if defined(GLYPHSHIFT_HAVE_SSE2)
  if (CurrentCodecPath() == CodecPath::kAvx512) {
    // Runs of 64-unit blocks of a few pages; after a block of more, units the other way before
    // trying again, twice as many after each failed try, so that text of many scripts (or
    // random units) pays little for the tries.
    std::uint32_t otherSpan = 64;
    while (count - i >= 64) {
      const std::uint32_t taken = simd::EncodeUnitsByPageAvx512(reverse, source + i, count - i, destination + i);
      i += taken;
      otherSpan = taken != 0 ? 64 : std::min(2 * otherSpan, 4096u);
      const std::uint32_t other = std::min(count - i, otherSpan) / 16 * 16;
      EncodeBlocks(reverse, asciiIdentity, source + i, other, destination + i);
      i += other;
    }
  }
#endif
  const std::uint32_t blocks = (count - i) / 16 * 16;
  EncodeBlocks(reverse, asciiIdentity, source + i, blocks, destination + i);
  for (i += blocks; i < count; ++i) destination[i] = reverse[source[i]];
}

// Does the ReverseTable give every ASCII unit its own byte? Not in code 11, where 0xC1 also
// maps to U+0041 and wins, nor in the EBCDIC tables.
bool ReverseKeepsAscii(const std::uint8_t* reverse) noexcept {
  for (unsigned c = 0; c < 0x80; ++c) {
    if (reverse[c] != c) return false;
  }
  return true;
}

}  // namespace

std::int32_t SingleByteToUtf16(CharsetCode code, const std::uint8_t* source, std::uint32_t sourceLength,
                               char16_t* destination, std::uint32_t* destinationSize) noexcept {
  if (*destinationSize == 0 || CurrentCodecPath() == CodecPath::kReference) {
    return reference::SingleByteToUtf16(code, source, sourceLength, destination, destinationSize);
  }
  // The loop stops before the first unit that does not fit; everything before it is written.
  const std::uint32_t fitting = std::min(sourceLength, *destinationSize / 2);
  const bool undefined = DecodeBytes(code, source, fitting, destination);
  if (fitting < sourceLength) return CONVERT_BUFFER_TOO_SMALL;
  return undefined ? CONVERT_INVALID_INPUT : CONVERT_OK;
}

std::int32_t Utf16ToSingleByte(CharsetCode code, const char16_t* source, std::uint32_t sourceLength,
                               std::uint8_t* destination, std::uint32_t* destinationSize) noexcept {
  if (destination == nullptr || CurrentCodecPath() == CodecPath::kReference) {
    return reference::Utf16ToSingleByte(code, source, sourceLength, destination, destinationSize);
  }
  const std::uint32_t units = sourceLength / 2;
  const std::uint32_t fitting = std::min(units, *destinationSize);
  const MappingTable& table = kMappingTables[code];
  if (auto* reverse = static_cast<std::uint8_t*>(AllocateReverseTable(kReverseTableSize))) {
    FillReverseTable(table, reverse);
    EncodeUnits(reverse, ReverseKeepsAscii(reverse), source, fitting, destination);
    ReleaseReverseTable(reverse);
  } else {
    const CSortedReverseLookup lookup(table);
    for (std::uint32_t i = 0; i < fitting; ++i) destination[i] = lookup.Find(source[i]);
  }
  return fitting < units ? CONVERT_BUFFER_TOO_SMALL : CONVERT_OK;
}

CSingleByteEncoder::CSingleByteEncoder(CharsetCode code) noexcept : code_(code) {
  if (CurrentCodecPath() == CodecPath::kReference) return;
  reverse_ = static_cast<std::uint8_t*>(AllocateReverseTable(kReverseTableSize));
  if (reverse_ == nullptr) return;
  FillReverseTable(kMappingTables[code], reverse_);
  asciiIdentity_ = ReverseKeepsAscii(reverse_);
}

CSingleByteEncoder::~CSingleByteEncoder() {
  if (reverse_ != nullptr) ReleaseReverseTable(reverse_);
}

void CSingleByteEncoder::Encode(const char16_t* source, std::uint32_t units, std::uint8_t* destination) const noexcept {
  if (units == 0) return;
  if (reverse_ != nullptr) {
    EncodeUnits(reverse_, asciiIdentity_, source, units, destination);
    return;
  }
  // The reference path, or short of memory: the exported function's own way, which never fails.
  std::uint32_t size = units;
  Utf16ToSingleByte(code_, source, 2 * units, destination, &size);
}

CSingleByteToUtf8::CSingleByteToUtf8(CharsetCode code) noexcept
    : code_(code), asciiIdentity_(IsAsciiCompatible(code)), sequences_{}, planes_{} {
  const char16_t* units = kMappingTables[code].units;
  for (unsigned b = 0; b < 256; ++b) {
    const bool undefined = units[b] == kMappingUndefined;
    const char16_t unit = undefined ? kReplacementCharacter : units[b];
    std::uint8_t bytes[4] = {};
    std::uint32_t j = 0, length = 0;
    EncodeUtf8Character(&unit, 1, j, bytes, length, 3);
    planes_.lead[b] = bytes[0];
    planes_.second[b] = bytes[1];
    planes_.third[b] = bytes[2];
    planes_.undefined[b] = undefined ? 0xFF : 0;
    sequences_[b] = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
                    length << 24 | (undefined ? 1u << 31 : 0u);
  }
}

const CSingleByteToUtf8& CSingleByteToUtf8::For(CharsetCode code) {
  static std::once_flag built[kSingleByteTableCount];
  alignas(CSingleByteToUtf8) static unsigned char kept[kSingleByteTableCount][sizeof(CSingleByteToUtf8)];
  std::call_once(built[code], [code] { new (kept[code]) CSingleByteToUtf8(code); });
  return *std::launder(reinterpret_cast<const CSingleByteToUtf8*>(kept[code]));
}

std::size_t CSingleByteToUtf8::Convert(const std::uint8_t* source, std::size_t count, std::uint8_t* destination,
                                       bool& undefined, [[maybe_unused]] bool pastCaches) const noexcept {
  if (CurrentCodecPath() == CodecPath::kReference) {
    return reference::SingleByteToUtf8(code_, source, count, destination, undefined);
  }
  std::size_t i = 0, out = 0;
#if defined(GLYPHSHIFT_HAVE_SSE2)
  if (CurrentCodecPath() == CodecPath::kAvx512) {
    for (std::size_t part = 0; count - i >= 64; i += part) {
      part = std::min<std::size_t>(count - i, 0x40000000) / 64 * 64;
      const simd::SingleByteUtf8Run run =
          simd::SingleBytesToUtf8Avx512(reinterpret_cast<const std::uint8_t*>(&planes_), asciiIdentity_, source + i,
                                        static_cast<std::uint32_t>(part), destination + out, pastCaches, undefined);
      out += run.written;
    }
  }
#endif
  std::uint32_t seen = 0;
  while (i < count) {
    // Eight ASCII bytes at once where they stand for themselves.
    if (asciiIdentity_ && count - i >= 8) {
      const std::uint64_t word = LoadWord(source + i);
      if (IsAsciiWord(word)) {
        StoreWord(destination + out, word);
        i += 8;
        out += 8;
        continue;
      }
    }
    const std::size_t end = std::min(count, i + 8);
    for (; i < end; ++i) {
      const std::uint32_t sequence = sequences_[source[i]];
      std::memcpy(destination + out, &sequence, sizeof sequence);  // the slack takes the rest
      out += (sequence >> 24) & 3u;
      seen |= sequence;
    }
  }
  if ((seen >> 31) != 0) undefined = true;
  return out;
}

}  // namespace glyphshift::engine
