/* Glyphshift conversion engine: the eight exported C functions.
 *
 * All lengths are counts of bytes, also for UTF-16 buffers (n bytes hold n / 2
 * units; an odd last byte is ignored). UTF-16 text is in the machine's byte order.
 * Functions that take a destinationSize learn output sizes by a size query (each
 * function says which), then convert into a buffer of exactly that size.
 */
#ifndef GLYPHSHIFT_GLYPHSHIFT_H
#define GLYPHSHIFT_GLYPHSHIFT_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(GLYPHSHIFT_BUILDING_LIBRARY)
#define GLYPHSHIFT_API __declspec(dllexport)
#elif defined(GLYPHSHIFT_STATIC) /* code linked into the same module as the functions */
#define GLYPHSHIFT_API
#else
#define GLYPHSHIFT_API __declspec(dllimport)
#endif
#else
#define GLYPHSHIFT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Results of the conversion functions; the high bit marks failure. */
#define CONVERT_OK ((int32_t)0)
/* 0x80000001: input that cannot be represented, or arguments that are themselves unusable (a set
 * code outside 0..59, a null pointer where the function must read or write); for the latter the
 * function reads and writes nothing. */
#define CONVERT_INVALID_INPUT ((int32_t)(-2147483647))
#define CONVERT_BUFFER_TOO_SMALL ((int32_t)(-2147483646)) /* 0x80000002: destination capacity ended first */
#define CONVERT_FLAG_MULTIBYTE ((int32_t)0x08000000) /* UTF-8 decoder: a well-formed multi-byte sequence was seen */

/* Lengths are counts of bytes, also for UTF-16 buffers. A size query whose answer does not fit
 * 32 bits (possible from inputs of 2 GiB and more) answers 0xFFFFFFFF in *destinationSize with
 * CONVERT_BUFFER_TOO_SMALL; a conversion whose output could not be reported in 32 bits writes
 * nothing, sets *destinationSize to 0 and answers CONVERT_BUFFER_TOO_SMALL. */

/* Character-set codes: 0..59 single-byte tables (11 has no name), then the Unicode forms. */
#define CHARSET_UTF8 100
#define CHARSET_UTF16 101
#define CHARSET_UTF16BE 102

/* Line-break forms for TransformNewLineCharacter; any other value removes line breaks. */
#define LINEBREAK_DOS 1
#define LINEBREAK_UNIX 2
#define LINEBREAK_MAC 3

/* Decodes single-byte text of table `code` (0..59) to UTF-16, one unit per byte.
 * *destinationSize = 0 on entry asks for the size (sourceLength * 2) and touches nothing else;
 * otherwise it is the capacity and stays unchanged. Undefined bytes become 0xFFFF and give
 * CONVERT_INVALID_INPUT after a complete conversion; a short capacity gives
 * CONVERT_BUFFER_TOO_SMALL after writing the units that fit. CONVERT_INVALID_INPUT: a code
 * outside 0..59, a null destinationSize, a null source with a non-zero sourceLength, or a null
 * destination with a non-zero capacity. */
GLYPHSHIFT_API int32_t ConvertSingleByteToDoubleByte(int32_t code, const uint8_t* source, uint32_t sourceLength,
                                                     uint16_t* destination, uint32_t* destinationSize);

/* Encodes UTF-16 to single-byte text of table `code`, one byte per unit; characters the table
 * lacks become 0x3F. A null destination asks for the size (sourceLength / 2). Returns CONVERT_OK
 * or CONVERT_BUFFER_TOO_SMALL (after writing *destinationSize bytes); CONVERT_INVALID_INPUT
 * for a code outside 0..59, a null destinationSize or a null source with a non-zero sourceLength. */
GLYPHSHIFT_API int32_t ConvertDoubleByteToSingleByte(int32_t code, const uint16_t* source, uint32_t sourceLength,
                                                     uint8_t* destination, uint32_t* destinationSize);

/* Decodes UTF-8 to UTF-16. A null destination asks for an upper bound of the output size.
 * There is no capacity: the destination must hold what a size query reported.
 * Result: 0, CONVERT_FLAG_MULTIBYTE, CONVERT_INVALID_INPUT, or both bits; CONVERT_INVALID_INPUT
 * for a null destinationSize or a null source with a non-zero sourceLength. */
GLYPHSHIFT_API int32_t ConvertUtf8ToDoubleByte(const uint8_t* source, uint32_t sourceLength, uint16_t* destination,
                                               uint32_t* destinationSize);

/* Encodes UTF-16 to UTF-8. *destinationSize = 0 on entry asks for an upper bound; otherwise it is
 * the capacity, and on return the number of bytes written. CONVERT_OK or CONVERT_BUFFER_TOO_SMALL;
 * CONVERT_INVALID_INPUT for a null destinationSize, a null source with a non-zero sourceLength,
 * or a null destination with a non-zero capacity. */
GLYPHSHIFT_API int32_t ConvertDoubleByteToUtf8(const uint16_t* source, uint32_t sourceLength, uint8_t* destination,
                                               uint32_t* destinationSize);

/* Swaps the two bytes of every whole unit in place. Returns 1, or CONVERT_INVALID_INPUT for a
 * null data with a non-zero dataLength. */
GLYPHSHIFT_API int32_t TransformEndianess(uint16_t* data, uint32_t dataLength);

/* Rewrites every line break (CR LF, lone CR, lone LF) into the form of `type`, or removes it.
 * A null destination asks for the size; the destination must hold that size. Returns 0, or
 * CONVERT_BUFFER_TOO_SMALL as said above for an output beyond 32 bits (only DOS breaks grow a
 * text); CONVERT_INVALID_INPUT for a null destinationSize or a null source with a non-zero
 * sourceLength. */
GLYPHSHIFT_API int32_t TransformNewLineCharacter(int32_t type, const uint16_t* source, uint32_t sourceLength,
                                                 uint16_t* destination, uint32_t* destinationSize);

/* Guesses the character set of text as stored in a file: 100, 101, 102 or a single-byte code;
 * CONVERT_INVALID_INPUT for a null data with a non-zero dataLength. */
GLYPHSHIFT_API int32_t DetectCharacterSet(const uint8_t* data, uint32_t dataLength);

/* Reads a whole file (NUL-terminated UTF-16 path) and detects its character set;
 * 18 (Windows-1252) when the file cannot be opened. */
GLYPHSHIFT_API int32_t DetectCharacterSetByFile(const uint16_t* filePath);

#ifdef __cplusplus
}
#endif

#endif /* GLYPHSHIFT_GLYPHSHIFT_H */
