#include "vcard/source_text.h"

#include <cstring>

namespace velmora {

void LastCrlfFinder::add(std::string_view piece) {
    if (piece.empty()) return;
    // A CR LF may straddle two pieces.
    if (previousEndsInCr_ && piece[0] == '\n') last_ = next_ - 1;
    // A piece without any CR, as every piece of a text with LF line ends
    // is, is passed over with one memchr instead of a search backwards.
    if (std::memchr(piece.data(), '\r', piece.size()) != nullptr) {
        const std::size_t at = piece.rfind("\r\n");
        if (at != std::string_view::npos) last_ = next_ + at;
    }
    previousEndsInCr_ = piece.back() == '\r';
    next_ += piece.size();
}

void Utf8Check::add(std::string_view piece) {
    const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
    const auto* const end = p + piece.size();
    while (p < end && !failed_) {
        if (need_ > 0) {
            if (*p < low_ || *p > high_) {
                failed_ = true;
                return;
            }
            low_ = 0x80;
            high_ = 0xBF;
            --need_;
            ++p;
            continue;
        }
        // Runs of ASCII, eight bytes at a time.
        constexpr std::uint64_t kHighBits = 0x8080808080808080u;
        for (std::uint64_t word; end - p >= 8; p += 8) {
            std::memcpy(&word, p, 8);
            if ((word & kHighBits) != 0) break;
        }
        if (p == end) break;
        const unsigned c = *p++;
        if (c < 0x80) continue;
        highByte_ = true;
        if (c >= 0xC2 && c <= 0xDF) {
            need_ = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            need_ = 2;
            if (c == 0xE0) low_ = 0xA0;   // no overlong forms
            if (c == 0xED) high_ = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            need_ = 3;
            if (c == 0xF0) low_ = 0x90;   // no overlong forms
            if (c == 0xF4) high_ = 0x8F;  // nothing above U+10FFFF
        } else {
            failed_ = true;
        }
    }
}

bool isWellFormedUtf8(std::string_view text) {
    Utf8Check check;
    check.add(text);
    return check.wellFormed();
}

SourceReading readingOf(const Utf8Check& check) {
    return check.wellFormed() && check.sawHighByte() ? SourceReading::utf8WellFormed : SourceReading::codePage;
}

TextFacts factsOf(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    const std::size_t lastCrlf = text.rfind("\r\n");
    Utf8Check check;
    check.add(text);
    return TextFacts{lastCrlf == std::string_view::npos ? std::nullopt : std::optional<std::uint64_t>(lastCrlf),
                     readingOf(check)};
}

}  // namespace velmora
