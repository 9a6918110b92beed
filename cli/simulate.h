#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

// The simulator is missing or failed.
inline constexpr int kExitSimulator = 4;

// osccalc simulate: the arguments after "simulate" (and the options before it).
int runSimulate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace cli
