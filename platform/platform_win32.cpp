// The Win32 side of the operating-system seam: files through kernel32 handles
// opened without sharing, code pages through MultiByteToWideChar and
// WideCharToMultiByte, the lead-byte test of the ANSI code page, and console
// output that reads correctly both in a console window and in a pipe.
#include "platform/files.h"
#include "platform/platform.h"

#include "platform/windows_api.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace velmora::platform {
namespace {

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

// A kernel32 file handle, closed when the object ends.
class Handle {
public:
    Handle() = default;
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    // Takes over `handle`; false when it is INVALID_HANDLE_VALUE, no handle.
    bool take(HANDLE handle) {
        handle_ = handle;
        return handle != INVALID_HANDLE_VALUE;
    }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

class Win32SourceFile final : public SourceFile {
public:
    Handle handle;

    std::optional<std::uint64_t> size() override {
        DWORD high = 0;
        const DWORD low = GetFileSize(handle.get(), &high);
        // INVALID_FILE_SIZE is also a valid low part of a large file; only the
        // error code tells the two apart.
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return std::nullopt;
        return (static_cast<std::uint64_t>(high) << 32) | low;
    }

    std::optional<std::size_t> read(char* buffer, std::size_t count) override {
        std::size_t total = 0;
        do {
            const DWORD piece = static_cast<DWORD>(std::min(count - total, maxTransfer));
            DWORD delivered = 0;
            if (!ReadFile(handle.get(), buffer + total, piece, &delivered, nullptr)) return std::nullopt;
            total += delivered;
            if (delivered < piece) break;  // end of the file
        } while (total < count);
        return total;
    }

    void seek(std::uint64_t offset) override {
        LONG high = static_cast<LONG>(offset >> 32);
        SetFilePointer(handle.get(), static_cast<LONG>(offset & 0xFFFFFFFFu), high != 0 ? &high : nullptr, FILE_BEGIN);
    }
};

class Win32DestinationFile final : public DestinationFile {
public:
    Handle handle;

    bool seekToEnd() override {
        // With the high part asked for, a file whose size ends in 0xFFFFFFFF
        // is not mistaken for a failure; the error code decides.
        LONG high = 0;
        const DWORD low = SetFilePointer(handle.get(), 0, &high, FILE_END);
        return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
    }

    std::size_t write(const char* data, std::size_t count) override {
        std::size_t written = 0;
        writeAll(handle.get(), data, count, written);
        return written;
    }

    bool discardTail(std::uint64_t count) override {
        LARGE_INTEGER back{};
        back.QuadPart = -static_cast<LONGLONG>(count);
        return SetFilePointerEx(handle.get(), back, nullptr, FILE_CURRENT) && SetEndOfFile(handle.get());
    }
};

// The file objects are made before anything is opened, so that running out
// of memory leaves no file open or created.
class Win32FileSystem final : public FileSystem {
public:
    std::unique_ptr<SourceFile> openSource(const std::filesystem::path& path) override {
        // No sharing: as long as the file is open here, every other open of it
        // for reading or writing fails, so it cannot change while it is read.
        auto file = std::make_unique<Win32SourceFile>();
        if (!file->handle.take(
                CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)))
            return nullptr;
        return file;
    }

    std::unique_ptr<DestinationFile> openDestination(const std::filesystem::path& path, WriteMode mode) override {
        const DWORD disposition = mode == WriteMode::openAlways ? OPEN_ALWAYS : CREATE_ALWAYS;
        auto file = std::make_unique<Win32DestinationFile>();
        if (!file->handle.take(
                CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr)))
            return nullptr;
        return file;
    }

    bool exists(const std::filesystem::path& path) override {
        struct _stat64i32 status {};
        return _wstat64i32(path.c_str(), &status) == 0;
    }

    bool folderExists(const std::filesystem::path& folder) override {
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
};

}  // namespace

FileSystem& realFileSystem() {
    static Win32FileSystem files;
    return files;
}

bool utf8ToAnsi(std::string_view utf8, std::string& out) {
    std::optional<std::string> converted = utf8ToAnsi(utf8);
    if (!converted) return false;
    out = std::move(*converted);
    return true;
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

namespace {

// Units taken one at a time by `next` (false at the end of input) up to the
// next LF, which is consumed but not kept; nothing when the input ends before
// a single unit. One unit at a time, so that nothing after the line is taken.
template <typename Unit, typename Next>
std::optional<std::basic_string<Unit>> readToLineFeed(Next next) {
    std::basic_string<Unit> line;
    Unit unit{};
    if (!next(unit)) return std::nullopt;
    do {
        if (unit == Unit('\n')) break;
        line.push_back(unit);
    } while (next(unit));
    return line;
}

}  // namespace

std::optional<std::string> readLine() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return std::nullopt;
    if (isConsole(input)) {
        auto wide = readToLineFeed<wchar_t>([input](wchar_t& unit) {
            DWORD got = 0;
            return ReadConsoleW(input, &unit, 1, &got, nullptr) && got != 0;
        });
        if (!wide) return std::nullopt;
        std::erase(*wide, L'\r');
        auto utf8 = wideToMultiByte(CP_UTF8, wide->data(), wide->size(), nullptr);
        return utf8 ? std::move(*utf8) : std::string();
    }
    // A pipe or a file: UTF-8 bytes.
    auto line = readToLineFeed<char>([input](char& byte) {
        DWORD got = 0;
        return ReadFile(input, &byte, 1, &got, nullptr) && got != 0;
    });
    if (line && !line->empty() && line->back() == '\r') line->pop_back();
    return line;
}

std::size_t utf16Length(const std::filesystem::path& path) {
    return path.native().size();
}

}  // namespace velmora::platform
