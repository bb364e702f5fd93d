// The program's version information from the version resource of its own file.
#include "platform/version_info.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/win32/win32_calls.h"

namespace glyphshift::platform {

namespace {

std::wstring ProgramFile() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // a long path was cut: try again with more room
  }
}

}  // namespace

bool ReadVersionString(std::u16string_view key, std::u16string& value) {
  value.clear();
  const std::wstring file = ProgramFile();
  if (file.empty()) return false;
  DWORD unused = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &unused);
  if (size == 0) return false;
  std::vector<std::uint8_t> block(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return false;

  // The first entry of the translation table names the string table; without one, the neutral
  // language and Unicode.
  unsigned language = 0;
  unsigned codePage = 0x0400;
  void* translation = nullptr;
  UINT translationBytes = 0;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &translationBytes) &&
      translationBytes >= 4) {
    const DWORD first = *static_cast<const DWORD*>(translation);
    language = first & 0xFFFF;
    codePage = first >> 16;
  }
  wchar_t prefix[40];
  std::swprintf(prefix, 40, L"\\StringFileInfo\\%04X%04X\\", language, codePage);
  const std::u16string path = win32::FromWide(prefix) + std::u16string(key);

  void* text = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), win32::Wide(path), &text, &length) || text == nullptr) return false;
  value = win32::FromWide(static_cast<const wchar_t*>(text), length);
  while (!value.empty() && value.back() == u'\0') value.pop_back();  // the length counts the terminator
  return true;
}

}  // namespace glyphshift::platform
