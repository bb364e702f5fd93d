// Whole-file reading over the platform interface, the same on every platform.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/files.h"

namespace glyphshift::platform {

namespace {
// Some files (in /proc, say) report size 0 and still have content; a file may also have grown.
constexpr std::size_t kGrowthChunk = 64 * 1024;
}  // namespace

SysError ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  CFile file;
  if (auto error = Files().OpenNamedFile(path, file)) return error;
  return ReadWholeFile(file, bytes);
}

SysError ReadWholeFile(const CFile& file, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (file.status.size >= kMaxFileSize) return {kErrorTooLarge, "read"};
  try {
    std::size_t size = static_cast<std::size_t>(file.status.size);
    bytes.resize(size);
    std::size_t got = 0;
    if (auto error = Files().ReadFile(file, 0, bytes.data(), size, got)) return error;
    // The end is confirmed by a read that returns nothing.
    while (got == size) {
      size = got + kGrowthChunk;
      if (size >= kMaxFileSize) return {kErrorTooLarge, "read"};
      bytes.resize(size);
      std::size_t more = 0;
      if (auto error = Files().ReadFile(file, got, bytes.data() + got, kGrowthChunk, more)) return error;
      got += more;
    }
    bytes.resize(got);
  } catch (const std::bad_alloc&) {
    bytes = {};
    return {kErrorOutOfMemory, "read"};
  }
  return {};
}

void HoldWhole(CFile& file, std::size_t limit) {
  if (file.heldWhole || file.status.size > limit) return;
  try {
    // A byte of room beyond the size: a read that fills it means the file grew.
    const std::size_t room = static_cast<std::size_t>(file.status.size) + 1;
    std::vector<std::uint8_t> bytes(room);
    std::size_t got = 0;
    if (Files().ReadFile(file, 0, bytes.data(), room, got) || got == room) return;
    bytes.resize(got);
    file.held = std::move(bytes);
    file.heldWhole = true;
  } catch (const std::bad_alloc&) {
    // Read from the file as it comes.
  }
}

void DropHeld(CFile& file) {
  file.held = {};
  file.heldWhole = false;
}

SysError ReadAt(const CFile& file, std::uint64_t offset, std::uint8_t* data, std::size_t size, std::size_t& got) {
  if (!file.heldWhole) return Files().ReadFile(file, offset, data, size, got);
  got = offset < file.held.size() ? std::min(size, file.held.size() - static_cast<std::size_t>(offset)) : 0;
  if (got != 0) std::memcpy(data, file.held.data() + offset, got);
  return {};
}

}  // namespace glyphshift::platform
