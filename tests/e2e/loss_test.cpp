// Nothing lost in silence: every kind of source a conversion cannot carry over whole, into a new
// file, in place and moved, with the default policy, /lossy and /strict. The file left on disk,
// the line that says why, and the exit code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_fixture.h"

namespace glyphshift::e2e {
namespace {

using Loss = MorfexTest;

struct SourceKind {
  const char* what;
  std::string bytes;
  std::vector<std::string> options;  // the sets
  std::string converted;             // the output without a byte order mark
  std::string warning;               // after the result line of a converted file ("" for none)
  std::string refusal;               // the reason of a file left unchanged
};

const std::vector<SourceKind>& Kinds() {
  static const std::vector<SourceKind> kinds = {
      {"clean", "caf\xC3\xA9\n", {"/scs=utf-8", "/dcs=windows-1252"}, "caf\xE9\n", "", ""},
      {"undefined byte",
       "a\x81z\n",
       {"/scs=windows-1252"},
       "a\xEF\xBF\xBDz\n",
       "Warning: 1 byte of \"s.txt\" is not defined in Windows-1252 and was written as U+FFFD (at line 1, column 2).\n",
       "Left unchanged: 1 byte of \"s.txt\" is not defined in Windows-1252 (at line 1, column 2); /lossy converts it "
       "anyway.\n"},
      {"malformed UTF-8",
       "ok\r\na\xC3(\xE0\x80\xAFz\n",  // a cut-off sequence, then an overlong "/"
       {"/scs=utf-8"},
       "ok\r\na\xEF\xBF\xBD(\xEF\xBF\xBDz\n",
       "Warning: 4 bytes of \"s.txt\" are not valid UTF-8 and were written as U+FFFD (first at line 2, column 2).\n",
       "Left unchanged: 4 bytes of \"s.txt\" are not valid UTF-8 (first at line 2, column 2); /lossy converts it "
       "anyway.\n"},
      {"lone surrogate",
       std::string("=\0\x3D\xD8z\0\n\0", 8),  // "=", a high surrogate paired with nothing, "z"
       {"/scs=utf-16"},
       "=\xEF\xBF\xBDz\n",
       "Warning: 2 bytes of \"s.txt\" are not valid UTF-16 and were written as U+FFFD (first at line 1, column 2).\n",
       "Left unchanged: 2 bytes of \"s.txt\" are not valid UTF-16 (first at line 1, column 2); /lossy converts it "
       "anyway.\n"},
      {"odd UTF-16",
       std::string("a\0b\0c", 5),
       {"/scs=utf-16"},
       "ab",
       "Warning: the last byte of \"s.txt\" is half a UTF-16 unit and was not converted.\n",
       "Left unchanged: the last byte of \"s.txt\" is half a UTF-16 unit; /lossy converts it anyway.\n"},
      {"no equivalent",
       "\xE2\x82\xAC 5, \xF0\x9F\x98\x80\n",  // the euro sign and an emoji (a surrogate pair)
       {"/scs=utf-8", "/dcs=iso-8859-1"},
       "? 5, ??\n",  // one byte for each unit of the pair
       "Warning: 2 characters of \"s.txt\" have no equivalent in ISO-8859-1 and were written as \"?\" (first at line "
       "1, "
       "column 1).\n",
       "Left unchanged: converting \"s.txt\" to ISO-8859-1 would lose 2 characters (first at line 1, column 1); /lossy "
       "converts it anyway.\n"},
  };
  return kinds;
}

enum class Destination { New, InPlace, Move };
const char* Named(Destination d) {
  return d == Destination::New ? "new" : d == Destination::InPlace ? "in place" : "move";
}

TEST_F(Loss, EveryKindEveryDestinationEveryPolicy) {
  for (const SourceKind& kind : Kinds()) {
    for (const Destination destination : {Destination::New, Destination::InPlace, Destination::Move}) {
      for (const std::string policy : {"", "/lossy", "/strict"}) {
        SCOPED_TRACE(std::string(kind.what) + ", " + Named(destination) + ", policy \"" + policy + "\"");
        Write("s.txt", kind.bytes);
        ::unlink(P("out.txt").c_str());
        std::vector<std::string> arguments{"s.txt", "/nobom"};
        arguments.insert(arguments.end(), kind.options.begin(), kind.options.end());
        if (destination == Destination::InPlace) arguments.push_back("/replace");
        if (destination != Destination::InPlace) arguments.push_back("/output=out.txt");
        if (destination == Destination::Move) arguments.push_back("/move");
        if (!policy.empty()) arguments.push_back(policy);
        const RunResult r = Run(arguments);

        const bool lossy = !kind.warning.empty();
        const bool refused = lossy && (policy == "/strict" || (policy.empty() && destination != Destination::New));
        const std::string output = destination == Destination::InPlace ? "s.txt" : "out.txt";
        if (refused) {
          EXPECT_EQ(r.status, 7);
          EXPECT_NE(r.out.find(kind.refusal + "Error 7: Conversion of \"s.txt\" failed.\n"), std::string::npos)
              << r.out;
          EXPECT_EQ(Read("s.txt"), kind.bytes) << "the source stays as it is";
          EXPECT_FALSE(Exists("out.txt")) << "nothing is written";
          EXPECT_TRUE(r.out.ends_with(Summary(0, 0, 1))) << r.out;
        } else {
          EXPECT_EQ(r.status, 0) << r.out;
          EXPECT_EQ(Read(output), kind.converted);
          EXPECT_NE(r.out.find("] s.txt\n" + kind.warning + "\n1 file(s)"), std::string::npos) << r.out;
          EXPECT_EQ(Exists("s.txt"), destination != Destination::Move);
        }
      }
    }
  }
}

}  // namespace
}  // namespace glyphshift::e2e
