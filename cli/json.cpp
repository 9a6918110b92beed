#include "cli/json.h"

#include "calc/utf8.h"

#include <cstdio>

namespace cli {

namespace {

// Whether a character is written as \uXXXX: the controls (C0, DEL and C1:
// some terminals take U+009B as the start of an escape sequence) and the
// invisible format characters that would hide or reorder echoed text (the
// byte-order mark, zero-width spaces and joiners, direction marks,
// embeddings, overrides and isolates).
bool escaped(unsigned cp) {
    const auto in = [cp](unsigned low, unsigned high) { return cp >= low && cp <= high; };
    return cp < 0x20 || in(0x7f, 0x9f) || in(0x200b, 0x200f) || in(0x202a, 0x202e) ||
           in(0x2066, 0x2069) || cp == 0xfeff;
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
            if (const unsigned cp = calc::utf8CodePoint(text.substr(0, n)); escaped(cp)) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", cp);
                out += escape;
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
