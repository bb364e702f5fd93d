/* A C program of a library user: converts Windows-1252 text to UTF-8 through UTF-16 with the
 * installed header and library, and prints it. Sizes come from the size queries. */
#include <glyphshift/glyphshift.h>

#include <stdio.h>
#include <stdlib.h>

int main(void) {
  static const uint8_t text[] =
      "Gr\xFC\xDF"
      "e \x80 5";
  const uint32_t length = (uint32_t)(sizeof text - 1);
  const int32_t windows1252 = 18;

  uint32_t utf16Size = 0;
  ConvertSingleByteToDoubleByte(windows1252, text, length, NULL, &utf16Size);
  uint16_t* utf16 = malloc(utf16Size);
  if (utf16 == NULL || ConvertSingleByteToDoubleByte(windows1252, text, length, utf16, &utf16Size) != CONVERT_OK) {
    fputs("decoding failed\n", stderr);
    return 1;
  }

  uint32_t utf8Size = 0;
  ConvertDoubleByteToUtf8(utf16, utf16Size, NULL, &utf8Size);
  uint8_t* utf8 = malloc(utf8Size);
  if (utf8 == NULL || ConvertDoubleByteToUtf8(utf16, utf16Size, utf8, &utf8Size) != CONVERT_OK) {
    fputs("encoding failed\n", stderr);
    return 1;
  }
  fwrite(utf8, 1, utf8Size, stdout);
  putchar('\n');
  printf("detected: %d\n", DetectCharacterSet(utf8, utf8Size));
  free(utf8);
  free(utf16);
  return 0;
}
