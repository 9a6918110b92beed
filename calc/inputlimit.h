#pragma once

#include "calc/utf8.h"

#include <cstddef>
#include <optional>
#include <string_view>

// The window's input boxes hold at most ten characters. Other front ends apply
// the same limit, so that they accept exactly the texts a user could type.

namespace calc {

inline constexpr int kMaxInputLength = 10;

// Length of UTF-8 text as a line edit counts it (UTF-16 code units: two for
// a character beyond U+FFFF, one for any other); nullopt for malformed UTF-8.
std::optional<std::size_t> boxLength(std::string_view utf8);

// True when the text is well-formed UTF-8 and no longer than kMaxInputLength.
bool fitsBox(std::string_view utf8);

} // namespace calc
