// Runs the built morfex as a separate process, the way a script would, and collects what it
// printed and its exit status.
#pragma once

#include <string>
#include <vector>

namespace glyphshift::e2e {

struct RunResult {
  int status = -1;         // exit status 0..255; -1 when the program did not exit normally
  std::string out;         // standard output
  std::string err;         // standard error
  long peakKilobytes = 0;  // the most memory the program held at once (resident set), as sampled
};

// How a run is fed and watched beyond its arguments.
struct RunFeed {
  std::string input;             // standard input (a pipe), written `repeat` times, then closed
  std::size_t repeat = 1;        // a large input without a large buffer here
  int pauseMilliseconds = 0;     // before the last copy of `input` (or its second half): a run that lasts
  bool inputIsNull = true;       // no input at all: standard input is /dev/null
  bool errorOnTerminal = false;  // standard error on a pseudo-terminal, as a person's shell has it
  bool outputClosed = false;     // standard output a pipe whose reader has gone
  unsigned long openFiles = 0;   // where not 0, the run's hard and soft limit of open files
};

// Runs morfex with `arguments` (argv[1..]) in `directory`, without a display, without a
// controlling terminal and with standard input at /dev/null. A run that takes longer than
// `timeoutSeconds` is killed (status -1): a conversion that blocks is a failure, not a hang.
RunResult RunMorfex(const std::vector<std::string>& arguments, const std::string& directory, int timeoutSeconds = 60);
RunResult RunMorfex(const std::vector<std::string>& arguments, const std::string& directory, const RunFeed& feed,
                    int timeoutSeconds = 60);

// A morfex run in the background, for tests that interrupt it; its output goes nowhere (give it
// a log to watch its progress). A run still going when the object ends is killed.
class CBackgroundMorfex {
 public:
  CBackgroundMorfex(const std::vector<std::string>& arguments, const std::string& directory);
  ~CBackgroundMorfex();
  CBackgroundMorfex(const CBackgroundMorfex&) = delete;
  CBackgroundMorfex& operator=(const CBackgroundMorfex&) = delete;

  // Sends `signal` and waits for the end; the wait status.
  int Stop(int signal);
  // Waits for the end; the wait status.
  int Wait();

 private:
  int pid_ = -1;
};

// Splits printed text into lines, without their line feeds; a last line without a line feed is
// kept as it is.
std::vector<std::string> Lines(const std::string& text);

}  // namespace glyphshift::e2e
