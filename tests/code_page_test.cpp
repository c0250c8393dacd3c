// The code-page conversions of the platform seam, by class of character.
// The same expectations hold for the POSIX seam (the table dumped from
// Windows) and, in the Windows build under Wine, for Windows' own calls; that
// build also holds the table and the UTF-8 decoder against those calls,
// every code and every short byte sequence.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/cp932.h"
#include "platform/platform.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace velmora::platform {
namespace {

using namespace std::string_literals;

struct Case {
    std::string from;
    std::string to;
};

template <std::size_t N>
void expectUtf8ToAnsi(const Case (&cases)[N]) {
    for (const Case& c : cases) EXPECT_EQ(utf8ToAnsi(c.from), c.to) << "UTF-8: " << c.from;
}

TEST(Utf8ToAnsi, BestFitLatinLettersAndSymbols) {
    const Case cases[] = {
        {"St\xC3\xBCrmer", "Sturmer"},                       // ü
        {"Gau\xC3\x9F", "Gaus"},                             // ß
        {"Bartholom\xC3\xA4us", "Bartholomaus"},             // ä
        {"\xC3\x89\xC3\xB1\xC3\xB8", "Eno"},                 // É ñ ø
        {"\xC2\xA5", "\\"},                                  // ¥ takes the backslash byte
        {"\xC2\xA0\xC2\xA9\xC2\xB2", " c2"},                 // no-break space, ©, ²
        {"\xC5\x81\xC5\x93", "  "},                          // Ł œ: no fit
        {"\xC3\x97\xC2\xB1\xC2\xB4", "\x81\x7E\x81}\x81L"},  // × ± ´
    };
    expectUtf8ToAnsi(cases);
}

TEST(Utf8ToAnsi, JisVariantDashesAndTildes) {
    // The JIS forms have no code; their full-width twins take 81 60 and so on.
    const Case cases[] = {
        {"\xE3\x80\x9C\xE2\x88\x92\xE2\x80\x94\xE2\x80\x96", "    "},  // 〜 − — ‖
        {"\xEF\xBD\x9E\xEF\xBC\x8D\xE2\x80\x95\xE2\x88\xA5", "\x81\x60\x81\x7C\x81\x5C\x81\x61"},
        {"\xC2\xA2\xC2\xA3\xC2\xAC", "\x81\x91\x81\x92\x81\xCA"},  // ¢ £ ¬
    };
    expectUtf8ToAnsi(cases);
}

TEST(Utf8ToAnsi, NecAndIbmExtensions) {
    // Characters in both extensions take the IBM code (FA 40), except those
    // in the NEC row 13 (87 xx) or in JIS X 0208 itself.
    const Case cases[] = {
        {"\xE2\x85\xB0", "\xFA\x40"},  // ⅰ
        {"\xE2\x85\xA0", "\x87\x54"},  // Ⅰ
        {"\xE2\x91\xA0", "\x87\x40"},  // ①
        {"\xE2\x88\xB5", "\x81\xE6"},  // ∵
        {"\xEF\xBF\xA2", "\x81\xCA"},  // ￢
        {"\xE9\xAB\x99", "\xFB\xFC"},  // 髙
        {"\xE2\x84\x96", "\x87\x82"},  // №
    };
    expectUtf8ToAnsi(cases);
}

TEST(Utf8ToAnsi, OutsideTheBasicPlaneEachHalfIsASpace) {
    const Case cases[] = {
        {"a\xF0\x9F\x98\x80z", "a  z"},                  // 😀
        {"\xF0\xA0\xAE\xB7\xE9\x87\x8E", "  \x96\xEC"},  // 𠮷野
        {"\xF4\x8F\xBF\xBF", "  "},                      // U+10FFFF
    };
    expectUtf8ToAnsi(cases);
}

TEST(Utf8ToAnsi, IllFormedSequencesAsWindowsDecodesThem) {
    // How many spaces each gives, and where decoding resumes.
    const Case cases[] = {
        {"a\xFF"
         "b",
         "a b"},
        {"\x80z", " z"},                          // lone continuation byte
        {"\xE3\x81z\xE3\x81\x82", " z\x82\xA0"},  // truncated, then あ
        {"\xC0\xAFz", "  z"},                     // overlong: C0 and C1 begin nothing
        {"\xE0\x80\xAFz", "  z"},                 // overlong: cut after two bytes
        {"\xF0\x80\x80\x80z", "   z"},            // overlong four bytes
        {"\xED\xA0\x80z", "  z"},                 // encoded surrogate
        {"\xF4\x90\x80\x80z", "   z"},            // above U+10FFFF
        {"\xF5\x80\x80\x80z", "    z"},           // F5 to FF begin nothing
        {"\xF8\x88\x80\x80\x80z", "     z"},      // five-byte form
        {"a\xE3\x81", "a "},                      // cut short at the end
        {"\xE3"
         "A",
         " A"},  // the terminator stops it before the end
        {"\xF0"
         "A",
         " "},  // announces more than is left: the rest is swallowed
        {"\xF0\x9F"
         "A",
         " A"},
        {"\xE3\0\xE3\x81\x82"s, " \0\x82\xA0"s},  // a zero byte inside is a character
    };
    expectUtf8ToAnsi(cases);
}

TEST(Utf16leToAnsi, UnrepresentableUnitsTakeTheSystemReplacement) {
    const Case cases[] = {
        {"A\0\x42\x30"s, "A\x82\xA0"},       // あ
        {"\xF6\0"s, "o"},                    // ö by best fit
        {"\x1C\x30\x5E\xFF"s, "?\x81\x60"},  // 〜 ～
        {"\x70\x21"s, "\xFA\x40"},           // ⅰ
        {"\xAC\x20"s, "?"},                  // €
        {"\x3D\xD8\x00\xDE"s, "??"},         // 😀: each half
        {"\x3D\xD8z\0"s, "?z"},              // lone high surrogate
        {"A\0B"s, "A"},                      // odd byte dropped
        {"A\0\0\0B\0"s, "A"},                // ends at a zero unit
    };
    for (const Case& c : cases) EXPECT_EQ(utf16leToAnsi(c.from), c.to);
}

TEST(AnsiToUtf8, EveryByteKept) {
    const Case cases[] = {
        {"\x8E\x52\x93\x63 \xB1", "\xE5\xB1\xB1\xE7\x94\xB0 \xEF\xBD\xB1"},  // 山田 ｱ
        {"\xFA\x40\xEE\xEF", "\xE2\x85\xB0\xE2\x85\xB0"},                    // ⅰ by both codes
        {"\x81\x20z", "\xE3\x83\xBBz"},                                      // bad trail: ・, both taken
        {"a\x81", "a\xE3\x83\xBB"},                                          // lone lead byte at the end
        {"\x81\0z"s, "\xE3\x83\xBB\0z"s},                                    // lead byte before a zero
        {"\x80\xA0\xFD", "\xC2\x80\xEF\xA3\xB0\xEF\xA3\xB1"},
        {"\xF0\x40", "\xEE\x80\x80"},  // user-defined area
    };
    for (const Case& c : cases) EXPECT_EQ(ansiToUtf8(c.from), c.to);
}

TEST(LeadBytes, CodePage932OnBothPlatforms) {
    EXPECT_EQ(leadByteTable(), cp932::leadBytes());
    for (int byte = 0; byte < 256; ++byte) {
        const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        EXPECT_EQ(cp932::leadBytes()[static_cast<std::size_t>(byte)], lead) << byte;
    }
}

#ifdef _WIN32

TEST(Cp932Table, EncodesEveryUnitAsWindowsDoes) {
    int differences = 0;
    for (unsigned unit = 1; unit <= 0xFFFF; ++unit) {
        const auto wide = static_cast<wchar_t>(unit);
        char bytes[4] = {};
        const int n = WideCharToMultiByte(CP_ACP, 0, &wide, 1, bytes, 4, nullptr, nullptr);
        std::string expected(bytes, static_cast<std::size_t>(n));
        std::string actual = cp932::fromUtf16le(std::string{static_cast<char>(unit), static_cast<char>(unit >> 8)});
        if (actual != expected && ++differences <= 10) ADD_FAILURE() << "unit " << std::hex << unit;
    }
    EXPECT_EQ(differences, 0);
}

TEST(Cp932Table, DecodesEveryCodeAsWindowsDoes) {
    int differences = 0;
    for (unsigned first = 0; first < 256; ++first) {
        for (unsigned second = 0; second < 256; ++second) {
            const std::string code{static_cast<char>(first), static_cast<char>(second)};
            wchar_t wide[4] = {};
            const int n = MultiByteToWideChar(CP_ACP, 0, code.data(), 2, wide, 4);
            char utf8[16] = {};
            const int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8, 16, nullptr, nullptr);
            if (cp932::toUtf8(code) != std::string(utf8, static_cast<std::size_t>(m)) && ++differences <= 10) {
                ADD_FAILURE() << "code " << std::hex << (first << 8 | second);
            }
        }
    }
    EXPECT_EQ(differences, 0);
}

// Every sequence of a byte from 80 to FF, any byte, and two bytes of a set
// that holds every class a decoder tells apart, decoded up to its terminator.
TEST(Utf8Decoder, DecodesShortSequencesAsWindowsDoes) {
    const unsigned char classes[] = {0x00, 0x41, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC2, 0xE3, 0xF0, 0xFF};
    int differences = 0;
    for (unsigned lead = 0x80; lead < 0x100; ++lead) {
        for (unsigned second = 0; second < 0x100; ++second) {
            for (unsigned char third : classes) {
                for (unsigned char fourth : classes) {
                    const char text[] = {static_cast<char>(lead), static_cast<char>(second), static_cast<char>(third),
                                         static_cast<char>(fourth), '\0'};
                    wchar_t expected[8] = {};
                    const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, expected, 8);
                    std::u16string actual;
                    const std::string_view view(text);
                    for (std::size_t i = 0; i < view.size();) {
                        if (static_cast<unsigned char>(view[i]) < 0x80) {
                            actual.push_back(static_cast<char16_t>(view[i++]));
                            continue;
                        }
                        const cp932::Utf8Step step = cp932::decodeUtf8Sequence(view, i);
                        actual.append(step.units, static_cast<std::size_t>(step.count));
                        i = step.next;
                    }
                    const std::size_t length = std::char_traits<wchar_t>::length(expected);
                    const bool same = n > 0 && actual.size() == length &&
                                      std::equal(actual.begin(), actual.end(), expected,
                                                 [](char16_t a, wchar_t b) { return a == static_cast<char16_t>(b); });
                    if (!same && ++differences <= 10) {
                        ADD_FAILURE() << "bytes " << std::hex << lead << ' ' << second << ' ' << unsigned{third} << ' '
                                      << unsigned{fourth};
                    }
                }
            }
        }
    }
    EXPECT_EQ(differences, 0);
}

#endif

}  // namespace
}  // namespace velmora::platform
