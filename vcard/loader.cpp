#include "vcard/loader.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "vcard/lines.h"

namespace velmora {
namespace {

// Whether reading `size` bytes and building the list from them fits in the
// memory that is left. The text and the contacts made from it together take
// up to about one and a half times the file, so a file that cannot fit is
// refused at once instead of running the system out of memory.
bool fitsInMemory(std::uint64_t size) {
    if (size > std::numeric_limits<std::size_t>::max() / 2) return false;
    const auto available = platform::availableMemory();
    return !available || size + size / 2 <= *available;
}

// The UTF-16LE text up to its first zero code unit; an odd last byte is not
// part of any code unit and is dropped.
std::string_view utf16Text(std::string_view bytes) {
    std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i)
        if (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0) units = i;
    return bytes.substr(0, units * 2);
}

int load(const std::filesystem::path& sourcePath, ContactList& list) {
    platform::SourceFile file;
    if (!file.open(sourcePath)) return OpenFailed;
    const auto size = file.size();
    if (!size) return ReadFailed;

    char probe[3] = {0, 0, 0};
    const auto probed = file.read(probe, sizeof probe);
    if (!probed) return ReadFailed;
    const auto mark = [&](std::string_view bytes) {
        return *probed >= bytes.size() && std::memcmp(probe, bytes.data(), bytes.size()) == 0;
    };
    std::uint64_t markLength = 0;
    bool utf16 = false;
    if (mark("\xEF\xBB\xBF")) {
        markLength = 3;
    } else if (mark("\xFE\xFF")) {
        return UnsupportedEncoding;
    } else if (mark("\xFF\xFE")) {
        markLength = 2;
        utf16 = true;
    }
    file.seek(markLength);
    const std::uint64_t toRead = *size > markLength ? *size - markLength : 0;

    if (!fitsInMemory(toRead)) return OutOfMemory;
    const auto raw = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(toRead) + 2);
    const auto delivered = file.read(raw.get(), static_cast<std::size_t>(toRead));
    if (!delivered) return ReadFailed;
    // Bytes that a short read did not deliver end the text.
    const std::string_view content(raw.get(), *delivered);

    if (utf16) {
        std::optional<std::string> text = platform::utf16leToAnsi(utf16Text(content));
        if (!text) return OutOfMemory;
        return parseVcardText(*text, list);
    }
    return parseVcardText(content, list);
}

}  // namespace

int loadSourceFile(const std::filesystem::path& sourcePath, ContactList& list) {
    try {
        const int result = load(sourcePath, list);
        if (result != Success) list.clear();
        return result;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    list.clear();
    return OutOfMemory;
}

}  // namespace velmora
