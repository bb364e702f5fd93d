// Compiled, not run: each CASE but 0 must be rejected by the compile-time format check.
#include "messages/print_message.h"

namespace glyphshift {

void Check() {
  const std::u16string name = u"n";
#if CASE == 0
  PrintMessage(u"%S.%S:%d - %s %I64d %04X %#x %02d 100%%\n", "f", "g", 1, name, std::int64_t{2}, 3u, 4, 5);
  PrintDiagnostic(std::u16string_view(u"%d"), name);  // chosen at run time: checked while printing
#elif CASE == 1
  PrintMessage(u"%d file(s)\n", std::int64_t{1});
#elif CASE == 2
  PrintMessage(u"%s and %s\n", name);
#elif CASE == 3
  PrintDiagnostic(u"%S\n", name);
#elif CASE == 4
  PrintMessage(u"%u\n", 1u);
#elif CASE == 5
  PrintMessage(u"no argument\n", 1);
#endif
}

}  // namespace glyphshift
