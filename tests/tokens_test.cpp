#include "vcard/tokens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

std::vector<std::string> split(std::string_view text, bool escapeAware, std::size_t maxSplits = 0) {
    TokenList tokens;
    splitTokens(text, ';', escapeAware, tokens, maxSplits);
    return {tokens.begin(), tokens.end()};
}

using Strings = std::vector<std::string>;

TEST(SplitTokens, CutsAtEverySeparator) {
    struct Case {
        std::string_view text;
        Strings tokens;
    } cases[] = {
        {"a;b;", {"a", "b", ""}}, {";a", {"", "a"}}, {"a;;b", {"a", "", "b"}}, {"", {""}}, {"abc", {"abc"}},
    };
    for (const auto& c : cases) EXPECT_EQ(split(c.text, true), c.tokens) << c.text;
}

TEST(SplitTokens, BackslashEscapesTheSeparatorOnlyWhenEscapeAware) {
    EXPECT_EQ(split("a\\;b;c", true), (Strings{"a\\;b", "c"}));
    EXPECT_EQ(split("a\\;b;c", false), (Strings{"a\\", "b", "c"}));
    // Only the byte right before counts: a doubled backslash still escapes.
    EXPECT_EQ(split("a\\\\;b", true), (Strings{"a\\\\;b"}));
    EXPECT_EQ(split("\\;;x", true), (Strings{"\\;", "x"}));
}

TEST(SplitTokens, TrailByte5CBeforeSeparatorDoesNotEscape) {
    // 表 is 95 5C, ソ is 83 5C, 能 is 94 5C in code page 932.
    EXPECT_EQ(split("\x95\x5C;x", true), (Strings{"\x95\x5C", "x"}));
    EXPECT_EQ(split("a\x83\x5C;\x94\x5C;", true), (Strings{"a\x83\x5C", "\x94\x5C", ""}));
    // A half-width katakana (single byte) before a backslash leaves it a backslash.
    EXPECT_EQ(split("\xB1\\;x", true), (Strings{"\xB1\\;x"}));
    // Two double-byte characters in a row: the walk keeps its place.
    EXPECT_EQ(split("\x82\xA0\x95\x5C;b", true), (Strings{"\x82\xA0\x95\x5C", "b"}));
    // A lead byte right before ";" makes the ";" its (invalid) second byte,
    // which still separates.
    EXPECT_EQ(split("\x82;b", true), (Strings{"\x82", "b"}));
}

TEST(SplitTokens, MaxSplitsKeepsTheRestWhole) {
    EXPECT_EQ(split("a;b;c", false, 1), (Strings{"a", "b;c"}));
    EXPECT_EQ(split("abc", false, 1), (Strings{"abc"}));
}

TEST(FindUnescaped, ReportsTheSeparatorPosition) {
    EXPECT_EQ(findUnescaped("ab;c", ';', true), 2u);
    EXPECT_EQ(findUnescaped(";", ';', true), 0u);
    EXPECT_EQ(findUnescaped("a\\;", ';', true), std::string_view::npos);
    EXPECT_EQ(findUnescaped("a\\;b;", ';', true), 4u);
    EXPECT_EQ(findUnescaped("abc", ';', true), std::string_view::npos);
}

TEST(SplitPropertyLine, SeparatesNameAndValueTokens) {
    struct Case {
        std::string_view line;
        Strings name;
        Strings value;
    } cases[] = {
        {"NOTE:a:b", {"NOTE"}, {"a:b"}},
        {"TEL;TYPE=CELL;TYPE=VOICE:123", {"TEL", "TYPE=CELL", "TYPE=VOICE"}, {"123"}},
        {"N:A;B;;;", {"N"}, {"A", "B", "", "", ""}},
        {"a\\:b", {"a\\"}, {"b"}},  // the ":" split knows no escaping
        {"", {""}, {}},
        {"no colon;x", {"no colon", "x"}, {}},
        {"X:", {"X"}, {""}},
        {"N;CHARSET=SHIFT_JIS:\x95\x5C;\x83\x5C\\;x", {"N", "CHARSET=SHIFT_JIS"}, {"\x95\x5C", "\x83\x5C\\;x"}},
    };
    for (const auto& c : cases) {
        TokenList name, value;
        splitPropertyLine(c.line, name, value);
        EXPECT_EQ(Strings(name.begin(), name.end()), c.name) << c.line;
        EXPECT_EQ(Strings(value.begin(), value.end()), c.value) << c.line;
    }
}

TEST(HasParam, IsACaseInsensitiveSubstringTestOverEveryToken) {
    const std::vector<std::string_view> tokens = {"TEL", "type=work", "HOMEWORK"};
    EXPECT_TRUE(hasParam("WORK", tokens));
    EXPECT_TRUE(hasParam("work", tokens));
    EXPECT_TRUE(hasParam("TEL", tokens));
    EXPECT_FALSE(hasParam("CELL", tokens));
    EXPECT_FALSE(hasParam("WORK", {}));
    // Only a to z fold: a keyword never matches across other bytes.
    const std::vector<std::string_view> charset = {"CHARSET=utf-8"};
    EXPECT_TRUE(hasParam("UTF-8", charset));
    EXPECT_FALSE(hasParam("UTF_8", charset));
    const std::vector<std::string_view> name = {"X-BASE64-DATA"};
    EXPECT_TRUE(hasParam("BASE64", name));
}

TEST(EqualsIgnoreCase, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(equalsIgnoreCase("begin:vcard", "BEGIN:VCARD"));
    EXPECT_FALSE(equalsIgnoreCase("BEGIN:VCARD ", "BEGIN:VCARD"));
    EXPECT_FALSE(equalsIgnoreCase("BEGIN;VCARD", "BEGIN:VCARD"));
    EXPECT_FALSE(equalsIgnoreCase("\xC2\xA0", "\xE2\x80"));
}

}  // namespace
}  // namespace velmora
