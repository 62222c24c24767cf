#pragma once

#include <iosfwd>

namespace tolvan::catalogue {

// Exit codes of tolvan-catalogue.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the command failed, or check found problems
inline constexpr int kExitUsage = 2;   // the command line is wrong

// The whole tool: parses the command line, runs the command, reports on `out` and `err`.
int runCatalogueTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace tolvan::catalogue
