#include "messages/print_message.h"

#include <functional>
#include <vector>

#include <cassert>

#include "messages/catalogue.h"
#include "platform/native_text.h"
#include "platform/streams.h"

namespace glyphshift {

namespace {

using format_detail::Conversion;

constexpr char16_t kMismatch[] = u"<?>";

void AppendDecimal(std::u16string& out, std::int64_t value, std::size_t minDigits) {
  // Through the unsigned magnitude, so the most negative value has a positive twin.
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char16_t digits[20];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) out += u'-';
  // As printf counts the width: the sign takes one of the places ("%02d" of -5 is "-5").
  const std::size_t width = count + (value < 0 ? 1 : 0);
  for (std::size_t w = width; w < minDigits; ++w) out += u'0';
  while (count > 0) out += digits[--count];
}

void AppendHex(std::u16string& out, std::uint32_t value, std::size_t minDigits, bool upper) {
  const char16_t* alphabet = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
  char16_t digits[8];
  std::size_t count = 0;
  do {
    digits[count++] = alphabet[value & 0xF];
    value >>= 4;
  } while (value != 0);
  for (std::size_t w = count; w < minDigits; ++w) out += u'0';
  while (count > 0) out += digits[--count];
}

void AppendArgument(std::u16string& out, Conversion conversion, const FormatArg& arg) {
  const auto as32 = static_cast<std::uint32_t>(arg.Integer());  // hex shows the 32-bit pattern
  switch (conversion) {
    case Conversion::Wide:
      if (arg.Escaped()) {
        AppendEscapedName(out, arg.Wide());
      } else {
        out += arg.Wide();
      }
      break;
    case Conversion::Narrow: out += platform::FromNative(arg.Narrow()); break;
    case Conversion::Decimal: AppendDecimal(out, arg.Integer(), 1); break;
    case Conversion::Decimal2: AppendDecimal(out, arg.Integer(), 2); break;
    case Conversion::Decimal64: AppendDecimal(out, arg.Integer(), 1); break;
    case Conversion::Hex4Upper: AppendHex(out, as32, 4, true); break;
    case Conversion::Hex4Lower: AppendHex(out, as32, 4, false); break;
    case Conversion::HexPrefixed:
      // The alternate form adds no prefix to 0, as printf's does.
      if (as32 != 0) out += u"0x";
      AppendHex(out, as32, 1, false);
      break;
    case Conversion::Percent:
    case Conversion::Unknown: break;
  }
}

constexpr bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Characters of Unicode's Bidi_Control property: they reorder the text around them on screen,
// so a name holding one can show as another name.
constexpr bool IsBidiControl(char16_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

void AppendEscapedName(std::u16string& out, std::u16string_view name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (IsHighSurrogate(c) && i + 1 < name.size() && IsLowSurrogate(name[i + 1])) {
      out += c;
      out += name[++i];
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out += u"\\x";  // a byte that is no UTF-8, as the platform carries it (native_text.h)
      AppendHex(out, c - 0xDC00u, 2, false);
    } else if (c == u'\n' || c == u'\r' || c == u'\t') {
      out += u'\\';
      out += c == u'\n' ? u'n' : c == u'\r' ? u'r' : u't';
    } else if (c < 0x20 || c == 0x7F) {
      out += u"\\x";
      AppendHex(out, c, 2, false);
    } else if ((c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || IsBidiControl(c) || IsHighSurrogate(c) ||
               IsLowSurrogate(c)) {
      out += u"\\u";
      AppendHex(out, c, 4, false);
    } else {
      out += c;
    }
  }
}

std::u16string FormatText(std::u16string_view format, std::initializer_list<FormatArg> args) {
  std::u16string out;
  out.reserve(format.size() + 16 * args.size());
  const FormatArg* next = args.begin();
  bool matched = true;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%') {
      out += format[i];
      continue;
    }
    const format_detail::Specifier specifier = format_detail::ReadSpecifier(format.substr(i + 1));
    i += specifier.length;
    if (specifier.conversion == Conversion::Percent) {
      out += u'%';
    } else if (specifier.conversion == Conversion::Unknown) {
      out += kMismatch;  // takes no argument: the ones after it keep their places
      matched = false;
    } else if (next == args.end() || next->ArgKind() != format_detail::ArgumentKind(specifier.conversion)) {
      out += kMismatch;
      matched = false;
      if (next != args.end()) ++next;
    } else {
      AppendArgument(out, specifier.conversion, *next++);
    }
  }
  assert(matched && next == args.end() && "format does not match its arguments");
  (void)matched;
  return out;
}

namespace {

// Texts held back while a batch of files waits for its flush, in the order they were printed.
// Each thread holds its own: a file converted by a worker keeps its lines until the run prints
// them in the file's turn.
thread_local std::vector<HeldText>* gHeld = nullptr;
thread_local std::size_t gReleased = 0;  // held texts already written

void Write(platform::StdStream stream, std::u16string_view text) {
  if (gHeld != nullptr) {
    gHeld->push_back({stream, std::u16string(text)});
    return;
  }
  platform::WriteText(stream, text);
}

}  // namespace

void PrintMessageText(std::u16string_view text) { Write(platform::StdStream::Output, text); }

std::u16string ReasonOf(const platform::SysError& error) {
  std::u16string reason = platform::ErrorText(error.code);
  if (reason.empty()) reason = Format(msg::kUnnamedError, error.code);
  return reason;
}

void PrintOutOfMemory() { Print(msg::kOutOfMemory, msg::kOutOfMemoryText); }

void PrintDiagnosticText(std::u16string_view text) { Write(platform::StdStream::Error, text); }

CHeldMessages::CHeldMessages() {
  if (gHeld == nullptr) {
    gHeld = &texts_;
    gReleased = 0;
    active_ = true;
  }
}

CHeldMessages::~CHeldMessages() {
  if (!active_) return;
  ReleaseUntil(texts_.size());
  gHeld = nullptr;
}

std::size_t CHeldMessages::Mark() const { return texts_.size(); }

void CHeldMessages::ReleaseUntil(std::size_t mark) {
  if (!active_) return;
  for (; gReleased < mark && gReleased < texts_.size(); ++gReleased) {
    platform::WriteText(texts_[gReleased].stream, texts_[gReleased].text);
  }
}

void CHeldMessages::Drop() {
  if (active_) texts_.resize(gReleased);
}

CCapturedMessages::CCapturedMessages(std::vector<HeldText>& into) : previous_(gHeld) { gHeld = &into; }

CCapturedMessages::~CCapturedMessages() { gHeld = previous_; }

void PrintHeldTexts(const std::vector<HeldText>& texts) {
  for (const HeldText& held : texts) Write(held.stream, held.text);
}

void CHeldMessages::PrintThrough(const std::function<void()>& print) {
  if (!active_) {
    print();
    return;
  }
  // Written at once: everything before the release point is out, everything after it is to follow.
  gHeld = nullptr;
  print();
  gHeld = &texts_;
}

}  // namespace glyphshift
