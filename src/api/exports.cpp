// The exported C functions: thin shims over the engine. The C header types UTF-16 text as
// uint16_t, the engine as char16_t; both are 16-bit unsigned units of the same representation.
#include "glyphshift/glyphshift.h"

#include "engine/engine.h"

namespace {
const char16_t* Units(const uint16_t* p) { return reinterpret_cast<const char16_t*>(p); }
char16_t* Units(uint16_t* p) { return reinterpret_cast<char16_t*>(p); }
}  // namespace

extern "C" {

GLYPHSHIFT_API int32_t ConvertSingleByteToDoubleByte(int32_t code, const uint8_t* source, uint32_t sourceLength,
                                                     uint16_t* destination, uint32_t* destinationSize) {
  return glyphshift::engine::SingleByteToUtf16(code, source, sourceLength, Units(destination), destinationSize);
}

GLYPHSHIFT_API int32_t ConvertDoubleByteToSingleByte(int32_t code, const uint16_t* source, uint32_t sourceLength,
                                                     uint8_t* destination, uint32_t* destinationSize) {
  return glyphshift::engine::Utf16ToSingleByte(code, Units(source), sourceLength, destination, destinationSize);
}

GLYPHSHIFT_API int32_t ConvertUtf8ToDoubleByte(const uint8_t* source, uint32_t sourceLength, uint16_t* destination,
                                               uint32_t* destinationSize) {
  return glyphshift::engine::Utf8ToUtf16(source, sourceLength, Units(destination), destinationSize);
}

GLYPHSHIFT_API int32_t ConvertDoubleByteToUtf8(const uint16_t* source, uint32_t sourceLength, uint8_t* destination,
                                               uint32_t* destinationSize) {
  return glyphshift::engine::Utf16ToUtf8(Units(source), sourceLength, destination, destinationSize);
}

GLYPHSHIFT_API int32_t TransformEndianess(uint16_t* data, uint32_t dataLength) {
  return glyphshift::engine::SwapByteOrder(Units(data), dataLength);
}

GLYPHSHIFT_API int32_t TransformNewLineCharacter(int32_t type, const uint16_t* source, uint32_t sourceLength,
                                                 uint16_t* destination, uint32_t* destinationSize) {
  return glyphshift::engine::TransformLineBreaks(type, Units(source), sourceLength, Units(destination),
                                                 destinationSize);
}

GLYPHSHIFT_API int32_t DetectCharacterSet(const uint8_t* data, uint32_t dataLength) {
  return glyphshift::engine::DetectCharset(data, dataLength);
}

}  // extern "C"
