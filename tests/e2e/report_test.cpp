// The report mode: /info and /info=json read every source the run would convert and describe
// it on standard output, messages on standard error, and write nothing at all.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <optional>

#include "e2e/e2e_fixture.h"

namespace glyphshift::e2e {
namespace {

using Members = std::map<std::string, std::string>;

// The members of a flat JSON object that fills the line, each value as its JSON text (a string
// with its quotes and escapes); nothing when the line is not such an object. The report's lines
// need no more JSON than that.
std::optional<Members> ParseFlatObject(const std::string& line) {
  std::size_t i = 0;
  const auto string = [&](std::string& token) {
    if (i >= line.size() || line[i] != '"') return false;
    const std::size_t start = i++;
    for (; i < line.size() && line[i] != '"'; ++i) {
      if (static_cast<unsigned char>(line[i]) < 0x20) return false;
      if (line[i] != '\\') continue;
      if (++i >= line.size()) return false;
      if (line[i] == 'u') {
        for (int k = 0; k < 4; ++k) {
          if (++i >= line.size() || !std::isxdigit(static_cast<unsigned char>(line[i]))) return false;
        }
      } else if (std::strchr("\"\\/bfnrt", line[i]) == nullptr) {
        return false;
      }
    }
    if (i >= line.size()) return false;
    token = line.substr(start, ++i - start);
    return true;
  };
  const auto value = [&](std::string& token) {
    if (string(token)) return true;
    const std::size_t start = i;
    while (i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '-')) ++i;
    token = line.substr(start, i - start);
    return token == "true" || token == "false" || token == "null" ||
           (!token.empty() && token.find_first_not_of("0123456789") == std::string::npos);
  };
  Members members;
  if (line.empty() || line[i++] != '{') return std::nullopt;
  while (i < line.size() && line[i] != '}') {
    std::string key, token;
    if (!members.empty() && line[i++] != ',') return std::nullopt;
    if (!string(key) || i >= line.size() || line[i++] != ':' || !value(token)) return std::nullopt;
    if (!members.emplace(key.substr(1, key.size() - 2), token).second) return std::nullopt;
  }
  if (i + 1 != line.size()) return std::nullopt;
  return members;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Every entry below a directory: its kind, bytes or link target, and modification time, so that
// a file written, a temporary created and removed, or a mode changed all show.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    struct stat st {};
    EXPECT_EQ(::lstat(entry.path().c_str(), &st), 0);
    std::string facts =
        std::to_string(st.st_mode) + " " + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    if (entry.is_symlink()) {
      facts += " -> " + std::filesystem::read_symlink(entry.path()).string();
    } else if (entry.is_regular_file()) {
      facts += " " + support::ReadFileText(entry.path().string());
    }
    entries[std::filesystem::relative(entry.path(), root).string()] = facts;
  }
  struct stat st {};
  EXPECT_EQ(::lstat(root.c_str(), &st), 0);
  entries["."] = std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
  return entries;
}

class Report : public MorfexTest {};

// Each field of an entry, from one file each.
TEST_F(Report, EveryFieldFromTheFileItDescribes) {
  const std::string kAnswered = "(any value but null)";
  const struct {
    std::string bytes;
    std::vector<std::string> options;
    Members expected;
  } cases[] = {
      {"\xEF\xBB\xBFhi\n", {}, {{"charset", Quoted("utf-8")}, {"found_by", Quoted("bom")}, {"bom", "true"}}},
      {"gr\xC3\xBC\xC3\x9F\r\n", {}, {{"found_by", Quoted("utf-8")}, {"bom", "false"}, {"model", "null"}}},
      {std::string("h\0i\0\n\0", 6), {}, {{"charset", Quoted("utf-16")}, {"found_by", Quoted("zero-bytes")}}},
      {"Gr\xFC\xDF"
       "e aus K\xF6ln, sch\xF6ne Gr\xFC\xDF"
       "e und viel Gl\xFC"
       "ck f\xFCr die n\xE4"
       "chste Woche.\n",
       {},
       {{"charset", Quoted("ISO-8859-1")},
        {"found_by", Quoted("fallback")},
        {"model", kAnswered},
        {"confidence", kAnswered}}},
      {"abc\n", {"/scs=koi8-r"}, {{"charset", Quoted("KOI8-R")}, {"found_by", Quoted("scs")}, {"model", "null"}}},
      {std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), {}, {{"text", "false"}, {"binary_at", "8"}}},
      {"<?xml version=\"1.0\" encoding='windows-1253'?>\n<a/>\n",
       {},
       {{"xml_encoding", Quoted("windows-1253")}, {"html_charset", "null"}}},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-7\"?>\n<p>\xCA\xE1\xEB\xE7\xEC\xDD\xF1\xE1</p>\n",
       {"/detect=statistical"},
       {{"charset", Quoted("ISO-8859-7")}, {"found_by", Quoted("declaration")}}},
      {"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\"></head></html>",
       {},
       {{"xml_encoding", "null"}, {"html_charset", Quoted("koi8-r")}}},
      {"a\r\nb\nc\rd\r\n\r", {}, {{"crlf", "2"}, {"lf", "1"}, {"cr", "2"}, {"size", "11"}}},
      {"\xE2\x82\xAC und \xC3\xBC und \xCE\xA9\n",
       {"/dcs=iso-8859-1"},
       {{"destination", Quoted("ISO-8859-1")}, {"unrepresentable", "2"}}},
      {"\xE2\x82\xAC\n", {}, {{"destination", "null"}, {"unrepresentable", "null"}}},
      {"ab\xFF"
       "cd\xC3\n",
       {"/scs=utf-8"},
       {{"undecodable", "2"}}},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string name = "f" + std::to_string(n++) + ".txt";
    Write(name, c.bytes);
    std::vector<std::string> arguments = {name, "/info=json"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const RunResult r = Run(arguments);
    SCOPED_TRACE(name + ": " + r.out);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1u);
    const std::optional<Members> members = ParseFlatObject(lines[0]);
    ASSERT_TRUE(members) << "not a JSON object";
    EXPECT_EQ(members->at("name"), Quoted(name));
    for (const auto& [key, value] : c.expected) {
      if (value == kAnswered) {
        EXPECT_NE(members->at(key), "null") << key;
      } else {
        EXPECT_EQ(members->at(key), value) << key;
      }
    }
  }
}

TEST_F(Report, TreeInBothFormatsLeavesEverythingAsItWas) {
  MakeDir("tree");
  MakeDir("tree/sub");
  MakeDir("tree/sub/deeper");
  MakeDir("outside");
  Write("outside/secret.txt", "not to be read\n");
  Write("tree/a.txt", kCafe1252);
  Write("tree/sub/b \"q\".txt", "w\xC3\xB6rter\n");
  Write("tree/sub/deeper/c\xFF.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?><r/>\n");
  Write("tree/.morfex-Abc123", "a temporary file a killed run left\n");
  ASSERT_EQ(::symlink("../outside/secret.txt", P("tree/link.txt").c_str()), 0);
  const auto before = Snapshot(P("tree"));

  const RunResult json = Run({"tree/*", "/r", "/info=json", "/dcs=iso-8859-1"});
  EXPECT_EQ(json.status, 0) << json.err;
  const std::vector<std::string> lines = Lines(json.out);
  std::vector<std::string> names;
  for (const std::string& line : lines) {
    const std::optional<Members> members = ParseFlatObject(line);
    ASSERT_TRUE(members) << line;
    names.push_back(members->at("name"));
  }
  // Listed in name order, a folder's files before its folders; names escaped as JSON, a byte
  // that is no UTF-8 as the surrogate that carries it.
  EXPECT_EQ(names, (std::vector<std::string>{Quoted("tree/a.txt"), Quoted("tree/sub/b \\\"q\\\".txt"),
                                             Quoted("tree/sub/deeper/c\\udcff.xml")}));
  EXPECT_NE(json.err.find("Skipped: \"link.txt\" is a symbolic link.\n"), std::string::npos) << json.err;
  EXPECT_NE(json.err.find("Skipped: \".morfex-Abc123\" is a temporary file"), std::string::npos) << json.err;
  EXPECT_EQ(json.out.find("secret"), std::string::npos);

  const RunResult table = Run({"tree/*", "/r", "/info"});
  EXPECT_EQ(table.status, 0) << table.err;
  const std::vector<std::string> rows = Lines(table.out);
  ASSERT_EQ(rows.size(), 4u) << table.out;
  const std::size_t nameColumn = rows[0].find("Name");
  ASSERT_EQ(rows[0].size(), nameColumn + 4);
  const std::string shown[] = {"tree/a.txt", "tree/sub/b \"q\".txt", "tree/sub/deeper/c\\xff.xml"};
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(rows[i + 1].substr(nameColumn), shown[i]) << rows[i + 1];

  EXPECT_EQ(Snapshot(P("tree")), before) << "a report writes, removes and touches nothing";
}

TEST_F(Report, RefusalsAndUnreadableSources) {
  Write("a.txt", "a\n");
  for (const std::string value : {"/info=xml", "/info=", "/info=json,table"}) {
    const RunResult r = Run({"a.txt", value});
    EXPECT_EQ(r.status, 8) << value;
    EXPECT_EQ(r.err, "Invalid argument: \"" + value + "\": the report is /info (a table) or /info=json (JSON Lines)\n");
    EXPECT_EQ(r.out, "");
  }
  // A source that cannot be read fails as in a conversion; the others are still reported.
  const RunResult missing = Run({"missing.txt", "a.txt", "/info=json"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("Error 2: Conversion of \"missing.txt\" failed.\n"), std::string::npos) << missing.err;
  EXPECT_EQ(Lines(missing.out).size(), 1u);
  const RunResult folder = Run({".", "/info"});
  EXPECT_EQ(folder.status, 3);
  EXPECT_EQ(folder.out, "");
  EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace glyphshift::e2e
