// Cutting a property line into its name/parameter tokens and its value
// tokens, and the case-insensitive keyword test over tokens.
//
// Tokens are views into the split text, exactly the bytes between two
// separators: nothing is unescaped, trimmed or decoded here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "vcard/contact.h"

namespace velmora {

using TokenList = std::vector<std::string_view>;

// Offset of the first `separator` in `text` that ends a token, or npos. A
// separator right after a backslash is escaped and skipped. In UTF-8 text
// every 0x5C byte is a backslash; in code page text a 0x5C that is the second
// byte of a double-byte character (表 is 95 5C) escapes nothing.
std::size_t findUnescaped(std::string_view text, char separator, TextEncoding encoding);

// Replaces `tokens` with the tokens of `text`. A text without a separator is
// one token, the empty text one empty token.
void splitTokens(std::string_view text, char separator, TextEncoding encoding, TokenList& tokens);

// Which letters (either case), digits and "-", "_", ".", "=" a text holds, one
// bit each: a keyword can only occur in a text whose profile has all the bits
// of the keyword's, which rules out most keyword searches with one look.
using TextProfile = std::uint64_t;

constexpr TextProfile profileBit(unsigned char c) {
    if (c >= 'a' && c <= 'z') return TextProfile{1} << (c - 'a');
    if (c >= 'A' && c <= 'Z') return TextProfile{1} << (c - 'A');
    if (c >= '0' && c <= '9') return TextProfile{1} << (26 + c - '0');
    switch (c) {
    case '-':
        return TextProfile{1} << 36;
    case '_':
        return TextProfile{1} << 37;
    case '.':
        return TextProfile{1} << 38;
    case '=':
        return TextProfile{1} << 39;
    default:
        return TextProfile{1} << 63;
    }
}

TextProfile profileOf(std::string_view text);

// A keyword prepared once for many searches: its text is already upper-case,
// its profile is known, and its first byte that case folding leaves alone
// ("-" in UTF-8, "6" in BASE64) serves as a memchr anchor, so a long line
// costs one fast scan.
class Keyword {
public:
    constexpr explicit Keyword(std::string_view upperCaseText) : text_(upperCaseText) {
        while (anchor_ < text_.size() && text_[anchor_] >= 'A' && text_[anchor_] <= 'Z') ++anchor_;
        for (char c : text_) profile_ |= profileBit(static_cast<unsigned char>(c));
    }
    constexpr std::string_view text() const { return text_; }
    // Index of the anchor byte; the size when every byte is a letter.
    constexpr std::size_t anchor() const { return anchor_; }
    // False when a text of this profile cannot contain the keyword.
    constexpr bool mayOccurIn(TextProfile profile) const { return (profile_ & ~profile) == 0; }

private:
    std::string_view text_;
    std::size_t anchor_ = 0;
    TextProfile profile_ = 0;
};

// True when `keyword` occurs in `text`, whose profile is `profile`, with a to
// z upper-cased. No keyword contains ";", so a keyword is found in the name
// part of a line as a whole exactly where it is in one of its parameters.
bool containsFolded(std::string_view text, const Keyword& keyword);
inline bool containsKeyword(std::string_view text, TextProfile profile, const Keyword& keyword) {
    // Most keyword searches end here, without a call.
    return keyword.mayOccurIn(profile) && containsFolded(text, keyword);
}

// True when `text` equals `expected` apart from the case of ASCII letters.
inline bool equalsIgnoreCase(std::string_view text, std::string_view expected) {
    if (text.size() != expected.size()) return false;
    const auto upper = [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
    };
    for (std::size_t i = 0; i < text.size(); ++i)
        if (upper(text[i]) != upper(expected[i])) return false;
    return true;
}

}  // namespace velmora
