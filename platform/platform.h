// The operating-system seam: files, folder search, code pages and the
// console. One POSIX and one Win32 implementation stand behind this header;
// everything else in the program is portable and includes no system header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::platform {

// A file opened for reading with no sharing: while it is open here, no other
// cooperating program can open it for reading or writing.
class SourceFile {
public:
    SourceFile() = default;
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    // False when the file is missing, not accessible, a folder, or already
    // open elsewhere.
    bool open(const std::filesystem::path& path);
    // The whole size in bytes; nothing when the query fails.
    std::optional<std::uint64_t> size();
    // Reads up to `count` bytes at the current position; the number of bytes
    // delivered (short only at the end of the file), or nothing on failure.
    std::optional<std::size_t> read(char* buffer, std::size_t count);
    // Moves the position to `offset` bytes from the start.
    void seek(std::uint64_t offset);
    void close();

private:
    std::intptr_t handle_ = -1;
};

enum class WriteMode {
    createAlways,  // create the file, or truncate an existing one
    openAlways,    // create the file, or keep an existing one's content
};

// The destination, written sequentially from its end, with no sharing.
class DestinationFile {
public:
    DestinationFile() = default;
    ~DestinationFile();
    DestinationFile(const DestinationFile&) = delete;
    DestinationFile& operator=(const DestinationFile&) = delete;

    bool open(const std::filesystem::path& path, WriteMode mode);
    bool seekToEnd();
    // Writes all `count` bytes; returns how many reached the file, which is
    // less than `count` only when the write failed.
    std::size_t write(const char* data, std::size_t count);
    // Takes the last `count` bytes written back out of the file, so that a
    // write that failed halfway leaves no fragment; false when that fails.
    bool discardTail(std::uint64_t count);
    void close();

private:
    std::intptr_t handle_ = -1;
};

// True when a file-status query on the path succeeds (file or folder).
bool fileExists(const std::filesystem::path& path);

// True when `folder` is a folder: a search for its entries finds a first one,
// or, for the root of an empty drive, which holds no entry at all, the
// folder's own status says so. The empty path stands for the root folder (of
// the current drive on Windows).
bool folderExists(const std::filesystem::path& folder);

// UTF-8 into the ANSI code page (932 for this program's users), decoded as
// Windows decodes the text with a terminating zero byte: an ill-formed
// sequence becomes one or more spaces, and every character the code page
// cannot represent becomes one space, best-fit mappings (é to e) applied.
// Nothing when memory runs out.
std::optional<std::string> utf8ToAnsi(std::string_view utf8);

// UTF-16LE code units (little-endian byte pairs) into the ANSI code page used
// for loading files; unrepresentable characters get the system's default
// replacement "?".
std::optional<std::string> utf16leToAnsi(std::string_view bytes);

// ANSI code page text into UTF-8, every byte kept: a code without a
// character, or a lead byte without its trail byte, becomes the code page's
// default character. Throws std::bad_alloc when memory runs out.
std::string ansiToUtf8(std::string_view ansi);

// For each byte value, whether it is a lead byte of a double-byte character
// in the ANSI code page (all false on a single-byte code page).
const std::array<bool, 256>& leadByteTable();

// Bytes of memory the program can still obtain without the system running
// short, or nothing when the system does not say.
std::optional<std::uint64_t> availableMemory();

// Asks that a large block of memory, filled once and kept to the end of the
// run, be backed by large pages where the system gives them on request, so
// that filling it costs far fewer page faults. Only a hint: where there are
// no such pages, or they need a privilege, nothing changes.
void preferLargePages(void* block, std::size_t size);

// Console output and input for the command-line front end.
enum class Stream { output, error };
bool isTerminal(Stream stream);
bool isInputTerminal();
// Writes UTF-8 text so that it reads correctly where it goes: as UTF-8 into a
// pipe or file, as characters on a console.
void writeText(Stream stream, std::string_view utf8);
// One line typed at the console, without its line end, as UTF-8; nothing at
// the end of input.
std::optional<std::string> readLine();

// Number of UTF-16 code units that the native form of the path occupies.
std::size_t utf16Length(const std::filesystem::path& path);

}  // namespace velmora::platform
