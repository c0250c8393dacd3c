#include "vcard/tokens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

constexpr TextEncoding codePage = TextEncoding::codePage, utf8 = TextEncoding::utf8;

using Strings = std::vector<std::string>;

Strings split(std::string_view text, TextEncoding encoding = codePage) {
    TokenList tokens;
    splitTokens(text, ';', encoding, tokens);
    return {tokens.begin(), tokens.end()};
}

TEST(SplitTokens, CutsAtEverySeparator) {
    struct Case {
        std::string_view text;
        Strings tokens;
    } cases[] = {
        {"a;b;", {"a", "b", ""}}, {";a", {"", "a"}}, {"a;;b", {"a", "", "b"}}, {"", {""}}, {"abc", {"abc"}},
    };
    for (const auto& c : cases) EXPECT_EQ(split(c.text), c.tokens) << c.text;
}

TEST(SplitTokens, BackslashEscapesTheSeparator) {
    EXPECT_EQ(split("a\\;b;c"), (Strings{"a\\;b", "c"}));
    // Only the byte right before counts: a doubled backslash still escapes.
    EXPECT_EQ(split("a\\\\;b"), (Strings{"a\\\\;b"}));
    EXPECT_EQ(split("\\;;x"), (Strings{"\\;", "x"}));
}

TEST(SplitTokens, TrailByte5CBeforeSeparatorDoesNotEscape) {
    // 表 is 95 5C, ソ is 83 5C, 能 is 94 5C in code page 932.
    EXPECT_EQ(split("\x95\x5C;x"), (Strings{"\x95\x5C", "x"}));
    EXPECT_EQ(split("a\x83\x5C;\x94\x5C;"), (Strings{"a\x83\x5C", "\x94\x5C", ""}));
    // A half-width katakana (single byte) before a backslash leaves it a backslash.
    EXPECT_EQ(split("\xB1\\;x"), (Strings{"\xB1\\;x"}));
    // Two double-byte characters in a row: the walk keeps its place.
    EXPECT_EQ(split("\x82\xA0\x95\x5C;b"), (Strings{"\x82\xA0\x95\x5C", "b"}));
    // A lead byte right before ";" makes the ";" its (invalid) second byte,
    // which still separates.
    EXPECT_EQ(split("\x82;b"), (Strings{"\x82", "b"}));
}

TEST(SplitTokens, InUtf8TextEvery5CEscapes) {
    // 訪問は火曜と木曜\; 要予約: 曜 ends in 9C, and the 5C after it is a backslash.
    EXPECT_EQ(split("\xE6\x9B\x9C\\; \xE8\xA6\x81;x", utf8), (Strings{"\xE6\x9B\x9C\\; \xE8\xA6\x81", "x"}));
    // The same bytes read as Shift_JIS: 9C 5C is one character, and ";" separates.
    EXPECT_EQ(split("\xE6\x9B\x9C\\; \xE8\xA6\x81;x"), (Strings{"\xE6\x9B\x9C\\", " \xE8\xA6\x81", "x"}));
    EXPECT_EQ(split("\x95\x5C;x", utf8), (Strings{"\x95\x5C;x"}));
}

TEST(FindUnescaped, ReportsTheSeparatorPosition) {
    EXPECT_EQ(findUnescaped("ab;c", ';', codePage), 2u);
    EXPECT_EQ(findUnescaped(";", ';', codePage), 0u);
    EXPECT_EQ(findUnescaped("a\\;", ';', codePage), std::string_view::npos);
    EXPECT_EQ(findUnescaped("a\\;b;", ';', codePage), 4u);
    EXPECT_EQ(findUnescaped("abc", ';', codePage), std::string_view::npos);
}

TEST(KeywordTests, AreCaseInsensitiveSubstringTests) {
    // Only a to z fold: a keyword never matches across other bytes.
    struct Case {
        std::string_view text;
        std::vector<std::string_view> found;     // keywords the text contains
        std::vector<std::string_view> notFound;  // and keywords it does not
    } cases[] = {
        {"CHARSET=utf-8", {"UTF-8"}, {"UTF_8"}},
        {"X-BASE64-DATA", {"BASE64"}, {}},
        {"ENCODING=quoted-printable", {"QUOTED-PRINTABLE"}, {}},
        {"ENCODING=QUOTED-PRINTABL", {}, {"QUOTED-PRINTABLE"}},
        {"\x82\x71\x82\x60", {}, {"SHIFT_JIS"}},
        // Versions: digits, dots and commas are compared as they stand.
        {"3.0", {"3.0"}, {}},
        {"2.10", {"2.1"}, {}},
        {"2,1", {}, {"2.1"}},
        // Types anywhere in the parameters, in either case.
        {"TEL;type=work;HOMEWORK", {"WORK"}, {"CELL"}},
        {"", {}, {"WORK"}},
        // A long text (a folded photo's line) is searched the other way.
        {"QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVpbXF1eX2BhYmNkZWZnaGlqa2xtbm9wcXJzdHV2d3h5ei0tquoted-printable",
         {"QUOTED-PRINTABLE"},
         {}},
        {"QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVpbXF1eX2BhYmNkZWZnaGlqa2xtbm9wcXJzdHV2d3h5ei0tbase6", {}, {"BASE64"}},
    };
    for (const auto& c : cases) {
        const SearchableText text(c.text);
        for (std::string_view keyword : c.found)
            EXPECT_TRUE(text.contains(Keyword(keyword))) << c.text << " " << keyword;
        for (std::string_view keyword : c.notFound)
            EXPECT_FALSE(text.contains(Keyword(keyword))) << c.text << " " << keyword;
    }
}

TEST(EqualsIgnoreCase, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(equalsIgnoreCase("begin:vcard", "BEGIN:VCARD"));
    EXPECT_FALSE(equalsIgnoreCase("BEGIN:VCARD ", "BEGIN:VCARD"));
    EXPECT_FALSE(equalsIgnoreCase("BEGIN;VCARD", "BEGIN:VCARD"));
    EXPECT_FALSE(equalsIgnoreCase("\xC2\xA0", "\xE2\x80"));
}

}  // namespace
}  // namespace velmora
