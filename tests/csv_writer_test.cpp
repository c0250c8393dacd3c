#include "csv/csv_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/fake_file_system.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using test::csvRow;
using test::sjis;

// The column names as the address book expects them, in order.
// clang-format off
const char* const kHeaderNames[95] = {
    "肩書き", "名", "ミドル ネーム", "姓", "敬称", "会社名", "部署", "役職", "番地 (会社)", "住所 2 (会社)",
    "住所 3 (会社)", "市町村 (会社)", "都道府県 (会社)", "郵便番号 (会社)", "国 (会社)/地域", "番地 (自宅)",
    "住所 2 (自宅)", "住所 3 (自宅)", "市町村 (自宅)", "都道府県 (自宅)", "郵便番号 (自宅)", "国 (自宅)/地域",
    "番地 (その他)", "住所 2 (その他)", "住所 3 (その他)", "市町村 (その他)", "都道府県 (その他)",
    "郵便番号 (その他)", "国 (その他)/地域", "秘書の電話", "会社 FAX", "会社電話", "会社電話 2", "コールバック",
    "自動車電話", "会社代表電話", "自宅 FAX", "自宅電話", "自宅電話 2", "ISDN", "携帯電話", "その他の FAX",
    "その他の電話", "ポケットベル", "通常の電話", "無線電話", "TTY/TDD", "テレックス", "ID 番号", "Web ページ",
    "アカウント", "イニシャル", "インターネット空き時間情報", "キーワード", "その他住所私書箱",
    "ディレクトリ サーバー", "プライベート", "マネージャー", "メモ", "ユーザー 1", "ユーザー 2", "ユーザー 3",
    "ユーザー 4", "会社 ID", "会社住所私書箱", "会社名フリガナ", "記念日", "経費情報", "言語", "参照事項", "子供",
    "支払い条件", "事業所", "自宅住所私書箱", "趣味", "場所", "職業", "姓フリガナ", "性別", "誕生日",
    "電子メール アドレス", "電子メールの種類", "電子メール表示名", "電子メール 2 アドレス", "電子メール 2 の種類",
    "電子メール 2 表示名", "電子メール 3 アドレス", "電子メール 3 の種類", "電子メール 3 表示名", "配偶者",
    "秘書の氏名", "秘密度", "分類", "名前フリガナ", "優先度",
};
// clang-format on

// The CSV column of every field.
const std::pair<Field, int> kFieldColumns[] = {
    {Field::fullName, 1},
    {Field::readingPrefix, 3},
    {Field::lastNameReading, 77},
    {Field::nameReading, 93},
    {Field::birthday, 79},
    {Field::company, 5},
    {Field::department, 6},
    {Field::jobTitle, 7},
    {Field::homeStreet, 15},
    {Field::homeCity, 18},
    {Field::homeState, 19},
    {Field::homePostalCode, 20},
    {Field::homeCountry, 21},
    {Field::businessFax, 30},
    {Field::businessPhone, 31},
    {Field::businessPhone2, 32},
    {Field::companyMainPhone, 35},
    {Field::homePhone, 37},
    {Field::homePhone2, 38},
    {Field::mobilePhone, 40},
    {Field::pager, 43},
    {Field::email1, 80},
    {Field::email2, 83},
    {Field::email3, 86},
    {Field::webPage, 49},
    {Field::notes, 58},
};

struct Fixture {
    ContactList list;
    ContactRecord& add(std::initializer_list<std::pair<Field, std::string_view>> fields, bool complete = true) {
        ContactRecord& record = list.records.emplace_back();
        for (const auto& [field, value] : fields) list.store(record, field, value);
        record.complete = complete;
        return record;
    }
};

TEST(CsvHeader, HoldsTheNinetyFiveColumnNamesInShiftJis) {
    std::string expected;
    for (const char* name : kHeaderNames) {
        if (!expected.empty()) expected += ',';
        expected += sjis(name);
    }
    expected += "\r\n";
    EXPECT_EQ(csvHeader(), expected);
    EXPECT_EQ(csvHeader().size(), 1130u);
    EXPECT_EQ(std::count(csvHeader().begin(), csvHeader().end(), ','), 94);
    test::FakeFileSystem files;
    EXPECT_EQ(writeCsvHeader(*files.destination()), WriteResult::written);
    EXPECT_EQ(files.destinationBytes(), expected);
    test::FakeFileSystem full;
    full.freeSpace = 10;
    EXPECT_EQ(writeCsvHeader(*full.destination()), WriteResult::failed);
    EXPECT_EQ(full.destinationBytes(), "");  // no part of a header
}

TEST(ContactRow, EveryFieldLandsInItsColumn) {
    for (const auto& [field, column] : kFieldColumns) {
        Fixture f;
        ContactRecord& record = f.add({{field, "v"}});
        std::string row;
        formatContactRow(f.list, record, row);
        EXPECT_EQ(row, csvRow({{column, "v"}})) << "column " << column;
    }
}

TEST(ContactRow, AbsentAndEmptyDiffer) {
    Fixture f;
    ContactRecord& record = f.add({{Field::email1, "a@b.jp"}, {Field::notes, ""}});
    std::string row;
    formatContactRow(f.list, record, row);
    EXPECT_EQ(row, csvRow({{80, "a@b.jp"}, {58, ""}}));
    EXPECT_EQ(row.size(), 98u + 6 + 2);
    EXPECT_EQ(row.front(), ',');
    EXPECT_EQ(row.substr(row.size() - 3), ",\r\n");
}

TEST(ContactRow, EscapesQuotesLineBreaksAndEscapedSemicolons) {
    struct Case {
        std::string_view value;
        std::string_view written;
    } cases[] = {
        {"a\"b", "a\"\"b"},
        {"one\r\ntwo", "onetwo"},
        {"1\\;2", "1;2"},
        {"\\\\;", "\\;"},
        {"\\\r;", ";"},  // the line break goes first, then the pair
        {"\\\r\n\r\n;x", ";x"},
        {"\\,", "\\,"},
        {"\\n", "\\n"},
        {"end\\", "end\\"},
        {"a,b\tc", "a,b\tc"},
        // A backslash that is the second byte of 表 or ソ stays with its character.
        {"\x95\x5C;", "\x95\x5C;"},
        {"\x83\x5C\\;", "\x83\x5C;"},
        {"\xB1\\;", "\xB1;"},  // after a half-width katakana it is a backslash
        // Lead and trail bytes are judged after the line breaks are gone.
        {"\x82\r\n\\;", "\x82\\;"},
        {"\x82\xA0\"", "\x82\xA0\"\""},
    };
    for (const auto& c : cases) {
        Fixture f;
        ContactRecord& record = f.add({{Field::notes, c.value}});
        std::string row;
        formatContactRow(f.list, record, row);
        EXPECT_EQ(row, csvRow({{58, std::string(c.written)}})) << ::testing::PrintToString(std::string(c.value));
    }
}

TEST(IsExportable, NeedsCompleteSupportedAndSomeField) {
    Fixture f;
    EXPECT_TRUE(isExportable(f.add({{Field::email1, "x"}})));
    EXPECT_TRUE(isExportable(f.add({{Field::notes, ""}})));
    EXPECT_FALSE(isExportable(f.add({})));
    EXPECT_FALSE(isExportable(f.add({{Field::fullName, "x"}}, false)));
    ContactRecord& unsupported = f.add({{Field::fullName, "x"}});
    unsupported.unsupported = true;
    EXPECT_FALSE(isExportable(unsupported));
}

TEST(WriteContactRows, WritesExportableRowsInBlocks) {
    Fixture f;
    f.add({{Field::fullName, "a"}});
    f.add({{Field::fullName, "b"}}, false);
    f.add({{Field::fullName, "c"}});
    test::FakeFileSystem files;
    const RowsWritten rows = writeContactRows(f.list, *files.destination());
    EXPECT_EQ(rows.written, 2u);
    EXPECT_EQ(rows.failed, 0u);
    EXPECT_EQ(files.destinationBytes(), csvRow({{1, "a"}}) + csvRow({{1, "c"}}));
    EXPECT_EQ(files.writeCalls, 1u);
}

TEST(WriteContactRows, EachRowSucceedsOrFailsByItself) {
    Fixture f;
    for (const char* name : {"a", "b", "c", "d"}) f.add({{Field::fullName, name}});
    const std::size_t rowSize = csvRow({{1, "a"}}).size();
    for (std::size_t room : {0 * rowSize, rowSize, rowSize + 5, 2 * rowSize, 4 * rowSize}) {
        for (std::size_t block : {std::size_t{1}, std::size_t{1} << 20}) {
            test::FakeFileSystem files;
            files.freeSpace = room;
            const RowsWritten rows = writeContactRows(f.list, *files.destination(), block);
            const std::size_t whole = room / rowSize;
            EXPECT_EQ(rows.written, whole) << room << " " << block;
            EXPECT_EQ(rows.failed, 4 - whole) << room << " " << block;
            // What stays is the whole rows in order; no part of a failed one.
            const std::string all = csvRow({{1, "a"}}) + csvRow({{1, "b"}}) + csvRow({{1, "c"}}) + csvRow({{1, "d"}});
            EXPECT_EQ(files.destinationBytes(), all.substr(0, whole * rowSize));
        }
    }
}

TEST(WriteContactRows, AShorterLineAfterAFailedOneStillFitsWhole) {
    Fixture f;
    f.add({{Field::fullName, "long name"}});
    f.add({{Field::fullName, "s"}});
    test::FakeFileSystem files;
    files.freeSpace = csvRow({{1, "s"}}).size() + 3;
    const RowsWritten rows = writeContactRows(f.list, *files.destination());
    EXPECT_EQ(rows.failed, 1u);
    EXPECT_EQ(rows.written, 1u);
    EXPECT_EQ(files.destinationBytes(), csvRow({{1, "s"}}));
}

}  // namespace
}  // namespace velmora
