#include "support/temp_dir.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/native_text.h"

namespace glyphshift::support {

namespace fs = std::filesystem;

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/glyphshift-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp(" << pattern << "): " << std::strerror(errno);
    return;
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  // A test may leave directories without write or search permission; without them a
  // non-root user could not empty them.
  std::error_code ec;
  ::chmod(path_.c_str(), 0700);
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
  }
  fs::remove_all(path_, ec);
  if (ec) ADD_FAILURE() << "cannot remove " << path_ << ": " << ec.message();
}

std::string TempDir::Native(std::string_view name) const { return path_ + "/" + std::string(name); }

std::u16string TempDir::Path(std::string_view name) const { return platform::FromNative(Native(name)); }

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

void WriteFileBytes(const std::string& nativePath, std::span<const std::uint8_t> bytes) {
  std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  ASSERT_TRUE(out.good()) << "cannot write " << nativePath;
}

void WriteFileBytes(const std::string& nativePath, std::string_view text) {
  WriteFileBytes(nativePath, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::optional<Bytes> ReadFileBytes(const std::string& nativePath) {
  std::ifstream in(nativePath, std::ios::binary);
  if (!in) return std::nullopt;
  Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::string ReadFileText(const std::string& nativePath) {
  const auto bytes = ReadFileBytes(nativePath);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

bool PathExists(const std::string& nativePath) {
  struct stat st;
  return ::lstat(nativePath.c_str(), &st) == 0;
}

std::vector<std::string> ListNames(const std::string& nativeDirectory) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(nativeDirectory, ec)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

void InTempDirTest::SetUp() {
  previous_ = fs::current_path();
  fs::current_path(directory_);
}

void InTempDirTest::TearDown() { fs::current_path(previous_); }

std::string InTempDirTest::Write(const std::string& name, std::string_view bytes) const {
  const std::string path = (directory_ / name).string();
  WriteFileBytes(path, bytes);
  return path;
}

std::string InTempDirTest::Read(const std::string& nativePath) { return ReadFileText(nativePath); }

}  // namespace glyphshift::support
