#include "calc/inputlimit.h"

namespace calc {

std::optional<std::size_t> boxLength(std::string_view utf8) {
    std::size_t units = 0;
    while (!utf8.empty()) {
        const std::size_t n = utf8SequenceLength(utf8);
        if (n == 0) {
            return std::nullopt;
        }
        units += n == 4 ? 2 : 1;
        utf8.remove_prefix(n);
    }
    return units;
}

bool fitsBox(std::string_view utf8) {
    const auto length = boxLength(utf8);
    return length && *length <= static_cast<std::size_t>(kMaxInputLength);
}

} // namespace calc
