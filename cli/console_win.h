#pragma once

// Windows only: the standard streams of osccalc.

#include <array>
#include <streambuf>
#include <string>
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
    bool writeConsole(std::wstring_view text);
    bool writeBytes(std::string_view bytes);

    void* handle_;
    bool console_;
    Utf16Decoder decoder_;
    std::array<char, 4096> buffer_{};
};

// Reads a console as UTF-16 through ReadConsoleW and hands out UTF-8; read
// through the console's code page instead, a full-width digit typed by an
// input method would arrive as "1". A line that starts with Ctrl-Z ends the
// input, as in other Windows console programs.
class ConsoleInputBuf : public std::streambuf {
public:
    explicit ConsoleInputBuf(void* handle) : handle_(handle) {}

protected:
    int_type underflow() override;

private:
    void* handle_;
    bool ended_ = false;
    bool lineStart_ = true;
    std::wstring pendingHigh_; // a surrogate whose pair has not been read yet
    std::string bytes_;
};

} // namespace cli
