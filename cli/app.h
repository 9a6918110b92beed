#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

// Exit codes of osccalc.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitUsage = 2;

// Runs osccalc with its arguments (without the program name); returns the
// exit code. Reads `in` only in the "-" mode.
int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err);

} // namespace cli
