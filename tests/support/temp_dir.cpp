#include "support/temp_dir.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/native_text.h"

namespace glyphshift::support {

namespace fs = std::filesystem;

namespace {

// The tests spell native paths as UTF-8 text. On Windows a std::string path would be read in
// the ANSI code page, so it is taken as UTF-8 explicitly; POSIX paths are bytes as they stand.
fs::path FsPath(const std::string& native) {
#ifdef _WIN32
  return fs::path(std::u8string(native.begin(), native.end()));
#else
  return fs::path(native);
#endif
}

std::string NativeText(const fs::path& path) {
#ifdef _WIN32
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
#else
  return path.string();
#endif
}

}  // namespace

TempDir::TempDir() {
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) {
    ADD_FAILURE() << "no directory for temporary files: " << ec.message();
    return;
  }
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = base / ("glyphshift-test-" + std::to_string(random() % 1000000000));
    if (fs::create_directory(candidate, ec)) {
      fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, ec);
      path_ = NativeText(candidate);
      return;
    }
  }
  ADD_FAILURE() << "cannot create a directory in " << NativeText(base) << ": " << ec.message();
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  // A test may leave directories without write or search permission; without them a
  // non-root user could not empty them.
  std::error_code ec;
  const fs::path root = FsPath(path_);
  fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
  }
  ec.clear();
  fs::remove_all(root, ec);
  if (ec) ADD_FAILURE() << "cannot remove " << path_ << ": " << ec.message();
}

std::string TempDir::Native(std::string_view name) const { return path_ + "/" + std::string(name); }

std::u16string TempDir::Path(std::string_view name) const { return platform::FromNative(Native(name)); }

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

void WriteFileBytes(const std::string& nativePath, std::span<const std::uint8_t> bytes) {
  std::ofstream out(FsPath(nativePath), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  ASSERT_TRUE(out.good()) << "cannot write " << nativePath;
}

void WriteFileBytes(const std::string& nativePath, std::string_view text) {
  WriteFileBytes(nativePath, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::optional<Bytes> ReadFileBytes(const std::string& nativePath) {
  std::ifstream in(FsPath(nativePath), std::ios::binary);
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
  std::error_code ec;
  return fs::symlink_status(FsPath(nativePath), ec).type() != fs::file_type::not_found && !ec;
}

std::vector<std::string> ListNames(const std::string& nativeDirectory) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(FsPath(nativeDirectory), ec)) {
    names.push_back(NativeText(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

void InTempDirTest::SetUp() {
  previous_ = fs::current_path();
  fs::current_path(directory_);
}

void InTempDirTest::TearDown() { fs::current_path(previous_); }

std::string InTempDirTest::Write(const std::string& name, std::string_view bytes) const {
  const std::string path = NativeText(directory_ / FsPath(name));
  WriteFileBytes(path, bytes);
  return path;
}

std::string InTempDirTest::Read(const std::string& nativePath) { return ReadFileText(nativePath); }

}  // namespace glyphshift::support
