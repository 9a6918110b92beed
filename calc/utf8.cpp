#include "calc/utf8.h"

namespace calc {

std::size_t utf8LengthFromLead(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
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

namespace {

// The range of the second byte rules out overlong forms, surrogates and code
// points beyond U+10FFFF; later bytes are plain continuation bytes.
unsigned char lowestSecond(unsigned char lead) {
    return lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
}

unsigned char highestSecond(unsigned char lead) {
    return lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
}

} // namespace

std::size_t utf8SequenceLength(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    const std::size_t length = utf8LengthFromLead(lead);
    if (length <= 1) {
        return length;
    }
    if (text.size() < length || byte(1) < lowestSecond(lead) || byte(1) > highestSecond(lead)) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool utf8CutShort(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    const auto lead = static_cast<unsigned char>(text.front());
    const std::size_t length = utf8LengthFromLead(lead);
    if (text.size() >= length) {
        return false;
    }
    // Completed with the smallest bytes that could follow, it must be whole.
    std::string completed(text);
    while (completed.size() < length) {
        completed += static_cast<char>(completed.size() == 1 ? lowestSecond(lead) : 0x80);
    }
    return utf8SequenceLength(completed) == length;
}

char32_t utf8CodePoint(std::string_view s) {
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

void appendUtf8(std::string& out, char32_t c) {
    const auto unit = [&](char32_t bits) { out += static_cast<char>(bits); };
    if (c < 0x80) {
        unit(c);
    } else if (c < 0x800) {
        unit(0xC0 | c >> 6);
        unit(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        unit(0xE0 | c >> 12);
        unit(0x80 | (c >> 6 & 0x3F));
        unit(0x80 | (c & 0x3F));
    } else {
        unit(0xF0 | c >> 18);
        unit(0x80 | (c >> 12 & 0x3F));
        unit(0x80 | (c >> 6 & 0x3F));
        unit(0x80 | (c & 0x3F));
    }
}

} // namespace calc
