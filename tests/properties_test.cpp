#include "vcard/properties.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "tests/test_support.h"

namespace velmora {
namespace {

using test::fieldText;

// One contact block around the given property lines, CR LF line ends.
std::string card(std::initializer_list<std::string_view> lines) {
    std::string text = "BEGIN:VCARD\r\nVERSION:2.1\r\n";
    for (auto line : lines) text.append(line).append("\r\n");
    return text + "END:VCARD\r\n";
}

// The value one field gets from a contact made of `lines`.
std::string field(std::initializer_list<std::string_view> lines, Field f) {
    const ContactList list = test::parse(card(lines));
    EXPECT_EQ(list.count(), 1u);
    return list.empty() ? "<no record>" : fieldText(list, list.records[0], f);
}

bool unsupported(std::initializer_list<std::string_view> lines) {
    const ContactList list = test::parse(card(lines));
    return !list.empty() && list.records[0].unsupported;
}

TEST(ContactBlocks, BeginOpensAndEndCompletes) {
    ContactList list = test::parse("VERSION:4.0\r\nN:x\r\nEND:VCARD\r\nbegin:vcard\r\nN:A\r\nend:VCARD\r\nN:B\r\n");
    ASSERT_EQ(list.count(), 1u);
    EXPECT_TRUE(list.records[0].complete);
    EXPECT_FALSE(list.records[0].unsupported);  // lines outside a block change nothing
    EXPECT_EQ(fieldText(list, list.records[0], Field::fullName), "A");
}

TEST(ContactBlocks, OnlyTheWholeLineOpensOrEndsABlock) {
    ContactList list = test::parse("BEGIN:VCARD \r\nBEGIN:VCARD\r\nN:A\r\nEND:VCARD \r\nNOTE:n\r\n");
    ASSERT_EQ(list.count(), 1u);
    EXPECT_FALSE(list.records[0].complete);
    EXPECT_EQ(fieldText(list, list.records[0], Field::notes), "n");
}

TEST(ContactBlocks, ASecondBeginLeavesTheFirstIncomplete) {
    ContactList list = test::parse("BEGIN:VCARD\r\nN:A\r\nBEGIN:VCARD\r\nN:B\r\nEND:VCARD\r\nEND:VCARD\r\nN:C\r\n");
    ASSERT_EQ(list.count(), 2u);
    EXPECT_FALSE(list.records[0].complete);
    EXPECT_TRUE(list.records[1].complete);
    EXPECT_EQ(fieldText(list, list.records[0], Field::fullName), "A");
    EXPECT_EQ(fieldText(list, list.records[1], Field::fullName), "B");
}

TEST(NameJoin, OneBlankBeforeEveryNonEmptyComponentButTheFirst) {
    struct Case {
        std::string_view line;
        std::string fullName;
    } cases[] = {
        {"N:Yamada;Taro;;;", "Yamada Taro"},
        {"N:;Taro;;;", " Taro"},
        {"N:;;;;", ""},
        {"N:A;B;C;D;E", "A B C D E"},
        {"N:A;;C", "A C"},
        {"N:Solo", "Solo"},
        {"N;ENCODING=QUOTED-PRINTABLE:=3D;=00", "= "},  // the blank test looks at the written text
    };
    for (const auto& c : cases) EXPECT_EQ(field({c.line}, Field::fullName), c.fullName) << c.line;
}

TEST(SingleValuedFields, KeepTheFirstValue) {
    EXPECT_EQ(field({"N:;;;;", "N:Later"}, Field::fullName), "");
    EXPECT_EQ(field({"NOTE:one", "NOTE:two"}, Field::notes), "one");
    EXPECT_EQ(field({"NOTE:a:b"}, Field::notes), "a:b");
    EXPECT_EQ(field({"URL:http://a;b", "URL:x"}, Field::webPage), "http://a");
    EXPECT_EQ(field({"NOTE:a\\;b;c"}, Field::notes), "a\\;b");
    EXPECT_EQ(field({"BDAY:19991231"}, Field::birthday), "1999/12/31");
    EXPECT_EQ(field({"BDAY:1999-12-31"}, Field::birthday), "1999-12-31");
    EXPECT_EQ(field({"FN:Full", "TITLE:Boss"}, Field::fullName), "<absent>");
    EXPECT_EQ(field({"TITLE:Boss"}, Field::jobTitle), "<absent>");
}

TEST(GroupPrefixes, OnlyLabelTheLine) {
    struct Case {
        std::initializer_list<std::string_view> lines;
        Field field;
        std::string_view value;
    } cases[] = {
        {{"item1.ADR;type=HOME:;;1-2-3;Chiyoda;Tokyo;100-0001;Japan"}, Field::homeCity, "Chiyoda"},
        {{"item1.TEL;CELL:090"}, Field::mobilePhone, "090"},
        {{"A.B.EMAIL;type=WORK:a@b"}, Field::email2, "a@b"},
        {{"item2.URL:http://x", "item2.X-ABLabel:_$!<HomePage>!$_"}, Field::webPage, "http://x"},
        {{"item1.N:x", "N:y"}, Field::fullName, "x"},  // the same guard: the first N wins
        {{"item1.X-ABLabel:label"}, Field::notes, "<absent>"},
        // Names in any letter case, with or without a group.
        {{"note:lower"}, Field::notes, "lower"},
        {{"x-phonetic-last-name:yamada"}, Field::readingPrefix, "ya"},
        {{"Item1.Tel;Type=Cell:080"}, Field::mobilePhone, "080"},
    };
    for (const auto& c : cases) EXPECT_EQ(field(c.lines, c.field), c.value) << *c.lines.begin();
    // BEGIN, END and VERSION are recognised only as written.
    EXPECT_FALSE(unsupported({"item1.VERSION:4.0"}));
    const ContactList list = test::parse("BEGIN:VCARD\r\nN:a\r\nitem1.END:VCARD\r\n");
    EXPECT_FALSE(list.records[0].complete);
}

// A 3.0 block: its values are unescaped after a VERSION line names 3.0.
std::string card30(std::string_view line, Field f) {
    const ContactList list = test::parse("BEGIN:VCARD\r\nVERSION:3.0\r\n" + std::string(line) + "\r\nEND:VCARD\r\n");
    return fieldText(list, list.records[0], f);
}

TEST(Version30Escapes, AreUndoneInEveryValueAfterTheVersionLine) {
    EXPECT_EQ(card30("NOTE;CHARSET=UTF-8:\xE5\xA4\xA7\\n2\\, 3\\\\", Field::notes), "\x91\xE5\r\n2, 3\\");
    EXPECT_EQ(card30("URL:https\\://example.jp/", Field::webPage), "https://example.jp/");
    EXPECT_EQ(card30("ADR:;;1-2-3\\, Chiyoda;Tokyo", Field::homeStreet), "1-2-3, Chiyoda");
    // "\;" is kept for the CSV file, which writes it as ";".
    EXPECT_EQ(card30("NOTE:a\\;b;c", Field::notes), "a\\;b");
    EXPECT_EQ(card30("N:a\\,b;c", Field::fullName), "a,b c");
    // Not before the VERSION line, and not in a 2.1 block.
    EXPECT_EQ(field({"NOTE:a\\nb"}, Field::notes), "a\\nb");
    const ContactList list = test::parse("BEGIN:VCARD\r\nNOTE:a\\,b\r\nVERSION:3.0\r\nURL:c\\,d\r\nEND:VCARD\r\n");
    EXPECT_EQ(fieldText(list, list.records[0], Field::notes), "a\\,b");
    EXPECT_EQ(fieldText(list, list.records[0], Field::webPage), "c,d");
}

TEST(ReadingPrefix, FallsBackOnThePhoneticFamilyName) {
    struct Case {
        std::initializer_list<std::string_view> lines;
        std::string_view reading;
    } cases[] = {
        {{"X-PHONETIC-LAST-NAME;CHARSET=UTF-8:\xE3\x83\xA4\xE3\x83\x9E\xE3\x83\x80"}, "\x83\x84"},  // ヤマダ
        {{"item1.X-PHONETIC-LAST-NAME:yamada", "X-PHONETIC-LAST-NAME:x"}, "ya"},
        {{"X-PHONETIC-LAST-NAME:yamada", "SOUND:suzuki"}, "su"},  // SOUND replaces it
        {{"X-PHONETIC-LAST-NAME:yamada", "SORT-STRING:sato", "SOUND:x"}, "sa"},
        {{"SOUND:suzuki", "X-PHONETIC-LAST-NAME:yamada"}, "su"},
        {{"X-PHONETIC-FIRST-NAME:taro"}, "<absent>"},
    };
    for (const auto& c : cases) EXPECT_EQ(field(c.lines, Field::readingPrefix), c.reading) << *c.lines.begin();
}

TEST(ReadingPrefix, KeepsTheFirstTwoBytesWithoutSplittingACharacter) {
    struct Case {
        std::string_view line;
        std::string reading;
    } cases[] = {
        {"SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:\xD4\xCF\xC0\xDE;\xC0\xDB\xB3;;;", "\xD4\xCF"},  // ﾔﾏﾀﾞ
        {"SOUND:\x83\x84\x83\x7D\x83\x5E", "\x83\x84"},                                     // ヤマダ
        {"SOUND:a", "a"},
        {"SOUND:", ""},
        {"SOUND;ENCODING=QUOTED-PRINTABLE:=D4=CF=C0", "\xD4\xCF"},
        {"SOUND;ENCODING=BASE64:YWJj", "ab"},
        // A half-width character followed by a full-width one: the lone lead
        // byte is not kept.
        {"SOUND:\xD4\x83\x84", "\xD4"},
        {"SORT-STRING:xyz", "xy"},
    };
    for (const auto& c : cases) EXPECT_EQ(field({c.line}, Field::readingPrefix), c.reading) << c.line;
    EXPECT_EQ(field({"SOUND:ab", "SORT-STRING:cd"}, Field::readingPrefix), "ab");
}

TEST(Organisation, TakesCompanyOrElseDepartment) {
    EXPECT_EQ(field({"ORG:Co;Dept"}, Field::company), "Co");
    EXPECT_EQ(field({"ORG:Co;Dept"}, Field::department), "<absent>");
    EXPECT_EQ(field({"ORG:;Dept"}, Field::company), "Dept");
    EXPECT_EQ(field({"ORG:;", "ORG:Later"}, Field::company), "Later");
    EXPECT_EQ(field({"ORG:", "ORG:Later"}, Field::company), "");
}

TEST(Address, FillsTheHomeFieldsFromTheFirstAdrLine) {
    const ContactList list =
        test::parse(card({"ADR;WORK:box;ext;street;city;state;123;JP;extra", "ADR:x;y;z;a;b;c;d"}));
    const ContactRecord& r = list.records[0];
    EXPECT_EQ(fieldText(list, r, Field::homeStreet), "boxextstreet");
    EXPECT_EQ(fieldText(list, r, Field::homeCity), "city");
    EXPECT_EQ(fieldText(list, r, Field::homeState), "state");
    EXPECT_EQ(fieldText(list, r, Field::homePostalCode), "123");
    EXPECT_EQ(fieldText(list, r, Field::homeCountry), "JP");

    const ContactList shortList = test::parse(card({"ADR:;;street"}));
    EXPECT_EQ(fieldText(shortList, shortList.records[0], Field::homeStreet), "street");
    EXPECT_EQ(fieldText(shortList, shortList.records[0], Field::homeCity), "<absent>");
}

TEST(Unsupported, VersionCharsetAndEncodingChecks) {
    struct Case {
        std::string_view line;
        bool unsupported;
    } cases[] = {
        {"VERSION:3.0", false},
        {"VERSION:12.1", false},
        {"VERSION:4.0", true},
        {"VERSION:", true},
        {"N;CHARSET=SHIFT_JIS:x", false},
        {"N;charset=utf-8:x", false},
        {"N;CHARSET=X-SHIFT_JIS-2004:x", false},
        {"N;CHARSET=ISO-8859-1:x", true},
        {"N;CHARSET=SJIS:x", true},
        {"NOTE;ENCODING=8BIT:x", true},
        {"NOTE;ENCODING=b:x", true},
        {"NOTE;ENCODING=QUOTED-PRINTABLE:x", false},
        {"NOTE;QUOTED-PRINTABLE:x", false},
        {"PHOTO;ENCODING=b:AAAA", false},
        {"X-FOO;CHARSET=ISO-2022-JP:x", false},
        {"item1.EMAIL;CHARSET=ISO-8859-1:x", true},  // a group prefix only labels the line
        {"item2.X-ABLabel;CHARSET=ISO-8859-1:x", false},
        {"X-PHONETIC-LAST-NAME;CHARSET=ISO-8859-1;ENCODING=8BIT:x", false},
    };
    for (const auto& c : cases) EXPECT_EQ(unsupported({c.line}), c.unsupported) << c.line;
    // The value is stored even when its own line makes the contact unsupported,
    // and a line that stores nothing can still make it so.
    EXPECT_EQ(field({"N;CHARSET=ISO-8859-1:x"}, Field::fullName), "x");
    EXPECT_TRUE(unsupported({"N:a", "N;CHARSET=ISO-8859-1:x"}));
}

TEST(Unsupported, VersionLinesOutsideABlockChangeNothing) {
    const ContactList list = test::parse("VERSION:4.0\r\nBEGIN:VCARD\r\nEND:VCARD\r\nVERSION:4.0\r\n");
    ASSERT_EQ(list.count(), 1u);
    EXPECT_FALSE(list.records[0].unsupported);
}

TEST(Values, AreDecodedWithTheCodesOfTheirLine) {
    EXPECT_EQ(field({"N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=B1=B1;=E7=94=B0"}, Field::fullName),
              "\x8E\x52 \x93\x63");
}

}  // namespace
}  // namespace velmora
