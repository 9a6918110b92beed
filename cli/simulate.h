#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// A positive plain number of at most `most` (--vcc, --limit), or nullopt.
std::optional<double> positiveNumber(const std::string& text, double most);

// The longest wall-clock limit a simulation may be given, in seconds.
inline constexpr double kMaxLimitSeconds = 600;

// The simulator is missing or failed.
inline constexpr int kExitSimulator = 4;

// osccalc simulate: the arguments after "simulate" (and the options before it).
int runSimulate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace cli
