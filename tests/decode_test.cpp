#include "vcard/decode.h"

#include <gtest/gtest.h>

#include <string>

#include "vcard/contact.h"
#include "vcard/decode_internal.h"

namespace velmora {
namespace {

using namespace std::string_literals;

constexpr TransferEncoding plain = TransferEncoding::none, base64 = TransferEncoding::base64,
                           quotedPrintable = TransferEncoding::quotedPrintable;
constexpr TextEncoding codePage = TextEncoding::codePage, utf8 = TextEncoding::utf8;
constexpr Escapes kept = Escapes::kept, undone = Escapes::undone;

std::string utf8ToAnsi(std::string_view text) {
    return decodeValue(text, {plain, utf8, kept});
}

TEST(DecodeBase64, DecodesGroupsOfFour) {
    struct Case {
        std::string_view text;
        std::string bytes;
    } cases[] = {
        {"QUJD", "ABC"},
        {"QUI=", "AB\0"s},
        {"QQ==", "A\0\0"s},
        {"", ""},
        {"44GC", "\xE3\x81\x82"},
        // Characters outside the alphabet count as 0 and keep their place.
        {"Q*JD", "@\x02\x43"},
        {"QU\xFFJ", "A@\x09"},
        // A cut-short last group yields one byte less than its characters.
        {"QUJDQ", "ABC"},
        {"QUJDQU", "ABCA"},
        {"QUJDQUJ", "ABCAB"},
    };
    for (const auto& c : cases) EXPECT_EQ(decodedBase64(c.text), c.bytes) << c.text;
}

TEST(DecodeQuotedPrintable, DecodesEscapes) {
    struct Case {
        std::string_view text;
        std::string bytes;
    } cases[] = {
        {"=82=A0", "\x82\xA0"},
        {"=e3=81=82", "\xE3\x81\x82"},
        {"a=3Db", "a=b"},
        {"plain_text with spaces", "plain_text with spaces"},
        {"=00x", "\0x"s},
        // Malformed escapes: nothing is read past the end of the value.
        {"=", "="},
        {"a=", "a="},
        {"=4", "\x04"},
        {"=4G", "\x04"},
        {"=G1x", "=G1x"},
        {"= A", "= A"},
        {"=\xFF", "=\xFF"},
        {"==41",
         "==4"
         "1"},
    };
    for (const auto& c : cases) EXPECT_EQ(decodedQuotedPrintable(c.text), c.bytes) << c.text;
}

TEST(DecodeValue, TransferDecodesThenConverts) {
    EXPECT_EQ(decodeValue("abc", {plain, codePage}), "abc");
    for (TransferEncoding encoding : {plain, base64, quotedPrintable})
        for (TextEncoding text : {codePage, utf8})
            for (Escapes escapes : {kept, undone}) EXPECT_EQ(decodeValue("", {encoding, text, escapes}), "");
    EXPECT_EQ(decodeValue("44GC", {base64, utf8}), "\x82\xA0");
    EXPECT_EQ(decodeValue("44GC", {base64, codePage}), "\xE3\x81\x82");
    EXPECT_EQ(decodeValue("=82=A0", {quotedPrintable, codePage}), "\x82\xA0");
    EXPECT_EQ(decodeValue("=e3=81=82", {quotedPrintable, utf8}), "\x82\xA0");
    // Decoded text ends at its first zero byte.
    EXPECT_EQ(decodeValue("QQ==", {base64, codePage}), "A");
    EXPECT_EQ(decodeValue("a=00b", {quotedPrintable, codePage}), "a");
    // Code page text passes byte for byte, UTF-8 bytes and all.
    EXPECT_EQ(decodeValue("\xE3\x81\x82", {plain, codePage}), "\xE3\x81\x82");
}

TEST(DecodeValue, UndoesVersion30EscapesBetweenTransferDecodingAndConversion) {
    struct Case {
        std::string_view text;
        LineCoding coding;
        std::string_view value;
    } cases[] = {
        {R"(a\\b\,c\:d\ne\Nf)", {plain, utf8, undone}, "a\\b,c:d\r\ne\r\nf"},
        {R"(https\://example.jp/\;x\y\)", {plain, utf8, undone}, R"(https://example.jp/\;x\y\)"},
        {R"(a\,b)", {plain, utf8, kept}, R"(a\,b)"},  // escapes only where a block says vCard 3.0
        // After the transfer decoding ("5C 2C" is "\,") and before the
        // conversion (\xE5\xA4\xAA is 太).
        {"=E5=A4=AA=5C,=5Cn", {quotedPrintable, utf8, undone}, "\x91\xBE,\r\n"},
        {"XG4=", {base64, utf8, undone}, "\r\n"},
        // In Shift_JIS text the second byte of 表 (95 5C) is no backslash.
        {"\x95\x5C,\x95\x5Cn\\,", {plain, codePage, undone}, "\x95\x5C,\x95\x5Cn,"},
        // In UTF-8 text every 0x5C is one.
        {"\xE8\xA1\xA8\\,", {plain, utf8, undone}, "\x95\x5C,"},
    };
    for (const auto& c : cases) EXPECT_EQ(decodeValue(c.text, c.coding), c.value) << c.text;
}

TEST(Utf8ToAnsi, ConvertsIntoCodePage932) {
    EXPECT_EQ(utf8ToAnsi("abc"), "abc");
    EXPECT_EQ(utf8ToAnsi("\xE5\xB1\xB1\xE7\x94\xB0"), "\x8E\x52\x93\x63");  // 山田
    EXPECT_EQ(utf8ToAnsi("\xEF\xBD\xB1"), "\xB1");                          // half-width ｱ
    EXPECT_EQ(utf8ToAnsi("\xE8\xA1\xA8"), "\x95\x5C");                      // 表
    // A character without a form in the code page becomes one space.
    EXPECT_EQ(utf8ToAnsi("a\xE2\x82\xAC"
                         "z"),
              "a z");  // €
}

TEST(Utf8ToAnsi, MalformedUtf8BecomesSpacesWithoutLosingTheRest) {
    EXPECT_EQ(utf8ToAnsi("a\xFF"
                         "b"),
              "a b");
    EXPECT_EQ(utf8ToAnsi("a\xE3\x81"), "a ");  // cut short at the end
    EXPECT_EQ(utf8ToAnsi("\xE3\x81z\xE3\x81\x82"), " z\x82\xA0");
}

TEST(FormatBirthday, SlashesOnlyEightDigits) {
    struct Case {
        std::string_view text;
        std::string_view formatted;
    } cases[] = {
        {"19800115", "1980/01/15"},
        {"20011399", "2001/13/99"},
        {"1980-01-15", "1980-01-15"},
        {"1980011", "1980011"},
        {"198001150", "198001150"},
        {"1980O115", "1980O115"},
        {"", ""},
        {"\xB1\xB2\xB3\xB4\xB5\xB6\xB7\xB8", "\xB1\xB2\xB3\xB4\xB5\xB6\xB7\xB8"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatBirthday(c.text), c.formatted) << c.text;
}

}  // namespace
}  // namespace velmora
