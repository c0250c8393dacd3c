#include "conversion/report.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string_view>

#include "csv/csv_writer.h"
#include "platform/platform.h"
#include "vcard/source_text.h"

namespace velmora {
namespace {

// Every reason the account names, in the order of its totals: what gives
// rise to it, and its two labels.
enum class Reason : std::uint8_t { noEnd, beginInside, unsupported, nothingToWrite, lost };

struct ReasonRow {
    Reason reason;
    std::optional<Layout> only;          // a reason of this layout's account alone
    std::optional<UnsupportedBy> cause;  // for Reason::unsupported
    std::optional<Loss> loss;            // for Reason::lost
    std::string_view japanese;
    std::string_view english;
};

constexpr ReasonRow kReasons[] = {
    {Reason::noEnd, {}, {}, {}, "END:VCARDがありません", "no END:VCARD"},
    {Reason::beginInside, {}, {}, {}, "END:VCARDの前に次のBEGIN:VCARDがあります", "a BEGIN:VCARD before its END:VCARD"},
    {Reason::unsupported, {}, UnsupportedBy::version, {}, "対応していないVERSION", "unsupported VERSION"},
    {Reason::unsupported, {}, UnsupportedBy::charset, {}, "対応していないCHARSET", "unsupported CHARSET"},
    {Reason::unsupported, {}, UnsupportedBy::encoding, {}, "対応していないENCODING", "unsupported ENCODING"},
    {Reason::nothingToWrite, {}, {}, {}, "書き出す項目がありません", "nothing to write"},
    {Reason::lost, {}, {}, Loss::telephoneWithoutColumn, "空いている列のないTEL", "TEL with no free column"},
    {Reason::lost, {}, {}, Loss::emailWithoutColumn, "空いている列のないEMAIL", "EMAIL with no free column"},
    {Reason::lost, Layout::full, {}, Loss::addressWithoutColumn, "空いている列のないADR", "ADR with no free column"},
    {Reason::lost, {}, {}, Loss::notUsed, "使われなかった行（2つ目以降）", "line not used (a second one)"},
    {Reason::lost,
     Layout::full,
     {},
     Loss::codingRefused,
     "使われなかった行（読めないCHARSET・ENCODING）",
     "line not used (a CHARSET or ENCODING that cannot be read)"},
    {Reason::lost,
     {},
     {},
     Loss::utf8Unconverted,
     "CHARSETのないUTF-8（文字化けします）",
     "UTF-8 without CHARSET (shows garbled)"},
};
constexpr std::size_t kReasonCount = std::size(kReasons);

// The row of a reason; `cause` and `loss` pick among the rows that share it.
std::size_t rowOf(Reason reason, std::optional<UnsupportedBy> cause = {}, std::optional<Loss> loss = {}) {
    for (std::size_t i = 0; i < kReasonCount; ++i)
        if (kReasons[i].reason == reason && kReasons[i].cause == cause && kReasons[i].loss == loss) return i;
    return 0;  // every combination the account makes has its row
}

constexpr std::string_view kReadAs = "読み取った文字コード / Read as: ";
constexpr std::string_view kNotWritten = "書き出されない連絡先 / Contacts not written";
constexpr std::string_view kLostSomething = "一部が書き出されない連絡先 / Written contacts that lost something";
constexpr std::string_view kTotals = "理由ごとの件数 / Totals per reason";
constexpr std::string_view kNoName = "（名前なし / no name）";

// UTF-8 text made safe to print: control characters (C0, DEL and the C1
// range, which terminals may take for commands) become "?".
// A byte that begins no well-formed character (a UTF-8 file with a
// byte-order mark may hold any bytes) becomes "?" as well.
std::string printable(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        const std::string_view character = utf8.substr(i, length);
        const bool control =
            c < 0x20 || c == 0x7F || (c == 0xC2 && static_cast<unsigned char>(character.back()) < 0xA0);
        if (character.size() == length && isWellFormedUtf8(character) && !control) {
            out += character;
            i += length;
        } else {
            out += '?';
            i += control && character.size() == length ? length : 1;
        }
    }
    return out;
}

std::string fromAnsi(std::string_view ansi) {
    return printable(platform::ansiToUtf8(ansi));
}

// The name a contact goes by: the whole name of the classic layout, or the
// family and given names of the full one, joined by a blank.
std::optional<std::string> nameOf(const ContactList& list, const ContactRecord& record) {
    if (auto whole = list.text(record, Field::fullName)) return std::string(*whole);
    std::optional<std::string> name;
    for (Field part : {Field::familyName, Field::givenName}) {
        const auto text = list.text(record, part);
        if (!text || text->empty()) continue;
        name = name ? *name + " " + std::string(*text) : std::string(*text);
    }
    return name;
}

std::string number(std::uint64_t n) {
    return std::to_string(n);
}

class Writer {
public:
    void line(std::string_view text) {
        out_ += text;
        out_ += '\n';
    }

    void heading(std::string_view title, std::size_t count) { line(std::string(title) + ": " + number(count) + "件"); }

    void contact(std::size_t index, const BlockFacts* facts, const ContactList& list, const ContactRecord& record) {
        std::optional<std::string> name = nameOf(list, record);
        if ((!name || name->empty()) && facts != nullptr && facts->formattedName) name = *facts->formattedName;
        std::string text = "  " + number(index + 1) + "件目";
        if (facts != nullptr) text += "（" + number(facts->beginLine) + "行目）";
        text += " / contact " + number(index + 1);
        if (facts != nullptr) text += " (line " + number(facts->beginLine) + ")";
        text += ": ";
        text += name && !name->empty() ? fromAnsi(*name) : std::string(kNoName);
        line(text);
    }

    // One reason under a contact, by its row; `lineNumber` 0 names no line.
    void reason(std::size_t row, std::uint64_t lineNumber, std::string_view detail) {
        const ReasonRow& label = kReasons[row];
        std::string text = "    " + std::string(label.japanese) + " / " + std::string(label.english);
        if (lineNumber != 0) text += ", " + number(lineNumber) + "行目 / line " + number(lineNumber);
        if (!detail.empty()) text += ": " + std::string(detail);
        line(text);
        ++totals_[row];
    }

    void totals(Layout layout) {
        line(kTotals);
        for (std::size_t i = 0; i < kReasonCount; ++i)
            if (!kReasons[i].only || kReasons[i].only == layout)
                line("  " + std::string(kReasons[i].japanese) + " / " + std::string(kReasons[i].english) + ": " +
                     number(totals_[i]) + "件");
    }

    std::string take() { return std::move(out_); }

private:
    std::string out_;
    std::array<std::uint64_t, kReasonCount> totals_{};
};

}  // namespace

std::string_view readingLabel(SourceReading reading) {
    switch (reading) {
    case SourceReading::utf8Marked:
        return "UTF-8（バイト順マーク / byte-order mark）";
    case SourceReading::utf8WellFormed:
        return "UTF-8（全体が正しいUTF-8 / well-formed UTF-8 throughout）";
    case SourceReading::utf16:
        return "UTF-16LE（コードページ932に変換 / converted into code page 932）";
    case SourceReading::codePage:
        break;
    }
    return "Shift_JIS（コードページ932 / code page 932）";
}

AccountReport describeAccount(const ContactList& list, const Account& account) {
    const auto& blocks = account.blocks();
    const auto factsOf = [&](std::size_t i) { return i < blocks.size() ? &blocks[i] : nullptr; };
    // A written contact lost something when one of its lost lines is shown.
    const auto lostSomething = [&](std::size_t i) {
        const BlockFacts* facts = factsOf(i);
        return facts != nullptr && isExportable(list.records[i]) &&
               std::any_of(facts->lost.begin(), facts->lost.end(),
                           [&](const LostLine& lost) { return account.shown(lost); });
    };
    Writer out;
    out.line(std::string(kReadAs) + std::string(readingLabel(account.reading())));
    out.line({});
    // Text quoted as the file wrote it, in the file's own encoding.
    const auto asWritten = [&](std::string_view text) {
        return isUtf8(account.reading()) ? printable(text) : fromAnsi(text);
    };

    std::size_t notWritten = 0;
    std::size_t lostSomethingCount = 0;
    for (std::size_t i = 0; i < list.count(); ++i) {
        if (!isExportable(list.records[i])) ++notWritten;
        if (lostSomething(i)) ++lostSomethingCount;
    }

    out.heading(kNotWritten, notWritten);
    for (std::size_t i = 0; i < list.count(); ++i) {
        const ContactRecord& record = list.records[i];
        if (isExportable(record)) continue;
        const BlockFacts* facts = factsOf(i);
        out.contact(i, facts, list, record);
        if (!record.complete) {
            // A record stays open only when the list ended or another block
            // began before its END:VCARD.
            const BlockFacts* next = factsOf(i + 1);
            if (i + 1 < list.count())
                out.reason(rowOf(Reason::beginInside), next != nullptr ? next->beginLine : 0, {});
            else
                out.reason(rowOf(Reason::noEnd), 0, {});
        }
        if (record.unsupported && facts != nullptr && facts->unsupported) {
            const UnsupportedLine& cause = *facts->unsupported;
            out.reason(rowOf(Reason::unsupported, cause.cause), cause.lineNumber, asWritten(cause.text));
        }
        if (record.complete && !record.unsupported) out.reason(rowOf(Reason::nothingToWrite), 0, {});
    }

    out.line({});
    out.heading(kLostSomething, lostSomethingCount);
    for (std::size_t i = 0; i < list.count(); ++i) {
        if (!lostSomething(i)) continue;
        const BlockFacts* facts = factsOf(i);
        out.contact(i, facts, list, list.records[i]);
        for (const LostLine& lost : facts->lost) {
            if (!account.shown(lost)) continue;
            // UTF-8 text is shown as what it was meant to be; everything
            // else as the CSV file will hold it.
            const std::string value = lost.loss == Loss::utf8Unconverted ? printable(lost.value) : fromAnsi(lost.value);
            out.reason(rowOf(Reason::lost, {}, lost.loss), lost.lineNumber, asWritten(lost.property) + ":" + value);
        }
    }

    out.line({});
    out.totals(list.layout());
    return {out.take(), notWritten, lostSomethingCount};
}

}  // namespace velmora
