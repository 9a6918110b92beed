#include "cli/console.h"

// Linux: arguments and standard streams carry the bytes unchanged.

namespace cli {

struct StandardStreams::Platform {};

StandardStreams::StandardStreams() = default;
StandardStreams::~StandardStreams() = default;

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

} // namespace cli
