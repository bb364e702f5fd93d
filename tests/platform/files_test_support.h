// Small helpers of the platform file tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/files.h"

namespace glyphshift::platform {

inline CDirectory OpenDir(const std::u16string& path) {
  CDirectory directory;
  const SysError error = Files().OpenDirectory(path, directory);
  EXPECT_FALSE(error) << "open directory: " << error.code;
  return directory;
}

inline struct stat LstatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

inline FileId IdOf(const std::string& path) {
  const struct stat st = LstatOf(path);
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// Writes `text` to `name` the way a conversion does: a staged file that gets the replaced file's
// attributes (or `permissions` for a new one) and takes the name when complete.
inline SysError Stage(const CDirectory& directory, const std::u16string& name, std::string_view text,
                      Replace replace = Replace::Allowed, std::uint32_t permissions = 0644) {
  FileSystem& files = Files();
  FileStatus existing;
  if (auto error = files.Status(directory, name, existing)) return error;
  CFile replaced;
  if (existing.type == EntryType::Regular) {
    if (auto error = files.OpenForReplacing(directory, name, replaced)) return error;
  }
  CStagedFile staged;
  if (auto error = files.CreateStaged(directory, staged)) return error;
  SysError error = files.WriteStaged(staged, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  if (!error) {
    error = replaced.handle.IsValid() ? files.CopyAttributes(staged, replaced)
                                      : files.SetNewFilePermissions(staged, permissions);
  }
  if (!error) error = files.Commit(staged, name, replace);
  if (error) files.Discard(staged);
  return error;
}

}  // namespace glyphshift::platform
