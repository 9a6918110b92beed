#include "cli/json.h"

#include "calc/inputlimit.h"

#include <cstdio>
#include <optional>

namespace cli {

namespace {

// The code point of one well-formed UTF-8 sequence when it is a control
// character (C0, DEL or C1), else nullopt. C1 too: some terminals take U+009B
// as the start of an escape sequence.
std::optional<unsigned> controlCharacter(std::string_view sequence) {
    const auto lead = static_cast<unsigned char>(sequence.front());
    if (sequence.size() == 1 && (lead < 0x20 || lead == 0x7f)) {
        return lead;
    }
    if (sequence.size() == 2 && lead == 0xc2 && static_cast<unsigned char>(sequence[1]) < 0xa0) {
        return static_cast<unsigned char>(sequence[1]);
    }
    return std::nullopt;
}

} // namespace

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
            if (const auto control = controlCharacter(text.substr(0, n))) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", *control);
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

std::string jsonArray(std::span<const std::string> texts) {
    std::string out = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i != 0) {
            out += ',';
        }
        out += jsonString(texts[i]);
    }
    out += ']';
    return out;
}

} // namespace cli
