#include "csv/csv_writer.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/shift_jis.h"

namespace velmora {
namespace {

struct Column {
    std::string_view header;       // Shift_JIS bytes
    std::optional<Field> classic;  // what the contact lines of each layout hold there
    std::optional<Field> full;
};

// The 95 columns in order: header name (Shift_JIS, the Japanese text in the
// comment) and the field each layout's lines hold in that column.
// clang-format off
constexpr std::array<Column, kCsvColumns> columns = {{
    {"\x8C\xA8\x8F\x91\x82\xAB", std::nullopt, Field::namePrefix},  // 0 肩書き
    {"\x96\xBC", Field::fullName, Field::givenName},  // 1 名
    {"\x83~\x83h\x83\x8B \x83l\x81[\x83\x80", std::nullopt, Field::middleName},  // 2 ミドル ネーム
    {"\x90\xA9", Field::readingPrefix, Field::familyName},  // 3 姓
    {"\x8Ch\x8F\xCC", std::nullopt, Field::nameSuffix},  // 4 敬称
    {"\x89\xEF\x8E\xD0\x96\xBC", Field::company, Field::company},  // 5 会社名
    {"\x95\x94\x8F\x90", Field::department, Field::department},  // 6 部署
    {"\x96\xF0\x90" "E", Field::jobTitle, Field::jobTitle},  // 7 役職
    {"\x94\xD4\x92n (\x89\xEF\x8E\xD0)", std::nullopt, Field::businessStreet},  // 8 番地 (会社)
    {"\x8FZ\x8F\x8A 2 (\x89\xEF\x8E\xD0)", std::nullopt, Field::businessExtended},  // 9 住所 2 (会社)
    {"\x8FZ\x8F\x8A 3 (\x89\xEF\x8E\xD0)", std::nullopt, std::nullopt},  // 10 住所 3 (会社)
    {"\x8Es\x92\xAC\x91\xBA (\x89\xEF\x8E\xD0)", std::nullopt, Field::businessCity},  // 11 市町村 (会社)
    {"\x93s\x93\xB9\x95{\x8C\xA7 (\x89\xEF\x8E\xD0)", std::nullopt, Field::businessState},  // 12 都道府県 (会社)
    {"\x97X\x95\xD6\x94\xD4\x8D\x86 (\x89\xEF\x8E\xD0)", std::nullopt, Field::businessPostalCode},  // 13 郵便番号 (会社)
    {"\x8D\x91 (\x89\xEF\x8E\xD0)/\x92n\x88\xE6", std::nullopt, Field::businessCountry},  // 14 国 (会社)/地域
    {"\x94\xD4\x92n (\x8E\xA9\x91\xEE)", Field::homeStreet, Field::homeStreet},  // 15 番地 (自宅)
    {"\x8FZ\x8F\x8A 2 (\x8E\xA9\x91\xEE)", std::nullopt, Field::homeExtended},  // 16 住所 2 (自宅)
    {"\x8FZ\x8F\x8A 3 (\x8E\xA9\x91\xEE)", std::nullopt, std::nullopt},  // 17 住所 3 (自宅)
    {"\x8Es\x92\xAC\x91\xBA (\x8E\xA9\x91\xEE)", Field::homeCity, Field::homeCity},  // 18 市町村 (自宅)
    {"\x93s\x93\xB9\x95{\x8C\xA7 (\x8E\xA9\x91\xEE)", Field::homeState, Field::homeState},  // 19 都道府県 (自宅)
    {"\x97X\x95\xD6\x94\xD4\x8D\x86 (\x8E\xA9\x91\xEE)", Field::homePostalCode, Field::homePostalCode},  // 20 郵便番号 (自宅)
    {"\x8D\x91 (\x8E\xA9\x91\xEE)/\x92n\x88\xE6", Field::homeCountry, Field::homeCountry},  // 21 国 (自宅)/地域
    {"\x94\xD4\x92n (\x82\xBB\x82\xCC\x91\xBC)", std::nullopt, Field::otherStreet},  // 22 番地 (その他)
    {"\x8FZ\x8F\x8A 2 (\x82\xBB\x82\xCC\x91\xBC)", std::nullopt, Field::otherExtended},  // 23 住所 2 (その他)
    {"\x8FZ\x8F\x8A 3 (\x82\xBB\x82\xCC\x91\xBC)", std::nullopt, std::nullopt},  // 24 住所 3 (その他)
    {"\x8Es\x92\xAC\x91\xBA (\x82\xBB\x82\xCC\x91\xBC)", std::nullopt, Field::otherCity},  // 25 市町村 (その他)
    {"\x93s\x93\xB9\x95{\x8C\xA7 (\x82\xBB\x82\xCC\x91\xBC)", std::nullopt, Field::otherState},  // 26 都道府県 (その他)
    {"\x97X\x95\xD6\x94\xD4\x8D\x86 (\x82\xBB\x82\xCC\x91\xBC)", std::nullopt, Field::otherPostalCode},  // 27 郵便番号 (その他)
    {"\x8D\x91 (\x82\xBB\x82\xCC\x91\xBC)/\x92n\x88\xE6", std::nullopt, Field::otherCountry},  // 28 国 (その他)/地域
    {"\x94\xE9\x8F\x91\x82\xCC\x93" "d\x98" "b", std::nullopt, std::nullopt},  // 29 秘書の電話
    {"\x89\xEF\x8E\xD0 FAX", Field::businessFax, Field::businessFax},  // 30 会社 FAX
    {"\x89\xEF\x8E\xD0\x93" "d\x98" "b", Field::businessPhone, Field::businessPhone},  // 31 会社電話
    {"\x89\xEF\x8E\xD0\x93" "d\x98" "b 2", Field::businessPhone2, Field::businessPhone2},  // 32 会社電話 2
    {"\x83R\x81[\x83\x8B\x83o\x83" "b\x83N", std::nullopt, std::nullopt},  // 33 コールバック
    {"\x8E\xA9\x93\xAE\x8E\xD4\x93" "d\x98" "b", std::nullopt, Field::carPhone},  // 34 自動車電話
    {"\x89\xEF\x8E\xD0\x91\xE3\x95\x5C\x93" "d\x98" "b", Field::companyMainPhone, Field::companyMainPhone},  // 35 会社代表電話
    {"\x8E\xA9\x91\xEE FAX", std::nullopt, Field::homeFax},  // 36 自宅 FAX
    {"\x8E\xA9\x91\xEE\x93" "d\x98" "b", Field::homePhone, Field::homePhone},  // 37 自宅電話
    {"\x8E\xA9\x91\xEE\x93" "d\x98" "b 2", Field::homePhone2, Field::homePhone2},  // 38 自宅電話 2
    {"ISDN", std::nullopt, Field::isdn},  // 39 ISDN
    {"\x8Cg\x91\xD1\x93" "d\x98" "b", Field::mobilePhone, Field::mobilePhone},  // 40 携帯電話
    {"\x82\xBB\x82\xCC\x91\xBC\x82\xCC FAX", std::nullopt, Field::otherFax},  // 41 その他の FAX
    {"\x82\xBB\x82\xCC\x91\xBC\x82\xCC\x93" "d\x98" "b", std::nullopt, Field::otherPhone},  // 42 その他の電話
    {"\x83|\x83P\x83" "b\x83g\x83x\x83\x8B", Field::pager, Field::pager},  // 43 ポケットベル
    {"\x92\xCA\x8F\xED\x82\xCC\x93" "d\x98" "b", std::nullopt, std::nullopt},  // 44 通常の電話
    {"\x96\xB3\x90\xFC\x93" "d\x98" "b", std::nullopt, std::nullopt},  // 45 無線電話
    {"TTY/TDD", std::nullopt, std::nullopt},  // 46 TTY/TDD
    {"\x83" "e\x83\x8C\x83" "b\x83N\x83X", std::nullopt, std::nullopt},  // 47 テレックス
    {"ID \x94\xD4\x8D\x86", std::nullopt, std::nullopt},  // 48 ID 番号
    {"Web \x83y\x81[\x83W", Field::webPage, Field::webPage},  // 49 Web ページ
    {"\x83" "A\x83J\x83" "E\x83\x93\x83g", std::nullopt, std::nullopt},  // 50 アカウント
    {"\x83" "C\x83j\x83V\x83\x83\x83\x8B", std::nullopt, std::nullopt},  // 51 イニシャル
    {"\x83" "C\x83\x93\x83^\x81[\x83l\x83" "b\x83g\x8B\xF3\x82\xAB\x8E\x9E\x8A\xD4\x8F\xEE\x95\xF1", std::nullopt, std::nullopt},  // 52 インターネット空き時間情報
    {"\x83L\x81[\x83\x8F\x81[\x83h", std::nullopt, std::nullopt},  // 53 キーワード
    {"\x82\xBB\x82\xCC\x91\xBC\x8FZ\x8F\x8A\x8E\x84\x8F\x91\x94\xA0", std::nullopt, Field::otherPoBox},  // 54 その他住所私書箱
    {"\x83" "f\x83" "B\x83\x8C\x83N\x83g\x83\x8A \x83T\x81[\x83o\x81[", std::nullopt, std::nullopt},  // 55 ディレクトリ サーバー
    {"\x83v\x83\x89\x83" "C\x83x\x81[\x83g", std::nullopt, std::nullopt},  // 56 プライベート
    {"\x83}\x83l\x81[\x83W\x83\x83\x81[", std::nullopt, std::nullopt},  // 57 マネージャー
    {"\x83\x81\x83\x82", Field::notes, Field::notes},  // 58 メモ
    {"\x83\x86\x81[\x83U\x81[ 1", std::nullopt, std::nullopt},  // 59 ユーザー 1
    {"\x83\x86\x81[\x83U\x81[ 2", std::nullopt, std::nullopt},  // 60 ユーザー 2
    {"\x83\x86\x81[\x83U\x81[ 3", std::nullopt, std::nullopt},  // 61 ユーザー 3
    {"\x83\x86\x81[\x83U\x81[ 4", std::nullopt, std::nullopt},  // 62 ユーザー 4
    {"\x89\xEF\x8E\xD0 ID", std::nullopt, std::nullopt},  // 63 会社 ID
    {"\x89\xEF\x8E\xD0\x8FZ\x8F\x8A\x8E\x84\x8F\x91\x94\xA0", std::nullopt, Field::businessPoBox},  // 64 会社住所私書箱
    {"\x89\xEF\x8E\xD0\x96\xBC\x83t\x83\x8A\x83K\x83i", std::nullopt, Field::companyReading},  // 65 会社名フリガナ
    {"\x8BL\x94O\x93\xFA", std::nullopt, std::nullopt},  // 66 記念日
    {"\x8Co\x94\xEF\x8F\xEE\x95\xF1", std::nullopt, std::nullopt},  // 67 経費情報
    {"\x8C\xBE\x8C\xEA", std::nullopt, std::nullopt},  // 68 言語
    {"\x8EQ\x8F\xC6\x8E\x96\x8D\x80", std::nullopt, std::nullopt},  // 69 参照事項
    {"\x8Eq\x8B\x9F", std::nullopt, std::nullopt},  // 70 子供
    {"\x8Ex\x95\xA5\x82\xA2\x8F\xF0\x8C\x8F", std::nullopt, std::nullopt},  // 71 支払い条件
    {"\x8E\x96\x8B\xC6\x8F\x8A", std::nullopt, std::nullopt},  // 72 事業所
    {"\x8E\xA9\x91\xEE\x8FZ\x8F\x8A\x8E\x84\x8F\x91\x94\xA0", std::nullopt, Field::homePoBox},  // 73 自宅住所私書箱
    {"\x8E\xEF\x96\xA1", std::nullopt, std::nullopt},  // 74 趣味
    {"\x8F\xEA\x8F\x8A", std::nullopt, std::nullopt},  // 75 場所
    {"\x90" "E\x8B\xC6", std::nullopt, std::nullopt},  // 76 職業
    {"\x90\xA9\x83t\x83\x8A\x83K\x83i", Field::lastNameReading, Field::lastNameReading},  // 77 姓フリガナ
    {"\x90\xAB\x95\xCA", std::nullopt, std::nullopt},  // 78 性別
    {"\x92" "a\x90\xB6\x93\xFA", Field::birthday, Field::birthday},  // 79 誕生日
    {"\x93" "d\x8Eq\x83\x81\x81[\x83\x8B \x83" "A\x83h\x83\x8C\x83X", Field::email1, Field::email1},  // 80 電子メール アドレス
    {"\x93" "d\x8Eq\x83\x81\x81[\x83\x8B\x82\xCC\x8E\xED\x97\xDE", std::nullopt, std::nullopt},  // 81 電子メールの種類
    {"\x93" "d\x8Eq\x83\x81\x81[\x83\x8B\x95\x5C\x8E\xA6\x96\xBC", std::nullopt, std::nullopt},  // 82 電子メール表示名
    {"\x93" "d\x8Eq\x83\x81\x81[\x83\x8B 2 \x83" "A\x83h\x83\x8C\x83X", Field::email2, Field::email2},  // 83 電子メール 2 アドレス
    {"\x93" "d\x8Eq\x83\x81\x81[\x83\x8B 2 \x82\xCC\x8E\xED\x97\xDE", std::nullopt, std::nullopt},  // 84 電子メール 2 の種類
    {"\x93" "d\x8Eq\x83\x81\x81[\x83\x8B 2 \x95\x5C\x8E\xA6\x96\xBC", std::nullopt, std::nullopt},  // 85 電子メール 2 表示名
    {"\x93" "d\x8Eq\x83\x81\x81[\x83\x8B 3 \x83" "A\x83h\x83\x8C\x83X", Field::email3, Field::email3},  // 86 電子メール 3 アドレス
    {"\x93" "d\x8Eq\x83\x81\x81[\x83\x8B 3 \x82\xCC\x8E\xED\x97\xDE", std::nullopt, std::nullopt},  // 87 電子メール 3 の種類
    {"\x93" "d\x8Eq\x83\x81\x81[\x83\x8B 3 \x95\x5C\x8E\xA6\x96\xBC", std::nullopt, std::nullopt},  // 88 電子メール 3 表示名
    {"\x94z\x8B\xF4\x8E\xD2", std::nullopt, std::nullopt},  // 89 配偶者
    {"\x94\xE9\x8F\x91\x82\xCC\x8E\x81\x96\xBC", std::nullopt, std::nullopt},  // 90 秘書の氏名
    {"\x94\xE9\x96\xA7\x93x", std::nullopt, std::nullopt},  // 91 秘密度
    {"\x95\xAA\x97\xDE", std::nullopt, std::nullopt},  // 92 分類
    {"\x96\xBC\x91O\x83t\x83\x8A\x83K\x83i", Field::nameReading, Field::nameReading},  // 93 名前フリガナ
    {"\x97" "D\x90\xE6\x93x", std::nullopt, std::nullopt},  // 94 優先度
}};
// clang-format on

std::string makeHeader() {
    std::string header;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i != 0) header += ',';
        header += columns[i].header;
    }
    header += "\r\n";
    return header;
}

constexpr std::array<bool, 256> makeSpecialTable() {
    std::array<bool, 256> table{};
    table['"'] = table['\r'] = table['\n'] = table['\\'] = true;
    return table;
}
constexpr auto kSpecial = makeSpecialTable();

// What becomes of a line break inside a value.
enum class LineBreaks : std::uint8_t {
    removed,   // classic: the value is written on one line
    keptCrLf,  // full: CR LF, a lone CR and a lone LF are each written as CR LF
};

// Writes a value as the escaping leaves it: double quotes doubled, line
// breaks removed or written as CR LF, and a single-byte backslash followed by
// ";" written as ";" (with line breaks removed, also when only line breaks
// stood between them). A backslash that is the second byte of
// a double-byte character (表 is 95 5C) escapes nothing, so the character
// stays whole; lead and trail bytes are judged on the text without its line
// breaks. Runs of ordinary bytes are copied at once, and the characters are
// only walked up to a backslash when there is one. `out` has room for
// 2 * value.size() bytes, the most escaping can make; returns the end of
// what was written.
template <LineBreaks lineBreaks>
char* writeEscaped(std::string_view value, char* out) {
    const std::size_t n = value.size();
    shift_jis::Walk walk(value, shift_jis::LineBreaks::transparent);
    const auto copyRun = [&](std::size_t from, std::size_t to) {
        std::memcpy(out, value.data() + from, to - from);
        out += to - from;
    };
    std::size_t run = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (!kSpecial[c]) continue;
        copyRun(run, i);
        run = i + 1;
        if (c == '\r' || c == '\n') {
            if constexpr (lineBreaks == LineBreaks::keptCrLf) {
                *out++ = '\r';
                *out++ = '\n';
                if (c == '\r' && i + 1 < n && value[i + 1] == '\n') run = ++i + 1;
            }
            continue;
        }
        if (c == '"') {
            *out++ = '"';
            *out++ = '"';
            continue;
        }
        if (!walk.isSecondByte(i)) {
            std::size_t next = i + 1;
            if constexpr (lineBreaks == LineBreaks::removed)
                while (next < n && (value[next] == '\r' || value[next] == '\n')) ++next;
            if (next < n && value[next] == ';') {
                *out++ = ';';
                i = next;
                run = next + 1;
                continue;
            }
        }
        *out++ = '\\';
    }
    copyRun(run, n);
    return out;
}

// Writes one column's value: nothing for an absent value, else the escaped
// value in double quotes. `out` has room for 2 * value.size() + 2 bytes.
template <LineBreaks lineBreaks>
char* writeField(std::optional<std::string_view> value, char* out) {
    if (!value) return out;
    *out++ = '"';
    out = writeEscaped<lineBreaks>(*value, out);
    *out++ = '"';
    return out;
}

}  // namespace

std::optional<Field> fieldInColumn(Layout layout, std::size_t column) {
    return layout == Layout::full ? columns[column].full : columns[column].classic;
}

std::string_view csvHeader() {
    static const std::string header = makeHeader();
    return header;
}

namespace {

// Takes a failed write's bytes back out; nothing to take when none arrived.
void takeBack(platform::DestinationFile& file, std::size_t count) {
    if (count != 0) file.discardTail(count);
}

}  // namespace

WriteResult writeCsvHeader(platform::DestinationFile& file) {
    const std::string_view header = csvHeader();
    const std::size_t written = file.write(header.data(), header.size());
    if (written == header.size()) return WriteResult::written;
    takeBack(file, written);
    return WriteResult::failed;
}

bool isExportable(const ContactRecord& record) {
    if (!record.complete || record.unsupported) return false;
    for (const TextRef& field : record.fields)
        if (field.present()) return true;
    return false;
}

namespace {

// The row as runs of empty columns, each followed by one mapped field.
struct Segment {
    std::size_t emptyColumns;
    Field field;
};

struct RowLayout {
    std::vector<Segment> segments;
    std::size_t trailingEmptyColumns = 0;  // before the last column, which is always empty
};

RowLayout makeRowLayout(Layout layout) {
    RowLayout l;
    std::size_t empty = 0;
    for (std::size_t i = 0; i + 1 < columns.size(); ++i) {
        if (const std::optional<Field> held = fieldInColumn(layout, i)) {
            l.segments.push_back({empty, *held});
            empty = 0;
        } else {
            ++empty;
        }
    }
    l.trailingEmptyColumns = empty;
    return l;
}

const RowLayout& rowLayout(Layout layout) {
    static const RowLayout classic = makeRowLayout(Layout::classic);
    static const RowLayout full = makeRowLayout(Layout::full);
    return layout == Layout::full ? full : classic;
}

// Writes `count` commas; `out` has room for at least eight. The runs of empty
// columns between two fields are mostly short, and eight commas stored at
// once, of which only `count` are kept, cost less than a call to memset.
char* writeCommas(char* out, std::size_t count) {
    if (count <= 8)
        std::memcpy(out, ",,,,,,,,", 8);
    else
        std::memset(out, ',', count);
    return out + count;
}

// Appends the row of `record`, CR LF included. The row is written straight
// into room made for the longest row its fields could give (every byte of a
// value doubled), which is then cut back to what was written.
template <LineBreaks lineBreaks>
void appendRow(const ContactList& list, const ContactRecord& record, const RowLayout& layout, std::string& out) {
    std::size_t room = kCsvColumns + 2 + 8;  // the commas, CR LF, and the slack writeCommas needs
    for (const TextRef& field : record.fields)
        if (field.present()) room += 2 * static_cast<std::size_t>(field.length) + 2;
    const std::size_t start = out.size();
    out.resize(start + room);
    char* p = out.data() + start;
    for (const Segment& segment : layout.segments) {
        p = writeCommas(p, segment.emptyColumns);
        p = writeField<lineBreaks>(list.text(record, segment.field), p);
        *p++ = ',';
    }
    p = writeCommas(p, layout.trailingEmptyColumns);
    *p++ = '\r';
    *p++ = '\n';
    out.resize(static_cast<std::size_t>(p - out.data()));
}

// The row in the list's layout: the classic one writes each value on one
// line, the full one keeps its line breaks.
void appendContactRow(const ContactList& list, const ContactRecord& record, std::string& out) {
    if (list.layout() == Layout::full)
        appendRow<LineBreaks::keptCrLf>(list, record, rowLayout(Layout::full), out);
    else
        appendRow<LineBreaks::removed>(list, record, rowLayout(Layout::classic), out);
}

}  // namespace

void formatContactRow(const ContactList& list, const ContactRecord& record, std::string& row) {
    row.clear();
    appendContactRow(list, record, row);
}

namespace {

// Queues contact lines into one block and writes the block when it is full.
class RowWriter {
public:
    RowWriter(platform::DestinationFile& file, std::size_t blockSize) : file_(file), blockSize_(blockSize) {}

    void add(const ContactList& list, const ContactRecord& record) {
        const std::size_t before = block_.size();
        bool queued = false;
        try {
            rowEnds_.push_back(before);
            queued = true;
            appendContactRow(list, record, block_);
            rowEnds_.back() = block_.size();
        } catch (const std::exception&) {  // memory ran out
            // This line could not be made: nothing of it stays queued, and the
            // lines before and after it are not disturbed.
            if (queued) rowEnds_.pop_back();
            block_.resize(before);
            ++rows_.failed;
            return;
        }
        if (block_.size() >= blockSize_) flush();
    }

    RowsWritten finish() {
        flush();
        return rows_;
    }

private:
    void flush() {
        const std::size_t written = block_.empty() ? 0 : file_.write(block_.data(), block_.size());
        std::size_t start = 0;
        bool stopped = false;  // the line in which the block write stopped is behind us
        for (const std::size_t end : rowEnds_) {
            if (end <= written) {
                ++rows_.written;
            } else if (!stopped) {
                stopped = true;
                ++rows_.failed;
                takeBack(file_, written - start);
            } else {
                // After a failure each line is written by itself, as if no
                // block had been used, so that every line has its own outcome.
                const std::size_t length = end - start;
                const std::size_t done = file_.write(block_.data() + start, length);
                if (done == length) {
                    ++rows_.written;
                } else {
                    ++rows_.failed;
                    takeBack(file_, done);
                }
            }
            start = end;
        }
        block_.clear();
        rowEnds_.clear();
    }

    platform::DestinationFile& file_;
    std::size_t blockSize_;
    std::string block_;
    std::vector<std::size_t> rowEnds_;  // end offset of each queued line
    RowsWritten rows_;
};

}  // namespace

RowsWritten writeContactRows(const ContactList& list, platform::DestinationFile& file, std::size_t blockSize) {
    RowWriter writer(file, blockSize);
    for (const ContactRecord& record : list.records)
        if (isExportable(record)) writer.add(list, record);
    return writer.finish();
}

}  // namespace velmora
