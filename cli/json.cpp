#include "cli/json.h"

#include "calc/inputlimit.h"

#include <cstdio>

namespace cli {

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    while (!text.empty()) {
        const std::size_t n = calc::utf8SequenceLength(text);
        if (n == 0) {
            out += "\\ufffd";
            text.remove_prefix(1);
            continue;
        }
        const char ch = text.front();
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(ch) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(ch));
                out += escaped;
            } else {
                out.append(text.substr(0, n));
            }
            break;
        }
        text.remove_prefix(n);
    }
    out += '"';
    return out;
}

} // namespace cli
