#include "vcard/loader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "platform/platform.h"
#include "vcard/account.h"
#include "vcard/assembly.h"
#include "vcard/lines.h"
#include "vcard/properties.h"
#include "vcard/source_text.h"

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

// The reader's steps, in order: physical lines, logical lines, records.
// False when a piece of the text could not be read.
bool readLines(LineCutter& lines, SourceReading reading, ContactList& list) {
    LineAssembler logical(lines, reading);
    RecordBuilder records(list);
    while (const LogicalLine* line = logical.next()) records.apply(*line);
    return !lines.readFailed();
}

// What a text watch looks for on the way besides the end of the text.
enum class Utf8Watch : bool { off, checks };
enum class CrlfWatch : bool { off, findsLast };

// What a text, read piece by piece up to its first zero byte, shows of its
// facts on the way.
class TextWatch {
public:
    TextWatch(Utf8Watch utf8, CrlfWatch crlf)
        : checkUtf8_(utf8 == Utf8Watch::checks), findCrlf_(crlf == CrlfWatch::findsLast) {}

    // The part of the next piece that belongs to the text.
    std::string_view add(std::string_view piece) {
        if (ended_) return {};
        if (piece.empty()) ended_ = true;
        std::size_t length = piece.size();
        if (const void* zero = std::memchr(piece.data(), '\0', piece.size())) {
            length = static_cast<std::size_t>(static_cast<const char*>(zero) - piece.data());
        }
        if (checkUtf8_) utf8_.add(piece.substr(0, length));
        if (length < piece.size()) ended_ = true;
        piece = piece.substr(0, length);
        if (findCrlf_) crlf_.add(piece);
        return piece;
    }
    bool ended() const { return ended_; }
    std::optional<std::uint64_t> lastCrlf() const { return crlf_.offset(); }  // when asked to find it
    const Utf8Check& utf8() const { return utf8_; }

private:
    LastCrlfFinder crlf_;
    Utf8Check utf8_;
    bool checkUtf8_;
    bool findCrlf_;
    bool ended_ = false;
};

enum class ReadOutcome : std::uint8_t { borneOut, contradicted, readFailed };

// Whether the facts a text is read on were guessed, and are checked on the
// way, or surveyed, and hold.
enum class FactsFrom : bool { guess, survey };

// The text of a source file after its byte-order mark.
class SourceText {
public:
    SourceText(platform::SourceFile& file, std::uint64_t start, std::uint64_t size, std::optional<SourceReading> marked)
        : file_(file), start_(start), size_(size), marked_(marked) {}

    // The facts of the whole text, from one pass over it.
    std::optional<TextFacts> survey() {
        TextWatch watch(marked_ ? Utf8Watch::off : Utf8Watch::checks, CrlfWatch::findsLast);
        std::string piece(pieceSize(), '\0');
        file_.seek(start_);
        for (std::uint64_t left = size_; !watch.ended();) {
            const auto delivered = readAtMost(piece.data(), piece.size(), left);
            if (!delivered) return std::nullopt;
            watch.add(std::string_view(piece.data(), *delivered));
        }
        return TextFacts{watch.lastCrlf(), marked_.value_or(readingOf(watch.utf8()))};
    }

    // Facts guessed from the text's first and last pieces alone: the last
    // CR LF of a text with one kind of line end stands in its last piece, and
    // a text whose first piece is well-formed UTF-8 is nearly always UTF-8
    // throughout (one whose first piece is not never is).
    std::optional<TextFacts> guess() {
        const std::uint64_t tailStart = size_ > kPieceSize ? size_ - kPieceSize : 0;
        std::string piece(pieceSize(), '\0');
        std::uint64_t left = size_ - tailStart;
        file_.seek(start_ + tailStart);
        const auto tail = readAtMost(piece.data(), piece.size(), left);
        if (!tail) return std::nullopt;
        TextFacts facts;
        LastCrlfFinder finder;
        finder.add(std::string_view(piece.data(), *tail));
        if (finder.offset()) facts.lastCrlf = tailStart + *finder.offset();
        if (marked_) {
            facts.reading = *marked_;
            return facts;
        }
        left = size_;
        file_.seek(start_);
        const auto head = readAtMost(piece.data(), piece.size(), left);
        if (!head) return std::nullopt;
        TextWatch watch(Utf8Watch::checks, CrlfWatch::off);
        watch.add(std::string_view(piece.data(), *head));
        const bool whole = watch.ended() || left == 0;
        facts.reading = whole || !watch.utf8().soFar() ? readingOf(watch.utf8()) : SourceReading::utf8WellFormed;
        return facts;
    }

    // Reads the text into `list` on the assumption of `facts`. Reading stops
    // as soon as the text proves a fact wrong (the list then is not to be
    // kept): a CR LF that the line cutter meets after the last one, or a
    // byte that is not UTF-8 in a text guessed to be UTF-8. `facts.reading`
    // becomes code page for a UTF-8 guess on a text of ASCII alone, which
    // reads the same either way.
    ReadOutcome read(TextFacts& facts, FactsFrom from, ContactList& list) {
        const bool check = from == FactsFrom::guess;
        TextWatch watch(check && facts.reading == SourceReading::utf8WellFormed ? Utf8Watch::checks : Utf8Watch::off,
                        CrlfWatch::off);
        bool notUtf8 = false;
        std::uint64_t left = size_;
        file_.seek(start_);
        const ReadPiece read = [&](char* buffer, std::size_t size) -> std::optional<std::size_t> {
            const auto delivered = readAtMost(buffer, watch.ended() ? 0 : size, left);
            if (!delivered) return std::nullopt;
            const std::size_t n = watch.add(std::string_view(buffer, *delivered)).size();
            if (!watch.utf8().soFar()) {
                notUtf8 = true;
                return 0;
            }
            return n;
        };
        LineCutter lines(read, facts.lastCrlf, pieceSize());
        if (!readLines(lines, facts.reading, list)) return ReadOutcome::readFailed;
        if (notUtf8 || lines.contradicted()) return ReadOutcome::contradicted;
        if (!check) return ReadOutcome::borneOut;
        if (facts.reading == SourceReading::utf8WellFormed) {
            if (!watch.utf8().wellFormed()) return ReadOutcome::contradicted;
            facts.reading = readingOf(watch.utf8());
        }
        return ReadOutcome::borneOut;
    }

private:
    // A small file is read in one piece of its own size.
    std::size_t pieceSize() const { return static_cast<std::size_t>(std::min<std::uint64_t>(kPieceSize, size_ + 1)); }

    // Reads at most `size` bytes and no more than the `left` of the text.
    std::optional<std::size_t> readAtMost(char* buffer, std::size_t size, std::uint64_t& left) {
        const auto delivered = file_.read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(size, left)));
        if (delivered) left -= *delivered;
        return delivered;
    }

    platform::SourceFile& file_;
    std::uint64_t start_;
    std::uint64_t size_;
    std::optional<SourceReading> marked_;
};

LoadResult load(const std::filesystem::path& sourcePath, ContactList& list, platform::FileSystem& files) {
    const auto opened = files.openSource(sourcePath);
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
    std::optional<SourceReading> marked;
    if (mark("\xEF\xBB\xBF")) {
        markLength = 3;
        marked = SourceReading::utf8Marked;
    } else if (mark("\xFE\xFF")) {
        return LoadResult::unsupportedEncoding;
    } else if (mark("\xFF\xFE")) {
        markLength = 2;
        marked = SourceReading::utf16;
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
    Account* const account = list.account();

    if (marked == SourceReading::utf16) {
        // UTF-16 text is converted whole into the ANSI code page first.
        if (toRead > std::numeric_limits<std::size_t>::max() / 2) return LoadResult::outOfMemory;
        const auto raw = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(toRead));
        const auto delivered = file.read(raw.get(), static_cast<std::size_t>(toRead));
        if (!delivered) return LoadResult::readFailed;
        std::optional<std::string> text = platform::utf16leToAnsi(utf16Text(std::string_view(raw.get(), *delivered)));
        if (!text) return LoadResult::outOfMemory;
        if (account != nullptr) account->sourceRead(SourceReading::utf16);
        parseVcardText(*text, list, SourceReading::utf16);
        return LoadResult::loaded;
    }

    // Byte text is cut into lines as its pieces arrive, so no copy of the
    // whole file is ever held. The facts the cutting needs are first guessed
    // from the text's first and last pieces, which saves a whole pass over
    // the file for nearly every address book (4 to 14 percent of the time of
    // a 100 MB book); when the text proves a guess wrong, it is surveyed
    // exactly in one pass and read again.
    SourceText text(file, markLength, toRead, marked);
    std::optional<TextFacts> facts = text.guess();
    if (!facts) return LoadResult::readFailed;
    ReadOutcome outcome = text.read(*facts, FactsFrom::guess, list);
    if (outcome == ReadOutcome::contradicted) {
        list.clear();
        facts = text.survey();
        if (!facts) return LoadResult::readFailed;
        outcome = text.read(*facts, FactsFrom::survey, list);
    }
    if (outcome == ReadOutcome::readFailed) return LoadResult::readFailed;
    if (account != nullptr) account->sourceRead(facts->reading);
    return LoadResult::loaded;
}

}  // namespace

void parseVcardText(std::string_view text, ContactList& list, std::optional<SourceReading> reading) {
    LineCutter lines(text);
    const SourceReading read = reading ? *reading : readingOf(text);
    if (Account* account = list.account()) account->sourceRead(read);
    readLines(lines, read, list);
}

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
