#include "vcard/loader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "vcard/account.h"
#include "vcard/lines.h"

namespace velmora {
namespace {

constexpr std::size_t kPieceSize = 1 << 20;

// The UTF-16LE text up to its first zero code unit; an odd last byte is not
// part of any code unit and is dropped.
std::string_view utf16Text(std::string_view bytes) {
    std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i)
        if (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0) units = i;
    return bytes.substr(0, units * 2);
}

// Where a byte text ends (its first zero byte, or the end of what could be
// read) and where its last CR LF stands.
struct TextShape {
    std::uint64_t length = 0;
    std::optional<std::uint64_t> lastCrlf;
};

// The last CR LF in the last piece of the text, if there is one there;
// nothing when the read fails.
std::optional<std::optional<std::uint64_t>> lastCrlfOfTail(platform::SourceFile& file, std::uint64_t markLength,
                                                           std::uint64_t toRead) {
    const std::uint64_t start = toRead > kPieceSize ? toRead - kPieceSize : 0;
    std::string piece(static_cast<std::size_t>(toRead - start), '\0');
    file.seek(markLength + start);
    const auto delivered = file.read(piece.data(), piece.size());
    if (!delivered) return std::nullopt;
    LastCrlfFinder finder(start);
    finder.add(std::string_view(piece.data(), *delivered));
    return finder.offset();
}

// One quick pass over the text in pieces, for the zero byte that may end it
// and for its last CR LF.
std::optional<TextShape> measure(platform::SourceFile& file, std::uint64_t markLength, std::uint64_t toRead) {
    file.seek(markLength);
    std::uint64_t length = 0;
    LastCrlfFinder finder;
    std::string piece(static_cast<std::size_t>(std::min<std::uint64_t>(kPieceSize, toRead + 1)), '\0');
    while (length < toRead) {
        const std::uint64_t wanted = std::min<std::uint64_t>(piece.size(), toRead - length);
        const auto delivered = file.read(piece.data(), static_cast<std::size_t>(wanted));
        if (!delivered) return std::nullopt;
        std::size_t n = *delivered;
        bool ends = n == 0;
        if (const void* nul = std::memchr(piece.data(), '\0', n)) {
            n = static_cast<std::size_t>(static_cast<const char*>(nul) - piece.data());
            ends = true;
        }
        finder.add(std::string_view(piece.data(), n));
        length += n;
        if (ends) break;
    }
    return TextShape{length, finder.offset()};
}

LoadResult fromCut(CutResult result) {
    return result == CutResult::readFailed ? LoadResult::readFailed : LoadResult::loaded;
}

LoadResult load(const std::filesystem::path& sourcePath, ContactList& list, platform::FileSystem& files) {
    const auto opened = files.openSource(sourcePath, platform::Sharing::none);
    if (!opened) return LoadResult::openFailed;
    platform::SourceFile& file = *opened;
    const auto size = file.size();
    if (!size) return LoadResult::readFailed;

    char probe[3] = {0, 0, 0};
    const auto probed = file.read(probe, sizeof probe);
    if (!probed) return LoadResult::readFailed;
    const auto mark = [&](std::string_view bytes) {
        return *probed >= bytes.size() && std::memcmp(probe, bytes.data(), bytes.size()) == 0;
    };
    std::uint64_t markLength = 0;
    bool utf16 = false;
    if (mark("\xEF\xBB\xBF")) {
        markLength = 3;
        if (Account* account = list.account()) account->sourceMarkedUtf8();
    } else if (mark("\xFE\xFF")) {
        return LoadResult::unsupportedEncoding;
    } else if (mark("\xFF\xFE")) {
        markLength = 2;
        utf16 = true;
    }
    file.seek(markLength);
    const std::uint64_t toRead = *size > markLength ? *size - markLength : 0;
    // A source larger than the memory left cannot be an address book this
    // machine can convert: it is refused at once rather than after reading
    // for minutes. The list itself may grow only as far as memory lasts.
    const auto available = platform::availableMemory();
    if (available && toRead > *available) return LoadResult::outOfMemory;
    list.limitMemory(available);
    // Room for the contacts a file of this size usually holds (a few hundred
    // bytes each), so that the list seldom moves while it grows; room that
    // is reserved but never used costs no memory.
    list.reserve(static_cast<std::size_t>(toRead / 512), static_cast<std::size_t>(toRead / 8));

    if (utf16) {
        // UTF-16 text is converted whole into the ANSI code page first.
        if (toRead > std::numeric_limits<std::size_t>::max() / 2) return LoadResult::outOfMemory;
        const auto raw = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(toRead));
        const auto delivered = file.read(raw.get(), static_cast<std::size_t>(toRead));
        if (!delivered) return LoadResult::readFailed;
        std::optional<std::string> text = platform::utf16leToAnsi(utf16Text(std::string_view(raw.get(), *delivered)));
        if (!text) return LoadResult::outOfMemory;
        parseVcardText(*text, list);
        return LoadResult::loaded;
    }

    // Byte text is cut into lines as its pieces arrive, so no copy of the
    // whole file is ever held. Where its last CR LF stands is first guessed
    // from the file's last piece, which is right for any file with one kind
    // of line end and no zero byte; when the text proves the guess wrong, it
    // is measured exactly in one quick pass and read again.
    std::uint64_t left = toRead;
    const ReadPiece read = [&](char* buffer, std::size_t size) -> std::optional<std::size_t> {
        const auto delivered = file.read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(size, left)));
        if (delivered) left -= *delivered;
        return delivered;
    };
    const auto guess = lastCrlfOfTail(file, markLength, toRead);
    if (!guess) return LoadResult::readFailed;
    file.seek(markLength);
    // A small file is read in one piece of its own size.
    const std::size_t pieceSize = static_cast<std::size_t>(std::min<std::uint64_t>(kPieceSize, toRead + 1));
    const CutResult result = parseVcardStream(read, *guess, list, pieceSize, LastCrlfIs::guessed);
    if (result != CutResult::wrongGuess) return fromCut(result);

    list.clear();
    const auto shape = measure(file, markLength, toRead);
    if (!shape) return LoadResult::readFailed;
    file.seek(markLength);
    left = shape->length;
    return fromCut(parseVcardStream(read, shape->lastCrlf, list, pieceSize, LastCrlfIs::known));
}

}  // namespace

LoadResult loadSourceFile(const std::filesystem::path& sourcePath, ContactList& list, platform::FileSystem& files) {
    try {
        const LoadResult result = load(sourcePath, list, files);
        if (result != LoadResult::loaded) list.clear();
        return result;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    list.clear();
    return LoadResult::outOfMemory;
}

}  // namespace velmora
