#include "cli/console.h"
#include "cli/osccalc.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // No setlocale: numbers are read and written the same way everywhere.
    std::ios::sync_with_stdio(false);
    const cli::StandardStreams streams;
    const std::vector<std::string> args = cli::programArguments(argc, argv);
    const int code = cli::run(args, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
