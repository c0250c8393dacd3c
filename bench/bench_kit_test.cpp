// The benchmark kit's own checks, run by scripts/bench.sh before it measures:
// every dialect's book is reproducible, holds the same contacts with either
// line end, reads back whole, and carries what makes its dialect; the two
// limits count every line end of a file larger than one piece.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "book_generator.h"
#include "csv/csv_writer.h"
#include "vcard/loader.h"

namespace {

using velmora::bench::BookGenerator;
using velmora::bench::BookStyle;
using velmora::bench::LineEnd;

std::string book(BookStyle style, LineEnd lineEnd, std::uint64_t seed, std::uint32_t contacts = 300) {
    BookGenerator generator(style, lineEnd, seed);
    std::string text;
    while (generator.contacts() < contacts) generator.appendContact(text);
    return text;
}

std::string withoutCr(std::string text) {
    std::erase(text, '\r');
    return text;
}

class EveryStyle : public testing::TestWithParam<BookStyle> {};

TEST_P(EveryStyle, SameSeedSameBooksAndLineEndsChangeNothingElse) {
    const std::string crlf = book(GetParam(), LineEnd::crlf, 4);
    EXPECT_EQ(crlf, book(GetParam(), LineEnd::crlf, 4));
    EXPECT_NE(crlf, book(GetParam(), LineEnd::crlf, 5));
    // No value holds a raw CR, so the books differ only in their line ends.
    EXPECT_EQ(withoutCr(crlf), book(GetParam(), LineEnd::lf, 4));
}

TEST_P(EveryStyle, EveryContactReadsBackWholeAndIsWritten) {
    for (const LineEnd lineEnd : {LineEnd::crlf, LineEnd::lf}) {
        velmora::ContactList list;
        velmora::parseVcardText(book(GetParam(), lineEnd, 4), list);
        ASSERT_EQ(list.count(), 300u);
        for (const auto& record : list.records) {
            ASSERT_TRUE(velmora::isExportable(record)) << list.text(record, velmora::Field::fullName).value_or("");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Books, EveryStyle, testing::ValuesIn(velmora::bench::kAllStyles), [](const auto& info) {
    std::string name(velmora::bench::styleName(info.param));
    std::erase(name, '-');
    return name;
});

// What each dialect must carry and must not, and its longest folded line.
struct Character {
    BookStyle style;
    std::vector<std::string> carries;
    std::vector<std::string> lacks;
    std::size_t fold;
};

const Character kCharacters[] = {
    {BookStyle::feature,
     {"N;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:", "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:",
      "SHIFT_JIS:\x95\\;",  // 表 before ";": a trail byte 0x5C that escapes nothing
      "PHOTO;ENCODING=BASE64;TYPE=JPEG:\n /9j/", "=0D=0A", "\n\nX-IRMC-LUID:"},
     {"VERSION:3.0"},
     77},
    {BookStyle::carrierA, {"TEL;CELL;VOICE:0", "X-DCM-LED-COLOR:0", "X-GN;CHARSET=SHIFT_JIS:"}, {":090-", ":03-"}, 76},
    {BookStyle::carrierB,
     {"N;ENCODING=QUOTED-PRINTABLE;CHARSET=SHIFT_JIS:", "\nitem1.TEL;VOICE:", "\nitem1.X-ALIAS;ENCODING=",
      "END:VCARD\n\n"},
     {},
     76},
    {BookStyle::carrierC,
     {"N;CHARSET=Shift_JIS:", "ADR;HOME;CHARSET=Shift_JIS;QUOTED-PRINTABLE:", "TEL;X-OTHER:"},
     {"ENCODING=QUOTED"},
     73},
    {BookStyle::android,
     {"N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:", "\nN:", "TEL;X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,=",
      "X-ANDROID-CUSTOM;", "\n  "},
     {"SHIFT_JIS"},
     76},
    {BookStyle::smart,
     {"\nN:", "\nFN:", "\nX-PHONETIC-LAST-NAME:", "\nX-PHONETIC-FIRST-NAME:", "TEL;type=CELL;type=VOICE:",
      "TEL;TYPE=HOME,VOICE:", ".ADR;type=HOME:", "\nitem1.X-ABLabel:", "\nitem2.", "URL:https\\://", "\\n", "\\,",
      "\\;", "\\\\", "\nPHOTO;ENCODING=b;TYPE=JPEG:/9j/"},
     {"CHARSET", "QUOTED-PRINTABLE"},
     75},
    {BookStyle::iphone,
     {"\nPRODID:", "\nX-PHONETIC-LAST-NAME:", "TEL;type=CELL;type=VOICE;type=pref:", ".ADR;type=HOME;type=pref:",
      "\nitem1.X-ABLabel:", "\nitem2.", "URL;type=pref:https\\://", "BDAY;value=date:", "\\n", "\\,", "\\;", "\\\\",
      "\nPHOTO;ENCODING=b;TYPE=JPEG:/9j/"},
     {"CHARSET", "QUOTED-PRINTABLE", "TYPE=HOME"},
     75},
};

TEST(Character, EveryDialectCarriesItsLinesFoldsThemAndVariesFromContactToContact) {
    for (const auto& c : kCharacters) {
        SCOPED_TRACE(std::string(velmora::bench::styleName(c.style)));
        const std::string text = book(c.style, LineEnd::lf, 4);
        for (const auto& s : c.carries) EXPECT_NE(text.find(s), std::string::npos) << s;
        for (const auto& s : c.lacks) EXPECT_EQ(text.find(s), std::string::npos) << s;
        // The lines of folded photos and soft-broken QUOTED-PRINTABLE values.
        std::size_t longestFolded = 0;
        std::vector<std::size_t> contactStarts;
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::string_view line(text.data() + start, end - start);
            if (line.starts_with(' ') || line.starts_with("PHOTO") || line.ends_with('='))
                longestFolded = std::max(longestFolded, line.size());
            if (line == "BEGIN:VCARD") contactStarts.push_back(start);
        }
        EXPECT_EQ(longestFolded, c.fold);
        std::vector<std::size_t> sizes(contactStarts.size());
        std::adjacent_difference(contactStarts.begin(), contactStarts.end(), sizes.begin());
        std::sort(sizes.begin(), sizes.end());
        EXPECT_GT(std::unique(sizes.begin(), sizes.end()) - sizes.begin(), 100) << "the contacts look alike";
    }
}

// Both limits count the LF bytes of a book of several pieces, and a missing
// file is a failure.
TEST(ScanLimit, PiecesAndWholeFileCountEveryLineEnd) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "velmora-scanlimit-test.vcf";
    const std::string text = velmora::bench::generateBook(BookStyle::iphone, LineEnd::lf, (3u << 20) + 12345, 4);
    std::ofstream(path, std::ios::binary) << text;
    const auto expected = std::to_string(text.size()) + " bytes, " +
                          std::to_string(std::count(text.begin(), text.end(), '\n')) + " line ends, ";
    for (const std::string mode : {"", "--whole "}) {
        const std::string command = std::string(VELMORA_SCANLIMIT) + " " + mode + path.string();
        std::FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char line[256] = {};
        const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
        EXPECT_EQ(pclose(pipe), 0) << command;
        ASSERT_TRUE(got) << command;
        EXPECT_EQ(std::string(line).substr(0, expected.size()), expected) << command;
    }
    std::filesystem::remove(path);
    EXPECT_NE(std::system((std::string(VELMORA_SCANLIMIT) + " " + path.string() + " 2>/dev/null").c_str()), 0);
}

}  // namespace
