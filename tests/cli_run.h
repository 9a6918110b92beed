#pragma once

// Windows: starts the built osccalc for the end-to-end tests, with
// CreateProcessW and pipes. (On Linux the tests spawn it themselves.)

#include <string>
#include <vector>

namespace clitest {

struct Outcome {
    int status = -1; // exit code; -1 if the program did not exit normally
    std::string out;
    std::string err;
};

// Runs osccalc with the arguments, feeding `input` to its standard input.
Outcome runCli(const std::vector<std::string>& args, const std::string& input = {});

// False when the arguments cannot reach osccalc as these bytes: a Windows
// command line is UTF-16, so it carries well-formed UTF-8 and lone
// surrogates (in their three-byte form) but no other malformed bytes.
bool commandLineCarries(const std::vector<std::string>& args);

} // namespace clitest
