// morfex.exe run under Wine as scripts run it: exact command lines, files written, output with
// CR LF line ends, exit codes (-1 is 0xFFFFFFFF), log files, byte order marks, in place and /move.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/windows/morfex_process.h"
#include "support/temp_dir.h"

namespace glyphshift::e2e {
namespace {

using ::testing::HasSubstr;

class MorfexWindows : public support::TempDirTest {
 protected:
  std::u16string Here() const { return std::u16string(dir_.path().begin(), dir_.path().end()); }
  WindowsRun Run(const std::u16string& arguments) { return RunMorfex(arguments, Here()); }
  void Write(const std::string& name, std::string_view bytes) { support::WriteFileBytes(dir_.Native(name), bytes); }
  std::string Read(const std::string& name) const { return support::ReadFileText(dir_.Native(name)); }
  bool Exists(const std::string& name) const { return support::PathExists(dir_.Native(name)); }
};

TEST_F(MorfexWindows, SingleFileBesideTheSourceWithCrLfOutput) {
  Write("letter.txt",
        "Gr\xFC\xDF"
        "e\r\n");
  const WindowsRun run = Run(u"letter.txt /scs=windows-1252");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(Read("letter.utf-8.txt"),
            "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
            "e\r\n");
  EXPECT_EQ(run.out,
            "Destination character set: \"utf-8\" (Internal code 100)\r\n"
            "Source character set: \"Windows-1252\" (Internal code 18)\r\n"
            "\r\n"
            "Success: [7 bytes + 5 Bytes] letter.txt\r\n"
            "\r\n"
            "1 file(s) successfully converted with total size of 7 Bytes\r\n"
            "0 file(s) failed to convert\r\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(MorfexWindows, ByteOrderMarksByDestination) {
  struct Case {
    std::u16string options;
    std::string output;
    std::string bytes;
  };
  Write("t.txt", "A\xE9");
  const Case cases[] = {
      {u"/dcs=utf-16", "t.UTF-16.txt",
       std::string("\xFF\xFE"
                   "A\0\xE9\0",
                   6)},
      {u"/dcs=utf-16be", "t.UTF-16BE.txt", std::string("\xFE\xFF\0A\0\xE9", 6)},
      {u"/dcs=utf-8 /nobom", "t.UTF-8.txt", "A\xC3\xA9"},
      {u"/dcs=iso-8859-1", "t.ISO-8859-1.txt", "A\xE9"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(u"t.txt /scs=windows-1252 " + c.options).exitCode, 0u);
    EXPECT_EQ(Read(c.output), c.bytes) << c.output;
  }
}

TEST_F(MorfexWindows, WildcardsThroughTheTreeIntoAnOutputFolder) {
  std::filesystem::create_directories(std::filesystem::path(dir_.path()) / "src" / "sub" / "deeper");
  std::filesystem::create_directories(std::filesystem::path(dir_.path()) / "out");
  Write("src/x.txt", "x");
  Write("src/sub/y.txt", "y");
  Write("src/sub/deeper/z.TXT", "z");
  Write("src/sub/other.dat", "o");
  const WindowsRun run = Run(u"src\\*.txt /r /output=out /dcs=utf-16");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_THAT(run.out, HasSubstr("\r\n3 file(s) successfully converted with total size of 3 Bytes\r\n"));
  EXPECT_EQ(Read("out/x.txt"), std::string("\xFF\xFEx\0", 4));
  EXPECT_EQ(Read("out/sub/y.txt"), std::string("\xFF\xFEy\0", 4));
  EXPECT_EQ(Read("out/sub/deeper/z.TXT"), std::string("\xFF\xFEz\0", 4)) << "patterns ignore case";
  EXPECT_FALSE(Exists("out/sub/other.dat"));
}

TEST_F(MorfexWindows, ExitCodes) {
  Write("a.txt", "a");
  std::filesystem::create_directories(std::filesystem::path(dir_.path()) / "folder");
  const struct {
    std::u16string arguments;
    DWORD code;
    std::string printed;
  } cases[] = {
      {u"missing.txt", 2, "Error 2: Conversion of \"missing.txt\" failed."},
      {u"folder", 3, "Invalid argument: folder is a directory. Use wildcards like *.txt instead!"},
      {u"a.txt /output=out*.txt", 4, "Invalid argument: Wildcard in destination file is not allowed!"},
      {u"*.txt /output=a.txt", 5, "Invalid argument: File as destination for multiple source files are not allowed!"},
      {u"a.txt /dcs=klingon", 6, "Error 6: Character set \"klingon\" is unknown."},
      {u"a.txt /scs=klingon /dcs=nope", 6, "Error 6: Character set \"nope\" is unknown."},
  };
  for (const auto& c : cases) {
    const WindowsRun run = Run(c.arguments);
    EXPECT_EQ(run.exitCode, c.code) << std::string(c.arguments.begin(), c.arguments.end());
    EXPECT_THAT(run.out, HasSubstr(c.printed));
  }
  // No display here: the help text goes to standard output, the dialog cannot open; both -1.
  const WindowsRun help = Run(u"/?");
  EXPECT_EQ(help.exitCode, 0xFFFFFFFFu);
  EXPECT_THAT(help.out, HasSubstr("Glyphshift \"1, 3, 15, 2\"\r\n")) << "the version resource of morfex.exe";
  EXPECT_THAT(help.out, HasSubstr("6\t\tInvalid argument: Character set is unknown.\r\n"));
  const WindowsRun dialog = Run(u"");
  EXPECT_EQ(dialog.exitCode, 0xFFFFFFFFu);
  EXPECT_THAT(dialog.err, HasSubstr("morfex: no display for the dialog")) << "not without a word";
}

// The statistical model gives the answers it gives on Linux: the same set, confidence and
// runner-up for each of our samples, and a set it cannot convert refused.
TEST_F(MorfexWindows, StatisticalDetectionAnswersAsOnLinux) {
  std::filesystem::create_directories(std::filesystem::path(dir_.path()) / "out");
  // Greek in ISO-8859-7, Russian in KOI8-R and in DOS-866, Japanese in Shift_JIS.
  Write("el.txt",
        "\xC7 \xE3\xF1\xDE\xE3\xEF\xF1\xE7 \xEA\xE1\xF6\xDD \xE1\xEB\xE5\xF0\xEF\xFD \xF0\xE7\xE4\xDC \xF0\xDC\xED\xF9 "
        "\xE1\xF0\xFC \xF4\xEF \xF4\xE5\xEC\xF0\xDD\xEB\xE9\xEA\xEF \xF3\xEA\xF5\xEB\xDF \xEA\xE1\xE9 "
        "\xF4\xF1\xDD\xF7\xE5\xE9 "
        "\xF3\xF4\xEF \xE4\xDC\xF3\xEF\xF2.\n");
  Write("ru.txt",
        "\xFB\xC9\xD2\xCF\xCB\xC1\xD1 \xDC\xCC\xC5\xCB\xD4\xD2\xC9\xC6\xC9\xCB\xC1\xC3\xC9\xD1 \xC0\xD6\xCE\xD9\xC8 "
        "\xC7\xD5\xC2\xC5\xD2\xCE\xC9\xCA \xC4\xC1\xD3\xD4 \xCD\xCF\xDD\xCE\xD9\xCA \xD4\xCF\xCC\xDE\xCF\xCB "
        "\xD0\xCF\xC4\xDF\xA3\xCD\xD5 \xD3\xC5\xCC\xD8\xD3\xCB\xCF\xC7\xCF \xC8\xCF\xDA\xD1\xCA\xD3\xD4\xD7\xC1.\n");
  Write("dos.txt",
        "\x91\xEA\xA5\xE8\xEC \xA6\xA5 \xA5\xE9\xF1 \xED\xE2\xA8\xE5 \xAC\xEF\xA3\xAA\xA8\xE5 "
        "\xE4\xE0\xA0\xAD\xE6\xE3\xA7\xE1\xAA\xA8\xE5 \xA1\xE3\xAB\xAE\xAA, \xA4\xA0 \xA2\xEB\xAF\xA5\xA9 "
        "\xE7\xA0\xEE.\n");
  const std::string japanese =
      "\x8D\xA1\x93\xFA\x82\xCD\x97\xC7\x82\xA2\x93V\x8B"
      "C\x82\xC5\x82\xB7\x82\xCB\x81"
      "B\x8C\xF6\x89\x80\x82\xD6\x8E"
      "U\x95\xE0\x82\xC9\x8Ds\x82\xAB\x82\xDC\x82\xB5\x82\xBD\x81"
      "B";
  Write("jp.txt", japanese);
  const WindowsRun run = Run(u"*.txt /detect=statistical /loglevel=1 /dcs=utf-8 /nobom /output=out");
  EXPECT_EQ(run.exitCode, 2u) << "the Shift_JIS file failed";
  for (const char* answer : {"el.txt\" is \"Windows-1253\" (confidence 100%, runner-up \"MSMAC-GREEK\").\r\n",
                             "ru.txt\" is \"KOI8-R\" (confidence 100%, runner-up \"DOS-437\").\r\n",
                             "dos.txt\" is \"DOS-866\" (confidence 100%, runner-up \"DOS-855\").\r\n",
                             "jp.txt\" was detected as \"Shift_JIS\", which cannot be converted"}) {
    EXPECT_THAT(run.out, HasSubstr(answer));
  }
  EXPECT_EQ(Read("out/el.txt"), "Η γρήγορη καφέ αλεπού πηδά πάνω από το τεμπέλικο σκυλί και τρέχει στο δάσος.\n");
  EXPECT_EQ(Read("out/ru.txt"),
            "Широкая электрификация южных губерний даст мощный толчок подъёму сельского хозяйства.\n");
  EXPECT_EQ(Read("out/dos.txt"), "Съешь же ещё этих мягких французских булок, да выпей чаю.\n");
  EXPECT_FALSE(Exists("out/jp.txt"));
  EXPECT_EQ(Read("jp.txt"), japanese);

  // The report gives the same answers, one JSON line a file in name order, and writes nothing.
  const auto entries = [&] {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) ++count;
    return count;
  };
  const std::size_t before = entries();
  const WindowsRun report = Run(u"*.txt /detect=statistical /info=json");
  EXPECT_EQ(report.exitCode, 0u) << report.err;
  const std::string lines[] = {
      "{\"name\":\"dos.txt\",\"charset\":\"DOS-866\",\"convertible\":true,\"found_by\":\"model\"",
      "{\"name\":\"el.txt\",\"charset\":\"Windows-1253\",\"convertible\":true,\"found_by\":\"model\"",
      "{\"name\":\"jp.txt\",\"charset\":\"Shift_JIS\",\"convertible\":false,\"found_by\":\"model\"",
      "{\"name\":\"ru.txt\",\"charset\":\"KOI8-R\",\"convertible\":true,\"found_by\":\"model\""};
  std::size_t at = 0;
  for (const std::string& line : lines) {
    at = report.out.find(line, at);
    EXPECT_NE(at, std::string::npos) << line << "\nin:\n" << report.out;
  }
  EXPECT_EQ(entries(), before);
}

TEST_F(MorfexWindows, LogFileIsAppendedWithCrLfAndAStartLinePerRun) {
  Write("a.txt", "a");
  EXPECT_EQ(Run(u"a.txt /log=run.log").out, "") << "a log replaces the console";
  const WindowsRun second = Run(u"missing.txt /log=run.log /loglevel=1");
  EXPECT_EQ(second.exitCode, 2u);
  const std::string log = Read("run.log");
  EXPECT_THAT(log, ::testing::StartsWith("\r\n[20"));
  EXPECT_THAT(log, HasSubstr("] - Start\r\n\r\nDestination character set: "));
  EXPECT_THAT(log, HasSubstr("Success: [1 bytes + 3 Bytes] a.txt\r\n"));
  EXPECT_THAT(log, HasSubstr("\r\n\r\n["));
  EXPECT_THAT(log, HasSubstr("ProcessFile("));
  EXPECT_THAT(log, HasSubstr("Error 2: Conversion of \"missing.txt\" failed.\r\n"));
  EXPECT_EQ(log.find("\n\n"), std::string::npos) << "every line feed has its CR";
  EXPECT_EQ(Run(u"a.txt /log=folder-missing\\run.log").exitCode, 0xFFFFFFFFu) << "no log, no run";
}

TEST_F(MorfexWindows, InPlaceAndMoveNeverLoseTheSource) {
  Write("same.txt", "\xE9");
  EXPECT_EQ(Run(u"same.txt /scs=windows-1252 /replace /nobom").exitCode, 0u);
  EXPECT_EQ(Read("same.txt"), "\xC3\xA9");
  Write("moved.txt", "m");
  EXPECT_EQ(Run(u"moved.txt /scs=windows-1252 /output=target.txt /move").exitCode, 0u);
  EXPECT_FALSE(Exists("moved.txt"));
  EXPECT_EQ(Read("target.txt"), "\xEF\xBB\xBFm");
  // The destination is the source under another spelling: converted, and not deleted.
  Write("self.txt", "s");
  EXPECT_EQ(Run(u"self.txt /scs=windows-1252 /output=.\\SELF.TXT /move /nobom").exitCode, 0u);
  EXPECT_EQ(Read("self.txt"), "s");
  const std::vector<std::string> names = support::ListNames(dir_.path());
  EXPECT_EQ(names.size(), 3u);
  for (const std::string& name : names) EXPECT_NE(name.substr(0, 8), ".morfex-") << "a temporary file was left";
}

TEST_F(MorfexWindows, RawCommandLineQuotesAndBackslashes) {
  std::filesystem::create_directories(std::filesystem::path(dir_.path()) / "in dir");
  std::filesystem::create_directories(std::filesystem::path(dir_.path()) / "out dir");
  Write("in dir/my file.txt", "q");
  // A quoted first argument may hold spaces; a quoted "/output=" value loses its quotes, and a
  // backslash before the closing quote is just a backslash; two spaces make no empty argument.
  WindowsRun run = Run(u"\"in dir\\my file.txt\"  /output=\"out dir\\\" /dcs=utf-16 /nobom");
  EXPECT_EQ(run.exitCode, 0u) << run.out;
  EXPECT_EQ(Read("out dir/my file.txt"), std::string("q\0", 2));
  // Quoted the C runtime's way, as a program passes /output="out dir" to a child: the option
  // table gets what the shell on Linux would hand over.
  std::filesystem::remove(std::filesystem::path(dir_.path()) / "out dir" / "my file.txt");
  run = Run(u"\"in dir\\my file.txt\" \"/output=\\\"out dir\\\"\" /dcs=utf-8 /nobom");
  EXPECT_EQ(run.exitCode, 0u) << run.out;
  EXPECT_EQ(Read("out dir/my file.txt"), "q");
  // A value quoted with escaped quotes, as a caller writes /output="outdir" into a command line.
  Write("plain.txt", "p");
  std::filesystem::create_directory(dir_.Native("outdir"));
  run = Run(u"plain.txt /output=\\\"outdir\\\" /nobom");
  EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
  EXPECT_EQ(Read("outdir/plain.txt"), "p") << "into the folder, not beside the source";
  EXPECT_FALSE(Exists("plain.2.txt"));
  // Several sources, the options anywhere.
  Write("a.txt", "a");
  Write("b.txt", "b");
  run = Run(u"/nobom a.txt /dcs=utf-16be b.txt");
  EXPECT_EQ(run.exitCode, 0u) << run.out;
  EXPECT_EQ(Read("b.UTF-16BE.txt"), std::string("\0b", 2));
  EXPECT_THAT(run.out, HasSubstr("\r\n2 file(s) successfully converted"));
  // What cannot be read, or is no option, ends with 8 and one line on standard error.
  for (const std::u16string line : {u"a.txt /output=\"out", u"a.txt /output=\"x\"y", u"a.txt /line=\"unix\"",
                                    u"a.txt /recurse", u"a.txt /nobom\tx"}) {
    run = Run(line);
    EXPECT_EQ(run.exitCode, 8u) << std::string(line.begin(), line.end());
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, ::testing::StartsWith("Invalid argument: "));
  }
  EXPECT_THAT(Run(u"a.txt /recurse").err, HasSubstr("unknown option \"/recurse\" (did you mean \"/recursive\"?)\r\n"));
}

// Standard input (NUL here) to standard output: the converted bytes alone on standard output.
TEST_F(MorfexWindows, FilterModeWritesTheTextAloneToStandardOutput) {
  const WindowsRun run = Run(u"- /scs=ansi");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out, "\xEF\xBB\xBF");
  EXPECT_THAT(run.err, HasSubstr("Success: [0 bytes + 3 Bytes] (standard input)\r\n"));
}

// Through a real pipe, as `type a.txt | morfex - ...` runs it: the text in, converted out.
TEST_F(MorfexWindows, FilterModeConvertsWhatAPipeCarries) {
  std::string text;
  for (int line = 0; line < 3000; ++line)
    text +=
        "Gr\xFC\xDF"
        "e " +
        std::to_string(line) + "\r\n";
  const WindowsRun run = RunMorfex(u"- /scs=windows-1252 /dcs=utf-8 /nobom", Here(), 60000, &text);
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  std::string expected;
  for (int line = 0; line < 3000; ++line)
    expected +=
        "Gr\xC3\xBC\xC3\x9F"
        "e " +
        std::to_string(line) + "\r\n";
  EXPECT_EQ(run.out, expected);
  EXPECT_THAT(run.err, HasSubstr("(standard input)\r\n"));
}

// Nothing lost in silence, on Windows as on Linux: a lossy conversion into a new file warns, in
// place it leaves the file as it is (exit 7); a file that is no text is skipped in a listing.
TEST_F(MorfexWindows, LossyAndBinaryFilesAreProtected) {
  Write("u.txt", "caf\xC3\xA9 \xE2\x82\xAC\r\n");
  WindowsRun run = Run(u"u.txt /scs=utf-8 /dcs=iso-8859-1 /replace");
  EXPECT_EQ(run.exitCode, 7u);
  EXPECT_THAT(run.out,
              HasSubstr("Left unchanged: converting \"u.txt\" to ISO-8859-1 would lose 1 character (at line 1, "
                        "column 6); /lossy converts it anyway.\r\nError 7: Conversion of \"u.txt\" failed.\r\n"));
  EXPECT_EQ(Read("u.txt"), "caf\xC3\xA9 \xE2\x82\xAC\r\n");
  run = Run(u"u.txt /scs=utf-8 /dcs=iso-8859-1 /output=new.txt");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_THAT(run.out, HasSubstr("] u.txt\r\nWarning: 1 character of \"u.txt\" has no equivalent in ISO-8859-1"));
  EXPECT_EQ(Read("new.txt"), "caf\xE9 ?\r\n");

  std::filesystem::create_directory(dir_.Native("w"));
  Write("w/a.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
  Write("w/t.txt", "text\r\n");
  run = Run(u"w\\* /dcs=utf-16 /replace");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_THAT(run.out, HasSubstr("Skipped: \"a.png\" is not a text file (binary data at byte 8).\r\n"));
  EXPECT_THAT(run.out, HasSubstr("1 file(s) successfully converted with total size of 6 Bytes\r\n0 file(s) failed"));
  EXPECT_EQ(Read("w/a.png"), std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
}

}  // namespace
}  // namespace glyphshift::e2e
