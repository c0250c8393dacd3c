#include "vcard/account.h"

#include <algorithm>

#include "platform/shift_jis.h"
#include "vcard/keywords.h"
#include "vcard/source_text.h"
#include "vcard/tokens.h"

namespace velmora {
namespace {

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
        end = shift_jis::cutBetweenCharacters(text, limit);
    }
    return std::string(text.substr(0, end)) + "...";
}

}  // namespace

void Account::blockBegun(std::uint64_t lineNumber) {
    blocks_.push_back(BlockFacts{lineNumber, std::nullopt, std::nullopt, {}});
}

void Account::lineLost(Loss loss, const LogicalLine& line, std::string_view value) {
    if (blocks_.empty()) return;
    blocks_.back().lost.push_back(
        LostLine{loss, line.number, keptAsWritten(line.name()), kept(value, kKeptBytes, TextEncoding::codePage)});
}

void Account::lineApplied(const LogicalLine& line, const LineCoding& coding, std::string_view decoded, bool stored) {
    if (coding.text == TextEncoding::utf8 || blocks_.empty()) return;
    // A line that names another charset is unsupported and says what its
    // text is; it tells nothing about the lines that name none.
    if (coding.charset == Charset::none && line.names(keywords::charset)) return;
    if (ascii::isAscii(decoded)) return;
    if (!isWellFormedUtf8(decoded)) {
        ++textNotUtf8_;
        return;
    }
    if (coding.charset != Charset::none || !stored) return;
    LostLine lost{Loss::utf8Unconverted, line.number, keptAsWritten(line.name()),
                  kept(decoded, kKeptBytes, TextEncoding::utf8)};
    lost.alsoShiftJis = shift_jis::isWellFormed(decoded);
    blocks_.back().lost.push_back(std::move(lost));
}

void Account::formattedName(std::string_view name) {
    if (blocks_.empty() || blocks_.back().formattedName) return;
    blocks_.back().formattedName = kept(name, kKeptBytes, TextEncoding::codePage);
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
