// Reading a whole source file and handing its text to the line assembly.
#pragma once

#include <filesystem>

#include "vcard/contact.h"

namespace velmora {

// Opens the source with no sharing, reads it whole, recognises a byte-order
// mark (UTF-8 skipped, UTF-16LE converted into the ANSI code page, UTF-16BE
// refused) and parses the text, which ends at its first zero byte (or zero
// code unit), into `list`. The file stays locked until the parse is done.
// Returns 0, or -1 (open failed), -2 (read failed), -4 (memory exhausted,
// the list then empty), -5 (UTF-16 big-endian).
int loadSourceFile(const std::filesystem::path& sourcePath, ContactList& list);

}  // namespace velmora
