#pragma once

#include <span>
#include <string>
#include <string_view>

namespace cli {

// The text as a JSON string literal, quotes included. Quotes, backslashes and
// control characters (C0, DEL, C1) are escaped; each byte that is not part of
// well-formed UTF-8 becomes U+FFFD, so the result is always valid JSON and
// safe to write to a terminal. Plain-text messages quote echoed input with it.
std::string jsonString(std::string_view text);

// The texts as a JSON array of strings.
std::string jsonArray(std::span<const std::string> texts);

} // namespace cli
