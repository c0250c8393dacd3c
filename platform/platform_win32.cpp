// The Win32 side of the operating-system seam: files through kernel32 handles
// opened without sharing, code pages through MultiByteToWideChar and
// WideCharToMultiByte, the lead-byte test of the ANSI code page, and console
// output that reads correctly both in a console window and in a pipe.
#include "platform/platform.h"

#include "platform/windows_api.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <climits>
#include <new>
#include <vector>

namespace velmora::platform {
namespace {

HANDLE asHandle(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

std::intptr_t fromHandle(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

const std::intptr_t invalidHandle = fromHandle(INVALID_HANDLE_VALUE);

// ReadFile and WriteFile take a 32-bit count; larger transfers go in pieces
// of this size.
constexpr std::size_t maxTransfer = 0x40000000;

// Length limit of the int counts that the conversion functions take.
constexpr std::size_t maxConvertible = INT_MAX;

// UTF-8 into UTF-16; nothing when memory runs out or the text is too long
// for one conversion call. Invalid sequences become U+FFFD.
std::optional<std::wstring> utf8ToWide(std::string_view utf8) {
    if (utf8.empty()) return std::wstring();
    if (utf8.size() > maxConvertible) return std::nullopt;
    const int sourceLength = static_cast<int>(utf8.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), sourceLength, nullptr, 0);
    if (needed <= 0) return std::nullopt;
    try {
        std::wstring wide(static_cast<std::size_t>(needed), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), sourceLength, wide.data(), needed);
        return wide;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// UTF-16 into a multibyte code page. `defaultChar` replaces what the code
// page cannot represent; null leaves the system's own replacement ("?").
std::optional<std::string> wideToMultiByte(UINT codePage, const wchar_t* text, std::size_t length,
                                           const char* defaultChar) {
    if (length == 0) return std::string();
    if (length > maxConvertible) return std::nullopt;
    const int sourceLength = static_cast<int>(length);
    const int needed = WideCharToMultiByte(codePage, 0, text, sourceLength, nullptr, 0, defaultChar, nullptr);
    if (needed <= 0) return std::nullopt;
    try {
        std::string bytes(static_cast<std::size_t>(needed), '\0');
        WideCharToMultiByte(codePage, 0, text, sourceLength, bytes.data(), needed, defaultChar, nullptr);
        return bytes;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

HANDLE standardHandle(Stream stream) {
    return GetStdHandle(stream == Stream::output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

bool writeAll(HANDLE handle, const char* data, std::size_t count, std::size_t& written) {
    written = 0;
    while (written < count) {
        const DWORD piece = static_cast<DWORD>(std::min(count - written, maxTransfer));
        DWORD done = 0;
        if (!WriteFile(handle, data + written, piece, &done, nullptr)) return false;
        written += done;
        if (done == 0) return false;
    }
    return true;
}

}  // namespace

SourceFile::~SourceFile() {
    close();
}

bool SourceFile::open(const std::filesystem::path& path) {
    close();
    // No sharing: as long as the file is open here, every other open of it for
    // reading or writing fails, so it cannot change while it is read.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = fromHandle(file);
    return true;
}

std::optional<std::uint64_t> SourceFile::size() {
    if (handle_ == invalidHandle) return std::nullopt;
    DWORD high = 0;
    const DWORD low = GetFileSize(asHandle(handle_), &high);
    // INVALID_FILE_SIZE is also a valid low part of a large file; only the
    // error code tells the two apart.
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return std::nullopt;
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

std::optional<std::size_t> SourceFile::read(char* buffer, std::size_t count) {
    if (handle_ == invalidHandle) return std::nullopt;
    std::size_t total = 0;
    do {
        const DWORD piece = static_cast<DWORD>(std::min(count - total, maxTransfer));
        DWORD delivered = 0;
        if (!ReadFile(asHandle(handle_), buffer + total, piece, &delivered, nullptr)) return std::nullopt;
        total += delivered;
        if (delivered < piece) break;  // end of the file
    } while (total < count);
    return total;
}

void SourceFile::seek(std::uint64_t offset) {
    if (handle_ == invalidHandle) return;
    LONG high = static_cast<LONG>(offset >> 32);
    SetFilePointer(asHandle(handle_), static_cast<LONG>(offset & 0xFFFFFFFFu), high != 0 ? &high : nullptr, FILE_BEGIN);
}

void SourceFile::close() {
    if (handle_ != invalidHandle) {
        CloseHandle(asHandle(handle_));
        handle_ = invalidHandle;
    }
}

DestinationFile::~DestinationFile() {
    close();
}

bool DestinationFile::open(const std::filesystem::path& path, WriteMode mode) {
    close();
    const DWORD disposition = mode == WriteMode::openAlways ? OPEN_ALWAYS : CREATE_ALWAYS;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = fromHandle(file);
    return true;
}

bool DestinationFile::seekToEnd() {
    if (handle_ == invalidHandle) return false;
    // With the high part asked for, a file whose size ends in 0xFFFFFFFF is not
    // mistaken for a failure; the error code decides.
    LONG high = 0;
    const DWORD low = SetFilePointer(asHandle(handle_), 0, &high, FILE_END);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

std::size_t DestinationFile::write(const char* data, std::size_t count) {
    if (handle_ == invalidHandle) return 0;
    std::size_t written = 0;
    writeAll(asHandle(handle_), data, count, written);
    return written;
}

bool DestinationFile::discardTail(std::uint64_t count) {
    if (handle_ == invalidHandle) return false;
    LARGE_INTEGER back{};
    back.QuadPart = -static_cast<LONGLONG>(count);
    return SetFilePointerEx(asHandle(handle_), back, nullptr, FILE_CURRENT) && SetEndOfFile(asHandle(handle_));
}

void DestinationFile::close() {
    if (handle_ != invalidHandle) {
        CloseHandle(asHandle(handle_));
        handle_ = invalidHandle;
    }
}

bool fileExists(const std::filesystem::path& path) {
    struct _stat64i32 status {};
    return _wstat64i32(path.c_str(), &status) == 0;
}

bool folderExists(const std::filesystem::path& folder) {
    // "folder\*.*", or "folder*.*" when the folder already ends in a
    // backslash: "C:" is searched as "C:\*.*", the drive's root, and "C:\"
    // the same way.
    std::wstring pattern = folder.native();
    if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
    pattern += L"*.*";
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        return true;
    }
    // Every folder but a drive's root lists "." and ".."; the root of an
    // empty drive (a new memory card, say) lists nothing and is still a
    // folder that a file can be written into, so its status decides.
    pattern.resize(pattern.size() - 3);  // "folder\"
    const DWORD attributes = GetFileAttributesW(pattern.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::string> utf8ToAnsi(std::string_view utf8) {
    // The decoder is given the text with a terminating zero byte, as the
    // NUL-terminated string it is made for: a sequence cut short at the very
    // end then meets the zero byte and stops there, where without it the
    // decoder would swallow the last bytes of the text (an "\xE3" right before
    // a final "A" would take the "A").
    std::optional<std::wstring> wide;
    try {
        wide = utf8ToWide(std::string(utf8).append(1, '\0'));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (!wide) return std::nullopt;
    // The terminator, unless a sequence cut short swallowed it.
    if (!wide->empty() && wide->back() == L'\0') wide->pop_back();
    // Every character that the ANSI code page has no byte for becomes one
    // space, so that a CSV column never receives the system's "?".
    return wideToMultiByte(CP_ACP, wide->data(), wide->size(), " ");
}

std::optional<std::string> utf16leToAnsi(std::string_view bytes) {
    // An odd last byte is not a whole code unit and is dropped; the text ends
    // at its first zero code unit, as a NUL-terminated string would.
    const std::size_t units = bytes.size() / 2;
    try {
        std::vector<wchar_t> text;
        text.reserve(units);
        for (std::size_t i = 0; i < units; ++i) {
            const auto low = static_cast<unsigned char>(bytes[2 * i]);
            const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
            const auto unit = static_cast<wchar_t>(low | (high << 8));
            if (unit == L'\0') break;
            text.push_back(unit);
        }
        // The thread's ANSI code page, with the system's default replacement
        // for characters that it cannot represent.
        return wideToMultiByte(CP_THREAD_ACP, text.data(), text.size(), nullptr);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::string ansiToUtf8(std::string_view ansi) {
    if (ansi.empty()) return std::string();
    if (ansi.size() > maxConvertible) throw std::bad_alloc();
    const int length = static_cast<int>(ansi.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    if (needed <= 0) return std::string();
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), needed);
    auto utf8 = wideToMultiByte(CP_UTF8, wide.data(), wide.size(), nullptr);
    if (!utf8) throw std::bad_alloc();
    return std::move(*utf8);
}

const std::array<bool, 256>& leadByteTable() {
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> leads{};
        for (int byte = 0; byte < 256; ++byte)
            leads[static_cast<std::size_t>(byte)] = IsDBCSLeadByte(static_cast<BYTE>(byte)) != 0;
        return leads;
    }();
    return table;
}

void preferLargePages(void*, std::size_t) {
    // Large pages on Windows need the "lock pages in memory" privilege, which
    // an ordinary user does not hold.
}

std::optional<std::uint64_t> availableMemory() {
    // Physical memory that is free or can be freed without paging, the
    // counterpart of what Linux reports as available.
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status)) return std::nullopt;
    return status.ullAvailPhys;
}

bool isTerminal(Stream stream) {
    return isConsole(standardHandle(stream));
}

bool isInputTerminal() {
    return isConsole(GetStdHandle(STD_INPUT_HANDLE));
}

void writeText(Stream stream, std::string_view utf8) {
    HANDLE handle = standardHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || utf8.empty()) return;
    if (isConsole(handle)) {
        // A console shows characters, not bytes: hand it UTF-16 so that the
        // Japanese texts read correctly whatever its output code page is.
        const auto wide = utf8ToWide(utf8);
        if (!wide) return;
        std::size_t done = 0;
        while (done < wide->size()) {
            const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(wide->size() - done, 0x4000));
            DWORD written = 0;
            if (!WriteConsoleW(handle, wide->data() + done, piece, &written, nullptr) || written == 0) return;
            done += written;
        }
        return;
    }
    // A pipe or a file receives the UTF-8 bytes unchanged.
    std::size_t written = 0;
    writeAll(handle, utf8.data(), utf8.size(), written);
}

std::optional<std::string> readLine() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string line;
    if (isConsole(input)) {
        std::wstring wide;
        bool sawAny = false;
        for (;;) {
            wchar_t unit = 0;
            DWORD got = 0;
            if (!ReadConsoleW(input, &unit, 1, &got, nullptr) || got == 0) break;
            sawAny = true;
            if (unit == L'\n') break;
            if (unit != L'\r') wide.push_back(unit);
        }
        if (!sawAny) return std::nullopt;
        auto utf8 = wideToMultiByte(CP_UTF8, wide.data(), wide.size(), nullptr);
        return utf8 ? std::move(*utf8) : std::string();
    }
    // A pipe or a file: UTF-8 bytes up to the next LF, one byte at a time so
    // that nothing after the line is consumed.
    bool sawAny = false;
    for (;;) {
        char byte = 0;
        DWORD got = 0;
        if (!ReadFile(input, &byte, 1, &got, nullptr) || got == 0) break;
        sawAny = true;
        if (byte == '\n') break;
        line.push_back(byte);
    }
    if (!sawAny) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::size_t utf16Length(const std::filesystem::path& path) {
    return path.native().size();
}

}  // namespace velmora::platform
