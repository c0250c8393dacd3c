#include "vcard/placement.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_support.h"

namespace velmora {
namespace {

struct Placed {
    Field field;
    std::string value;
};

// Feeds the TEL or EMAIL lines to one contact, each with the value "1", "2", ...
// and returns where each value landed ("dropped" when nowhere).
std::vector<std::string> placements(const std::vector<std::string>& lines) {
    std::string text = "BEGIN:VCARD\r\n";
    for (std::size_t i = 0; i < lines.size(); ++i) text += lines[i] + ":" + std::to_string(i + 1) + "\r\n";
    text += "END:VCARD\r\n";
    const ContactList list = test::parse(text);
    static const std::pair<Field, const char*> names[] = {
        {Field::businessFax, "businessFax"},
        {Field::businessPhone, "businessPhone"},
        {Field::businessPhone2, "businessPhone2"},
        {Field::companyMainPhone, "companyMainPhone"},
        {Field::homePhone, "homePhone"},
        {Field::homePhone2, "homePhone2"},
        {Field::mobilePhone, "mobilePhone"},
        {Field::pager, "pager"},
        {Field::email1, "email1"},
        {Field::email2, "email2"},
        {Field::email3, "email3"},
    };
    std::vector<std::string> where(lines.size(), "dropped");
    for (const auto& [field, name] : names) {
        const auto value = list.text(list.records[0], field);
        if (value && !value->empty()) where[std::stoul(std::string(*value)) - 1] = name;
    }
    return where;
}

using Lines = std::vector<std::string>;

TEST(Placement, ALineAloneGoesToTheFieldItsTypeKeywordsChoose) {
    struct Case {
        std::string field;
        Lines lines;  // each tried alone in a contact of its own
    } cases[] = {
        // A mobile number marked VOICE as well is a mobile number.
        {"mobilePhone",
         {"TEL;PREF", "TEL;HOME;CELL", "tel;type=cell", "TEL;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE;CELL",
          "item1.TEL;type=CELL;type=VOICE"}},
        {"homePhone", {"TEL;PREF;VOICE", "TEL;VOICE", "TEL;HOME;VOICE;FAX", "TEL;HOME;CELL;VOICE"}},
        {"businessFax", {"TEL;TYPE=WORK,FAX"}},
        {"pager", {"TEL;FAX", "TEL;HOME;FAX", "TEL;WORK;PAGER", "TEL;CAR", "TEL;CELL;VIDEO", "TEL;CELL;VOICE;VIDEO"}},
        // X-VOICE changes nothing: VOICE is a telephone type only.
        {"email1",
         {"EMAIL;INTERNET;X-VOICE", "EMAIL;CELL", "EMAIL;HOME", "EMAIL;PREF", "EMAIL;HOME;INTERNET",
          "EMAIL;PREF;INTERNET", "EMAIL;TYPE=INTERNET,PREF"}},
        {"email3", {"EMAIL;PCS", "EMAIL;HOME;WORK"}},
    };
    for (const auto& c : cases)
        for (const std::string& line : c.lines) EXPECT_EQ(placements({line}), Lines{c.field}) << line;
}

// A field once taken stays taken: the next line of its kind goes to the next
// free field its keywords allow, and is dropped when none is left.
TEST(Placement, LinesOfOneContactTakeTheFreeFieldsInTurn) {
    struct Case {
        Lines lines;
        Lines fields;
    } cases[] = {
        {{"TEL", "TEL"}, {"pager", "dropped"}},
        {{"TEL;PREF;CELL", "TEL;CELL", "TEL;CELL"}, {"mobilePhone", "pager", "dropped"}},
        {{"TEL;HOME", "TEL;HOME", "TEL;HOME", "TEL;HOME"}, {"homePhone", "homePhone2", "pager", "dropped"}},
        {{"TEL;WORK", "TEL;WORK;VOICE"}, {"companyMainPhone", "pager"}},
        {{"TEL;WORK;CELL", "TEL;WORK;CELL", "TEL;WORK;CELL"}, {"businessPhone", "businessPhone2", "pager"}},
        {{"TEL;WORK;FAX", "TEL;WORK;FAX", "TEL;WORK;FAX"}, {"businessFax", "pager", "dropped"}},
        {{"TEL;CELL", "TEL;CELL", "TEL;HOME"}, {"mobilePhone", "pager", "homePhone"}},
        // Mobile numbers marked VOICE as well.
        {{"TEL;CELL;VOICE", "TEL;type=CELL;type=VOICE;type=pref", "TEL;CELL;VOICE"},
         {"mobilePhone", "pager", "dropped"}},
        {{"EMAIL", "EMAIL"}, {"email3", "dropped"}},
        {{"EMAIL;INTERNET", "EMAIL;INTERNET", "EMAIL;INTERNET"}, {"email1", "email3", "dropped"}},
        {{"EMAIL;WORK;INTERNET", "EMAIL;WORK", "EMAIL;WORK"}, {"email2", "email3", "dropped"}},
    };
    for (const auto& c : cases) EXPECT_EQ(placements(c.lines), c.fields) << ::testing::PrintToString(c.lines);
}

TEST(Placement, AnEmptyValueTakesItsField) {
    const ContactList list = test::parse("BEGIN:VCARD\r\nTEL;CELL:\r\nTEL;CELL:2\r\nEND:VCARD\r\n");
    EXPECT_EQ(test::fieldText(list, list.records[0], Field::mobilePhone), "");
    EXPECT_EQ(test::fieldText(list, list.records[0], Field::pager), "2");
}

TEST(Placement, ValuesAreStoredDecoded) {
    const ContactList list = test::parse(
        "BEGIN:VCARD\r\nEMAIL;ENCODING=QUOTED-PRINTABLE;WORK:a=40b.jp\r\nEMAIL;ENCODING=BASE64:eEB5LmpwOzE=\r\n\r\n"
        "END:VCARD\r\n");
    EXPECT_EQ(test::fieldText(list, list.records[0], Field::email2), "a@b.jp");
    EXPECT_EQ(test::fieldText(list, list.records[0], Field::email3), "x@y.jp;1");
}

}  // namespace
}  // namespace velmora
