// The full layout: each rule of where a contact's lines land, as the CSV
// line that a contact of a few lines gives.
#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "csv/csv_writer.h"
#include "tests/test_support.h"
#include "vcard/account.h"
#include "vcard/loader.h"

namespace velmora {
namespace {

using test::csvRow;
using test::sjis;
using Columns = std::map<int, std::string>;

struct Read {
    ContactList list;
    Account account;
};

using Lines = std::vector<std::string_view>;

// One contact block of `lines` in `version`, read for the full layout.
void readCard(Read& read, const Lines& lines, std::string_view version = "2.1") {
    std::string text = "BEGIN:VCARD\r\nVERSION:" + std::string(version) + "\r\n";
    for (auto line : lines) text.append(line).append("\r\n");
    text += "END:VCARD\r\n";
    read.list.useLayout(Layout::full);
    read.list.keepAccount(&read.account);
    parseVcardText(text, read.list);
}

// The CSV line of the contact, or "<not written>".
std::string rowOf(const Lines& lines, std::string_view version = "2.1") {
    Read read;
    readCard(read, lines, version);
    if (read.list.count() != 1 || !isExportable(read.list.records[0])) return "<not written>";
    std::string row;
    formatContactRow(read.list, read.list.records[0], row);
    return row;
}

struct Case {
    Lines lines;
    Columns columns;  // none: the contact is not written
};

void expectRows(std::initializer_list<Case> cases, std::string_view version = "2.1") {
    for (const Case& c : cases) {
        std::string trace;
        for (auto line : c.lines) trace.append(line).append(" | ");
        SCOPED_TRACE(trace);
        EXPECT_EQ(rowOf(c.lines, version), c.columns.empty() ? "<not written>" : csvRow(c.columns));
    }
}

TEST(FullLayout, NamesByTheirParts) {
    expectRows({
        {{"N:Family;Given;Middle;Prefix;Suffix"},
         {{3, "Family"}, {1, "Given"}, {2, "Middle"}, {0, "Prefix"}, {4, "Suffix"}}},
        // A missing component leaves its column unfilled, an empty one writes "".
        {{"N:Yamada;Taro"}, {{3, "Yamada"}, {1, "Taro"}}},
        {{"N:Solo"}, {{3, "Solo"}}},
        {{"N:Yamada;Taro;;;"}, {{3, "Yamada"}, {1, "Taro"}, {2, ""}, {0, ""}, {4, ""}}},
        // FN names the contact only when N gives no name, wherever it stands.
        {{"FN:Taro Yamada"}, {{1, "Taro Yamada"}}},
        {{"FN:F", "N:;;;;"}, {{3, ""}, {1, "F"}, {2, ""}, {0, ""}, {4, ""}}},
        {{"FN:F", "N:;Given"}, {{3, ""}, {1, "Given"}}},
        {{"N:A;B", "N:C;D", "FN:F", "FN:G"}, {{3, "A"}, {1, "B"}}},
        // An FN whose charset cannot be read counts as absent: the next one names the contact.
        {{"FN;CHARSET=EUC-JP:x", "FN:y"}, {{1, "y"}}},
        {{"N;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=8E=52=93=63;=91=BE=98=59"},
         {{3, sjis("山田")}, {1, sjis("太郎")}}},
    });
}

TEST(FullLayout, WholeReadings) {
    expectRows({
        {{"SOUND;X-IRMC-N:\xD4\xCF\xC0\xDE;\xC0\xDB\xB3"}, {{77, "\xD4\xCF\xC0\xDE"}, {93, "\xC0\xDB\xB3"}}},
        {{"SORT-STRING:Yamada", "SOUND:Later;Later"}, {{77, "Yamada"}}},
        // The X-PHONETIC lines fill their columns whatever comes before or after them.
        {{"X-PHONETIC-LAST-NAME:Last", "SOUND:S1;S2"}, {{77, "Last"}, {93, "S2"}}},
        {{"SOUND:S1;S2", "X-PHONETIC-FIRST-NAME:First", "X-PHONETIC-FIRST-NAME:Again"}, {{77, "S1"}, {93, "First"}}},
        {{"item1.X-PHONETIC-ORG:Kaisha"}, {{65, "Kaisha"}}},
        {{"X-PHONETIC-LAST-NAME;ENCODING=X-UNKNOWN:x"}, {}},
    });
}

TEST(FullLayout, OrganisationAndTitle) {
    expectRows({
        {{"ORG:Company;Sales;;Tokyo"}, {{5, "Company"}, {6, "Sales Tokyo"}}},
        {{"ORG:;Sales"}, {{5, ""}, {6, "Sales"}}},
        {{"ORG:Company;"}, {{5, "Company"}}},
        {{"ORG:First", "ORG:Second;Unit"}, {{5, "First"}}},
        {{"TITLE:Manager", "TITLE:Chief"}, {{7, "Manager"}}},
    });
}

TEST(FullLayout, AddressesByKind) {
    const Columns business = {{64, "p"}, {9, "x"}, {8, "s"}, {11, "c"}, {12, "r"}, {13, "z"}, {14, "n"}};
    const Columns home = {{73, "p"}, {16, "x"}, {15, "s"}, {18, "c"}, {19, "r"}, {20, "z"}, {21, "n"}};
    const Columns other = {{54, "p"}, {23, "x"}, {22, "s"}, {25, "c"}, {26, "r"}, {27, "z"}, {28, "n"}};
    const auto both = [](Columns a, const Columns& b) {
        a.insert(b.begin(), b.end());
        return a;
    };
    expectRows({
        {{"ADR;WORK:p;x;s;c;r;z;n"}, business},
        {{"ADR;TYPE=work:p;x;s;c;r;z;n"}, business},
        {{"ADR;HOME:p;x;s;c;r;z;n"}, home},
        {{"ADR:p;x;s;c;r;z;n"}, home},
        {{"ADR;WORK;HOME:p;x;s;c;r;z;n"}, home},
        // The group prefix is no type.
        {{"work.ADR:p;x;s;c;r;z;n"}, home},
        // A second address of a kind goes to the other address; a third is not used.
        {{"ADR:", "ADR;HOME:p;x;s;c;r;z;n"}, both({{73, ""}}, other)},
        {{"ADR;WORK:p;x;s;c;r;z;n", "ADR;WORK:p;x;s;c;r;z;n", "ADR;WORK:q", "ADR:p;x;s;c;r;z;n"},
         both(both(business, other), home)},
        {{"ADR:;;s;c"}, {{73, ""}, {16, ""}, {15, "s"}, {18, "c"}}},
    });
}

TEST(FullLayout, TelephonesByType) {
    expectRows({
        {{"TEL;WORK;FAX:1", "TEL;HOME;FAX:2", "TEL;FAX:3", "TEL;FAX:4"}, {{30, "1"}, {36, "2"}, {41, "3"}}},
        // A fax never lands in a voice column, nor a voice number in a fax column.
        {{"TEL;WORK;FAX:1", "TEL;WORK;FAX:2", "TEL;WORK;FAX:3"}, {{30, "1"}, {41, "2"}}},
        {{"TEL;PAGER:1", "TEL;CELL:2", "TEL;CAR:3", "TEL;ISDN:4"}, {{43, "1"}, {40, "2"}, {34, "3"}, {39, "4"}}},
        {{"TEL;TYPE=MAIN:1", "TEL;PCS:2", "TEL;CELL;VOICE:3", "TEL:4"}, {{35, "1"}, {40, "2"}, {42, "3"}}},
        {{"TEL;WORK;VOICE:1", "TEL;WORK:2", "TEL;WORK:3"}, {{31, "1"}, {32, "2"}, {42, "3"}}},
        {{"TEL;HOME;VOICE:1", "TEL;type=home:2", "TEL;HOME:3"}, {{37, "1"}, {38, "2"}, {42, "3"}}},
        // Type keywords are looked for in the parameters only: card1.TEL is no CAR.
        {{"card1.TEL:1", "item2.TEL;CELL:2"}, {{42, "1"}, {40, "2"}}},
        {{"TEL;PAGER;CELL:1", "TEL;PAGER:2"}, {{43, "1"}, {42, "2"}}},
    });
}

TEST(FullLayout, EmailsInFileOrderBirthdayUrl) {
    expectRows({
        {{"EMAIL;WORK:a", "EMAIL:b", "EMAIL;HOME:c", "EMAIL:d"}, {{80, "a"}, {83, "b"}, {86, "c"}}},
        {{"BDAY:19800115", "URL:http://a;b", "URL:x"}, {{79, "1980/01/15"}, {49, "http://a"}}},
    });
}

TEST(FullLayout, LineBreaksWrittenAsCrLf) {
    expectRows({
        {{"NOTE;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab=0Ac=0Dd"}, {{58, "a\r\nb\r\nc\r\nd"}}},
        {{"NOTE;ENCODING=QUOTED-PRINTABLE:=0D=0A=0D=0A\"q\""}, {{58, "\r\n\r\n\"\"q\"\""}}},
        // An escaped ";" is written plain only where it stands right after its backslash.
        {{"NOTE:a\\;b", "TITLE;ENCODING=QUOTED-PRINTABLE:x\\=0D=0A;y"}, {{58, "a;b"}, {7, "x\\\r\n"}}},
    });
    expectRows({{{"NOTE:Met\\, 2019.\\nPrefers e-mail."}, {{58, "Met, 2019.\r\nPrefers e-mail."}}}}, "3.0");
}

TEST(FullLayout, GuardsAndExport) {
    // The lines the classic layout judges still make a contact unsupported;
    // FN, TITLE and the X-PHONETIC lines never do.
    expectRows({
        {{"TEL;CHARSET=EUC-JP:1"}, {}},
        {{"TITLE;CHARSET=EUC-JP:x", "X-PHONETIC-FIRST-NAME;CHARSET=EUC-JP:y", "NOTE:n"}, {{58, "n"}}},
        {{"X-PHONETIC-FIRST-NAME:y"}, {{93, "y"}}},
    });
    expectRows({{{"VERSION:4.0", "N:a"}, {}}, {{"PHOTO:x", "X-PHONETIC-ORG;CHARSET=X:y"}, {}}});
}

TEST(FullLayout, TheAccountCountsWhatFindsNoColumn) {
    Read read;
    readCard(read, {"ADR:a", "ADR:b", "ADR:c", "FN;CHARSET=EUC-JP:x", "TEL;FAX:1", "TEL;FAX:2", "EMAIL:1", "EMAIL:2",
                    "EMAIL:3", "EMAIL:4", "TITLE:t", "TITLE:u"});
    std::vector<Loss> losses;
    for (const LostLine& lost : read.account.blocks().at(0).lost) losses.push_back(lost.loss);
    EXPECT_EQ(losses, (std::vector<Loss>{Loss::addressWithoutColumn, Loss::codingRefused, Loss::telephoneWithoutColumn,
                                         Loss::emailWithoutColumn, Loss::notUsed}));
}

}  // namespace
}  // namespace velmora
