#include "vcard/account.h"

#include <algorithm>

#include "platform/platform.h"
#include "vcard/decode.h"
#include "vcard/keywords.h"
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
std::string kept(std::string_view text, std::size_t limit, bool utf8) {
    if (text.size() <= limit) return std::string(text);
    std::size_t end = 0;
    if (utf8) {
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

bool isWellFormedUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (n - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if (p[i + k] < low || p[i + k] > high) return false;
            low = 0x80;
            high = 0xBF;
        }
        i += length;
    }
    return true;
}

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

void Account::markedUnsupported(UnsupportedBy cause, std::uint64_t lineNumber, std::string_view text) {
    if (blocks_.empty() || blocks_.back().unsupported) return;
    blocks_.back().unsupported = UnsupportedLine{cause, lineNumber, kept(text, kKeptBytes, false)};
}

void Account::lineLost(Loss loss, const LineState& lineState, std::string_view property, std::string_view value) {
    if (blocks_.empty()) return;
    const std::string decoded = decodeValue(value, lineState.encoding, lineState.charset);
    blocks_.back().lost.push_back(
        LostLine{loss, lineState.lineNumber, kept(property, kKeptBytes, false), kept(decoded, kKeptBytes, false)});
}

void Account::lineApplied(const LineState& lineState, std::string_view property, std::string_view value, bool stored) {
    if (lineState.charset == Charset::utf8 || blocks_.empty()) return;
    // A line that names another charset is unsupported and says what its
    // text is; it tells nothing about the lines that name none.
    if (lineState.charset == Charset::none && containsKeyword(property, profileOf(property), keywords::charset)) return;
    // The value's bytes as they reach the record when no charset applies.
    const std::string decoded = decodeValue(value, lineState.encoding, Charset::none);
    if (!hasHighBytes(decoded)) return;
    if (!isWellFormedUtf8(decoded)) {
        ++textNotUtf8_;
        return;
    }
    if (lineState.charset != Charset::none || !stored) return;
    LostLine line{Loss::utf8Unconverted, lineState.lineNumber, kept(property, kKeptBytes, false),
                  kept(decoded, kKeptBytes, true)};
    line.alsoShiftJis = isWellFormedShiftJis(decoded);
    blocks_.back().lost.push_back(std::move(line));
}

void Account::formattedName(const LineState& lineState, std::string_view value) {
    if (blocks_.empty() || blocks_.back().formattedName) return;
    blocks_.back().formattedName = kept(decodeValue(value, lineState.encoding, lineState.charset), kKeptBytes, false);
}

void Account::clear() {
    blocks_.clear();
    textNotUtf8_ = 0;
}

bool Account::shown(const LostLine& line) const {
    if (line.loss != Loss::utf8Unconverted) return true;
    return !line.alsoShiftJis || utf8Mark_ || textNotUtf8_ == 0;
}

}  // namespace velmora
