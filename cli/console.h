#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Standard streams and arguments as osccalc needs them on each platform. On
// Linux the bytes pass unchanged. On Windows the command line is UTF-16 and a
// console shows text in its own code page, so both are converted here, while
// a file or pipe gets the very bytes osccalc writes on Linux.

namespace cli {

// The program's arguments without its name, as UTF-8. On Windows they are
// read from the UTF-16 command line, not from the ANSI `argv`.
std::vector<std::string> programArguments(int argc, char** argv);

// For its lifetime, std::cin, std::cout and std::cerr read and write as
// described above. Create it once, at the start of main.
class StandardStreams {
public:
    StandardStreams();
    ~StandardStreams();
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;

private:
    struct Platform;
    std::unique_ptr<Platform> platform_;
};

// UTF-8 bytes, written in pieces, as UTF-16 for a console. A character cut off
// at the end of a piece waits for the next piece; a malformed byte becomes
// U+FFFD, one for each byte, as in the JSON output.
class Utf16Decoder {
public:
    std::u16string decode(std::string_view bytes);
    // The bytes still waiting (a character cut off for good), as U+FFFD each.
    std::u16string finish();
    // Whether bytes of a character cut off wait for the next piece.
    bool holdsBytes() const { return !pending_.empty(); }

private:
    std::string pending_;
};

// Whether the user reads Chinese: the messages locale (LC_ALL, LC_MESSAGES,
// LANG) on Linux, the user's interface language on Windows. osccalc's help
// and usage errors follow it; its results and JSON do not.
bool userReadsChinese();

// UTF-16 as UTF-8. A lone surrogate, which is not text, becomes its
// three-byte form: malformed UTF-8, which the value check rejects just as it
// rejects malformed bytes in a Linux argument.
std::string utf8FromUtf16(std::u16string_view text);

} // namespace cli
