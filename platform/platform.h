// The operating-system seam: code pages, memory and the console; the files
// stand behind their own interface in files.h. One POSIX and one Win32
// implementation stand behind both headers; everything else in the program is
// portable and includes no system header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::platform {

// UTF-8 into the ANSI code page (932 for this program's users), decoded as
// Windows decodes the text with a terminating zero byte: an ill-formed
// sequence becomes one or more spaces, and every character the code page
// cannot represent becomes one space, best-fit mappings (é to e) applied.
// Nothing when memory runs out.
std::optional<std::string> utf8ToAnsi(std::string_view utf8);
// The same into `out`, reusing its storage where the platform can; false when
// memory runs out.
bool utf8ToAnsi(std::string_view utf8, std::string& out);

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
