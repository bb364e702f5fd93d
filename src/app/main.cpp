// morfex on POSIX: the shell has split the arguments already; each argv entry is one argument
// as delivered (quotes the shell kept stay), and every one is used: a shell's expansion of
// *.txt may give thousands.
#include <new>
#include <string>
#include <vector>

#include "app/startup.h"
#include "messages/output_routing.h"
#include "messages/print_message.h"
#include "messages/results.h"
#include "platform/native_text.h"

int main(int argc, char** argv) {
  using namespace glyphshift;
  int code = Code(Result::Abandoned);
  try {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(platform::FromNative(argv[i]));
    code = RunProgram(arguments);
  } catch (const std::bad_alloc&) {
    // Allocation failure ends the run with its own exit code, never with an abort.
    PrintOutOfMemory();
    code = Code(Result::Abandoned);
  }
  return EndOutput(code) & 0xFF;  // -1 is status 255
}
