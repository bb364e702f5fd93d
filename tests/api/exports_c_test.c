/* The exported functions called from plain C through libglyphshift.so: keeps the header C and
 * proves the shared library's eight names work as declared. Exit status 0 on success. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "glyphshift/glyphshift.h"

static int failures = 0;

#define CHECK(cond)                                                      \
  do {                                                                   \
    if (!(cond)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                        \
    }                                                                    \
  } while (0)

static void SingleByte(void) {
  const uint8_t bytes[] = {0x41, 0x80, 0x81};
  uint16_t units[3];
  uint32_t size = 0;
  CHECK(ConvertSingleByteToDoubleByte(18, bytes, 3, NULL, &size) == CONVERT_OK && size == 6);
  CHECK(ConvertSingleByteToDoubleByte(18, bytes, 3, units, &size) == CONVERT_INVALID_INPUT);
  CHECK(units[0] == 0x41 && units[1] == 0x20AC && units[2] == 0xFFFF);

  uint8_t back[3];
  CHECK(ConvertDoubleByteToSingleByte(18, units, 6, NULL, &size) == CONVERT_OK && size == 3);
  CHECK(ConvertDoubleByteToSingleByte(18, units, 6, back, &size) == CONVERT_OK);
  CHECK(back[0] == 0x41 && back[1] == 0x80 && back[2] == 0x9D);
  size = 2;
  CHECK(ConvertDoubleByteToSingleByte(18, units, 6, back, &size) == CONVERT_BUFFER_TOO_SMALL);
  CHECK(ConvertDoubleByteToSingleByte(60, units, 6, back, &size) == CONVERT_INVALID_INPUT && size == 2);
}

static void Utf8(void) {
  const uint8_t text[] = {0x68, 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80};
  uint16_t units[8];
  uint32_t size = 0;
  CHECK(ConvertUtf8ToDoubleByte(text, 7, NULL, &size) == CONVERT_FLAG_MULTIBYTE && size == 8);
  CHECK(ConvertUtf8ToDoubleByte(text, 7, units, &size) == CONVERT_FLAG_MULTIBYTE && size == 8);
  CHECK(units[0] == 0x68 && units[1] == 0xE9 && units[2] == 0xD83D && units[3] == 0xDE00);

  uint8_t bytes[16];
  size = 0;
  CHECK(ConvertDoubleByteToUtf8(units, 8, bytes, &size) == CONVERT_OK && size == 11);
  CHECK(ConvertDoubleByteToUtf8(units, 8, bytes, &size) == CONVERT_OK && size == 7);
  CHECK(memcmp(bytes, text, 7) == 0);
  CHECK(ConvertUtf8ToDoubleByte((const uint8_t*)"\x80", 1, units, &size) == CONVERT_INVALID_INPUT);
}

static void Text(void) {
  uint16_t data[] = {0x0041, 0x0042};
  CHECK(TransformEndianess(data, 4) == 1 && data[0] == 0x4100 && data[1] == 0x4200);

  const uint16_t text[] = {'a', '\r', '\n', 'b'};
  uint16_t out[4];
  uint32_t size = 0;
  CHECK(TransformNewLineCharacter(LINEBREAK_UNIX, text, 8, NULL, &size) == 0 && size == 6);
  CHECK(TransformNewLineCharacter(LINEBREAK_UNIX, text, 8, out, &size) == 0 && out[1] == '\n' && out[2] == 'b');

  CHECK(DetectCharacterSet((const uint8_t*)"\xEF\xBB\xBFx", 4) == CHARSET_UTF8);
  CHECK(DetectCharacterSet((const uint8_t*)"ascii", 5) == 0);
}

static void ByFile(void) {
  static const char name[] = "exports_c_test.tmp";
  uint16_t path[sizeof name];
  for (size_t i = 0; i < sizeof name; ++i) path[i] = (uint16_t)(unsigned char)name[i];
  remove(name);
  CHECK(DetectCharacterSetByFile(path) == 18);
  FILE* f = fopen(name, "wb");
  CHECK(f != NULL);
  if (f == NULL) return;
  fwrite("A\0B\0", 1, 4, f);
  fclose(f);
  CHECK(DetectCharacterSetByFile(path) == CHARSET_UTF16);
  remove(name);
}

int main(void) {
  SingleByte();
  Utf8();
  Text();
  ByFile();
  if (failures != 0) fprintf(stderr, "%d failures\n", failures);
  return failures == 0 ? 0 : 1;
}
