#include "convert/text_stages.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "engine/utf8_decoder.h"

namespace glyphshift {

namespace {

constexpr char16_t kCr = 0x000D;
constexpr char16_t kLf = 0x000A;

// The engine's lengths are 32-bit; the stages never hand it more than this at once.
constexpr std::size_t kMaxCall = 0x40000000;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// Units stored in the other byte order than the machine's need swapping on the way in and out.
bool NeedsSwap(CharsetCode code) {
  const bool bigEndianForm = code == kCharsetUtf16Be;
  return bigEndianForm != (std::endian::native == std::endian::big);
}

}  // namespace

std::size_t CStreamDecoder::Decode(const std::uint8_t* bytes, std::size_t size, bool last, char16_t* units,
                                   std::size_t& consumed, bool& flagged) {
  consumed = 0;
  flagged = false;
  std::size_t made = 0;
  if (source_ == kCharsetUtf16 || source_ == kCharsetUtf16Be) {
    std::size_t whole = size / 2;
    if (whole != 0) std::memcpy(units, bytes, 2 * whole);
    if (NeedsSwap(source_)) {
      for (std::size_t at = 0; at < whole; at += kMaxCall) {
        const std::size_t part = std::min(kMaxCall, whole - at);
        engine::SwapByteOrder(units + at, static_cast<std::uint32_t>(2 * part));
      }
    }
    if (!last && whole != 0 && IsHighSurrogate(units[whole - 1])) --whole;
    consumed = 2 * whole;
    if (last && size % 2 != 0) {
      oddByte_ = true;
      consumed = size;
    }
    return whole;
  }
  while (consumed < size) {
    const std::size_t part = std::min(kMaxCall, size - consumed);
    const std::uint8_t* from = bytes + consumed;
    if (source_ == kCharsetUtf8) {
      std::uint64_t decoded = 0;
      std::uint32_t used = 0;
      const std::int32_t result =
          engine::DecodeUtf8(from, static_cast<std::uint32_t>(part), units + made, decoded, false, &used);
      flagged |= (result & CONVERT_INVALID_INPUT) == CONVERT_INVALID_INPUT;
      made += static_cast<std::size_t>(decoded);
      consumed += used;
      if (used < part) {
        // A character cut off by the piece's end waits for the next piece; at the text's end
        // decoding ends there, as it does for the whole text.
        if (consumed + (part - used) == size) {
          if (last) consumed = size;
          return made;
        }
        // Within the piece (a part of at most kMaxCall): the character is whole in what follows.
      }
    } else {
      std::uint32_t capacity = static_cast<std::uint32_t>(2 * part);
      flagged |= engine::SingleByteToUtf16(source_, from, static_cast<std::uint32_t>(part), units + made, &capacity) ==
                 CONVERT_INVALID_INPUT;
      made += part;
      consumed += part;
    }
  }
  return made;
}

std::size_t CLineBreakStage::WriteBreak(char16_t* out) const {
  switch (type_) {
    case LINEBREAK_DOS:
      out[0] = kCr;
      out[1] = kLf;
      return 2;
    case LINEBREAK_UNIX: out[0] = kLf; return 1;
    case LINEBREAK_MAC: out[0] = kCr; return 1;
    default: return 0;  // any other type removes line breaks
  }
}

std::size_t CLineBreakStage::Rewrite(const char16_t* in, std::size_t count, bool last, char16_t* out) {
  std::size_t written = 0;
  if (heldCr_ && (count != 0 || last)) {
    heldCr_ = false;
    if (count != 0 && in[0] == kLf) {  // CR LF cut in two is still one break
      ++in;
      --count;
    }
    written += WriteBreak(out);
  }
  if (count != 0 && !last && in[count - 1] == kCr) {
    heldCr_ = true;
    --count;
  }
  for (std::size_t at = 0; at < count;) {
    std::size_t part = std::min(kMaxCall / 2, count - at);
    // A CR LF is not split between two calls.
    if (at + part < count && in[at + part - 1] == kCr) --part;
    std::uint32_t size = static_cast<std::uint32_t>(std::min<std::size_t>(4 * part + 4, 0xFFFFFFFFu));
    engine::TransformLineBreaks(type_, in + at, static_cast<std::uint32_t>(2 * part), out + written, &size);
    written += size / 2;
    at += part;
  }
  return written;
}

CStreamEncoder::CStreamEncoder(CharsetCode destination) : destination_(destination) {
  if (IsSingleByteCode(destination)) {
    singleByte_.reset(new (std::nothrow) engine::CSingleByteEncoder(destination));
  }
}

std::size_t CStreamEncoder::Encode(const char16_t* in, std::size_t count, bool last, std::uint8_t* out) {
  if (destination_ == kCharsetUtf16 || destination_ == kCharsetUtf16Be) {
    if (count == 0) return 0;
    std::memcpy(out, in, 2 * count);
    if (NeedsSwap(destination_)) {
      for (std::size_t at = 0; at < count; at += kMaxCall) {
        const std::size_t part = std::min(kMaxCall, count - at);
        engine::SwapByteOrder(reinterpret_cast<char16_t*>(out) + at, static_cast<std::uint32_t>(2 * part));
      }
    }
    return 2 * count;
  }
  if (IsSingleByteCode(destination_)) {
    // One byte per unit, each on its own: nothing waits.
    for (std::size_t at = 0; at < count; at += kMaxCall) {
      const std::size_t part = std::min(kMaxCall, count - at);
      if (singleByte_) {
        singleByte_->Encode(in + at, static_cast<std::uint32_t>(part), out + at);
      } else {
        std::uint32_t size = static_cast<std::uint32_t>(part);
        engine::Utf16ToSingleByte(destination_, in + at, static_cast<std::uint32_t>(2 * part), out + at, &size);
      }
    }
    return count;
  }
  std::size_t written = 0;
  const auto encode = [&](const char16_t* units, std::size_t n) {
    for (std::size_t at = 0; at < n;) {
      std::size_t part = std::min(kMaxCall, n - at);
      if (at + part < n && IsHighSurrogate(units[at + part - 1])) --part;  // pairs stay together
      std::uint32_t size = static_cast<std::uint32_t>(std::min<std::size_t>(MaxBytes(part), 0xFFFFFFFFu));
      engine::Utf16ToUtf8(units + at, static_cast<std::uint32_t>(2 * part), out + written, &size);
      written += size;
      at += part;
    }
  };
  if (held_ && (count != 0 || last)) {
    held_ = false;
    const char16_t pair[2] = {heldUnit_, count != 0 ? in[0] : char16_t{0}};
    const bool paired = count != 0 && in[0] >= 0xDC00 && in[0] <= 0xDFFF;
    encode(pair, paired ? 2 : 1);
    if (paired) {
      ++in;
      --count;
    }
  }
  if (count != 0 && !last && IsHighSurrogate(in[count - 1])) {
    held_ = true;
    heldUnit_ = in[count - 1];
    --count;
  }
  encode(in, count);
  return written;
}

}  // namespace glyphshift
