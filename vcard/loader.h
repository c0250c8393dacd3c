// Reading a source file into the contact list: the file's text is cut into
// physical lines, joined into logical lines and applied to the records.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

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

// Parses a whole text, up to its first zero byte, into `list`: read as
// `reading`, or without one as the text shows itself to be. Throws
// std::bad_alloc when memory runs out.
void parseVcardText(std::string_view text, ContactList& list, std::optional<SourceReading> reading = std::nullopt);

}  // namespace velmora
