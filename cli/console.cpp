#include "cli/console.h"

#include "calc/inputlimit.h"

namespace cli {

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// Byte length a UTF-8 sequence starting with `lead` has, 0 if none does.
std::size_t expectedLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// True when more bytes could still make `bytes` (shorter than a whole
// sequence) well-formed: it is completed with the smallest bytes its lead
// allows and checked.
bool cutOff(std::string_view bytes) {
    const std::size_t length = expectedLength(static_cast<unsigned char>(bytes.front()));
    if (bytes.size() >= length) {
        return false;
    }
    std::string completed(bytes);
    while (completed.size() < length) {
        const auto lead = static_cast<unsigned char>(completed.front());
        const bool second = completed.size() == 1;
        completed += second && lead == 0xE0 ? '\xA0' : second && lead == 0xF0 ? '\x90' : '\x80';
    }
    return calc::utf8SequenceLength(completed) == length;
}

void appendCodePoint(std::u16string& out, char32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
        out += static_cast<char16_t>(c);
    }
}

char32_t decodeSequence(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<char32_t>(s[i]) & 0xFF; };
    switch (s.size()) {
    case 1:
        return byte(0);
    case 2:
        return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3:
        return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    default:
        return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 |
               (byte(3) & 0x3F);
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
            appendCodePoint(out, decodeSequence(rest.substr(0, n)));
            rest.remove_prefix(n);
        } else if (cutOff(rest)) {
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
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace cli
