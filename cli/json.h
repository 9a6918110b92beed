#pragma once

#include <span>
#include <string>
#include <string_view>

namespace cli {

// The text as a JSON string literal, quotes included. Quotes, backslashes,
// control characters (C0, DEL, C1) and the invisible format characters
// (U+FEFF, U+200B..U+200F, U+202A..U+202E, U+2066..U+2069) are escaped;
// each byte that is not part of well-formed UTF-8 becomes U+FFFD, so the
// result is always valid JSON and shows on a terminal exactly what was
// given. Every message that echoes input quotes it with this.
std::string jsonString(std::string_view text);

// The texts as a JSON array of strings.
std::string jsonArray(std::span<const std::string> texts);

} // namespace cli
