// The catalogue's shape and the two look-ups between names and codes.
#include "engine/charset_catalogue.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace glyphshift {
namespace {

// Readable failure output: the catalogue's names are ASCII; anything else shows as \uXXXX.
std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out;
}

std::u16string Lower(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return out;
}

std::u16string Upper(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  }
  return out;
}

struct Resolved {
  bool ok;
  CharsetCode code;
  const char16_t* name;
};

// Starts from sentinel outputs so a failure can be checked for leaving them alone.
Resolved Resolve(const char16_t* text) {
  Resolved r{false, -12345, text};
  r.ok = ResolveCharsetName(&r.code, &r.name);
  return r;
}

// ---- shape ----------------------------------------------------------------------------------

TEST(CharsetCatalogue, Holds182RecordsEndedByAnAllZeroRecord) {
  const auto records = CharsetCatalogue();
  ASSERT_EQ(records.size(), 182u);
  // The terminator sits right after the span; walks stop at its empty name.
  const CharsetRecord& end = records.data()[records.size()];
  EXPECT_EQ(end.name[0], 0);
  EXPECT_EQ(end.description[0], 0);
  EXPECT_EQ(end.code, 0);
  EXPECT_EQ(end.listed, 0);
  for (const CharsetRecord& r : records) EXPECT_NE(r.name[0], 0) << "an empty name would end walks early";
}

TEST(CharsetCatalogue, EachCodeHasOnePrimaryFollowedByItsAliases) {
  CharsetCode previous = -1;
  int primaries = 0, aliases = 0;
  for (const CharsetRecord& r : CharsetCatalogue()) {
    const std::string what = Narrow(r.name);
    EXPECT_TRUE(IsSingleByteCode(r.code) && r.code != 11) << what << " has code " << r.code;
    if (r.listed != 0) {
      EXPECT_EQ(r.listed, 1) << what;
      EXPECT_GT(r.code, previous) << what << ": a primary must open a new, higher code";
      EXPECT_NE(r.description[0], 0) << what << ": a primary needs a description";
      previous = r.code;
      ++primaries;
    } else {
      EXPECT_EQ(r.code, previous) << what << ": an alias must follow its primary";
      EXPECT_EQ(r.description[0], 0) << what << ": aliases carry no description";
      ++aliases;
    }
  }
  EXPECT_EQ(primaries, 59);
  EXPECT_EQ(aliases, 123);
  EXPECT_EQ(previous, 59);
}

TEST(CharsetCatalogue, NamesAreUniqueIgnoringCaseExceptCp874) {
  std::map<std::u16string, int> seen;
  for (const CharsetRecord& r : CharsetCatalogue()) ++seen[Lower(r.name)];
  for (const auto& [name, count] : seen) {
    EXPECT_EQ(count, name == u"cp874" ? 2 : 1) << Narrow(name);
  }
}

TEST(CharsetCatalogue, ListingYieldsThe59PrimariesInCodeOrder) {
  std::vector<const CharsetRecord*> listed;
  for (const CharsetRecord* r = CharsetCatalogue().data(); r->name[0] != 0; ++r) {
    if (r->listed != 0) listed.push_back(r);
  }
  ASSERT_EQ(listed.size(), 59u);
  EXPECT_EQ(std::u16string_view(listed.front()->name), u"ISO-8859-1");
  EXPECT_EQ(std::u16string_view(listed.back()->name), u"EBCDIC-1026");
  std::set<CharsetCode> codes;
  for (const CharsetRecord* r : listed) codes.insert(r->code);
  EXPECT_EQ(codes.size(), 59u);
  EXPECT_EQ(codes.count(11), 0u);
}

// ---- name to code -----------------------------------------------------------------------------

TEST(ResolveCharsetName, UnicodeFormsInAnyCaseGiveTheLowerCaseCanonicalName) {
  const struct {
    const char16_t* spelling;
    CharsetCode code;
    std::u16string_view canonical;
  } cases[] = {
      {u"utf8", 100, u"utf-8"},       {u"UTF-8", 100, u"utf-8"},       {u"Utf 8", 100, u"utf-8"},
      {u"utf16", 101, u"utf-16"},     {u"UTF-16", 101, u"utf-16"},     {u"uTF 16", 101, u"utf-16"},
      {u"UTF16BE", 102, u"utf-16be"}, {u"utf-16BE", 102, u"utf-16be"}, {u"UTF 16BE", 102, u"utf-16be"},
  };
  for (const auto& c : cases) {
    const Resolved r = Resolve(c.spelling);
    ASSERT_TRUE(r.ok) << Narrow(c.spelling);
    EXPECT_EQ(r.code, c.code) << Narrow(c.spelling);
    EXPECT_EQ(std::u16string_view(r.name), c.canonical) << Narrow(c.spelling);
  }
  // The canonical spelling is the engine's own storage, the same one CharsetNameFromCode gives.
  EXPECT_EQ(Resolve(u"UTF8").name, CharsetNameFromCode(100));
}

TEST(ResolveCharsetName, EveryRecordResolvesToTheFirstRecordOfItsNameInAnyCase) {
  // The first record of a name wins: the second "CP874" (code 40) gives the first (code 15).
  std::map<std::u16string, const CharsetRecord*> first;
  for (const CharsetRecord& r : CharsetCatalogue()) {
    const CharsetRecord* owner = first.emplace(Lower(r.name), &r).first->second;
    for (const std::u16string& spelling : {std::u16string(r.name), Lower(r.name), Upper(r.name)}) {
      const Resolved got = Resolve(spelling.c_str());
      ASSERT_TRUE(got.ok) << Narrow(spelling);
      EXPECT_EQ(got.code, owner->code) << Narrow(spelling);
      EXPECT_EQ(got.name, owner->name) << Narrow(spelling) << ": must point at the stored name";
    }
  }
  EXPECT_EQ(Resolve(u"CP874").code, 15);
}

TEST(ResolveCharsetName, AliasesKeepTheirOwnSpelling) {
  const struct {
    const char16_t* typed;
    CharsetCode code;
    std::u16string_view canonical;
  } cases[] = {
      {u"LATIN1", 0, u"Latin1"},      {u"cp1252", 18, u"CP1252"}, {u"ansi", 18, u"Ansi"},
      {u"cp874", 15, u"CP874"},       {u"874", 40, u"874"},       {u"dos 874", 40, u"DOS 874"},
      {u"Dos-874", 40, u"DOS-874"},   {u"437", 25, u"437"},       {u"cp-1006", 54, u"CP-1006"},
      {u"NEXTSTEP", 55, u"nextstep"},
  };
  for (const auto& c : cases) {
    const Resolved r = Resolve(c.typed);
    ASSERT_TRUE(r.ok) << Narrow(c.typed);
    EXPECT_EQ(r.code, c.code) << Narrow(c.typed);
    EXPECT_EQ(std::u16string_view(r.name), c.canonical) << Narrow(c.typed);
  }
}

TEST(ResolveCharsetName, RejectsNearMissesAndLeavesOutputsAlone) {
  const char16_t* const misses[] = {
      u"",
      u" ISO-8859-1",
      u"ISO-8859-1 ",
      u"ISO_8859-1",
      u"ISO-8859-12",
      u"ISO-8859",
      u"ISO-8859-1x",
      u"utf-16le",
      u"utf_8",
      u"utf-8\t",
      u"Windows-1252;",
      u"cp",
      u"\u0130SO-8859-1",  // dotted capital I: no Unicode folding
      u"lat\u0131n1",      // dotless small i
      u"\uFF35TF-8",       // fullwidth U
  };
  for (const char16_t* miss : misses) {
    const Resolved r = Resolve(miss);
    EXPECT_FALSE(r.ok) << Narrow(miss);
    EXPECT_EQ(r.code, -12345) << Narrow(miss);
    EXPECT_EQ(r.name, miss) << Narrow(miss);
  }
}

TEST(ResolveCharsetName, NullInputsAreRejectedNotDereferenced) {
  CharsetCode code = 7;
  const char16_t* name = nullptr;
  EXPECT_FALSE(ResolveCharsetName(&code, &name));
  EXPECT_EQ(code, 7);
  EXPECT_EQ(name, nullptr);
  name = u"utf-8";
  EXPECT_FALSE(ResolveCharsetName(nullptr, &name));
  EXPECT_EQ(std::u16string_view(name), u"utf-8");
  EXPECT_FALSE(ResolveCharsetName(&code, nullptr));
}

// ---- code to name ------------------------------------------------------------------------------

TEST(CharsetNameFromCode, UnicodeCodesGiveLowerCaseNames) {
  EXPECT_EQ(std::u16string_view(CharsetNameFromCode(100)), u"utf-8");
  EXPECT_EQ(std::u16string_view(CharsetNameFromCode(101)), u"utf-16");
  EXPECT_EQ(std::u16string_view(CharsetNameFromCode(102)), u"utf-16be");
  EXPECT_EQ(PrimaryRecordFromCode(101), nullptr);
}

TEST(CharsetNameFromCode, SingleByteCodesGiveTheirPrimaryRecord) {
  for (CharsetCode code = 0; code < kSingleByteTableCount; ++code) {
    const CharsetRecord* primary = PrimaryRecordFromCode(code);
    if (code == 11) {
      EXPECT_EQ(primary, nullptr);
      EXPECT_EQ(CharsetNameFromCode(code), nullptr);
      continue;
    }
    ASSERT_NE(primary, nullptr) << code;
    EXPECT_EQ(primary->code, code);
    EXPECT_EQ(primary->listed, 1) << code;
    EXPECT_EQ(CharsetNameFromCode(code), primary->name) << code;
    // Round trip: the primary name resolves back to its own code.
    const Resolved back = Resolve(primary->name);
    EXPECT_TRUE(back.ok && back.code == code) << Narrow(primary->name);
  }
  EXPECT_EQ(std::u16string_view(CharsetNameFromCode(kCharsetWindows1252)), u"Windows-1252");
  EXPECT_EQ(std::u16string_view(CharsetNameFromCode(40)), u"DOS-874");
}

TEST(CharsetNameFromCode, CodesWithoutARecordGiveNull) {
  for (CharsetCode code : {11, 60, 99, 103, -1, 0x7FFF'FFFF, INT_MIN}) {
    EXPECT_EQ(CharsetNameFromCode(code), nullptr) << code;
    EXPECT_EQ(PrimaryRecordFromCode(code), nullptr) << code;
  }
}

}  // namespace
}  // namespace glyphshift
