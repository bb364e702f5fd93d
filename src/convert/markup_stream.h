// Rewriting markup charset declarations in a text that arrives in pieces, with the results of
// RewriteCharsetDeclarations over the whole text. The scanner passes every unit on as soon as it
// has seen it and holds nothing but the first characters of the current tag and attribute
// names: when a value turns out to need rewriting (at its closing quote), what was passed on
// since the value's start (or since its "charset=") is taken back from the output and the name
// written instead. So memory stays the same for a value of any length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace glyphshift {

// Where the scanner passes the units on: the encoder and its output.
class CUnitSink {
 public:
  virtual ~CUnitSink() = default;
  virtual void Emit(const char16_t* units, std::size_t count) = 0;
  // A place in the output after everything emitted so far.
  virtual std::uint64_t Mark() = 0;
  // Takes back everything emitted since `mark`.
  virtual void Rewind(std::uint64_t mark) = 0;
};

// Told about each value the scanner replaces, before it is replaced: a report reads what the
// declarations name without rewriting anything.
class CDeclarationListener {
 public:
  virtual ~CDeclarationListener() = default;
  // `value`: its first units (at most CMarkupStream::kValueKept); `cut`: the value is longer.
  virtual void Found(bool xml, std::u16string_view value, bool cut) = 0;
};

class CMarkupStream {
 public:
  // Units of a value kept for the listener: more than any set name has.
  static constexpr std::size_t kValueKept = 64;

  // `name` (and `listener`, when given) must outlive the scanner.
  CMarkupStream(std::u16string_view name, bool modifyXml, bool modifyHtml, CDeclarationListener* listener = nullptr);
  // Scans `count` units and passes them on.
  void Process(const char16_t* units, std::size_t count, CUnitSink& sink);

 private:
  // The first characters of a name, enough to compare it with the longest keyword.
  struct Name {
    static constexpr std::size_t kKept = 11;
    std::uint64_t start = kUnset;
    std::uint64_t end = kUnset;
    char16_t kept[kKept] = {};
    std::size_t keptCount = 0;
    void Forget() { start = end = kUnset, keptCount = 0; }
    void Keep(char16_t unit) {
      if (start != kUnset && end == kUnset && keptCount < kKept) kept[keptCount++] = unit;
    }
    bool Matches(std::u16string_view keyword) const;
  };
  enum class State { Text, Tag, EndTag, ProcessingInstruction, MarkupDeclaration, Comment };
  // What a value being read may turn into.
  enum class Candidate { None, XmlEncoding, HtmlContent };

  static constexpr std::uint64_t kUnset = ~std::uint64_t{0};

  void ApplyStateRules(char16_t c);
  void EndMarkup();
  void ForgetTag();
  void ForgetAttribute();
  // True when `c` closed a quoted attribute value.
  bool Collect(char16_t c);
  // The checks of a complete attribute; true when the value was replaced.
  bool CheckAttribute(CUnitSink& sink);
  void StartValue(CUnitSink& sink, const char16_t* units, std::size_t index, std::size_t& emitted);
  void TrackCharset(char16_t c, CUnitSink& sink, const char16_t* units, std::size_t index, std::size_t& emitted);
  bool ShouldStop() const;

  void StartKeeping();

  const std::u16string_view name_;
  const bool modifyXml_;
  const bool modifyHtml_;
  CDeclarationListener* const listener_;
  char16_t value_[kValueKept] = {};  // the value being replaced, for the listener
  std::size_t valueKept_ = 0;
  bool valueCut_ = false;
  std::uint64_t valueFrom_ = kUnset;

  bool stopped_ = false;
  std::uint64_t position_ = 0;
  char16_t previous_ = u' ';
  State state_ = State::Text;
  Name tag_;
  Name attribute_;
  std::uint64_t valueStart_ = kUnset;
  Candidate candidate_ = Candidate::None;
  std::uint64_t replaceFrom_ = kUnset;  // output mark where a replacement would begin
  std::size_t charsetMatched_ = 0;      // characters of "charset=" matched so far in the value
  bool httpEquivSeen_ = false;          // never cleared: one http-equiv opens every later meta content
  bool xmlDone_ = false;
  bool htmlDone_ = false;
};

}  // namespace glyphshift
