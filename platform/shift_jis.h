// Walking text of the ANSI code page (Shift_JIS, code page 932): which bytes
// begin a double-byte character, which are its second byte, and where a text
// can be cut without splitting a character; and the ASCII tests that every
// keyword comparison shares. The only reader of the code page's lead-byte
// table: every other file asks here.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "platform/platform.h"

namespace velmora {

namespace shift_jis {

// Whether `c` begins a double-byte character.
inline bool isLeadByte(unsigned char c) {
    return platform::leadByteTable()[c];
}
inline bool isLeadByte(char c) {
    return isLeadByte(static_cast<unsigned char>(c));
}

// The longest start of `text`, at most `limit` bytes, that ends between two
// characters: a character that would straddle the limit is left out whole.
std::size_t cutBetweenCharacters(std::string_view text, std::size_t limit);

// Whether the byte at `at` is the second byte of a double-byte character,
// walking `text` from its start (a character boundary).
bool isSecondByte(std::string_view text, std::size_t at);

// Whether every byte is ASCII, a half-width katakana, or a lead byte followed
// by a valid second byte.
bool isWellFormed(std::string_view text);

// What a walk does with CR and LF bytes.
enum class LineBreaks : bool {
    characters,   // they are characters like any other
    transparent,  // they are passed over: a character may straddle them
};

// A walk over the characters of one text. It fetches the lead-byte table
// once, so that the bytes of a long text cost a table look-up each.
class Walk {
public:
    explicit Walk(std::string_view text, LineBreaks lineBreaks = LineBreaks::characters)
        : lead_(platform::leadByteTable()), text_(text), lineBreaks_(lineBreaks) {}

    // The length of the character that begins at `at`: 2 for a lead byte
    // with a byte after it, 1 otherwise.
    std::size_t characterLength(std::size_t at) const {
        return lead_[static_cast<unsigned char>(text_[at])] && at + 1 < text_.size() ? 2 : 1;
    }

    // Whether the byte at `at` is the second byte of a double-byte
    // character, walking from where the last question left off: `at` never
    // falls below the byte asked about before.
    bool isSecondByte(std::size_t at) {
        for (; walked_ < at; ++walked_) {
            const char c = text_[walked_];
            if (lineBreaks_ == LineBreaks::transparent && (c == '\r' || c == '\n')) continue;
            secondByte_ = !secondByte_ && lead_[static_cast<unsigned char>(c)];
        }
        return secondByte_;
    }

private:
    const std::array<bool, 256>& lead_;
    std::string_view text_;
    LineBreaks lineBreaks_;
    std::size_t walked_ = 0;   // the bytes before this have been judged
    bool secondByte_ = false;  // whether the byte at `walked_` is a second byte
};

}  // namespace shift_jis

namespace ascii {

// The byte with a to z upper-cased; nothing else is folded.
template <class Char>
constexpr Char upper(Char c) {
    return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - ('a' - 'A')) : c;
}

// True when `text` equals `expected` apart from the case of ASCII letters.
template <class Char>
constexpr bool equalsIgnoringCase(std::basic_string_view<Char> text, std::string_view expected) {
    if (text.size() != expected.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (upper(text[i]) != static_cast<Char>(upper(expected[i]))) return false;
    return true;
}

// Whether no byte is above 0x7F.
bool isAscii(std::string_view text);

}  // namespace ascii

}  // namespace velmora
