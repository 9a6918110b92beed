#pragma once

// Windows only: the standard output and error of osccalc.

#include <array>
#include <streambuf>
#include <string_view>

#include "cli/console.h"

namespace cli {

// True when the handle is a console rather than a file or a pipe.
bool isConsole(void* handle);

// Writes to a Windows handle: to a console as UTF-16 through WriteConsoleW,
// which shows the text whatever the console's code page; to a file or a pipe
// the bytes unchanged through WriteFile (no CRLF), as on Linux. The choice is
// made once, when it is created. A failed write fails the stream.
class HandleStreamBuf : public std::streambuf {
public:
    explicit HandleStreamBuf(void* handle);
    ~HandleStreamBuf() override;
    HandleStreamBuf(const HandleStreamBuf&) = delete;
    HandleStreamBuf& operator=(const HandleStreamBuf&) = delete;

    bool writesToConsole() const { return console_; }

protected:
    int_type overflow(int_type ch) override;
    int sync() override;

private:
    bool writeOut(std::string_view bytes);
    bool writeConsole(std::u16string_view text);
    bool writeBytes(std::string_view bytes);

    void* handle_;
    bool console_;
    Utf16Decoder decoder_;
    std::array<char, 4096> buffer_{};
};

} // namespace cli
