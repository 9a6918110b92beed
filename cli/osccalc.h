#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Exit codes of osccalc.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadInput = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitIo = 3; // reading the input or writing the output failed

// The longest line the "-" mode takes, in bytes; a longer one is a usage error
// and is skipped without being held whole.
inline constexpr std::size_t kMaxLineLength = 65536;

// Whether this run speaks Chinese: userReadsChinese(), asked at its start.
// For help and usage errors only; results and JSON are the same in any language.
bool speaksChinese();
// The text in the language of the run.
std::string_view tr(std::string_view english, std::string_view chinese);

// Runs osccalc with its arguments (without the program name); returns the
// exit code. Reads `in` only in the "-" mode. Flushes `out` and `err` before
// it returns; a read or write that fails is reported on `err` (with errno's
// reason, when the failing stream set it) and gives kExitIo.
int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err);

} // namespace cli
