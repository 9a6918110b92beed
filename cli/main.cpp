#include "cli/osccalc.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // No setlocale: numbers are read and written the same way everywhere.
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = cli::run(args, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
