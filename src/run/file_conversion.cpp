#include "run/file_conversion.h"

#include <cstdint>

#include "convert/process_file.h"
#include "engine/charset_catalogue.h"
#include "glyphshift/glyphshift.h"
#include "platform/files.h"
#include "run/byte_size_text.h"
#include "run/path_rules.h"
#include "run/print_message.h"

namespace glyphshift {

bool IsSameDirectory(const std::u16string& a, const std::u16string& b) {
  if (a == b) return true;
  platform::FileId idA;
  platform::FileId idB;
  auto& files = platform::Files();
  if (!files.GetFileId(a, idA) && !files.GetFileId(b, idB)) return idA == idB;
  return false;
}

std::u16string DestinationName(std::u16string_view sourceName, std::u16string_view charsetName,
                               bool insertCharsetName) {
  std::u16string name(BaseNameOf(sourceName));
  if (insertCharsetName) {
    name += u'.';
    name += charsetName;
  }
  name += ExtensionOf(sourceName);
  return name;
}

namespace {

void DetectSourceCharset(ConversionOptions& options, const std::u16string& source) {
  // The exported function takes UTF-16 units; char16_t and uint16_t share their representation.
  const CharsetCode code = DetectCharacterSetByFile(reinterpret_cast<const std::uint16_t*>(source.c_str()));
  options.sourceCharset = code;
  if (const char16_t* name = CharsetNameFromCode(code)) options.sourceCharsetName = name;
}

}  // namespace

bool ConvertFile(ConversionOptions& options, const std::u16string& source, const std::u16string& destination,
                 std::u16string_view displayName, RunSummary& summary) {
  if (options.autoDetectSource) DetectSourceCharset(options, source);

  std::uint32_t sourceSize = 0;
  std::uint32_t destinationSize = 0;
  const std::int32_t result =
      ProcessFile(options, source, destination, options.sourceCharsetName, options.sourceCharset,
                  options.destinationCharsetName, options.destinationCharset, &sourceSize, &destinationSize);
  summary.lastResult = result;
  if (result != kProcessOk) {
    ++summary.failedCount;
    PrintMessage(u"Error %d: Conversion of \"%s\" failed.\n", result, displayName);
    return false;
  }
  // 64-bit: a file of over 1 GiB that more than doubles (1252 text full of euro signs to UTF-8)
  // grows by more than a 32-bit count holds, and the line would show a negative growth.
  const std::int64_t growth = std::int64_t{destinationSize} - std::int64_t{sourceSize};
  PrintMessage(u"Success: [%s + %I64d Bytes] %s\n", FormatByteSize(sourceSize), growth, displayName);
  ++summary.convertedCount;
  summary.totalSourceBytes += sourceSize;
  return true;
}

}  // namespace glyphshift
