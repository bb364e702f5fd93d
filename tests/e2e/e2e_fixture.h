// A temporary working directory per test, with helpers to lay out files and run morfex in it.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

#include "e2e/morfex_runner.h"
#include "support/temp_dir.h"

namespace glyphshift::e2e {

using support::Bytes;

class MorfexTest : public support::TempDirTest {
 protected:
  RunResult Run(const std::vector<std::string>& arguments, int timeoutSeconds = 60) {
    return RunMorfex(arguments, dir_.path(), timeoutSeconds);
  }
  std::string P(const std::string& name) const { return dir_.Native(name); }
  void Write(const std::string& name, const std::string& bytes) const { support::WriteFileBytes(P(name), bytes); }
  std::string Read(const std::string& name) const { return support::ReadFileText(P(name)); }
  bool Exists(const std::string& name) const { return support::PathExists(P(name)); }
  void MakeDir(const std::string& name) const { ::mkdir(P(name).c_str(), 0755); }
  std::vector<std::string> Names(const std::string& sub = ".") const { return support::ListNames(P(sub)); }
};

// Windows-1252 "café" with a CR LF, and what it becomes in UTF-8 with a byte order mark.
inline const std::string kCafe1252 = "caf\xE9\r\n";
inline const std::string kCafeUtf8Bom =
    "\xEF\xBB\xBF"
    "caf\xC3\xA9\r\n";

inline const std::string kHeaderAutoDetect =
    "Destination character set: \"utf-8\" (Internal code 100)\n"
    "Source character set: Auto detect\n"
    "\n";
inline const std::string kHeaderFrom1252 =
    "Destination character set: \"utf-8\" (Internal code 100)\n"
    "Source character set: \"CP1252\" (Internal code 18)\n"
    "\n";

inline std::string Summary(int converted, long long bytes, int failed) {
  return "\n" + std::to_string(converted) + " file(s) successfully converted with total size of " +
         std::to_string(bytes) + " Bytes\n" + std::to_string(failed) + " file(s) failed to convert\n";
}

}  // namespace glyphshift::e2e
