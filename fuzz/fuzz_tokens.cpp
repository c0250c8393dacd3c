// Fuzz target: cutting text into tokens (splitTokens, findUnescaped), the
// name part of a property line and the keyword tests.
//
// The first input byte picks the separator, the escape rule and the split
// limit; the rest is the text. Tokens must be the text itself cut at the
// separators (joined again they give the text back), and every cut must sit
// where a plain left-to-right walk over code page 932 characters puts it: a
// separator right after a single-byte backslash is escaped, one after a
// backslash that is the second byte of a double-byte character is not.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/platform.h"
#include "vcard/tokens.h"

namespace {

using namespace velmora;

// Offset of the first separator that ends a token, judging characters from
// the start of `text`.
std::size_t referenceFind(std::string_view text, char separator, bool escapeAware) {
    const auto& lead = platform::leadByteTable();
    bool secondByte = false;      // this byte is the second byte of a character
    bool backslashAlone = false;  // the byte before is a backslash of its own
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (text[i] == separator && !(escapeAware && backslashAlone && !secondByte)) return i;
        backslashAlone = !secondByte && c == '\\';
        secondByte = !secondByte && lead[c];
    }
    return std::string_view::npos;
}

// Tokens joined by the separator give the text back, and each cut is where the
// reference puts it.
void checkSplit(std::string_view text, char separator, bool escapeAware, std::size_t maxSplits,
                const TokenList& tokens) {
    FUZZ_CHECK(!tokens.empty());
    if (maxSplits != 0) FUZZ_CHECK(tokens.size() <= maxSplits + 1);
    std::size_t at = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string_view rest = text.substr(at);
        const bool last = i + 1 == tokens.size();
        const bool limited = maxSplits != 0 && i == maxSplits;
        const std::size_t cut = limited ? std::string_view::npos : referenceFind(rest, separator, escapeAware);
        FUZZ_CHECK(tokens[i] == rest.substr(0, cut == std::string_view::npos ? rest.size() : cut));
        FUZZ_CHECK(last == (cut == std::string_view::npos));
        at += tokens[i].size() + 1;
    }
}

std::string folded(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    constexpr char separators[] = {';', ':', ','};
    const char separator = separators[data[0] % 3];
    const bool escapeAware = (data[0] & 4) != 0;
    const std::size_t maxSplits = (data[0] >> 3) % 4;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    TokenList tokens{"left over"};
    splitTokens(text, separator, escapeAware, tokens, maxSplits);
    checkSplit(text, separator, escapeAware, maxSplits, tokens);
    const std::size_t found = findUnescaped(text, separator, escapeAware);
    FUZZ_CHECK(found == referenceFind(text, separator, escapeAware));

    // A property line: the name side is everything before the first ":",
    // split at unescaped ";".
    const std::string_view name = namePart(text);
    FUZZ_CHECK(name == text.substr(0, text.find(':')));
    TokenList nameTokens;
    splitTokens(name, ';', true, nameTokens);

    // The keyword tests are substring tests with a to z folded, over each
    // token and over the whole name side alike.
    const std::string keywords[] = {
        "BASE64", "QUOTED-PRINTABLE", "UTF-8", "SHIFT_JIS", "CELL", folded(text.substr(0, data[0] % 5))};
    for (const std::string& keywordText : keywords) {
        const Keyword keyword(keywordText);
        bool expected = false;
        for (const std::string_view token : nameTokens)
            expected = expected || folded(token).find(keywordText) != std::string::npos;
        FUZZ_CHECK(hasParam(keyword, nameTokens) == expected);
        if (keywordText.find(';') == std::string::npos)
            FUZZ_CHECK(containsKeyword(name, profileOf(name), keyword) == expected);
    }
    FUZZ_CHECK(!hasParam(Keyword("BASE64"), {}));
    return 0;
}
