// What must be known of a source's text before its lines can be cut and read:
// where its last CR LF stands (see LineCutter), and whether it is UTF-8,
// which decides what the text of every line that names no charset is in.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "vcard/contact.h"

namespace velmora {

struct TextFacts {
    std::optional<std::uint64_t> lastCrlf;  // text offset of the CR of the last CR LF
    SourceReading reading = SourceReading::codePage;
};

// Finds the last CR LF of a text looked at piece by piece, in text order.
class LastCrlfFinder {
public:
    void add(std::string_view piece);
    std::optional<std::uint64_t> offset() const { return last_; }

private:
    std::uint64_t next_ = 0;  // text offset of the next piece
    std::optional<std::uint64_t> last_;
    bool previousEndsInCr_ = false;
};

// Whether a text looked at piece by piece, in text order, is well-formed
// UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no
// sequence cut short at its end.
class Utf8Check {
public:
    void add(std::string_view piece);
    // Whether the pieces so far hold nothing that is not UTF-8; a sequence
    // still unfinished at the end of the last piece is no fault yet.
    bool soFar() const { return !failed_; }
    // The whole text is well-formed.
    bool wellFormed() const { return !failed_ && need_ == 0; }
    bool sawHighByte() const { return highByte_; }

private:
    unsigned need_ = 0;                       // continuation bytes still due
    unsigned char low_ = 0x80, high_ = 0xBF;  // the range of the next one
    bool failed_ = false;
    bool highByte_ = false;
};

bool isWellFormedUtf8(std::string_view text);

// A text that is UTF-8 throughout and has bytes above 0x7F is read as UTF-8;
// a text of ASCII alone reads the same either way.
SourceReading readingOf(const Utf8Check& check);

// How a whole text, up to its first zero byte, is read.
SourceReading readingOf(std::string_view text);

}  // namespace velmora
