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

TEST(PlaceTelephone, ChoosesTheFieldByTypeKeywordsAndFreeFields) {
    struct Case {
        Lines lines;
        Lines fields;
    } cases[] = {
        {{"TEL", "TEL"}, {"pager", "dropped"}},
        {{"TEL;PREF;CELL", "TEL;CELL", "TEL;CELL"}, {"mobilePhone", "pager", "dropped"}},
        {{"TEL;PREF"}, {"mobilePhone"}},
        {{"TEL;PREF;VOICE"}, {"homePhone"}},
        {{"TEL;VOICE"}, {"homePhone"}},
        {{"TEL;HOME", "TEL;HOME", "TEL;HOME", "TEL;HOME"}, {"homePhone", "homePhone2", "pager", "dropped"}},
        {{"TEL;HOME;CELL"}, {"mobilePhone"}},
        {{"TEL;WORK", "TEL;WORK;VOICE"}, {"companyMainPhone", "pager"}},
        {{"TEL;WORK;CELL", "TEL;WORK;CELL", "TEL;WORK;CELL"}, {"businessPhone", "businessPhone2", "pager"}},
        {{"TEL;WORK;FAX", "TEL;WORK;FAX", "TEL;WORK;FAX"}, {"businessFax", "pager", "dropped"}},
        {{"TEL;FAX"}, {"pager"}},
        {{"TEL;HOME;FAX"}, {"pager"}},
        {{"TEL;HOME;VOICE;FAX"}, {"homePhone"}},
        {{"TEL;WORK;PAGER"}, {"pager"}},
        {{"TEL;CAR"}, {"pager"}},
        {{"TEL;CELL;VIDEO"}, {"pager"}},
        {{"TEL;TYPE=WORK,FAX"}, {"businessFax"}},
        {{"tel;type=cell"}, {"mobilePhone"}},
        {{"TEL;CELL", "TEL;CELL", "TEL;HOME"}, {"mobilePhone", "pager", "homePhone"}},
        {{"TEL;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE;CELL"}, {"mobilePhone"}},
        // A mobile number marked VOICE as well is a mobile number.
        {{"TEL;CELL;VOICE", "TEL;type=CELL;type=VOICE;type=pref", "TEL;CELL;VOICE"},
         {"mobilePhone", "pager", "dropped"}},
        {{"item1.TEL;type=CELL;type=VOICE"}, {"mobilePhone"}},
        {{"TEL;CELL;VOICE;VIDEO"}, {"pager"}},
        {{"TEL;HOME;CELL;VOICE"}, {"homePhone"}},
    };
    for (const auto& c : cases) EXPECT_EQ(placements(c.lines), c.fields) << ::testing::PrintToString(c.lines);
}

TEST(PlaceEmail, ChoosesTheFieldByTypeKeywordsAndFreeFields) {
    struct Case {
        Lines lines;
        Lines fields;
    } cases[] = {
        {{"EMAIL", "EMAIL"}, {"email3", "dropped"}},
        {{"EMAIL;INTERNET", "EMAIL;INTERNET", "EMAIL;INTERNET"}, {"email1", "email3", "dropped"}},
        {{"EMAIL;INTERNET;X-VOICE"}, {"email1"}},  // VOICE is a telephone type only
        {{"EMAIL;CELL"}, {"email1"}},
        {{"EMAIL;HOME"}, {"email1"}},
        {{"EMAIL;PREF"}, {"email1"}},
        {{"EMAIL;HOME;INTERNET"}, {"email1"}},
        {{"EMAIL;PREF;INTERNET"}, {"email1"}},
        {{"EMAIL;TYPE=INTERNET,PREF"}, {"email1"}},
        {{"EMAIL;WORK;INTERNET", "EMAIL;WORK", "EMAIL;WORK"}, {"email2", "email3", "dropped"}},
        {{"EMAIL;PCS"}, {"email3"}},
        {{"EMAIL;HOME;WORK"}, {"email3"}},
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
