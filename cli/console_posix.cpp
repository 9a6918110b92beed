#include "cli/console.h"

#include <cstdlib>
#include <string_view>

// Linux: arguments and standard streams carry the bytes unchanged.

namespace cli {

struct StandardStreams::Platform {};

StandardStreams::StandardStreams() = default;
StandardStreams::~StandardStreams() = default;

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

bool userReadsChinese() {
    // The first of these that is set decides, as for any program's messages.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return std::string_view(value).starts_with("zh");
        }
    }
    return false;
}

} // namespace cli
