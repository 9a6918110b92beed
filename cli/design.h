#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

// osccalc design CIRCUIT FREQ [options]: standard parts for a target
// frequency. Takes the arguments after "design"; returns the exit code.
int runDesign(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace cli
