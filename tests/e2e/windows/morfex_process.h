// Starts the built morfex.exe the way a script or a shell on Windows does: with one raw
// command-line text, standard output and error redirected to files, standard input on NUL or a
// pipe.
#pragma once

#include <windows.h>

#include <string>

namespace glyphshift::e2e {

struct WindowsRun {
  DWORD exitCode = 0xDEAD;  // what GetExitCodeProcess reports; -1 is 0xFFFFFFFF
  std::string out;          // standard output, as written (UTF-8, CR LF)
  std::string err;          // standard error
  bool timedOut = false;
};

// The program's path as Windows names it.
std::u16string MorfexPath();

// Runs morfex with `arguments` as the raw text after the program name, in `directory`; a run
// still going after `timeoutMilliseconds` is ended (timedOut). Standard input is NUL, or with
// `input` a pipe that carries those bytes and then ends.
WindowsRun RunMorfex(const std::u16string& arguments, const std::u16string& directory,
                     DWORD timeoutMilliseconds = 60000, const std::string* input = nullptr);

// A morfex started without waiting, for driving its windows; ended when the object goes.
class CStartedMorfex {
 public:
  CStartedMorfex(const std::u16string& arguments, const std::u16string& directory);
  ~CStartedMorfex();
  CStartedMorfex(const CStartedMorfex&) = delete;
  CStartedMorfex& operator=(const CStartedMorfex&) = delete;

  bool Started() const { return process_ != nullptr; }
  DWORD ProcessId() const { return processId_; }
  // Waits for the end; its exit code, or 0xDEAD after the timeout.
  DWORD Wait(DWORD timeoutMilliseconds);

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

}  // namespace glyphshift::e2e
