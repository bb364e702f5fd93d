// One source file: naming, options, messages and exit codes of the single-file flow.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/e2e_fixture.h"

namespace glyphshift::e2e {
namespace {

using SingleFile = MorfexTest;

TEST_F(SingleFile, ConvertsBesideTheSourceWithTheNameInserted) {
  Write("a.txt", kCafe1252);
  const RunResult r = Run({"a.txt", "/scs=cp1252"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kHeaderFrom1252 + "Success: [6 bytes + 4 Bytes] a.txt\n" + Summary(1, 6, 0));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Read("a.utf-8.txt"), kCafeUtf8Bom);
  EXPECT_EQ(Read("a.txt"), kCafe1252) << "the source stays";
}

TEST_F(SingleFile, NameWithoutExtensionOrWithASpaceAfterTheDot) {
  Write("noext", "x");
  Write("report.old version", "y");
  EXPECT_EQ(Run({"noext", "/scs=ansi", "/nobom"}).status, 0);
  EXPECT_EQ(Run({"report.old version", "/scs=ansi", "/nobom"}).status, 0);
  EXPECT_EQ(Read("noext.utf-8"), "x");
  EXPECT_EQ(Read("report.old version.utf-8"), "y");
}

TEST_F(SingleFile, InsertsTheCatalogueSpellingOfTheDestination) {
  Write("a.txt", "abc");
  const RunResult r = Run({"a.txt", "/DCS=latin1", "/scs=ANSI"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Lines(r.out).at(0), "Destination character set: \"Latin1\" (Internal code 0)");
  EXPECT_EQ(Lines(r.out).at(1), "Source character set: \"Ansi\" (Internal code 18)");
  EXPECT_EQ(Read("a.Latin1.txt"), "abc") << "no byte order mark for a single-byte set";
}

TEST_F(SingleFile, UnknownCharacterSetEndsWithSixBeforeAnything) {
  Write("a.txt", "abc");
  // The Error 6 line as it always was, then a line of its own with the nearest names.
  RunResult r = Run({"a.txt", "/dcs=nope", "/scs=bad"});
  EXPECT_EQ(r.status, 6);
  EXPECT_EQ(r.out, "Error 6: Character set \"nope\" is unknown.\n\"morfex --list\" lists every name.\n")
      << "only the destination is reported";
  r = Run({"a.txt", "/scs=windows1252"});
  EXPECT_EQ(r.status, 6);
  EXPECT_EQ(r.out,
            "Destination character set: \"utf-8\" (Internal code 100)\n"
            "Error 6: Character set \"windows1252\" is unknown.\n"
            "Did you mean \"Windows-1252\"? \"morfex --list\" lists every name.\n");
  EXPECT_EQ(Run({"a.txt", "/dcs=latin"}).out,
            "Error 6: Character set \"latin\" is unknown.\n"
            "Did you mean \"Latin1\", \"Latin2\" or \"Latin3\"? \"morfex --list\" lists every name.\n");
  EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});
}

TEST_F(SingleFile, MissingSourceIsExitTwoWithTheSystemText) {
  const RunResult r = Run({"missing.txt"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, kHeaderAutoDetect + "No such file or directory\nError 2: Conversion of \"missing.txt\" failed.\n" +
                       Summary(0, 0, 1));
  EXPECT_TRUE(Names().empty());
}

TEST_F(SingleFile, OptionsMayComeBeforeTheSource) {
  Write("a.txt", "abc");
  const RunResult r = Run({"/nobom", "/dcs=utf-16", "a.txt"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Read("a.utf-16.txt"), std::string("a\0b\0c\0", 6));
}

// A command line the program cannot be sure of converts nothing: one line on standard error,
// exit code 8, no summary, whatever else the line asked for.
TEST_F(SingleFile, InvalidCommandLineConvertsNothing) {
  Write("a.txt", "a\r\nb\r\n");
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"a.txt", "/replace", "/line=unxi"},
                                                    {"a.txt", "/recurse", "/replace"},
                                                    {"a.txt", "/replace", "/log=run.log", "/dsc=utf-16"},
                                                    {"a.txt", "-h"}}) {
    const RunResult r = Run(arguments);
    EXPECT_EQ(r.status, 8) << arguments[1];
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(r.err.starts_with("Invalid argument: ")) << r.err;
  }
  EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"}) << "no log opened, nothing written";
  EXPECT_EQ(Read("a.txt"), "a\r\nb\r\n");
}

TEST_F(SingleFile, DirectoryAsSourceIsExitThreeWithoutSummary) {
  MakeDir("d");
  const RunResult r = Run({"d"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, kHeaderAutoDetect + "Invalid argument: d is a directory. Use wildcards like *.txt instead!");
}

TEST_F(SingleFile, OutputRules) {
  Write("a.txt", "abc");
  MakeDir("other");
  EXPECT_EQ(Run({"a.txt", "/scs=ansi", "/output=other"}).status, 0);
  EXPECT_EQ(Read("other/a.txt"),
            "\xEF\xBB\xBF"
            "abc")
      << "another directory: the source's own name";

  EXPECT_EQ(Run({"a.txt", "/scs=ansi", "/output=new name.txt"}).status, 0);
  EXPECT_EQ(Read("new name.txt"),
            "\xEF\xBB\xBF"
            "abc")
      << "a missing directory is taken as a file name";

  EXPECT_EQ(Run({"a.txt", "/scs=ansi", "/replace", "/output=\"b.txt\""}).status, 0);
  EXPECT_EQ(Read("b.txt"),
            "\xEF\xBB\xBF"
            "abc");
  EXPECT_EQ(Read("a.txt"), "abc") << "with an output file /replace leaves the source alone";

  const RunResult r = Run({"a.txt", "/output=o*"});
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.out, kHeaderAutoDetect + "Invalid argument: Wildcard in destination file is not allowed!");
}

TEST_F(SingleFile, SameDirectoryIsDecidedByIdentityNotSpelling) {
  MakeDir("sub");
  Write("sub/a.txt", "abc");
  EXPECT_EQ(Run({"sub/a.txt", "/scs=ansi", "/output=./sub/"}).status, 0);
  EXPECT_EQ(Read("sub/a.utf-8.txt"),
            "\xEF\xBB\xBF"
            "abc");
  EXPECT_EQ(Read("sub/a.txt"), "abc") << "another spelling of the source directory is no in-place run";
  EXPECT_EQ(Run({"sub/a.txt", "/scs=ansi", "/dcs=utf-16", "/output=" + P("sub")}).status, 0);
  EXPECT_EQ(Read("sub/a.utf-16.txt"), std::string("\xFF\xFE"
                                                  "a\0b\0c\0",
                                                  8));
}

TEST_F(SingleFile, ReplaceConvertsInPlace) {
  Write("a.txt", kCafe1252);
  EXPECT_EQ(Run({"a.txt", "/scs=windows-1252", "/replace", "/move"}).status, 0);
  EXPECT_EQ(Read("a.txt"), kCafeUtf8Bom);
  EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"}) << "no sibling and no temporary file";
}

TEST_F(SingleFile, MoveDeletesTheSourceButNeverItsOwnDestination) {
  Write("a.txt", "abc");
  EXPECT_EQ(Run({"a.txt", "/scs=ansi", "/move"}).status, 0);
  EXPECT_EQ(Names(), std::vector<std::string>{"a.utf-8.txt"});

  Write("b.txt", "abc");
  EXPECT_EQ(Run({"b.txt", "/scs=ansi", "/move", "/output=./b.txt"}).status, 0);
  EXPECT_EQ(Read("b.txt"),
            "\xEF\xBB\xBF"
            "abc")
      << "the destination is the source: converted, not deleted";

  Write("c.txt", "abc");
  EXPECT_EQ(Run({"c.txt", "/scs=ansi", "/move", "/output=C.txt"}).status, 0);
  EXPECT_FALSE(Exists("c.txt")) << "on Linux c.txt and C.txt are two files";
  EXPECT_EQ(Read("C.txt"),
            "\xEF\xBB\xBF"
            "abc");
}

TEST_F(SingleFile, ExistingDestinationIsReplacedKeepingItsMode) {
  Write("a.txt", "new");
  Write("a.utf-8.txt", "old old old");
  ASSERT_EQ(::chmod(P("a.utf-8.txt").c_str(), 0640), 0);
  EXPECT_EQ(Run({"a.txt", "/scs=ansi", "/nobom"}).status, 0);
  EXPECT_EQ(Read("a.utf-8.txt"), "new");
  struct stat st {};
  ASSERT_EQ(::stat(P("a.utf-8.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(SingleFile, InPlaceThroughALinkReplacesTheTargetAndKeepsTheLink) {
  Write("target.txt", kCafe1252);
  ASSERT_EQ(::symlink("target.txt", P("link.txt").c_str()), 0);
  EXPECT_EQ(Run({"link.txt", "/scs=cp1252", "/replace"}).status, 0);
  EXPECT_EQ(Read("target.txt"), kCafeUtf8Bom);
  struct stat st {};
  ASSERT_EQ(::lstat(P("link.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(SingleFile, DetectsTheSourceSetPerFile) {
  Write("le.txt", std::string("\xFF\xFE"
                              "h\0i\0",
                              6));
  const RunResult r = Run({"le.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kHeaderAutoDetect + "Success: [6 bytes + -1 Bytes] le.txt\n" + Summary(1, 6, 0))
      << "a shrinking file shows a negative difference";
  EXPECT_EQ(Read("le.utf-8.txt"),
            "\xEF\xBB\xBF"
            "hi");

  Write("u8.txt", "\xD0\xBF\xD1\x80\xD0\xB8");  // Cyrillic in UTF-8, no mark
  EXPECT_EQ(Run({"u8.txt", "/dcs=koi8-r"}).status, 0);
  EXPECT_EQ(Read("u8.KOI8-R.txt"), "\xD0\xD2\xC9");
}

// With /detect=statistical the model decides what the byte rules leave to ISO-8859-1 (a
// declaration that reads the bytes before it), says so at a log level, and refuses a set that
// cannot be converted; by default it only warns; an unknown method converts nothing.
TEST_F(SingleFile, StatisticalDetectionOnRequest) {
  Write("ru.txt",
        "\xD1\xFA\xE5\xF8\xFC \xE6\xE5 \xE5\xF9\xB8 \xFD\xF2\xE8\xF5 \xEC\xFF\xE3\xEA\xE8\xF5 "
        "\xF4\xF0\xE0\xED\xF6\xF3\xE7\xF1\xEA\xE8\xF5 \xE1\xF3\xEB\xEE\xEA, \xE4\xE0 \xE2\xFB\xEF\xE5\xE9 "
        "\xF7\xE0\xFE.\n");
  RunResult r = Run({"ru.txt", "/detect=statistical", "/loglevel=1", "/nobom"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kHeaderAutoDetect +
                       "Statistical detection: \"ru.txt\" is \"Windows-1251\" (confidence 100%, runner-up "
                       "\"MSMAC-CYRILLIC\").\n"
                       "ProcessFile(ru.txt, " +
                       dir_.path() + "/ru.utf-8.txt, Windows-1251, utf-8)\nSuccess: [58 bytes + 46 Bytes] ru.txt\n" +
                       Summary(1, 58, 0));
  EXPECT_EQ(Read("ru.utf-8.txt"), "Съешь же ещё этих мягких французских булок, да выпей чаю.\n");
  r = Run({"ru.txt", "/nobom"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            kHeaderAutoDetect + "Success: [58 bytes + 46 Bytes] ru.txt\n" +
                "Warning: \"ru.txt\" was read as ISO-8859-1 but looks like Windows-1251 (see /detect=statistical "
                "or /scs=).\n" +
                Summary(1, 58, 0));

  // "Η αλεπού πηδά πάνω από το σκυλί." in ISO-8859-7 under the declaration a person would write.
  Write("el.xml",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-7\"?>\n<p>\xC7 \xE1\xEB\xE5\xF0\xEF\xFD \xF0\xE7\xE4\xDC "
        "\xF0\xDC\xED\xF9 \xE1\xF0\xFC \xF4\xEF \xF3\xEA\xF5\xEB\xDF.</p>\n");
  EXPECT_EQ(Run({"el.xml", "/detect=statistical", "/nobom"}).status, 0);
  EXPECT_EQ(Read("el.utf-8.xml"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-7\"?>\n<p>Η αλεπού πηδά πάνω από το σκυλί.</p>\n");

  const std::string shiftJis =
      "\x8D\xA1\x93\xFA\x82\xCD\x97\xC7\x82\xA2\x93V\x8B"
      "C\x82\xC5\x82\xB7\x82\xCB\x81"
      "B\x8C\xF6\x89\x80\x82\xD6\x8E"
      "U\x95\xE0\x82\xC9\x8Ds\x82\xAB\x82\xDC\x82\xB5\x82\xBD\x81"
      "B";
  Write("jp.txt", shiftJis);
  r = Run({"jp.txt", "/detect=Statistical", "/move"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, kHeaderAutoDetect +
                       "The character set of \"jp.txt\" was detected as \"Shift_JIS\", which cannot be converted; the "
                       "file is left as it is.\nError 2: Conversion of \"jp.txt\" failed.\n" +
                       Summary(0, 0, 1));
  EXPECT_EQ(Read("jp.txt"), shiftJis) << "a refused source stays, even with /move";
  EXPECT_FALSE(Exists("jp.utf-8.txt"));

  r = Run({"ru.txt", "/detect=fast"});
  EXPECT_EQ(r.status, 6);
  EXPECT_EQ(r.out, "Error 6: Detection method \"fast\" is unknown; it is simple or statistical.\n");
}

TEST_F(SingleFile, LineBreaksAndMarkOptions) {
  Write("a.txt", "a\r\nb\rc\n");
  EXPECT_EQ(Run({"a.txt", "/scs=ansi", "/line=UNIX", "/nobom"}).status, 0);
  EXPECT_EQ(Read("a.utf-8.txt"), "a\nb\nc\n");
  EXPECT_EQ(Run({"a.txt", "/scs=ansi", "/line=none", "/nobom"}).status, 0);
  EXPECT_EQ(Read("a.utf-8.txt"), "abc") << "none removes every line break";
}

}  // namespace
}  // namespace glyphshift::e2e
