// Reading a whole source file and handing its text to the line assembly.
#pragma once

#include <cstdint>
#include <filesystem>

#include "platform/files.h"
#include "vcard/contact.h"

namespace velmora {

enum class LoadResult : std::uint8_t {
    loaded,
    openFailed,           // missing, not accessible, or open elsewhere
    readFailed,           // a read failed
    outOfMemory,          // memory was exhausted
    unsupportedEncoding,  // the source is UTF-16 big-endian
};

// Opens the source with no sharing, reads it whole, recognises a byte-order
// mark (UTF-8 skipped, UTF-16LE converted into the ANSI code page, UTF-16BE
// refused) and parses the text, which ends at its first zero byte (or zero
// code unit), into `list`. The file stays locked until the parse is done.
// After any result but `loaded` the list is empty. The file is taken from
// `files`.
LoadResult loadSourceFile(const std::filesystem::path& sourcePath, ContactList& list,
                          platform::FileSystem& files = platform::realFileSystem());

}  // namespace velmora
