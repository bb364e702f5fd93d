#include "cli/usage_text.h"

#include <algorithm>
#include <string>

#include "platform/version_info.h"
#include "platform/version_strings.h"

namespace glyphshift {

const std::u16string_view kUsageFormat =
    u"Glyphshift \"%s\"\r\n"
    u"\r\n"
    u"Usage: morfex <source file(s)> [flags]\r\n"
    u"\r\n"
    u"\r\n"
    u"Valid flags are:\r\n"
    u"\r\n"
    u"/scs=<charset>\tSpecify source character set. If not specified it tries to detect.\r\n"
    u"/dcs=<charset>\tSpecify destination character set. If not specified utf-8 is presumed.\r\n"
    u"/output=<file/dir>\tSpecify destination file name or directory. If file is not specified it will automatically "
    u"created.\r\n"
    u"/line=<type>\tLine break type which may be one of DOS, UNIX or MAC.\r\n"
    u"/nobom \t\tDo not write Byte Order Mark which will be written by default.\r\n"
    u"/nowait\t\tDo not display status Message Box after conversion in UI mode\r\n"
    u"/xml\t\tWill modify encoding string in xml header <?xml ...?>\r\n"
    u"/html\t\tWill modify \"content\" attribute value in meta header <meta http-equiv=\"Content-Type\" .../>\r\n"
    u"/replace\t\tSource file will be overwritten (in place conversion)\r\n"
    u"/move\t\tMoves the source file to destination. Source will be deleted after conversion.\r\n"
    u"/recursive\tUse recursive directory search in conjunction with wildcards as input.\r\n"
    u"/error-stop\tWill stop on conversion error (file/disk read/write, out of memory, ...)\r\n"
    u"/?\t\tThis help window.\r\n"
    u"\r\n"
    u"Extendes Flags\r\n"
    u"\r\n"
    u"/keep-owner\tWill keep file owner of source file\r\n"
    u"/keep-dacl\tWill keep file discretionary access control list of source file\r\n"
    u"/silent\t\tSilent mode. Do not display anything, do not create console, do not use console\r\n"
    u"/log=<file>\tLog messages in file\r\n"
    u"/loglevel=<level>\tLevel 1 will create more log messages for debugging purpose\r\n"
    u"\r\n"
    u"Private Flags (no public support)\r\n"
    u"\r\n"
    u"/private.owner-from-prefix\r\n"
    u"/private.user-translation-table\r\n"
    u"\r\n"
    u"Example:\r\n"
    u"\r\n"
    u"morfex *.xml /scs=ansi /dcs=utf-16 /xml /output=c:\\converted /move\r\n"
    u"\r\n"
    u"Valid character sets are\r\n"
    u"\r\n"
    u"%sUTF-8, UTF-16, UTF-16BE\r\n"
    u"\r\n"
    u"Exit codes are:\r\n"
    u"\r\n"
    u"0\t\tConversion was sucessfull\r\n"
    u"1\t\tConversion was not sucessfull (write error)\r\n"
    u"2\t\tSource file read error (file not found)\r\n"
    u"3\t\tInvalid argument: Source can not be a directory. Use wildcards like drive:\\dir\\*.txt instead!\r\n"
    u"4\t\tInvalid argument: Wildcards are not allowed here.\r\n"
    u"5\t\tInvalid argument: File as destination for multiple source files are not allowed!\r\n"
    u"6\t\tInvalid argument: Character set is unknown.\r\n"
    u"-1\t\tOut of memory\r\n"
    u"7\t\tSource left unchanged to protect its content (text the destination cannot hold, not a text file, or changed "
    u"while it was converted)\r\n"
    u"8\t\tInvalid argument: Unknown option or option value.\r\n"
    u"\r\n"
    u"As a Unix tool:\r\n"
    u"\r\n"
    u"morfex - [flags]\r\n"
    u"\t\tConverts standard input to standard output; the messages go to standard error.\r\n"
    u"morfex <file> /output=- [flags]\r\n"
    u"\t\tConverts one file to standard output. A file named - is ./-\r\n"
    u"morfex <source> <source> ... [flags]\r\n"
    u"\t\tConverts several files or quoted patterns in turn, the flags before, between or after them;\r\n"
    u"\t\t/output= must then be an existing directory.\r\n"
    u"morfex --list\r\n"
    u"\t\tLists every character set with its other names.\r\n"
    u"morfex -h | --help | --version\r\n"
    u"\t\tPrints this text, or the version.\r\n"
    u"\r\n"
    u"Flags that protect the content of files:\r\n"
    u"\r\n"
    u"/lossy\t\tConvert also where text would be lost, in place and with /move too\r\n"
    u"/strict\t\tConvert nothing that would lose text, not even into a new file\r\n"
    u"/binary\t\tConvert files that are not text (binary data) too\r\n"
    u"/info\t\tConvert nothing: report each source's set, line breaks and more, as a table\r\n"
    u"/info=json\tThe same report as JSON Lines, one object a line\r\n"
    u"\r\n"
    u"/jobs=<n>\tConvert n files at once, 1 to 256 (default: one per processor core)\r\n";

bool GetVersionString(std::u16string_view key, std::u16string& value, std::size_t capacity) {
  const bool found = platform::ReadVersionString(key, value);
  value.resize(std::min(value.size(), capacity == 0 ? 0 : capacity - 1));
  return found;
}

std::u16string DottedVersion() { return u"" GLYPHSHIFT_DOTTED_VERSION; }

std::u16string BuildUsageText(std::u16string_view versionText, std::u16string_view charsetList) {
  // The format holds exactly two "%s" and no other specifier, so the two substitutions are
  // all the formatting it needs.
  const std::u16string_view fills[] = {versionText, charsetList};
  std::u16string text;
  text.reserve(kUsageFormat.size() + versionText.size() + charsetList.size());
  std::size_t pos = 0;
  for (const std::u16string_view fill : fills) {
    const std::size_t at = kUsageFormat.find(u"%s", pos);
    text.append(kUsageFormat.substr(pos, at - pos));
    text.append(fill);
    pos = at + 2;
  }
  text.append(kUsageFormat.substr(pos));
  if (text.size() > kMaxUsageTextLength) text.resize(kMaxUsageTextLength);
  return text;
}

std::u16string WithLineFeeds(std::u16string_view text) {
  std::u16string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
    result.push_back(text[i]);
  }
  return result;
}

}  // namespace glyphshift
