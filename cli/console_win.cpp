#include "cli/console_win.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <iostream>

namespace cli {

namespace {

// errno for the last failed write, which osccalc's error message names.
void setErrnoFromLastError() {
    switch (GetLastError()) {
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
        errno = EPIPE;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    default:
        errno = EIO;
        break;
    }
}

} // namespace

bool isConsole(void* handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

HandleStreamBuf::HandleStreamBuf(void* handle) : handle_(handle), console_(isConsole(handle)) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

HandleStreamBuf::~HandleStreamBuf() {
    sync();
    if (console_) {
        writeConsole(decoder_.finish());
    }
}

HandleStreamBuf::int_type HandleStreamBuf::overflow(int_type ch) {
    if (sync() != 0) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(ch);
        pbump(1);
    }
    return traits_type::not_eof(ch);
}

int HandleStreamBuf::sync() {
    const std::string_view bytes(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return bytes.empty() || writeOut(bytes) ? 0 : -1;
}

bool HandleStreamBuf::writeOut(std::string_view bytes) {
    return console_ ? writeConsole(decoder_.decode(bytes)) : writeBytes(bytes);
}

bool HandleStreamBuf::writeConsole(std::u16string_view text) {
    // Older consoles refuse very long writes; pieces never split a
    // surrogate pair.
    constexpr std::size_t kPiece = 8192;
    while (!text.empty()) {
        std::size_t n = std::min(text.size(), kPiece);
        if (n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) {
            --n;
        }
        DWORD written = 0;
        if (!WriteConsoleW(handle_, text.data(), static_cast<DWORD>(n), &written, nullptr) ||
            written == 0) {
            setErrnoFromLastError();
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

bool HandleStreamBuf::writeBytes(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) ||
            written == 0) {
            setErrnoFromLastError();
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

ConsoleInputBuf::int_type ConsoleInputBuf::underflow() {
    while (gptr() == egptr()) {
        if (ended_) {
            return traits_type::eof();
        }
        std::array<wchar_t, 4096> wide;
        DWORD n = 0;
        std::u16string text = std::move(pendingHigh_);
        pendingHigh_.clear();
        if (!ReadConsoleW(handle_, wide.data(), static_cast<DWORD>(wide.size()), &n, nullptr) ||
            n == 0) {
            ended_ = true;
        } else {
            for (DWORD i = 0; i < n && !ended_; ++i) {
                ended_ = lineStart_ && wide[i] == L'\x1a';
                if (!ended_) {
                    text += static_cast<char16_t>(wide[i]);
                    lineStart_ = wide[i] == L'\n';
                }
            }
            if (!ended_ && !text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
                pendingHigh_ = text.back();
                text.pop_back();
            }
        }
        bytes_ = utf8FromUtf16(text);
        setg(bytes_.data(), bytes_.data(), bytes_.data() + bytes_.size());
    }
    return traits_type::to_int_type(*gptr());
}

std::vector<std::string> programArguments(int, char**) {
    // The ANSI argv has already lost what the code page cannot hold (a
    // full-width digit becomes "1"), so the arguments come from the UTF-16
    // command line.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        const std::wstring_view arg(wide[i]);
        args.push_back(utf8FromUtf16(std::u16string(arg.begin(), arg.end())));
    }
    LocalFree(wide);
    return args;
}

struct StandardStreams::Platform {
    ConsoleInputBuf in{GetStdHandle(STD_INPUT_HANDLE)};
    HandleStreamBuf out{GetStdHandle(STD_OUTPUT_HANDLE)};
    HandleStreamBuf err{GetStdHandle(STD_ERROR_HANDLE)};
    std::streambuf* previousIn = nullptr;
    std::streambuf* previousOut = nullptr;
    std::streambuf* previousErr = nullptr;
};

StandardStreams::StandardStreams() : platform_(std::make_unique<Platform>()) {
    if (isConsole(GetStdHandle(STD_INPUT_HANDLE))) {
        platform_->previousIn = std::cin.rdbuf(&platform_->in);
    } else {
        // A file or pipe is read as on Linux: no CRLF translation, and a
        // Ctrl-Z byte in the middle does not end the input.
        _setmode(_fileno(stdin), _O_BINARY);
    }
    std::cout.flush();
    std::cerr.flush();
    platform_->previousOut = std::cout.rdbuf(&platform_->out);
    platform_->previousErr = std::cerr.rdbuf(&platform_->err);
}

StandardStreams::~StandardStreams() {
    std::cout.flush();
    std::cerr.flush();
    std::cout.rdbuf(platform_->previousOut);
    std::cerr.rdbuf(platform_->previousErr);
    if (platform_->previousIn) {
        std::cin.rdbuf(platform_->previousIn);
    }
}

bool userReadsChinese() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE;
}

} // namespace cli
