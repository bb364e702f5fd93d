// Every setting of one run. Filled at start-up by the command line or the dialog, then only
// read, except that per-file detection overwrites the two source character-set fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/charset_catalogue.h"

namespace glyphshift {

// How a source without "/scs=" is judged: by the byte rules alone, or with the statistical
// detector deciding what the rules leave to their single-byte fallback.
enum class DetectionMethod { Simple, Statistical };

struct ConversionOptions {
  std::u16string sourceSpec;
  std::u16string outputPath;
  std::u16string sourceCharsetName = u"ansi";
  CharsetCode sourceCharset = kCharsetWindows1252;  // what "ansi" names
  std::u16string destinationCharsetName = u"utf-8";
  CharsetCode destinationCharset = kCharsetUtf8;
  bool autoDetectSource = true;
  std::u16string detectionMethodName = u"simple";  // "/detect=", resolved at start-up
  DetectionMethod detectionMethod = DetectionMethod::Simple;
  std::optional<std::u16string> lineBreak;  // absent: line breaks unchanged
  bool writeBom = true;
  bool modifyXml = false;
  bool modifyHtml = false;
  bool replaceSource = false;
  bool moveSource = false;
  bool keepSecurity = false;
  bool keepOwner = false;
  bool keepDacl = false;
  bool recursive = false;
  bool errorStop = false;
  bool noStatusBox = false;
  bool uiMode = false;
  bool noConsole = false;
  std::u16string logFilePath;
  std::int32_t logLevel = 0;
  bool ownerFromPrefix = false;
  std::u16string userTranslationTablePath = u"user-to-account.csv";
};

}  // namespace glyphshift
