#include "run/path_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "messages/byte_size_text.h"
#include "run/pattern_match.h"

namespace glyphshift {
namespace {

TEST(CanonicalizePath, ResolvesDotComponentsWithoutMakingAbsolute) {
  EXPECT_EQ(CanonicalizePath(u"a/./b"), u"a/b");
  EXPECT_EQ(CanonicalizePath(u"a/b/../c"), u"a/c");
  EXPECT_EQ(CanonicalizePath(u"a//b"), u"a/b");
  EXPECT_EQ(CanonicalizePath(u"./a.txt"), u"a.txt");
  EXPECT_EQ(CanonicalizePath(u"a/.."), u".");
  EXPECT_EQ(CanonicalizePath(u""), u"");
}

TEST(CanonicalizePath, KeepsWhatChangesTheMeaning) {
  EXPECT_EQ(CanonicalizePath(u"../x"), u"../x") << "dropping it would name another file";
  EXPECT_EQ(CanonicalizePath(u"a/../../x"), u"../x");
  EXPECT_EQ(CanonicalizePath(u"/../x"), u"/x") << "nothing is above the root";
  EXPECT_EQ(CanonicalizePath(u"/"), u"/");
  EXPECT_EQ(CanonicalizePath(u"/a/.."), u"/");
  EXPECT_EQ(CanonicalizePath(u"dir/"), u"dir/");
  EXPECT_EQ(CanonicalizePath(u"a\\..\\b"), u"a\\..\\b") << "a backslash is an ordinary character";
}

TEST(JoinPath, PutsExactlyOneSeparator) {
  EXPECT_EQ(JoinPath(u"dir", u"a.txt"), u"dir/a.txt");
  EXPECT_EQ(JoinPath(u"dir/", u"a.txt"), u"dir/a.txt");
  EXPECT_EQ(JoinPath(u"dir", u"//a.txt"), u"dir/a.txt");
  EXPECT_EQ(JoinPath(u"/", u"a"), u"/a");
  EXPECT_EQ(JoinPath(u"/x/y", u"../a"), u"/x/a");
  EXPECT_EQ(JoinPath(u"", u"a.txt"), u"a.txt");
  EXPECT_EQ(JoinPath(u"", u"/abs"), u"/abs");
  EXPECT_EQ(JoinPath(u"/base", u""), u"/base");
}

TEST(PathParts, FileNameDirectoryExtensionAndBase) {
  EXPECT_EQ(FileNameOf(u"a/b.txt"), u"b.txt");
  EXPECT_EQ(FileNameOf(u"b.txt"), u"b.txt");
  EXPECT_EQ(FileNameOf(u"a\\b.txt"), u"a\\b.txt");
  EXPECT_EQ(DirectoryOf(u"a/b.txt"), u"a");
  EXPECT_EQ(DirectoryOf(u"/x/y/z"), u"/x/y");
  EXPECT_EQ(DirectoryOf(u"/b.txt"), u"/") << "the root keeps its slash";
  EXPECT_EQ(DirectoryOf(u"b.txt"), u"");

  EXPECT_EQ(ExtensionOf(u"a.tar.gz"), u".gz");
  EXPECT_EQ(ExtensionOf(u"report.old version"), u"") << "a space after the dot: no extension";
  EXPECT_EQ(ExtensionOf(u"a.b c.d"), u".d");
  EXPECT_EQ(ExtensionOf(u"noext"), u"");
  EXPECT_EQ(ExtensionOf(u"a."), u".");
  EXPECT_EQ(ExtensionOf(u"x.d/name"), u"") << "a dot before a separator is no extension";
  EXPECT_EQ(ExtensionOf(u"a.b\\c"), u".b\\c");
  EXPECT_EQ(BaseNameOf(u"a.tar.gz"), u"a.tar");
  EXPECT_EQ(BaseNameOf(u"report.old version"), u"report.old version");

  EXPECT_TRUE(IsRelativePath(u""));
  EXPECT_TRUE(IsRelativePath(u"a/b"));
  EXPECT_FALSE(IsRelativePath(u"/a"));
}

TEST(PathMatchSpec, WildcardsAndCase) {
  EXPECT_TRUE(PathMatchSpec(u"A.TXT", u"*.txt"));
  EXPECT_FALSE(PathMatchSpec(u"a.txt.bak", u"*.txt"));
  EXPECT_TRUE(PathMatchSpec(u"a.txt", u"?.txt"));
  EXPECT_FALSE(PathMatchSpec(u"ab.txt", u"?.txt"));
  EXPECT_FALSE(PathMatchSpec(u".txt", u"?.txt")) << "? takes exactly one character";
  EXPECT_TRUE(PathMatchSpec(u"abc", u"a*b*c"));
  EXPECT_TRUE(PathMatchSpec(u"aXbYbZc", u"a*b*c"));
  EXPECT_FALSE(PathMatchSpec(u"acb", u"a*b*c"));
  EXPECT_TRUE(PathMatchSpec(u"a", u"a**"));
  EXPECT_FALSE(PathMatchSpec(u"\u00C4.txt", u"\u00E4.txt")) << "only ASCII letters fold";
}

TEST(PathMatchSpec, StarDotStarAndLists) {
  EXPECT_TRUE(PathMatchSpec(u"noext", u"*.*"));
  EXPECT_FALSE(PathMatchSpec(u"noext", u"*.?"));
  EXPECT_TRUE(PathMatchSpec(u"b.xml", u"*.txt;*.xml"));
  EXPECT_TRUE(PathMatchSpec(u"b.xml", u"*.txt;   *.xml")) << "spaces after ';' are skipped";
  EXPECT_FALSE(PathMatchSpec(u"b.htm", u"*.txt;*.xml"));
  EXPECT_TRUE(PathMatchSpec(u"z", u"a;*.*"));
}

TEST(PathMatchSpec, AdversarialPatternStaysFast) {
  const std::u16string name(5000, u'a');
  const std::u16string pattern = u"*a*a*a*a*a*a*a*a*a*a*b";
  EXPECT_FALSE(PathMatchSpec(name, pattern));
}

TEST(FormatByteSize, BytesBelow1024) {
  EXPECT_EQ(FormatByteSize(0), u"0 bytes");
  EXPECT_EQ(FormatByteSize(1000), u"1000 bytes");
  EXPECT_EQ(FormatByteSize(1023), u"1023 bytes");
}

TEST(FormatByteSize, DecimalsByMagnitudeTruncated) {
  EXPECT_EQ(FormatByteSize(1024), u"1.00 KB");
  EXPECT_EQ(FormatByteSize(1034), u"1.00 KB") << "1.0097 is cut, not rounded";
  EXPECT_EQ(FormatByteSize(1340), u"1.30 KB");
  EXPECT_EQ(FormatByteSize(1535), u"1.49 KB");
  EXPECT_EQ(FormatByteSize(10 * 1024 - 1), u"9.99 KB");
  EXPECT_EQ(FormatByteSize(10 * 1024), u"10.0 KB");
  EXPECT_EQ(FormatByteSize(100 * 1024 - 1), u"99.9 KB");
  EXPECT_EQ(FormatByteSize(100 * 1024), u"100 KB");
  EXPECT_EQ(FormatByteSize(1000 * 1024 - 1), u"999 KB");
}

TEST(FormatByteSize, ThousandUnitsMoveToTheNextUnit) {
  EXPECT_EQ(FormatByteSize(1000 * 1024), u"0.97 MB");
  EXPECT_EQ(FormatByteSize(1024 * 1024 - 1), u"0.99 MB");
  EXPECT_EQ(FormatByteSize(std::uint64_t{5} << 30), u"5.00 GB");
  EXPECT_EQ(FormatByteSize(std::uint64_t{3} << 40), u"3.00 TB");
  EXPECT_EQ(FormatByteSize(std::uint64_t{1} << 50), u"1.00 PB");
  EXPECT_EQ(FormatByteSize(std::numeric_limits<std::uint64_t>::max()), u"15.9 EB");
}

}  // namespace
}  // namespace glyphshift
