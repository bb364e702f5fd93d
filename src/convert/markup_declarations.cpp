#include "convert/markup_declarations.h"

#include "engine/ascii_case.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <locale>
#include <new>

namespace glyphshift {

namespace {

// Letters and digits beyond ASCII must count as name characters, as the wide-character
// classification of the C library gives them. The classification comes from a private UTF-8
// ctype facet rather than from setlocale(): the process-wide locale belongs to the program,
// and changing it here would alter every other multibyte conversion behind its back.
const std::ctype<wchar_t>& UnicodeCtype() {
  static const std::locale locale = [] {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      try {
        return std::locale(name);
      } catch (...) {
      }
    }
    return std::locale::classic();  // ASCII letters and digits only
  }();
  return std::use_facet<std::ctype<wchar_t>>(locale);
}

constexpr std::uint32_t kUnset = std::numeric_limits<std::uint32_t>::max();

enum class ScanState { Text, Tag, EndTag, ProcessingInstruction, MarkupDeclaration, Comment };

bool IsMarkupWhitespace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v';  // not form feed
}

bool IsQuote(char16_t c) { return c == u'"' || c == u'\''; }

// `keyword` is in lower case; `text` holds at least its length.
bool MatchesKeyword(const char16_t* text, std::u16string_view keyword) {
  for (std::size_t i = 0; i < keyword.size(); ++i) {
    if (FoldAsciiCase(text[i]) != keyword[i]) return false;
  }
  return true;
}

class DeclarationScanner {
 public:
  DeclarationScanner(WorkingText& text, std::u16string_view name, bool modifyXml, bool modifyHtml)
      : text_(text), name_(name), modifyXml_(modifyXml), modifyHtml_(modifyHtml) {}
  // Finds rather than rewrites: the first declared name goes into `found`, and the scan stops.
  DeclarationScanner(WorkingText& text, std::u16string& found)
      : text_(text), name_(), modifyXml_(true), modifyHtml_(true), found_(&found) {}

  EditResult Run() {
    for (;;) {
      const char16_t c = text_.Text()[position_];
      if (c == 0) return EditResult::Ok;
      ApplyStateRules(c);
      if (state_ == ScanState::Tag || state_ == ScanState::ProcessingInstruction) {
        if (CollectAndCompleteAttribute(c) && CheckAttribute() == EditResult::OutOfMemory) {
          return EditResult::OutOfMemory;
        }
      }
      if (ShouldStop()) return EditResult::Ok;
      // After a replacement the position is on the new closing quote, which is what was seen last.
      previous_ = text_.Text()[position_];
      ++position_;
    }
  }

 private:
  void ApplyStateRules(char16_t c) {
    if (state_ == ScanState::Text && c == u'<') {
      state_ = ScanState::Tag;
    } else if (previous_ == u'<' && c == u'!') {
      state_ = ScanState::MarkupDeclaration;
    } else if (previous_ == u'<' && c == u'/') {
      state_ = ScanState::EndTag;
    } else if (previous_ == u'<' && c == u'?') {
      state_ = ScanState::ProcessingInstruction;
    } else if (state_ == ScanState::MarkupDeclaration && c == u'-' && previous_ == u'-') {
      state_ = ScanState::Comment;
    } else if (c == u'>') {
      EndMarkup();
    }
  }

  void EndMarkup() {
    switch (state_) {
      case ScanState::Tag:
      case ScanState::EndTag: ForgetTag(); break;
      case ScanState::ProcessingInstruction:
        if (previous_ != u'?') return;
        ForgetTag();
        break;
      case ScanState::MarkupDeclaration: break;
      case ScanState::Comment:
        if (previous_ != u'-') return;
        break;
      case ScanState::Text: return;
    }
    state_ = ScanState::Text;
  }

  void ForgetTag() {
    tagStart_ = tagEnd_ = kUnset;
    ForgetAttribute();
  }

  void ForgetAttribute() { attributeStart_ = attributeEnd_ = valueStart_ = valueEnd_ = kUnset; }

  // Returns true when the character closed a quoted attribute value.
  bool CollectAndCompleteAttribute(char16_t c) {
    if (IsMarkupNameCharacter(c)) {
      if (tagStart_ == kUnset) {
        tagStart_ = position_;
      } else if (attributeStart_ == kUnset && tagEnd_ != kUnset) {
        attributeStart_ = position_;
      }
    } else if (IsMarkupWhitespace(c)) {
      if (tagEnd_ == kUnset) {
        tagEnd_ = position_;
      } else if (attributeEnd_ == kUnset && attributeStart_ != kUnset) {
        attributeEnd_ = position_;
      }
    } else if (c == u'=') {
      if (attributeEnd_ == kUnset) attributeEnd_ = position_;
    } else if (IsQuote(c)) {
      if (valueStart_ == kUnset) {
        if (attributeEnd_ != kUnset) valueStart_ = position_ + 1;
      } else {
        valueEnd_ = position_;
        return true;
      }
    }
    return false;
  }

  // A name exists only when both ends are set and it is not empty; it matches a keyword it begins.
  bool NameMatches(std::uint32_t start, std::uint32_t end, std::u16string_view keyword) const {
    if (start == kUnset || end == kUnset || start >= end) return false;
    if (end - start > keyword.size()) return false;
    return MatchesKeyword(text_.Text() + start, keyword.substr(0, end - start));
  }

  EditResult CheckAttribute() {
    EditResult result = EditResult::Ok;
    if (modifyHtml_ && NameMatches(tagStart_, tagEnd_, u"meta")) {
      if (NameMatches(attributeStart_, attributeEnd_, u"http-equiv")) {
        httpEquivSeen_ = true;
      } else if (NameMatches(attributeStart_, attributeEnd_, u"content") && httpEquivSeen_) {
        result = RewriteContentCharset();
      } else if (found_ != nullptr && NameMatches(attributeStart_, attributeEnd_, u"charset")) {
        htmlDone_ = true;
        result = ReplaceValueFrom(valueStart_);
      }
    }
    if (result == EditResult::Ok && modifyXml_ && NameMatches(tagStart_, tagEnd_, u"xml") &&
        NameMatches(attributeStart_, attributeEnd_, u"encoding")) {
      xmlDone_ = true;
      result = ReplaceValueFrom(valueStart_);
    }
    ForgetAttribute();
    return result;
  }

  EditResult RewriteContentCharset() {
    static constexpr std::u16string_view kCharset = u"charset=";
    for (std::uint32_t offset = valueStart_; offset < valueEnd_; ++offset) {
      // Never reads past the closing quote: a quote matches no character of the keyword.
      if (MatchesKeyword(text_.Text() + offset, kCharset)) {
        htmlDone_ = true;
        return ReplaceValueFrom(offset + static_cast<std::uint32_t>(kCharset.size()));
      }
    }
    return EditResult::Ok;
  }

  // Replaces the value from `from` up to its closing quote and moves onto the new closing quote.
  EditResult ReplaceValueFrom(std::uint32_t from) {
    if (found_ != nullptr) {
      found_->assign(text_.Text() + from, text_.Text() + std::max(from, valueEnd_));
      return EditResult::Ok;
    }
    if (ReplaceTextRange(text_, from, valueEnd_, name_) == EditResult::OutOfMemory) return EditResult::OutOfMemory;
    position_ = from + static_cast<std::uint32_t>(name_.size());
    return EditResult::Ok;
  }

  bool ShouldStop() const {
    if (found_ != nullptr) return xmlDone_ || htmlDone_;
    if (modifyXml_ && modifyHtml_) return xmlDone_ && htmlDone_;
    if (modifyHtml_) return htmlDone_;
    if (modifyXml_) return xmlDone_;
    return true;  // nothing asked for
  }

  WorkingText& text_;
  const std::u16string_view name_;
  const bool modifyXml_;
  const bool modifyHtml_;

  std::uint32_t position_ = 0;
  char16_t previous_ = u' ';
  ScanState state_ = ScanState::Text;
  std::uint32_t tagStart_ = kUnset, tagEnd_ = kUnset;
  std::uint32_t attributeStart_ = kUnset, attributeEnd_ = kUnset;
  std::uint32_t valueStart_ = kUnset, valueEnd_ = kUnset;
  bool httpEquivSeen_ = false;  // never cleared: one http-equiv opens every later meta content
  bool xmlDone_ = false;
  bool htmlDone_ = false;
  std::u16string* found_ = nullptr;
};

}  // namespace

bool IsMarkupNameCharacter(char16_t unit) {
  if (unit < 0x80) {
    return (unit >= u'0' && unit <= u'9') || (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') ||
           unit == u'_';
  }
  return UnicodeCtype().is(std::ctype_base::alnum, static_cast<wchar_t>(unit));
}

EditResult ReplaceTextRange(WorkingText& text, std::uint32_t from, std::uint32_t to, std::u16string_view name) {
  const std::uint32_t units = text.UnitCount();
  to = std::min(to, units);
  from = std::min(from, to);
  const std::uint64_t newLength =
      std::uint64_t{text.byteLength} - 2ull * (to - from) + 2ull * static_cast<std::uint64_t>(name.size());
  // The lengths of a working text are 32-bit; a text that would outgrow them cannot be held.
  if (newLength > std::numeric_limits<std::uint32_t>::max() - 2u) return EditResult::OutOfMemory;
  auto block = AllocateZeroedUnits(BlockUnitsFor(newLength));
  if (!block) return EditResult::OutOfMemory;

  const auto* old = reinterpret_cast<const std::uint8_t*>(text.Text());
  auto* out = reinterpret_cast<std::uint8_t*>(block.get());
  const std::size_t head = 2u * std::size_t{from};
  const std::size_t tail = text.byteLength - 2u * std::size_t{to};  // keeps an odd last byte
  std::memcpy(out, old, head);
  if (!name.empty()) std::memcpy(out + head, name.data(), 2 * name.size());
  std::memcpy(out + head + 2 * name.size(), old + 2u * std::size_t{to}, tail);

  text.buffer = std::move(block);
  text.start = 0;
  text.byteLength = static_cast<std::uint32_t>(newLength);
  return EditResult::Ok;
}

std::u16string FindCharsetDeclaration(std::span<const std::uint8_t> head) {
  std::u16string found;
  WorkingText text;
  text.buffer = AllocateUnits(head.size() + 1);
  if (!text.buffer) return found;
  for (std::size_t i = 0; i < head.size(); ++i) text.buffer.get()[i] = head[i];
  text.buffer.get()[head.size()] = 0;
  text.byteLength = static_cast<std::uint32_t>(2 * head.size());
  try {
    if (DeclarationScanner(text, found).Run() != EditResult::Ok) return {};
    // A content value may go on after the name ("charset=koi8-r; foo"); blanks may surround it.
    const auto blank = [](char16_t c) { return IsMarkupWhitespace(c) || c == u';'; };
    const auto begin = std::find_if_not(found.begin(), found.end(), blank);
    return std::u16string(begin, std::find_if(begin, found.end(), blank));
  } catch (const std::bad_alloc&) {
  }
  return {};
}

EditResult RewriteCharsetDeclarations(WorkingText& text, std::u16string_view name, bool modifyXml, bool modifyHtml) {
  if (!modifyXml && !modifyHtml) return EditResult::Ok;
  return DeclarationScanner(text, name, modifyXml, modifyHtml).Run();
}

}  // namespace glyphshift
