#include "conversion/report.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "csv/csv_writer.h"
#include "platform/platform.h"

namespace velmora {
namespace {

// Every reason the account names, in the order of its totals.
enum class Reason : std::size_t {
    noEnd,
    beginInside,
    version,
    charset,
    encoding,
    nothingToWrite,
    telephone,
    email,
    notUsed,
    utf8,
};
constexpr std::size_t kReasonCount = 10;

struct Label {
    std::string_view japanese;
    std::string_view english;
};

constexpr std::array<Label, kReasonCount> kReasonLabels = {{
    {"END:VCARDがありません", "no END:VCARD"},
    {"END:VCARDの前に次のBEGIN:VCARDがあります", "a BEGIN:VCARD before its END:VCARD"},
    {"対応していないVERSION", "unsupported VERSION"},
    {"対応していないCHARSET", "unsupported CHARSET"},
    {"対応していないENCODING", "unsupported ENCODING"},
    {"書き出す項目がありません", "nothing to write"},
    {"空いている列のないTEL", "TEL with no free column"},
    {"空いている列のないEMAIL", "EMAIL with no free column"},
    {"使われなかった行（2つ目以降・グループ名付き）", "line not used (a second one, or grouped)"},
    {"CHARSETのないUTF-8（文字化けします）", "UTF-8 without CHARSET (shows garbled)"},
}};

constexpr std::string_view kNotWritten = "書き出されない連絡先 / Contacts not written";
constexpr std::string_view kLostSomething = "一部が書き出されない連絡先 / Written contacts that lost something";
constexpr std::string_view kTotals = "理由ごとの件数 / Totals per reason";
constexpr std::string_view kNoName = "（名前なし / no name）";

Reason reasonOf(UnsupportedBy cause) {
    switch (cause) {
    case UnsupportedBy::version:
        return Reason::version;
    case UnsupportedBy::charset:
        return Reason::charset;
    case UnsupportedBy::encoding:
        break;
    }
    return Reason::encoding;
}

Reason reasonOf(Loss loss) {
    switch (loss) {
    case Loss::telephoneWithoutColumn:
        return Reason::telephone;
    case Loss::emailWithoutColumn:
        return Reason::email;
    case Loss::notUsed:
        return Reason::notUsed;
    case Loss::utf8Unconverted:
        break;
    }
    return Reason::utf8;
}

// UTF-8 text made safe to print: control characters (C0, DEL and the C1
// range, which terminals may take for commands) become "?".
std::string printable(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x20 || c == 0x7F) {
            out += '?';
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            out += '?';
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string fromAnsi(std::string_view ansi) {
    return printable(platform::ansiToUtf8(ansi));
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
        std::optional<std::string_view> name = list.text(record, Field::fullName);
        if ((!name || name->empty()) && facts != nullptr && facts->formattedName) name = *facts->formattedName;
        std::string text = "  " + number(index + 1) + "件目";
        if (facts != nullptr) text += "（" + number(facts->beginLine) + "行目）";
        text += " / contact " + number(index + 1);
        if (facts != nullptr) text += " (line " + number(facts->beginLine) + ")";
        text += ": ";
        text += name && !name->empty() ? fromAnsi(*name) : std::string(kNoName);
        line(text);
    }

    // One reason under a contact; `lineNumber` 0 names no line.
    void reason(Reason reason, std::uint64_t lineNumber, std::string_view detail) {
        const Label& label = kReasonLabels[static_cast<std::size_t>(reason)];
        std::string text = "    " + std::string(label.japanese) + " / " + std::string(label.english);
        if (lineNumber != 0) text += ", " + number(lineNumber) + "行目 / line " + number(lineNumber);
        if (!detail.empty()) text += ": " + std::string(detail);
        line(text);
        ++totals_[static_cast<std::size_t>(reason)];
    }

    void totals() {
        line(kTotals);
        for (std::size_t i = 0; i < kReasonCount; ++i)
            line("  " + std::string(kReasonLabels[i].japanese) + " / " + std::string(kReasonLabels[i].english) + ": " +
                 number(totals_[i]) + "件");
    }

    std::string take() { return std::move(out_); }

private:
    std::string out_;
    std::array<std::uint64_t, kReasonCount> totals_{};
};

}  // namespace

std::string describeAccount(const ContactList& list, const Account& account) {
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
                out.reason(Reason::beginInside, next != nullptr ? next->beginLine : 0, {});
            else
                out.reason(Reason::noEnd, 0, {});
        }
        if (record.unsupported && facts != nullptr && facts->unsupported) {
            const UnsupportedLine& cause = *facts->unsupported;
            out.reason(reasonOf(cause.cause), cause.lineNumber, fromAnsi(cause.text));
        }
        if (record.complete && !record.unsupported) out.reason(Reason::nothingToWrite, 0, {});
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
            out.reason(reasonOf(lost.loss), lost.lineNumber, fromAnsi(lost.property) + ":" + value);
        }
    }

    out.line({});
    out.totals();
    return out.take();
}

}  // namespace velmora
