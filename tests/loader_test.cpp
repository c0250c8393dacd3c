#include "vcard/loader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/fake_file_system.h"
#include "tests/test_support.h"
#include "vcard/account.h"
#include "vcard/lines.h"
#include "vcard/source_text.h"

namespace velmora {
namespace {

using namespace std::string_literals;

const std::string kCard = "BEGIN:VCARD\r\nN:A\r\nEND:VCARD\r\n";

// UTF-16LE bytes of ASCII text.
std::string utf16(std::string_view ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

struct Loaded {
    LoadResult result;
    std::size_t records;
    std::string name;
};

// Where the tests keep a source on a disk in memory.
const std::filesystem::path kBook = std::filesystem::path("/books") / "book.vcf";

Loaded load(std::string_view bytes) {
    test::FakeFileSystem files;
    files.addFile(kBook, bytes);
    ContactList list;
    const LoadResult result = loadSourceFile(kBook, list, files);
    return {result, list.count(), list.empty() ? "" : test::fieldText(list, list.records[0], Field::fullName)};
}

TEST(LoadSourceFile, RecognisesByteOrderMarks) {
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t records;
    } cases[] = {
        {"empty file", "", 0},
        {"one byte", "B", 0},
        {"no mark", kCard, 1},
        {"UTF-8 mark", "\xEF\xBB\xBF" + kCard, 1},
        {"UTF-8 mark alone", "\xEF\xBB\xBF", 0},
        {"broken UTF-8 mark is text", "\xEF\xBB" + kCard, 0},
        {"two bytes EF BB", "\xEF\xBB", 0},
        {"UTF-16LE mark alone", "\xFF\xFE", 0},
        {"UTF-16LE", "\xFF\xFE" + utf16(kCard), 1},
        {"UTF-16LE odd byte dropped", "\xFF\xFE" + utf16(kCard) + "Z", 1},
        {"FF FE 00 00 is UTF-16LE", "\xFF\xFE\0\0"s + kCard, 0},
        {"UTF-16LE without mark ends at its first zero", utf16(kCard), 0},
        {"zero byte ends the text", "BEGIN:VCARD\r\nN:A\r\nEND:VCARD\r\n\0BEGIN:VCARD\r\nN:B\r\nEND:VCARD\r\n"s, 1},
        {"zero code unit ends UTF-16 text", "\xFF\xFE" + utf16(kCard) + "\0\0"s + utf16(kCard), 1},
    };
    for (const auto& c : cases) {
        const Loaded loaded = load(c.bytes);
        EXPECT_EQ(loaded.result, LoadResult::loaded) << c.what;
        EXPECT_EQ(loaded.records, c.records) << c.what;
    }
}

// A UTF-16BE source is not read at all, whether text follows its mark or not.
TEST(LoadSourceFile, RefusesTheUtf16BigEndianMark) {
    for (const std::string& bytes : {"\xFE\xFF" + kCard, "\xFE\xFF"s}) {
        const Loaded loaded = load(bytes);
        EXPECT_EQ(loaded.result, LoadResult::unsupportedEncoding) << ::testing::PrintToString(bytes);
        EXPECT_EQ(loaded.records, 0u) << ::testing::PrintToString(bytes);
    }
}

TEST(LoadSourceFile, ReadsAFileAsUtf8WhenItIsWellFormedUtf8Throughout) {
    const std::string dazai = "\xE5\xA4\xAA\xE5\xAE\xB0";  // 太宰 in UTF-8
    const std::string dazaiAnsi = "\x91\xBE\x8D\xC9";      // and in code page 932
    const auto card = [](std::string_view n, std::string_view extra = "") {
        return "BEGIN:VCARD\r\nN:" + std::string(n) + "\r\n" + std::string(extra) + "END:VCARD\r\n";
    };
    struct Case {
        const char* what;
        std::string bytes;
        SourceReading reading;
        std::string name;
    } cases[] = {
        {"byte-order mark", "\xEF\xBB\xBF" + card(dazai), SourceReading::utf8Marked, dazaiAnsi},
        {"byte-order mark, ill-formed text", "\xEF\xBB\xBF" + card("\xFF"), SourceReading::utf8Marked, " "},
        {"well-formed", card(dazai), SourceReading::utf8WellFormed, dazaiAnsi},
        {"ill-formed further on", card(dazai, "NOTE:\x95\x5C\r\n"), SourceReading::codePage, dazai},
        {"a lone byte above 0x7F", card("Jos\xE9"), SourceReading::codePage, "Jos\xE9"},
        {"cut short at the end", card(dazai) + "\xE5\xA4", SourceReading::codePage, dazai},
        {"ASCII alone", card("Dazai"), SourceReading::codePage, "Dazai"},
        {"a zero byte before the first byte above 0x7F", card("Dazai") + "\0"s + card(dazai), SourceReading::codePage,
         "Dazai"},
        {"UTF-16LE", "\xFF\xFE" + utf16(card("Dazai")), SourceReading::utf16, "Dazai"},
    };
    for (const Case& c : cases) {
        test::FakeFileSystem files;
        files.addFile(kBook, c.bytes);
        ContactList list;
        Account account;
        list.keepAccount(&account);
        ASSERT_EQ(loadSourceFile(kBook, list, files), LoadResult::loaded) << c.what;
        EXPECT_EQ(account.reading(), c.reading) << c.what;
        ASSERT_FALSE(list.empty()) << c.what;
        EXPECT_EQ(test::fieldText(list, list.records[0], Field::fullName), c.name) << c.what;
    }
}

TEST(Utf8Check, JudgesTheTextInAnyPieces) {
    const std::string ascii(150, 'A');
    const std::string dazai = "\xE5\xA4\xAA\xE5\xAE\xB0";
    struct Case {
        std::string text;
        bool wellFormed;
        bool highByte;
    } cases[] = {
        {ascii, true, false},
        {ascii + dazai + ascii, true, true},
        {ascii + "\0"s + dazai, true, true},        // a zero byte is ASCII here
        {ascii + "\xFF" + ascii, false, true},      // a byte that begins nothing
        {ascii + "\xC0\x80" + ascii, false, true},  // an overlong form
        {ascii + "\xED\xA0\x80", false, true},      // a surrogate
        {ascii + "\xF4\x90\x80\x80", false, true},  // above U+10FFFF
        {dazai + "\xF0\x9F\x98\x80", true, true},   // outside the BMP
        {ascii + "\xE5\xA4", false, true},          // cut short at the end
        {ascii + "\xE5\xA4" + ascii, false, true},  // cut short by ASCII
    };
    for (const Case& c : cases) {
        for (std::size_t piece : {1, 3, 64, 1000}) {
            Utf8Check check;
            for (std::size_t at = 0; at < c.text.size(); at += piece)
                check.add(std::string_view(c.text).substr(at, piece));
            const std::string what =
                ::testing::PrintToString(c.text.substr(std::min<std::size_t>(148, c.text.size()))) + " in pieces of " +
                std::to_string(piece);
            EXPECT_EQ(check.wellFormed(), c.wellFormed) << what;
            EXPECT_EQ(check.sawHighByte(), c.highByte) << what;
        }
    }
}

TEST(LoadSourceFile, ConvertsUtf16IntoTheAnsiCodePage) {
    // N:山田€ in UTF-16LE; € has no form in code page 932 and becomes "?".
    const std::string text =
        "\xFF\xFE" + utf16("BEGIN:VCARD\r\nN:") + "\x71\x5C\x30\x75" + "\xAC\x20"s + utf16("\r\nEND:VCARD\r\n");
    const Loaded loaded = load(text);
    EXPECT_EQ(loaded.result, LoadResult::loaded);
    EXPECT_EQ(loaded.name, "\x8E\x52\x93\x63?");
}

// Real disk: the platform's open refuses a missing file, a folder (POSIX opens one) and a file held elsewhere.
TEST(LoadSourceFileOnDisk, MissingOrLockedSourceFailsToOpen) {
    test::TempDir dir;
    ContactList list;
    EXPECT_EQ(loadSourceFile(dir / "missing.vcf", list), LoadResult::openFailed);
    EXPECT_EQ(loadSourceFile(dir.path(), list), LoadResult::openFailed);  // a folder

    const auto path = dir / "book.vcf";
    test::writeFile(path, kCard);
    auto holder = platform::realFileSystem().openSource(path);
    ASSERT_TRUE(holder);
    EXPECT_EQ(loadSourceFile(path, list), LoadResult::openFailed);
    holder.reset();
    EXPECT_EQ(loadSourceFile(path, list), LoadResult::loaded);
    EXPECT_EQ(list.count(), 1u);
}

// Every field and flag of every record.
std::vector<std::string> contents(const ContactList& list) {
    std::vector<std::string> out;
    for (const ContactRecord& record : list.records) {
        std::string row = std::to_string(record.complete) + std::to_string(record.unsupported);
        for (std::size_t i = 0; i < kFieldCount; ++i)
            row.append("|").append(test::fieldText(list, record, static_cast<Field>(i)));
        out.push_back(row);
    }
    return out;
}

TEST(LoadSourceFile, LargeFilesReadInPiecesGiveTheSameContacts) {
    // Several pieces long, with a CR LF across the first piece boundary, a
    // folded photo and a QUOTED-PRINTABLE note running over piece ends, and
    // texts whose line ends change from CR LF to LF part way.
    std::string cards;
    for (int i = 0; cards.size() < (3u << 20); ++i) {
        const std::string number = std::to_string(i);
        cards.append("BEGIN:VCARD\r\nN:n").append(number).append(";x\r\nNOTE;QUOTED-PRINTABLE:a=\r\n=41\nb\r\n");
        if (i % 50 == 0)
            cards.append("PHOTO;ENCODING=BASE64:").append(80, 'Q').append("\r\n ").append(5000, 'A').append("\r\n\r\n");
        cards.append("TEL;CELL:").append(number).append("\r\nEND:VCARD\r\n");
    }
    std::string straddling = cards;
    straddling.insert((1u << 20) - 1 - 3, "X:\r\n");  // CR as the last byte of the first piece
    std::string lfTail = cards.substr(0, 1500000);
    for (std::size_t i = lfTail.size(); i < cards.size(); ++i)
        if (!(cards[i] == '\r' && i + 1 < cards.size() && cards[i + 1] == '\n')) lfTail += cards[i];
    std::string withZero = cards;
    withZero[2500000] = '\0';
    // UTF-8 throughout, and UTF-8 for its first pieces only: a Shift_JIS
    // character (表, 95 5C) far on makes the whole file Shift_JIS.
    std::string utf8 = cards;
    for (std::size_t at = 0; (at = utf8.find("N:n", at)) != std::string::npos; at += 3)
        utf8.replace(at, 3, "N:\xE5\xA4\xAA");
    std::string utf8ThenNot = utf8;
    utf8ThenNot.insert(utf8ThenNot.find("BEGIN:VCARD", 2500000), "X:\x95\x5C\r\n");

    for (const std::string* text : {&cards, &straddling, &lfTail, &withZero, &utf8, &utf8ThenNot}) {
        test::FakeFileSystem files;
        files.addFile(kBook, *text);
        ContactList loaded;
        ASSERT_EQ(loadSourceFile(kBook, loaded, files), LoadResult::loaded);
        ContactList parsed;
        parseVcardText(*text, parsed);
        EXPECT_GT(loaded.count(), 1000u);
        EXPECT_EQ(contents(loaded), contents(parsed));
    }

    // Real disk: the platform's seeks and reads of 1 MiB pieces (Win32's under Wine), from both ends.
    test::TempDir dir;
    test::writeFile(dir / "big.vcf", utf8ThenNot);
    ContactList loaded;
    ASSERT_EQ(loadSourceFile(dir / "big.vcf", loaded), LoadResult::loaded);
    EXPECT_EQ(contents(loaded), contents(test::parse(utf8ThenNot)));
}

// Real disk: only the platform's open could truncate or write a source; the one in memory has no means to.
TEST(LoadSourceFileOnDisk, NeverChangesTheSource) {
    test::TempDir dir;
    const auto path = dir / "book.vcf";
    const std::string bytes = "\xFF\xFE" + utf16(kCard);
    test::writeFile(path, bytes);
    ContactList list;
    EXPECT_EQ(loadSourceFile(path, list), LoadResult::loaded);
    EXPECT_EQ(test::readFile(path), bytes);
}

}  // namespace
}  // namespace velmora
