// The exported C functions: thin shims over the engine. The C header types UTF-16 text as
// uint16_t, the engine as char16_t; both are 16-bit unsigned units of the same representation.
// Callers outside the program may pass anything, so each shim first refuses the arguments the
// engine must not be given (a code that indexes past the tables, a null pointer it would read
// or write) with CONVERT_INVALID_INPUT; the engine's own C++ callers never pass them.
#include "glyphshift/glyphshift.h"

#include "engine/charset_catalogue.h"
#include "engine/engine.h"

namespace {
const char16_t* Units(const uint16_t* p) { return reinterpret_cast<const char16_t*>(p); }
char16_t* Units(uint16_t* p) { return reinterpret_cast<char16_t*>(p); }

// Where the function reads or writes `length` bytes: null only when there are none.
bool IsBuffer(const void* p, uint32_t length) { return p != nullptr || length == 0; }
}  // namespace

extern "C" {

GLYPHSHIFT_API int32_t ConvertSingleByteToDoubleByte(int32_t code, const uint8_t* source, uint32_t sourceLength,
                                                     uint16_t* destination, uint32_t* destinationSize) {
  // A zero capacity is the size query, which never touches the destination.
  if (!glyphshift::IsSingleByteCode(code) || destinationSize == nullptr || !IsBuffer(source, sourceLength) ||
      !IsBuffer(destination, *destinationSize)) {
    return CONVERT_INVALID_INPUT;
  }
  return glyphshift::engine::SingleByteToUtf16(code, source, sourceLength, Units(destination), destinationSize);
}

GLYPHSHIFT_API int32_t ConvertDoubleByteToSingleByte(int32_t code, const uint16_t* source, uint32_t sourceLength,
                                                     uint8_t* destination, uint32_t* destinationSize) {
  // A null destination is the size query, whatever the capacity.
  if (!glyphshift::IsSingleByteCode(code) || destinationSize == nullptr || !IsBuffer(source, sourceLength)) {
    return CONVERT_INVALID_INPUT;
  }
  return glyphshift::engine::Utf16ToSingleByte(code, Units(source), sourceLength, destination, destinationSize);
}

GLYPHSHIFT_API int32_t ConvertUtf8ToDoubleByte(const uint8_t* source, uint32_t sourceLength, uint16_t* destination,
                                               uint32_t* destinationSize) {
  if (destinationSize == nullptr || !IsBuffer(source, sourceLength)) return CONVERT_INVALID_INPUT;
  return glyphshift::engine::Utf8ToUtf16(source, sourceLength, Units(destination), destinationSize);
}

GLYPHSHIFT_API int32_t ConvertDoubleByteToUtf8(const uint16_t* source, uint32_t sourceLength, uint8_t* destination,
                                               uint32_t* destinationSize) {
  // A zero capacity is the size query, which never touches the destination.
  if (destinationSize == nullptr || !IsBuffer(source, sourceLength) || !IsBuffer(destination, *destinationSize)) {
    return CONVERT_INVALID_INPUT;
  }
  return glyphshift::engine::Utf16ToUtf8(Units(source), sourceLength, destination, destinationSize);
}

GLYPHSHIFT_API int32_t TransformEndianess(uint16_t* data, uint32_t dataLength) {
  if (!IsBuffer(data, dataLength)) return CONVERT_INVALID_INPUT;
  return glyphshift::engine::SwapByteOrder(Units(data), dataLength);
}

GLYPHSHIFT_API int32_t TransformNewLineCharacter(int32_t type, const uint16_t* source, uint32_t sourceLength,
                                                 uint16_t* destination, uint32_t* destinationSize) {
  if (destinationSize == nullptr || !IsBuffer(source, sourceLength)) return CONVERT_INVALID_INPUT;
  return glyphshift::engine::TransformLineBreaks(type, Units(source), sourceLength, Units(destination),
                                                 destinationSize);
}

GLYPHSHIFT_API int32_t DetectCharacterSet(const uint8_t* data, uint32_t dataLength) {
  if (!IsBuffer(data, dataLength)) return CONVERT_INVALID_INPUT;
  return glyphshift::engine::DetectCharset(data, dataLength);
}

}  // extern "C"
