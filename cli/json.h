#pragma once

#include <string>
#include <string_view>

namespace cli {

// The text as a JSON string literal, quotes included. Quotes, backslashes and
// control characters are escaped; each byte that is not part of well-formed
// UTF-8 becomes U+FFFD, so the result is always valid JSON.
std::string jsonString(std::string_view text);

} // namespace cli
