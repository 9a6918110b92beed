#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8, the encoding of every text the program reads and writes, in one
// place for the box limit, osccalc's JSON and console, and the page checks.

namespace calc {

// Byte length of a sequence whose first byte is `lead`, 0 for a byte that
// cannot start one (a continuation byte, C0, C1, F5..FF).
std::size_t utf8LengthFromLead(unsigned char lead);

// Byte length of the well-formed UTF-8 sequence that starts the text, or 0
// when the text is empty or starts with a malformed one (stray continuation
// byte, overlong form, surrogate, beyond U+10FFFF, cut short).
std::size_t utf8SequenceLength(std::string_view text);

// True when the text is shorter than a sequence and more bytes could still
// make it a well-formed one: a character cut off at the end of a piece.
bool utf8CutShort(std::string_view text);

// The code point of one well-formed sequence, as utf8SequenceLength measured it.
char32_t utf8CodePoint(std::string_view sequence);

// Appends a code point below U+110000 in UTF-8's bit layout. A surrogate gets
// its three-byte form, which is not well-formed: callers that must keep one
// (an unpaired surrogate in a Windows argument) rely on that.
void appendUtf8(std::string& out, char32_t codePoint);

} // namespace calc
