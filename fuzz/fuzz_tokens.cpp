// Fuzz target: cutting text into tokens (splitTokens, findUnescaped), the
// name part of a property line and the keyword tests.
//
// The first input byte picks the separator and the text's encoding; the rest
// is the text. Tokens must be the text itself cut at the separators (joined
// again they give the text back), and every cut must sit where a plain
// left-to-right walk puts it: a separator right after a backslash is escaped,
// except, in code page 932 text, after a 0x5C that is the second byte of a
// double-byte character.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/shift_jis.h"
#include "vcard/tokens.h"

namespace {

using namespace velmora;

// Offset of the first separator that ends a token, judging characters from
// the start of `text`.
std::size_t referenceFind(std::string_view text, char separator, TextEncoding encoding) {
    const bool utf8 = encoding == TextEncoding::utf8;
    bool secondByte = false;      // this byte is the second byte of a character
    bool backslashAlone = false;  // the byte before is a backslash of its own
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (text[i] == separator && !(backslashAlone && (utf8 || !secondByte))) return i;
        backslashAlone = (utf8 || !secondByte) && c == '\\';
        secondByte = !utf8 && !secondByte && shift_jis::isLeadByte(c);
    }
    return std::string_view::npos;
}

// Tokens joined by the separator give the text back, and each cut is where the
// reference puts it.
void checkSplit(std::string_view text, char separator, TextEncoding encoding, const TokenList& tokens) {
    FUZZ_CHECK(!tokens.empty());
    std::size_t at = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string_view rest = text.substr(at);
        const bool last = i + 1 == tokens.size();
        const std::size_t cut = referenceFind(rest, separator, encoding);
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
    const TextEncoding encoding = (data[0] & 4) != 0 ? TextEncoding::utf8 : TextEncoding::codePage;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    TokenList tokens{"left over"};
    splitTokens(text, separator, encoding, tokens);
    checkSplit(text, separator, encoding, tokens);
    const std::size_t found = findUnescaped(text, separator, encoding);
    FUZZ_CHECK(found == referenceFind(text, separator, encoding));

    // The keyword tests are substring tests with a to z folded, in the name
    // side of a property line (everything before its first ":") as a whole
    // and in its ";"-separated parts alike.
    const std::string_view name = text.substr(0, text.find(':'));
    TokenList nameTokens;
    splitTokens(name, ';', encoding, nameTokens);
    const std::string keywords[] = {
        "BASE64", "QUOTED-PRINTABLE", "UTF-8", "SHIFT_JIS", "CELL", folded(text.substr(0, data[0] % 5))};
    for (const std::string& keywordText : keywords) {
        const Keyword keyword(keywordText);
        bool expected = false;
        for (const std::string_view token : nameTokens)
            expected = expected || folded(token).find(keywordText) != std::string::npos;
        if (keywordText.find(';') == std::string::npos) FUZZ_CHECK(SearchableText(name).contains(keyword) == expected);
    }
    return 0;
}
