#include "cli/console.h"

#include "calc/utf8.h"

namespace cli {

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

void appendCodePoint(std::u16string& out, char32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
        out += static_cast<char16_t>(c);
    }
}

} // namespace

std::u16string Utf16Decoder::decode(std::string_view bytes) {
    pending_.append(bytes);
    std::string_view rest = pending_;
    std::u16string out;
    while (!rest.empty()) {
        const std::size_t n = calc::utf8SequenceLength(rest);
        if (n > 0) {
            appendCodePoint(out, calc::utf8CodePoint(rest.substr(0, n)));
            rest.remove_prefix(n);
        } else if (calc::utf8CutShort(rest)) {
            break;
        } else {
            out += kReplacement;
            rest.remove_prefix(1);
        }
    }
    pending_ = std::string(rest);
    return out;
}

std::u16string Utf16Decoder::finish() {
    std::u16string out(pending_.size(), kReplacement);
    pending_.clear();
    return out;
}

std::string utf8FromUtf16(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        calc::appendUtf8(out, c);
    }
    return out;
}

} // namespace cli
