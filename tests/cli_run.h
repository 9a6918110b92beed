#pragma once

// Starts the built osccalc for the end-to-end tests and collects what it
// did: on Linux with posix_spawn and files (cli_run_posix.cpp), on Windows
// with CreateProcessW and pipes (cli_run_win.cpp).

#include <string>
#include <vector>

namespace clitest {

struct Outcome {
    int status = -1; // exit code; -1 if the program did not exit normally
    std::string out;
    std::string err;
};

#ifdef _WIN32
// Runs osccalc with the arguments, feeding `input` to its standard input.
Outcome runCli(const std::vector<std::string>& args, const std::string& input = {});

// False when the arguments cannot reach osccalc as these bytes: a Windows
// command line is UTF-16, so it carries well-formed UTF-8 and lone
// surrogates (in their three-byte form) but no other malformed bytes.
bool commandLineCarries(const std::vector<std::string>& args);
#else
// Replaces one of the child's standard files: opens `path` with `flags` in its
// place, or, without a path, puts the parent's descriptor `from` there or
// closes it.
struct Redirect {
    int fd;
    const char* path;
    int flags = 0;
    int from = -1;
};

// Runs argv[0] with the arguments, its standard input a file holding `input`
// and its output and errors going to files, then applies `redirects`. A run
// that does not end within 20 s fails the test and is killed.
Outcome runProgram(const std::vector<std::string>& argv, const std::string& input,
                   const std::vector<Redirect>& redirects = {});

// Runs osccalc with the arguments, feeding `input` to its standard input.
Outcome runCli(const std::vector<std::string>& args, const std::string& input = {},
               const std::vector<Redirect>& redirects = {});
#endif

} // namespace clitest
