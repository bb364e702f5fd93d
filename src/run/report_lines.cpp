#include "run/report_lines.h"

#include <algorithm>

#include "engine/charset_catalogue.h"
#include "messages/print_message.h"

namespace glyphshift {
namespace {

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

constexpr std::u16string_view kGap = u"  ";
constexpr std::u16string_view kNone = u"-";
constexpr std::size_t kFoundByWidth = 11;  // "UTF-8 rules"
constexpr std::size_t kTextWidth = 6;      // "binary"
constexpr std::size_t kCountWidth = 10;    // line breaks of a file of 10 GB
constexpr std::size_t kBomWidth = 3;
constexpr std::size_t kUndecodableWidth = 11;  // its heading
constexpr std::size_t kDeclarationWidth = 26;  // xml and html, each with a usual set name; longer is cut
constexpr std::size_t kPercentWidth = 5;       // " 100%"

// The longest name among the sets the program converts: the set columns fit every one.
std::size_t SetWidth() {
  static const std::size_t width = [] {
    std::size_t longest = 0;
    for (const CharsetRecord& record : CharsetCatalogue()) {
      if (const char16_t* name = CharsetNameFromCode(record.code)) {
        longest = std::max(longest, std::u16string_view(name).size());
      }
    }
    return longest;
  }();
  return width;
}

std::u16string Decimal(std::uint64_t value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

// Left-aligned in `width`, then the gap; a longer text pushes the rest of its row along.
void Column(std::u16string& out, std::u16string_view text, std::size_t width) {
  out += text;
  if (text.size() < width) out.append(width - text.size(), u' ');
  out += kGap;
}

void NumberColumn(std::u16string& out, std::u16string_view text, std::size_t width) {
  if (text.size() < width) out.append(width - text.size(), u' ');
  out += text;
  out += kGap;
}

// How a set was found, as the table shows it and as the JSON key's value.
struct FoundByNames {
  std::u16string_view text;
  std::u16string_view key;
};

FoundByNames NamesOf(FoundBy foundBy) {
  switch (foundBy) {
    case FoundBy::ByteOrderMark: return {u"BOM", u"bom"};
    case FoundBy::ZeroBytes: return {u"zero bytes", u"zero-bytes"};
    case FoundBy::Utf8Rules: return {u"UTF-8 rules", u"utf-8"};
    case FoundBy::Fallback: return {u"fallback", u"fallback"};
    case FoundBy::Model: return {u"model", u"model"};
    case FoundBy::Declaration: return {u"declaration", u"declaration"};
    case FoundBy::Given: return {u"/scs=", u"scs"};
  }
  return {kNone, u""};
}

// A declared name as the table shows it: escaped, and "..." where it was cut.
std::u16string Declared(std::u16string_view kind, const DeclaredCharset& declared) {
  std::u16string text(kind);
  text += u':';
  AppendEscapedName(text, declared.name);
  if (declared.cut) text += u"...";
  return text;
}

std::u16string Declarations(const SourceSurvey& survey) {
  std::u16string text;
  if (survey.xml.found) text = Declared(u"xml", survey.xml);
  if (survey.html.found) {
    if (!text.empty()) text += u' ';
    text += Declared(u"html", survey.html);
  }
  if (text.empty()) return std::u16string(kNone);
  // The whole value is in the JSON form; here it must not push the names out of line.
  if (text.size() > kDeclarationWidth) {
    std::size_t keep = kDeclarationWidth - 3;
    if (IsHigh(text[keep - 1])) --keep;  // never half a pair
    text.replace(keep, std::u16string::npos, u"...");
  }
  return text;
}

std::u16string_view NotInHeading() { return u"Not in "; }

std::size_t NotInWidth(const std::u16string& destination) {
  return std::max(kCountWidth, NotInHeading().size() + destination.size());
}

// The JSON object's members, in order, each after the one before.
class CJsonObject {
 public:
  CJsonObject() { text_ = u"{"; }
  void String(std::u16string_view key, std::u16string_view value) {
    Key(key);
    AppendJsonString(text_, value);
  }
  void Number(std::u16string_view key, std::uint64_t value) {
    Key(key);
    text_ += Decimal(value);
  }
  void Boolean(std::u16string_view key, bool value) {
    Key(key);
    text_ += value ? u"true" : u"false";
  }
  void Null(std::u16string_view key) {
    Key(key);
    text_ += u"null";
  }
  std::u16string Line() { return text_ + u"}\n"; }

 private:
  void Key(std::u16string_view key) {
    if (text_.size() > 1) text_ += u',';
    AppendJsonString(text_, key);
    text_ += u':';
  }
  std::u16string text_;
};

void DeclarationMember(CJsonObject& json, std::u16string_view key, const DeclaredCharset& declared) {
  if (!declared.found) return json.Null(key);
  json.String(key, declared.cut ? declared.name + u"..." : declared.name);
}

void AppendHexUnit(std::u16string& out, char16_t unit) {
  constexpr char16_t kDigits[] = u"0123456789abcdef";
  out += u"\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(unit >> shift) & 0xF];
}

}  // namespace

void AppendJsonString(std::u16string& out, std::u16string_view text) {
  out += u'"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
      out += c;
      out += text[++i];
    } else if (c == u'"' || c == u'\\') {
      out += u'\\';
      out += c;
    } else if (c == u'\n') {
      out += u"\\n";
    } else if (c == u'\r') {
      out += u"\\r";
    } else if (c == u'\t') {
      out += u"\\t";
    } else if (c < 0x20 || c == 0x7F || IsHigh(c) || IsLow(c)) {
      AppendHexUnit(out, c);
    } else {
      out += c;
    }
  }
  out += u'"';
}

std::u16string ReportTableHeader(const std::optional<std::u16string>& destination) {
  const std::size_t set = SetWidth();
  std::u16string out;
  Column(out, u"Set", set);
  Column(out, u"Found by", kFoundByWidth);
  Column(out, u"Model", set + kPercentWidth);
  Column(out, u"Runner-up", set);
  Column(out, u"Text", kTextWidth);
  NumberColumn(out, u"CR LF", kCountWidth);
  NumberColumn(out, u"LF", kCountWidth);
  NumberColumn(out, u"CR", kCountWidth);
  Column(out, u"BOM", kBomWidth);
  NumberColumn(out, u"Undecodable", kUndecodableWidth);
  Column(out, u"Declaration", kDeclarationWidth);
  if (destination) NumberColumn(out, std::u16string(NotInHeading()) + *destination, NotInWidth(*destination));
  out += u"Name\n";
  return out;
}

std::u16string ReportTableRow(const ReportEntry& entry) {
  const std::size_t set = SetWidth();
  std::u16string out;
  Column(out, entry.charset, set);
  Column(out, NamesOf(entry.foundBy).text, kFoundByWidth);
  if (entry.model) {
    const std::u16string percent = u" " + Decimal(static_cast<std::uint64_t>(entry.model->confidence)) + u"%";
    Column(out, entry.model->charset + percent, set + kPercentWidth);
    Column(out, entry.model->runnerUp.empty() ? kNone : entry.model->runnerUp, set);
  } else {
    Column(out, kNone, set + kPercentWidth);
    Column(out, kNone, set);
  }
  if (const std::optional<SourceSurvey>& survey = entry.survey) {
    Column(out, survey->binaryAt ? u"binary" : u"text", kTextWidth);
    NumberColumn(out, Decimal(survey->lineBreaks.crLf), kCountWidth);
    NumberColumn(out, Decimal(survey->lineBreaks.lf), kCountWidth);
    NumberColumn(out, Decimal(survey->lineBreaks.cr), kCountWidth);
    Column(out, survey->byteOrderMark ? u"yes" : u"no", kBomWidth);
    NumberColumn(out, Decimal(survey->undecodable), kUndecodableWidth);
    Column(out, Declarations(*survey), kDeclarationWidth);
    if (entry.destination) NumberColumn(out, Decimal(survey->unencodable), NotInWidth(*entry.destination));
  } else {
    Column(out, kNone, kTextWidth);
    for (int i = 0; i < 3; ++i) NumberColumn(out, kNone, kCountWidth);
    Column(out, kNone, kBomWidth);
    NumberColumn(out, kNone, kUndecodableWidth);
    Column(out, kNone, kDeclarationWidth);
    if (entry.destination) NumberColumn(out, kNone, NotInWidth(*entry.destination));
  }
  AppendEscapedName(out, entry.name);
  out += u'\n';
  return out;
}

std::u16string ReportJsonLine(const ReportEntry& entry) {
  CJsonObject json;
  json.String(u"name", entry.name);
  json.String(u"charset", entry.charset);
  json.Boolean(u"convertible", entry.convertible);
  json.String(u"found_by", NamesOf(entry.foundBy).key);
  if (entry.model) {
    json.String(u"model", entry.model->charset);
    json.Number(u"confidence", static_cast<std::uint64_t>(entry.model->confidence));
    if (entry.model->runnerUp.empty()) {
      json.Null(u"runner_up");
    } else {
      json.String(u"runner_up", entry.model->runnerUp);
    }
  } else {
    for (const std::u16string_view key : {u"model", u"confidence", u"runner_up"}) json.Null(key);
  }
  const std::optional<SourceSurvey>& survey = entry.survey;
  if (survey) {
    json.Number(u"size", survey->size);
    json.Boolean(u"text", !survey->binaryAt);
    if (survey->binaryAt) {
      json.Number(u"binary_at", *survey->binaryAt);
    } else {
      json.Null(u"binary_at");
    }
    json.Number(u"crlf", survey->lineBreaks.crLf);
    json.Number(u"lf", survey->lineBreaks.lf);
    json.Number(u"cr", survey->lineBreaks.cr);
    json.Boolean(u"bom", survey->byteOrderMark);
    json.Number(u"undecodable", survey->undecodable);
    DeclarationMember(json, u"xml_encoding", survey->xml);
    DeclarationMember(json, u"html_charset", survey->html);
  } else {
    for (const std::u16string_view key : {u"size", u"text", u"binary_at", u"crlf", u"lf", u"cr", u"bom", u"undecodable",
                                          u"xml_encoding", u"html_charset"}) {
      json.Null(key);
    }
  }
  if (entry.destination) {
    json.String(u"destination", *entry.destination);
  } else {
    json.Null(u"destination");
  }
  if (entry.destination && survey) {
    json.Number(u"unrepresentable", survey->unencodable);
  } else {
    json.Null(u"unrepresentable");
  }
  return json.Line();
}

}  // namespace glyphshift
