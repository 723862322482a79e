// t6-reg: the emulated machine's registry tool, with reg.exe's operations, options and texts.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace t6reg {

// Runs one command ("query KEY /s", "add KEY /v NAME /t REG_SZ /d DATA /f", "delete KEY /f")
// on the loaded emulated machine. Results and questions go to `out`, errors to `err`; a
// question is answered by one line of `answers`. Returns the exit code (0 success, 1 failure).
int RunRegCommand(const std::vector<std::string>& args, std::istream& answers, std::ostream& out,
                  std::ostream& err);

}  // namespace t6reg
