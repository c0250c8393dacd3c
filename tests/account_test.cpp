// The facts an account keeps beside the records: the lines they name, which
// UTF-8 text counts as left unconverted, and that they stay in step with the
// records whatever path the loader takes.
#include "vcard/account.h"
#include "platform/shift_jis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/shift_jis.h"
#include "tests/fake_file_system.h"
#include "tests/test_support.h"
#include "vcard/lines.h"
#include "vcard/loader.h"

namespace velmora {
namespace {

struct Read {
    ContactList list;
    Account account;
};

void read(std::string_view text, Read& read) {
    read.list.keepAccount(&read.account);
    parseVcardText(text, read.list);
}

TEST(AccountFacts, NameThePhysicalLinesOfFoldedValues) {
    Read r;
    read(
        "X-BEFORE:1\n"
        "BEGIN:VCARD\n"
        "PHOTO;ENCODING=BASE64:AAAA\n"
        " BBBB\n"
        "TEL;CELL:1\n"
        "TEL;CELL:2\n"
        "TEL;CELL:3\n"
        "NOTE;ENCODING=QUOTED-PRINTABLE:a=\n"
        "b\n"
        "N;ENCODING=QUOTED-PRINTABLE:x=\n"
        "y\n"
        "N:z\n"
        "VERSION:4.0\n"
        "VERSION:5.0\n"
        "END:VCARD\n",
        r);
    ASSERT_EQ(r.account.blocks().size(), 1u);
    const BlockFacts& block = r.account.blocks()[0];
    EXPECT_EQ(block.beginLine, 2u);
    ASSERT_TRUE(block.unsupported);
    EXPECT_EQ(block.unsupported->lineNumber, 13u);  // the first line that set the flag
    EXPECT_EQ(block.unsupported->text, "VERSION:4.0");
    ASSERT_EQ(block.lost.size(), 2u);
    EXPECT_EQ(block.lost[0].loss, Loss::telephoneWithoutColumn);  // mobilePhone, then pager, then none
    EXPECT_EQ(block.lost[0].lineNumber, 7u);
    EXPECT_EQ(block.lost[0].property, "TEL;CELL");
    EXPECT_EQ(block.lost[0].value, "3");
    EXPECT_EQ(block.lost[1].loss, Loss::notUsed);
    EXPECT_EQ(block.lost[1].lineNumber, 12u);
}

// Which text on a line that names no charset counts as UTF-8 left
// unconverted, by what else the file holds.
TEST(AccountFacts, Utf8WithoutCharsetCountsOnlyWhenTheFileBearsItOut) {
    const std::string hello = "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF";  // also Shift_JIS
    const std::string yamada = "\xE3\x82\x84\xE3\x81\xBE\xE3\x81\xA0";  // "やまだ": its 0xA0 is not Shift_JIS
    const std::string nishi = "\xC6\xBC";                               // "ﾆｼ" in Shift_JIS, also "Ƽ" in UTF-8
    const std::string sjisName = test::sjis("佐藤");
    struct Case {
        std::string text;
        int shown;  // UTF-8 lines the account shows
    };
    const std::vector<Case> cases = {
        {"NOTE:" + hello, 0},                                                      // a UTF-8 file: converted
        {"N;CHARSET=SHIFT_JIS:" + sjisName + "\nNOTE:" + hello, 0},                // a Shift_JIS file
        {"N;CHARSET=SHIFT_JIS:" + sjisName + "\nNOTE:" + yamada, 1},               // cannot be Shift_JIS
        {"N:" + sjisName + "\nSOUND:" + nishi, 0},                                 // half-width reading
        {"NOTE;CHARSET=UTF-8:" + hello, 0},                                        // converted
        {"N;CHARSET=ISO-8859-1:M\xFCller\nNOTE:" + hello, 1},                      // names its own charset
        {"N;CHARSET=ISO-8859-1:M\xFCller\nNOTE:" + hello + "\nNOTE:" + hello, 1},  // second NOTE stores nothing
        {"NOTE;ENCODING=QUOTED-PRINTABLE:=E3=82=84=E3=81=BE=E3=81=A0", 1},         // decoded first
        {"\xEF\xBB\xBF"
         "BEGIN:VCARD\nN:" +
             sjisName + "\nNOTE:" + hello,
         0},  // a byte-order mark makes a UTF-8 file
    };
    for (const Case& c : cases) {
        std::string text = c.text.starts_with("\xEF\xBB\xBF") ? c.text : "BEGIN:VCARD\n" + c.text;
        text += "\nEND:VCARD\n";
        test::FakeFileSystem files;
        files.addFile("book.vcf", text);
        Read r;
        r.list.keepAccount(&r.account);
        ASSERT_EQ(loadSourceFile("book.vcf", r.list, files), LoadResult::loaded);
        int shown = 0;
        for (const BlockFacts& block : r.account.blocks())
            for (const LostLine& line : block.lost)
                if (line.loss == Loss::utf8Unconverted && r.account.shown(line)) ++shown;
        EXPECT_EQ(shown, c.shown) << c.text;
    }
}

// The loader reads a file twice when its first guess about the line ends
// proves wrong (here: a zero byte ends the text, after its first piece of
// 1 MiB, before its last CR LF); the facts of the first reading go with its
// records.
TEST(AccountFacts, StayInStepWithTheRecords) {
    std::string text = "BEGIN:VCARD\r\nN:a\r\nEND:VCARD\r\n";
    const std::size_t padding = 11000;
    for (std::size_t i = 0; i < padding; ++i) text += "X-PAD:" + std::string(100, 'p') + "\r\n";
    text += "BEGIN:VCARD\nN:b\n" + std::string(1, '\0') + "BEGIN:VCARD\r\n";
    test::FakeFileSystem files;
    files.addFile("book.vcf", text);
    Read r;
    r.list.keepAccount(&r.account);
    ASSERT_EQ(loadSourceFile("book.vcf", r.list, files), LoadResult::loaded);
    ASSERT_EQ(r.list.count(), 2u);
    ASSERT_EQ(r.account.blocks().size(), 2u);
    EXPECT_EQ(r.account.blocks()[1].beginLine, 3 + padding + 1);
    r.list.clear();
    EXPECT_TRUE(r.account.blocks().empty());
}

TEST(AccountFacts, KeptTextIsCutBetweenCharacters) {
    std::string wide;
    for (int i = 0; i < 150; ++i) wide += "\x82\xA0";  // "あ" in Shift_JIS
    Read r;
    read("BEGIN:VCARD\nN:a\nN:a" + wide + "\nEND:VCARD\n", r);
    ASSERT_EQ(r.account.blocks()[0].lost.size(), 1u);
    const std::string& value = r.account.blocks()[0].lost[0].value;
    EXPECT_EQ(value, "a" + wide.substr(0, 198) + "...");
    EXPECT_TRUE(shift_jis::isWellFormed(value));
}

}  // namespace
}  // namespace velmora
