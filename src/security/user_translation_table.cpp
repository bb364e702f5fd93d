// Loading the user translation table: decoding, line breaks and fields.
#include "security/user_translation_table.h"

#include <cstring>
#include <new>

#include "engine/engine.h"
#include "platform/files.h"
#include "platform/security.h"

namespace glyphshift {
namespace {

// The file's bytes as UTF-16 text, cut at its first U+0000. UTF-16 needs its byte order mark;
// everything else is UTF-8, a UTF-8 signature included (it becomes U+FEFF).
std::u16string DecodeTableText(std::span<const std::uint8_t> bytes) {
  const auto size = static_cast<std::uint32_t>(bytes.size());
  std::u16string text;
  const bool littleEndian = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  const bool bigEndian = size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
  if (littleEndian || bigEndian) {
    // An odd last byte is no whole unit and is dropped.
    text.resize((size - 2) / 2);
    if (!text.empty()) std::memcpy(text.data(), bytes.data() + 2, text.size() * 2);
    if (bigEndian) engine::SwapByteOrder(text.data(), static_cast<std::uint32_t>(text.size() * 2));
  } else if (size > 0) {
    std::uint32_t needed = 0;
    engine::Utf8ToUtf16(bytes.data(), size, nullptr, &needed);
    text.resize(needed / 2);
    std::uint32_t produced = needed;
    engine::Utf8ToUtf16(bytes.data(), size, text.data(), &produced);
    text.resize(produced / 2);
  }
  if (const auto nul = text.find(u'\0'); nul != std::u16string::npos) text.resize(nul);
  return text;
}

bool IsFieldSeparator(char16_t c) { return c == u'\t' || c == u';' || c == u','; }

}  // namespace

CUserTranslationTable::CUserTranslationTable(const std::u16string& tableFileName, std::u16string* p) : path(p) {
  LoadTable(tableFileName);
}

bool CUserTranslationTable::LoadTable(const std::u16string& tableFileName) {
  // An unreadable table, or one too large for memory, leaves the table empty, silently.
  try {
    std::vector<std::uint8_t> bytes;
    if (platform::ReadWholeFile(tableFileName, bytes)) return true;
    LoadTableBytes(bytes);
  } catch (const std::bad_alloc&) {
    prefixes.clear();
    accounts.clear();
    count = 0;
  }
  return true;
}

platform::SysError CUserTranslationTable::LoadTrustedTable(const std::u16string& tableFileName) {
  try {
    platform::CFile file;
    if (const platform::SysError error = platform::Files().OpenNamedFile(tableFileName, file)) {
      return error.code == platform::kErrorUnsafeLink ? error : platform::SysError{};
    }
    bool others = true;
    if (const platform::SysError error = platform::OthersMayChange({file.handle.Get(), file.path}, others)) {
      return error;
    }
    if (others) return {platform::kErrorNotTrusted, "open"};
    std::vector<std::uint8_t> bytes;
    if (platform::ReadWholeFile(file, bytes)) return {};
    LoadTableBytes(bytes);
  } catch (const std::bad_alloc&) {
    prefixes.clear();
    accounts.clear();
    count = 0;
  }
  return {};
}

void CUserTranslationTable::LoadTableBytes(std::span<const std::uint8_t> bytes) {
  ParseTable(engine::WithUnixLineBreaks(DecodeTableText(bytes)));
}

std::uint32_t CUserTranslationTable::CountTableLines(std::u16string_view text) {
  if (const auto nul = text.find(u'\0'); nul != std::u16string_view::npos) text = text.substr(0, nul);
  std::uint32_t lines = 0;
  for (char16_t c : text) lines += c == u'\n' ? 1u : 0u;
  if (!text.empty() && text.back() != u'\n') ++lines;
  return lines;
}

void CUserTranslationTable::ParseTable(std::u16string_view text) {
  const std::uint32_t lines = CountTableLines(text);
  prefixes.reserve(lines);
  accounts.reserve(lines);
  std::size_t cursor = 0;
  for (std::uint32_t i = 0; i < lines; ++i) {
    const std::size_t lineStart = cursor;
    std::size_t firstEnd = std::u16string_view::npos;
    std::size_t lastStart = cursor;
    while (cursor < text.size() && text[cursor] != u'\n') {
      if (IsFieldSeparator(text[cursor])) {
        if (firstEnd == std::u16string_view::npos) firstEnd = cursor;
        lastStart = cursor + 1;
      }
      ++cursor;
    }
    const std::size_t lineEnd = cursor;
    if (cursor < text.size()) ++cursor;  // past the LF
    if (firstEnd == std::u16string_view::npos) firstEnd = lineEnd;
    // The first line with an empty first field ends the table; the lines after it are ignored.
    if (firstEnd == lineStart) break;
    prefixes.emplace_back(text.substr(lineStart, firstEnd - lineStart));
    accounts.emplace_back(text.substr(lastStart, lineEnd - lastStart));
    ++count;
  }
}

}  // namespace glyphshift
