// The one print path of the run: Windows-style printf formats to standard output
// (messages) or standard error (diagnostics of the security operations).
//
// Specifiers, as the Windows runtime's wide formatted output reads them:
//   %s  wide string (std::u16string_view / const char16_t*)    %S  narrow string (const char*)
//   %d  32-bit signed   %02d  at least two digits, zero padded   %I64d  64-bit signed
//   %04X %04x  at least four hex digits   %#x  hex with 0x prefix (0 prints as 0)   %%  a percent sign
// Nothing else: any other specifier is a mistake in the format.
//
// A literal format is checked against the argument types at compile time:
//   PrintMessage(u"%d file(s) failed\n", count);   // count must be a 32-bit integer
// A format chosen at run time (a std::u16string_view or std::u16string) is checked while printing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "messages/results.h"
#include "platform/streams.h"
#include "platform/sys_error.h"

namespace glyphshift {

// A file name, a path, or another name that comes from outside the program (an account, a set
// name someone typed): printed as "%s" with its control characters and invalid UTF-8 escaped
// ("\n", "\x1b", "\xff"), so that no name can forge a message line or drive a terminal. Every
// other character, non-ASCII ones included, prints as it is.
struct PrintedName {
  std::u16string_view text;
  PrintedName(std::u16string_view name) : text(name) {}
  PrintedName(const std::u16string& name) : text(name) {}
  PrintedName(const char16_t* name) : text(name ? name : u"") {}
};

// One formatting argument; the formatter checks it against its specifier.
class FormatArg {
 public:
  enum class Kind { Wide, Narrow, Int32, Int64 };
  FormatArg(PrintedName name) : kind_(Kind::Wide), wide_(name.text), escaped_(true) {}
  FormatArg(std::u16string_view s) : kind_(Kind::Wide), wide_(s) {}
  FormatArg(const std::u16string& s) : kind_(Kind::Wide), wide_(s) {}
  FormatArg(const char16_t* s) : kind_(Kind::Wide), wide_(s ? s : u"") {}
  FormatArg(const char* s) : kind_(Kind::Narrow), narrow_(s ? s : "") {}
  FormatArg(const std::string& s) : kind_(Kind::Narrow), narrow_(s) {}
  FormatArg(std::string_view s) : kind_(Kind::Narrow), narrow_(s) {}
  FormatArg(std::int32_t v) : kind_(Kind::Int32), int_(v) {}
  FormatArg(std::uint32_t v) : kind_(Kind::Int32), int_(static_cast<std::int32_t>(v)) {}
  FormatArg(std::int64_t v) : kind_(Kind::Int64), int_(v) {}
  FormatArg(Result r) : kind_(Kind::Int32), int_(Code(r)) {}
  Kind ArgKind() const { return kind_; }
  std::u16string_view Wide() const { return wide_; }
  bool Escaped() const { return escaped_; }  // a PrintedName
  std::string_view Narrow() const { return narrow_; }
  std::int64_t Integer() const { return int_; }

 private:
  Kind kind_;
  std::u16string_view wide_;
  std::string_view narrow_;
  std::int64_t int_ = 0;
  bool escaped_ = false;
};

namespace format_detail {

enum class Conversion {
  Percent,
  Wide,
  Narrow,
  Decimal,
  Decimal2,
  Decimal64,
  Hex4Upper,
  Hex4Lower,
  HexPrefixed,
  Unknown
};

struct Specifier {
  Conversion conversion;
  std::size_t length;  // characters after the '%'
};

// The specifier at the start of `rest` (the text after a '%'). Shared by the compile-time check
// and the formatter, so both read a format the same way.
constexpr Specifier ReadSpecifier(std::u16string_view rest) {
  struct Known {
    std::u16string_view text;
    Conversion conversion;
  };
  constexpr Known kKnown[] = {
      {u"%", Conversion::Percent},     {u"s", Conversion::Wide},        {u"S", Conversion::Narrow},
      {u"d", Conversion::Decimal},     {u"02d", Conversion::Decimal2},  {u"I64d", Conversion::Decimal64},
      {u"04X", Conversion::Hex4Upper}, {u"04x", Conversion::Hex4Lower}, {u"#x", Conversion::HexPrefixed},
  };
  for (const Known& known : kKnown) {
    if (rest.starts_with(known.text)) return {known.conversion, known.text.size()};
  }
  return {Conversion::Unknown, 0};
}

// The argument kind a conversion takes; Percent and Unknown take none.
constexpr bool TakesArgument(Conversion c) { return c != Conversion::Percent && c != Conversion::Unknown; }
constexpr FormatArg::Kind ArgumentKind(Conversion c) {
  switch (c) {
    case Conversion::Wide: return FormatArg::Kind::Wide;
    case Conversion::Narrow: return FormatArg::Kind::Narrow;
    case Conversion::Decimal64: return FormatArg::Kind::Int64;
    default: return FormatArg::Kind::Int32;
  }
}

// The kind FormatArg gives a T: these declarations mirror its constructors, so overload
// resolution picks the same one (a test holds them together).
std::integral_constant<FormatArg::Kind, FormatArg::Kind::Wide> KindTag(PrintedName);
std::integral_constant<FormatArg::Kind, FormatArg::Kind::Wide> KindTag(std::u16string_view);
std::integral_constant<FormatArg::Kind, FormatArg::Kind::Wide> KindTag(const std::u16string&);
std::integral_constant<FormatArg::Kind, FormatArg::Kind::Wide> KindTag(const char16_t*);
std::integral_constant<FormatArg::Kind, FormatArg::Kind::Narrow> KindTag(const char*);
std::integral_constant<FormatArg::Kind, FormatArg::Kind::Narrow> KindTag(const std::string&);
std::integral_constant<FormatArg::Kind, FormatArg::Kind::Narrow> KindTag(std::string_view);
std::integral_constant<FormatArg::Kind, FormatArg::Kind::Int32> KindTag(std::int32_t);
std::integral_constant<FormatArg::Kind, FormatArg::Kind::Int32> KindTag(std::uint32_t);
std::integral_constant<FormatArg::Kind, FormatArg::Kind::Int64> KindTag(std::int64_t);
std::integral_constant<FormatArg::Kind, FormatArg::Kind::Int32> KindTag(Result);
template <class T>
inline constexpr FormatArg::Kind kKindOf = decltype(KindTag(std::declval<const T&>()))::value;

// True when every specifier is one of ours and the arguments match them in number and kind.
template <std::size_t N>
constexpr bool FormatFits(std::u16string_view format, const std::array<FormatArg::Kind, N>& kinds) {
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%') continue;
    const Specifier specifier = ReadSpecifier(format.substr(i + 1));
    if (specifier.conversion == Conversion::Unknown) return false;
    if (TakesArgument(specifier.conversion) && (next == N || kinds[next++] != ArgumentKind(specifier.conversion)))
      return false;
    i += specifier.length;
  }
  return next == N;
}

// Not constexpr on purpose: reaching it during constant evaluation is the compile error.
void FormatDoesNotMatchItsArguments();

}  // namespace format_detail

// A format string for arguments of the types Args. A literal is checked while compiling; a
// string chosen at run time is taken as it is and checked by FormatText.
template <class... Args>
class CheckedFormat {
 public:
  template <std::size_t N>
  consteval CheckedFormat(const char16_t (&text)[N]) : text_(text, N - 1) {
    if (!format_detail::FormatFits(text_,
                                   std::array<FormatArg::Kind, sizeof...(Args)>{format_detail::kKindOf<Args>...}))
      format_detail::FormatDoesNotMatchItsArguments();
  }
  CheckedFormat(std::u16string_view text) : text_(text) {}
  CheckedFormat(const std::u16string& text) : text_(text) {}
  std::u16string_view Text() const { return text_; }

 private:
  std::u16string_view text_;
};

// Appends `name` with the characters a message line may not carry from a name escaped: C0 and
// C1 controls and DEL ("\n", "\r", "\t", else "\x1b" or "\u0085"), the line and paragraph
// separators and the bidirectional controls, which reorder what a reader sees ("\u202e"), and
// lone surrogates: a byte of invalid UTF-8 (U+DC80..U+DCFF) as "\xff", any other as "\ud800".
void AppendEscapedName(std::u16string& out, std::u16string_view name);

// Formats with the conventions above. A specifier whose argument is missing or of the wrong
// kind, and a specifier not listed above, is written as "<?>" (and fails an assertion in debug
// builds), never undefined behaviour. Narrow strings are read as native text (UTF-8).
std::u16string FormatText(std::u16string_view format, std::initializer_list<FormatArg> args);

template <class... Args>
void PrintMessage(CheckedFormat<std::type_identity_t<Args>...> format, const Args&... args);
template <class... Args>
void PrintDiagnostic(CheckedFormat<std::type_identity_t<Args>...> format, const Args&... args);

// The system's text for an error, or "error <code>" and a line break when it has none.
std::u16string ReasonOf(const platform::SysError& error);

// Reports a failed allocation as a run reports a failed step: "Error: " and the text, without a
// line break.
void PrintOutOfMemory();

void PrintMessageText(std::u16string_view text);     // standard output
void PrintDiagnosticText(std::u16string_view text);  // standard error

// A text printed while messages are held, and the stream it is for.
struct HeldText {
  platform::StdStream stream;
  std::u16string text;
};

// While it lives, everything printed is held back instead of written, to be released in the
// order it was printed: a batch of converted files is completed after later files were already
// converted, and the lines must still come in the order of the files. Does nothing where
// another one is already holding.
class CHeldMessages {
 public:
  CHeldMessages();
  ~CHeldMessages();  // writes what is still held
  CHeldMessages(const CHeldMessages&) = delete;
  CHeldMessages& operator=(const CHeldMessages&) = delete;

  // A place in the held texts: everything printed so far.
  std::size_t Mark() const;
  // Writes the held texts up to `mark`.
  void ReleaseUntil(std::size_t mark);
  // Runs `print` with its texts written at once, at the place released so far.
  void PrintThrough(const std::function<void()>& print);
  // Forgets what is held past the release point: lines of files a failed run never reached.
  void Drop();

 private:
  std::vector<HeldText> texts_;
  bool active_ = false;
};

// While it lives, everything this thread prints is kept in `into` instead, in order: a file
// converted on a worker thread, whose lines the run prints in the file's turn (PrintHeldTexts).
class CCapturedMessages {
 public:
  explicit CCapturedMessages(std::vector<HeldText>& into);
  ~CCapturedMessages();
  CCapturedMessages(const CCapturedMessages&) = delete;
  CCapturedMessages& operator=(const CCapturedMessages&) = delete;

 private:
  std::vector<HeldText>* previous_;
};

// Prints texts a capture kept, as if they were printed now.
void PrintHeldTexts(const std::vector<HeldText>& texts);

// A text of the catalogue (messages/catalogue.h) for arguments of the types Args.
template <class... Args>
struct Message {
  CheckedFormat<Args...> format;
};

// A catalogue text with its arguments: to standard output, to standard error, or as a string
// (for a message box or a line written elsewhere).
template <class... Args>
void Print(const Message<Args...>& message, const std::type_identity_t<Args>&... args) {
  PrintMessageText(FormatText(message.format.Text(), {FormatArg(args)...}));
}
template <class... Args>
void PrintToError(const Message<Args...>& message, const std::type_identity_t<Args>&... args) {
  PrintDiagnosticText(FormatText(message.format.Text(), {FormatArg(args)...}));
}
template <class... Args>
std::u16string Format(const Message<Args...>& message, const std::type_identity_t<Args>&... args) {
  return FormatText(message.format.Text(), {FormatArg(args)...});
}

template <class... Args>
void PrintMessage(CheckedFormat<std::type_identity_t<Args>...> format, const Args&... args) {
  PrintMessageText(FormatText(format.Text(), {FormatArg(args)...}));
}
template <class... Args>
void PrintDiagnostic(CheckedFormat<std::type_identity_t<Args>...> format, const Args&... args) {
  PrintDiagnosticText(FormatText(format.Text(), {FormatArg(args)...}));
}

}  // namespace glyphshift
