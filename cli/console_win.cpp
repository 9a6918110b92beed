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

std::wstring wideFrom(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

// UTF-16 from Windows as UTF-8. A lone surrogate, which Windows can only
// drop or replace, goes through the shared conversion instead, whose
// three-byte form the value check rejects as on Linux.
std::string utf8FromWide(std::wstring_view text) {
    const int length = static_cast<int>(text.size());
    const int size = length == 0 ? 0
                                 : WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(),
                                                       length, nullptr, 0, nullptr, nullptr);
    if (length > 0 && size == 0) {
        return utf8FromUtf16(std::u16string(text.begin(), text.end()));
    }
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, out.data(), size,
                        nullptr, nullptr);
    return out;
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
        writeConsole(wideFrom(decoder_.finish()));
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
    if (!console_) {
        return writeBytes(bytes);
    }
    // Well-formed UTF-8 is converted by Windows. A piece that ends inside a
    // character, or holds malformed bytes, goes through the shared decoder,
    // which keeps the cut-off bytes for the next piece and shows each
    // malformed byte as one U+FFFD, as the JSON output does; Windows' own
    // replacement need not count them the same way.
    const int length = static_cast<int>(bytes.size());
    const int size = decoder_.holdsBytes() ? 0
                                           : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS,
                                                                 bytes.data(), length, nullptr, 0);
    if (size == 0) {
        return writeConsole(wideFrom(decoder_.decode(bytes)));
    }
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, text.data(), size);
    return writeConsole(text);
}

bool HandleStreamBuf::writeConsole(std::wstring_view text) {
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
        std::wstring text = std::move(pendingHigh_);
        pendingHigh_.clear();
        if (!ReadConsoleW(handle_, wide.data(), static_cast<DWORD>(wide.size()), &n, nullptr) ||
            n == 0) {
            ended_ = true;
        } else {
            for (DWORD i = 0; i < n && !ended_; ++i) {
                ended_ = lineStart_ && wide[i] == L'\x1a';
                if (!ended_) {
                    text += wide[i];
                    lineStart_ = wide[i] == L'\n';
                }
            }
            if (!ended_ && !text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
                pendingHigh_ = text.back();
                text.pop_back();
            }
        }
        bytes_ = utf8FromWide(text);
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
        args.push_back(utf8FromWide(wide[i]));
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
