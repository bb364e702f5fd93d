// The path rules on Windows: '\' and '/' both separate, drive and server roots stay whole. The
// POSIX rules are tested by path_rules_test.cpp in the Linux build.
#include <gtest/gtest.h>

#include <string>

#include "run/path_rules.h"

namespace glyphshift {
namespace {

struct PathCase {
  std::u16string_view path;
  std::u16string_view canonical;
  std::u16string_view directory;
  std::u16string_view fileName;
  bool relative;
};

// One row per kind of root: the canonical form (separators written as '\'), the directory and
// the file name, and whether the path depends on the current directory.
constexpr PathCase kCases[] = {
    {u"a/./b\\c.txt", u"a\\b\\c.txt", u"a/./b", u"c.txt", true},
    {u"a\\b\\..\\..\\..\\x", u"..\\x", u"a\\b\\..\\..\\..", u"x", true},
    {u"C:\\texts\\letter.txt", u"C:\\texts\\letter.txt", u"C:\\texts", u"letter.txt", false},
    {u"C:/texts/../letter.txt", u"C:\\letter.txt", u"C:/texts/..", u"letter.txt", false},
    {u"C:\\letter.txt", u"C:\\letter.txt", u"C:\\", u"letter.txt", false},
    {u"C:\\..\\x", u"C:\\x", u"C:\\..", u"x", false},
    {u"C:\\", u"C:\\", u"C:\\", u"", false},
    {u"C:x.txt", u"C:x.txt", u"C:", u"x.txt", false},
    {u"C:..\\x", u"C:..\\x", u"C:..", u"x", false},
    {u"\\x\\y", u"\\x\\y", u"\\x", u"y", false},
    {u"\\\\server\\share\\d\\f.txt", u"\\\\server\\share\\d\\f.txt", u"\\\\server\\share\\d", u"f.txt", false},
    {u"\\\\server\\share\\..\\f", u"\\\\server\\share\\f", u"\\\\server\\share\\..", u"f", false},
    {u"//server/share/f", u"\\\\server\\share\\f", u"//server/share/", u"f", false},
    {u"\\\\server", u"\\\\server", u"\\\\server", u"", false},
    {u"\\\\?\\C:\\long\\..\\f", u"\\\\?\\C:\\f", u"\\\\?\\C:\\long\\..", u"f", false},
    {u"\\\\?\\UNC\\server\\share\\f", u"\\\\?\\UNC\\server\\share\\f", u"\\\\?\\UNC\\server\\share\\", u"f", false},
};

TEST(WindowsPathRules, RootsSeparatorsAndComponents) {
  for (const PathCase& c : kCases) {
    const std::u16string path(c.path);
    EXPECT_EQ(CanonicalizePath(path), c.canonical) << std::string(path.begin(), path.end());
    EXPECT_EQ(DirectoryOf(path), c.directory) << std::string(path.begin(), path.end());
    EXPECT_EQ(FileNameOf(path), c.fileName) << std::string(path.begin(), path.end());
    EXPECT_EQ(IsRelativePath(path), c.relative) << std::string(path.begin(), path.end());
  }
}

TEST(WindowsPathRules, JoiningAndExtensions) {
  EXPECT_EQ(JoinPath(u"C:\\out", u"a.txt"), u"C:\\out\\a.txt");
  EXPECT_EQ(JoinPath(u"C:\\out/", u"\\a.txt"), u"C:\\out\\a.txt") << "leading separators of the name dropped";
  EXPECT_EQ(JoinPath(u"C:\\", u"a"), u"C:\\a");
  EXPECT_EQ(JoinPath(u"\\\\srv\\share", u"..\\a"), u"\\\\srv\\share\\a") << "nothing is above a share";
  EXPECT_EQ(JoinListedName(u"C:\\base", u"sub"), u"C:\\base\\sub");
  EXPECT_EQ(JoinListedName(u"C:\\", u"sub"), u"C:\\sub");

  EXPECT_EQ(ExtensionOf(u"a.tar.gz"), u".gz");
  EXPECT_EQ(ExtensionOf(u"x.d\\name"), u"") << "a dot before a separator is no extension";
  EXPECT_EQ(ExtensionOf(u"x.d/name"), u"");
  EXPECT_EQ(ExtensionOf(u"report.old version"), u"");
  EXPECT_EQ(BaseNameOf(u"letter.txt"), u"letter");
}

}  // namespace
}  // namespace glyphshift
