#include "vcard/tokens.h"

#include <array>
#include <cstring>

#include "platform/shift_jis.h"

namespace velmora {
namespace {

bool matchesAt(std::string_view text, std::size_t at, std::string_view upperKeyword) {
    for (std::size_t j = 0; j < upperKeyword.size(); ++j)
        if (ascii::upper(text[at + j]) != upperKeyword[j]) return false;
    return true;
}

}  // namespace

keyword_search::Profile SearchableText::profileOf(std::string_view text) {
    // A short text (a property name with its parameters) is profiled byte by
    // byte; a long one (a folded photo's line, which has no ":") is cheaper to
    // search through each keyword's anchor, and gets every bit.
    if (text.size() > 64) return ~keyword_search::Profile{0};
    static constexpr auto table = [] {
        std::array<keyword_search::Profile, 256> t{};
        for (int c = 0; c < 256; ++c) t[c] = keyword_search::profileBit(static_cast<unsigned char>(c));
        return t;
    }();
    // Eight bytes are loaded at once and looked up one by one from the word:
    // plain table look-ups, which the compiler would otherwise vectorise into
    // shuffles that cost more than they save on texts this short. Byte order
    // does not matter to the union.
    const char* p = text.data();
    const std::size_t n = text.size();
    keyword_search::Profile profile = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        for (int k = 0; k < 8; ++k, word >>= 8) profile |= table[word & 0xFF];
    }
    for (; i < n; ++i) profile |= table[static_cast<unsigned char>(p[i])];
    return profile;
}

bool SearchableText::containsFolded(const Keyword& keyword) const {
    const std::string_view text = text_;
    const std::string_view upperKeyword = keyword.text();
    const std::size_t k = upperKeyword.size();
    if (k == 0) return true;
    if (text.size() < k) return false;
    const std::size_t last = text.size() - k;  // last possible start
    const std::size_t anchor = keyword.anchor_;
    // Candidates are the places of the anchor byte, found with memchr. A
    // keyword of letters only ("CHARSET") is anchored on its first letter,
    // looked for once upper-case, as exports mostly write it, and then once
    // lower-case.
    const auto foundFrom = [&](std::size_t at, char byte) {
        const char* base = text.data();
        const char* p = base + at;
        const char* end = base + last + at + 1;
        while (p < end) {
            p = static_cast<const char*>(std::memchr(p, byte, static_cast<std::size_t>(end - p)));
            if (p == nullptr) return false;
            if (matchesAt(text, static_cast<std::size_t>(p - base) - at, upperKeyword)) return true;
            ++p;
        }
        return false;
    };
    if (anchor < k) return foundFrom(anchor, upperKeyword[anchor]);
    return foundFrom(0, upperKeyword[0]) || foundFrom(0, static_cast<char>(upperKeyword[0] - 'A' + 'a'));
}

std::size_t findUnescaped(std::string_view text, char separator, TextEncoding encoding) {
    std::size_t start = 0;  // where the current search began
    for (;;) {
        const void* hit = std::memchr(text.data() + start, separator, text.size() - start);
        if (hit == nullptr) return std::string_view::npos;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        // Only a backslash right before the separator can escape it; anything
        // else, or a separator that is itself the second byte of a double-byte
        // character, separates.
        if (at == start || text[at - 1] != '\\') return at;
        if (encoding == TextEncoding::utf8) {
            start = at + 1;
            continue;
        }
        // Whether that backslash is a character of its own or the second byte
        // of one (表 is 95 5C) is known only by walking from the search start.
        if (shift_jis::isSecondByte({text.data() + start, at - start}, at - 1 - start)) return at;
        start = at + 1;  // escaped: search on behind it, judging afresh from there
    }
}

void splitTokens(std::string_view text, char separator, TextEncoding encoding, TokenList& tokens) {
    tokens.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = findUnescaped(text.substr(start), separator, encoding);
        if (end == std::string_view::npos) {
            tokens.push_back(text.substr(start));
            return;
        }
        tokens.push_back(text.substr(start, end));
        start += end + 1;
    }
}

}  // namespace velmora
