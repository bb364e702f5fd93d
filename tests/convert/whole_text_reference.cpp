#include "convert/whole_text_reference.h"

#include <bit>
#include <cstring>

#include "convert/markup_declarations.h"
#include "convert/working_text.h"
#include "engine/engine.h"

namespace glyphshift::testing_support {

namespace {

bool NeedsSwap(CharsetCode code) { return (code == kCharsetUtf16Be) != (std::endian::native == std::endian::big); }

WorkingText Decode(const std::vector<std::uint8_t>& raw, CharsetCode code) {
  const auto size = static_cast<std::uint32_t>(raw.size());
  WorkingText text;
  std::uint32_t byteLength = 0;
  if (code == kCharsetUtf16 || code == kCharsetUtf16Be) {
    text.buffer = AllocateUnits(BlockUnitsFor(size));
    if (size != 0) std::memcpy(text.buffer.get(), raw.data(), size);
    byteLength = size;
    text.buffer[size / 2] = 0;  // for an odd size this replaces the incomplete last unit's byte
    if (NeedsSwap(code)) engine::SwapByteOrder(text.buffer.get(), size);
  } else if (code == kCharsetUtf8) {
    text.buffer = AllocateUnits(BlockUnitsFor(2ull * size));
    std::uint32_t written = 2 * size;
    engine::Utf8ToUtf16(raw.data(), size, text.buffer.get(), &written);
    byteLength = written;
  } else {
    text.buffer = AllocateUnits(BlockUnitsFor(2ull * size));
    std::uint32_t capacity = 2 * size;
    engine::SingleByteToUtf16(code, raw.data(), size, text.buffer.get(), &capacity);
    byteLength = 2 * size;
  }
  text.buffer[byteLength / 2] = 0;
  text.byteLength = byteLength;
  return text;
}

void RewriteLineBreaks(WorkingText& text, std::int32_t type) {
  std::uint32_t needed = 0;
  engine::TransformLineBreaks(type, text.Text(), text.byteLength, nullptr, &needed);
  auto block = AllocateUnits(BlockUnitsFor(needed));
  engine::TransformLineBreaks(type, text.Text(), text.byteLength, block.get(), &needed);
  block[needed / 2] = 0;
  text.buffer = std::move(block);
  text.start = 0;
  text.byteLength = needed;
}

}  // namespace

std::vector<std::uint8_t> ConvertWholeText(const std::vector<std::uint8_t>& raw, const StreamSettings& settings) {
  WorkingText text = Decode(raw, settings.source);
  if (settings.lineBreakType) RewriteLineBreaks(text, *settings.lineBreakType);
  if (text.Text()[0] == 0xFEFF) {
    ++text.start;
    text.byteLength -= 2;
  }
  if (settings.modifyXml || settings.modifyHtml) {
    (void)RewriteCharsetDeclarations(text, settings.destinationName, settings.modifyXml, settings.modifyHtml);
  }
  std::vector<std::uint8_t> out;
  const CharsetCode code = settings.destination;
  if (IsSingleByteCode(code)) {
    std::uint32_t size = text.UnitCount();
    out.resize(size);
    if (size != 0) engine::Utf16ToSingleByte(code, text.Text(), text.byteLength, out.data(), &size);
    return out;
  }
  if (code == kCharsetUtf8) {
    if (settings.writeBom) out = {0xEF, 0xBB, 0xBF};
    std::uint32_t size = 0;
    engine::Utf16ToUtf8(text.Text(), text.byteLength, nullptr, &size);
    std::vector<std::uint8_t> body(size);
    if (size != 0) engine::Utf16ToUtf8(text.Text(), text.byteLength, body.data(), &size);
    out.insert(out.end(), body.begin(), body.begin() + static_cast<std::ptrdiff_t>(size));
    return out;
  }
  if (settings.writeBom)
    out = code == kCharsetUtf16Be ? std::vector<std::uint8_t>{0xFE, 0xFF} : std::vector<std::uint8_t>{0xFF, 0xFE};
  if (NeedsSwap(code)) engine::SwapByteOrder(text.Text(), text.byteLength);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.Text());
  out.insert(out.end(), bytes, bytes + text.byteLength);
  return out;
}

}  // namespace glyphshift::testing_support
