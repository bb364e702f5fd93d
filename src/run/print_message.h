// The one print path of the run: Windows-style printf formats to standard output
// (messages) or standard error (diagnostics of the security operations).
//
// Specifiers, as the Windows runtime's wide formatted output reads them:
//   %s  wide string (std::u16string_view / const char16_t*)    %S  narrow string (const char*)
//   %d  32-bit signed   %02d  at least two digits, zero padded   %I64d  64-bit signed
//   %04X %04x  at least four hex digits   %#x  hex with 0x prefix (0 prints as 0)   %%  a percent sign
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace glyphshift {

// One formatting argument; the formatter checks it against its specifier.
class FormatArg {
 public:
  enum class Kind { Wide, Narrow, Int32, Int64 };
  FormatArg(std::u16string_view s) : kind_(Kind::Wide), wide_(s) {}
  FormatArg(const std::u16string& s) : kind_(Kind::Wide), wide_(s) {}
  FormatArg(const char16_t* s) : kind_(Kind::Wide), wide_(s ? s : u"") {}
  FormatArg(const char* s) : kind_(Kind::Narrow), narrow_(s ? s : "") {}
  FormatArg(std::int32_t v) : kind_(Kind::Int32), int_(v) {}
  FormatArg(std::uint32_t v) : kind_(Kind::Int32), int_(static_cast<std::int32_t>(v)) {}
  FormatArg(std::int64_t v) : kind_(Kind::Int64), int_(v) {}
  Kind kind() const { return kind_; }
  std::u16string_view wide() const { return wide_; }
  std::string_view narrow() const { return narrow_; }
  std::int64_t integer() const { return int_; }

 private:
  Kind kind_;
  std::u16string_view wide_;
  std::string_view narrow_;
  std::int64_t int_ = 0;
};

// Formats with the conventions above. A specifier whose argument is missing or of the wrong
// kind is written as "<?>" (and is a test failure in debug builds), never undefined behaviour.
std::u16string FormatText(std::u16string_view format, std::initializer_list<FormatArg> args);

template <class... Args>
void PrintMessage(std::u16string_view format, const Args&... args);
template <class... Args>
void PrintDiagnostic(std::u16string_view format, const Args&... args);

void PrintMessageText(std::u16string_view text);     // standard output
void PrintDiagnosticText(std::u16string_view text);  // standard error

template <class... Args>
void PrintMessage(std::u16string_view format, const Args&... args) {
  PrintMessageText(FormatText(format, {FormatArg(args)...}));
}
template <class... Args>
void PrintDiagnostic(std::u16string_view format, const Args&... args) {
  PrintDiagnosticText(FormatText(format, {FormatArg(args)...}));
}

}  // namespace glyphshift
