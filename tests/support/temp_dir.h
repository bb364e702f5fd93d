// A fresh directory per test, and whole-file helpers that bypass the platform layer, so a test
// checks the layer's results with independent code.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glyphshift::support {

// Creates a new, empty directory under $TMPDIR (or /tmp) and removes it with everything in it
// when destroyed, also where a test left read-only directories behind.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory's native path, without a trailing slash.
  const std::string& path() const { return path_; }
  // The native path of `name` inside the directory.
  std::string Native(std::string_view name) const;
  // The same path as UTF-16 text, as the platform interface takes it.
  std::u16string Path(std::string_view name) const;

 private:
  std::string path_;
};

// A GoogleTest fixture with one TempDir per test.
class TempDirTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

// The same, with the directory made the current one while the test runs: what a program reads
// by a relative name ("filters.txt") is read from there.
class InTempDirTest : public TempDirTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Writes `bytes` to `name` in the directory; its native path.
  std::string Write(const std::string& name, std::string_view bytes) const;
  static std::string Read(const std::string& nativePath);

  std::filesystem::path directory_{dir_.path()};

 private:
  std::filesystem::path previous_;
};

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text);
// Writes (creates or truncates) a native path; fails the test on error.
void WriteFileBytes(const std::string& nativePath, std::span<const std::uint8_t> bytes);
void WriteFileBytes(const std::string& nativePath, std::string_view text);
// The whole content of a file, or nothing when it cannot be read.
std::optional<Bytes> ReadFileBytes(const std::string& nativePath);
// The content as text (empty when unreadable), for readable comparisons.
std::string ReadFileText(const std::string& nativePath);
bool PathExists(const std::string& nativePath);  // lstat: a dangling link exists
// Names in a directory, sorted, without "." and "..".
std::vector<std::string> ListNames(const std::string& nativeDirectory);

}  // namespace glyphshift::support
