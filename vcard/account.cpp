#include "vcard/account.h"

#include <algorithm>

#include "platform/platform.h"
#include "vcard/decode.h"
#include "vcard/keywords.h"
#include "vcard/source_text.h"
#include "vcard/tokens.h"

namespace velmora {
namespace {

bool isShiftJisLead(unsigned char c) {
    return platform::leadByteTable()[c];
}

bool hasHighBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// At most about `limit` bytes of `text`, cut between two characters of the
// text's encoding and marked "..." when cut: an account names a line, it
// does not copy it.
std::string kept(std::string_view text, std::size_t limit, TextEncoding encoding) {
    if (text.size() <= limit) return std::string(text);
    std::size_t end = 0;
    if (encoding == TextEncoding::utf8) {
        end = limit;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    } else {
        for (;;) {
            const std::size_t step = isShiftJisLead(static_cast<unsigned char>(text[end])) ? 2 : 1;
            if (end + step > limit) break;
            end += step;
        }
    }
    return std::string(text.substr(0, end)) + "...";
}

}  // namespace

bool isWellFormedShiftJis(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned c = p[i];
        if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;
        if (!isShiftJisLead(c)) return false;
        if (++i == n) return false;
        const unsigned trail = p[i];
        if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
    }
    return true;
}

void Account::blockBegun(std::uint64_t lineNumber) {
    blocks_.push_back(BlockFacts{lineNumber, std::nullopt, std::nullopt, {}});
}

void Account::lineLost(Loss loss, const LogicalLine& line, const ValueCoding& coding) {
    if (blocks_.empty()) return;
    const std::string decoded = decodeValue(line.value(), coding);
    blocks_.back().lost.push_back(
        LostLine{loss, line.number, keptAsWritten(line.name()), kept(decoded, kKeptBytes, TextEncoding::codePage)});
}

void Account::lineApplied(const LogicalLine& line, const ValueCoding& coding, bool stored) {
    if (coding.text == TextEncoding::utf8 || blocks_.empty()) return;
    // A line that names another charset is unsupported and says what its
    // text is; it tells nothing about the lines that name none.
    if (line.charset == Charset::none && line.names(keywords::charset)) return;
    // The value's bytes as they reach the record.
    const std::string decoded = decodeValue(line.value(), coding);
    if (!hasHighBytes(decoded)) return;
    if (!isWellFormedUtf8(decoded)) {
        ++textNotUtf8_;
        return;
    }
    if (line.charset != Charset::none || !stored) return;
    LostLine lost{Loss::utf8Unconverted, line.number, keptAsWritten(line.name()),
                  kept(decoded, kKeptBytes, TextEncoding::utf8)};
    lost.alsoShiftJis = isWellFormedShiftJis(decoded);
    blocks_.back().lost.push_back(std::move(lost));
}

void Account::formattedName(const LogicalLine& line, const ValueCoding& coding) {
    if (blocks_.empty() || blocks_.back().formattedName) return;
    blocks_.back().formattedName = kept(decodeValue(line.value(), coding), kKeptBytes, TextEncoding::codePage);
}

void Account::markedUnsupported(UnsupportedBy cause, std::uint64_t lineNumber, std::string_view text) {
    if (blocks_.empty() || blocks_.back().unsupported) return;
    blocks_.back().unsupported = UnsupportedLine{cause, lineNumber, keptAsWritten(text)};
}

std::string Account::keptAsWritten(std::string_view text) const {
    return kept(text, kKeptBytes, isUtf8(reading_) ? TextEncoding::utf8 : TextEncoding::codePage);
}

void Account::clear() {
    blocks_.clear();
    textNotUtf8_ = 0;
}

bool Account::shown(const LostLine& line) const {
    if (line.loss != Loss::utf8Unconverted) return true;
    return !line.alsoShiftJis || textNotUtf8_ == 0;
}

}  // namespace velmora
