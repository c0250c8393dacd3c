#include "vcard/source_text.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmora {
namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080u;

std::uint64_t word(const unsigned char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// The index of the first byte of a word with its high bit set, given the
// word's high bits.
int firstHighByte(std::uint64_t high) {
    return (std::endian::native == std::endian::little ? std::countr_zero(high) : std::countl_zero(high)) / 8;
}

// Skips 64-byte blocks of ASCII: with SSE2, which every x86-64 processor has,
// a few operations a block.
const unsigned char* skipAsciiBlocks(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
    for (; end - p >= 64; p += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) break;
    }
#else
    for (; end - p >= 32; p += 32)
        if (((word(p) | word(p + 8) | word(p + 16) | word(p + 24)) & kHighBits) != 0) break;
#endif
    return p;
}

}  // namespace

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
            // The rest of a sequence begun in an earlier piece.
            failed_ = *p < low_ || *p > high_;
            low_ = 0x80;
            high_ = 0xBF;
            --need_;
            ++p;
            continue;
        }
        if (*p < 0x80) {
            // Runs of ASCII up to the next byte above 0x7F: a short one (a
            // ";", digits) ends within the next eight bytes, a long one (a
            // photo's BASE64 text) is skipped in blocks. UTF-8 books read up
            // to a fifth faster than byte by byte.
            if (end - p >= 8) {
                if (const std::uint64_t high = word(p) & kHighBits; high != 0) {
                    p += firstHighByte(high);
                } else {
                    p = skipAsciiBlocks(p + 8, end);
                    for (; end - p >= 8; p += 8)
                        if (const std::uint64_t found = word(p) & kHighBits; found != 0) {
                            p += firstHighByte(found);
                            break;
                        }
                }
            }
            while (p < end && *p < 0x80) ++p;
            if (p == end) break;
        }
        highByte_ = true;
        const unsigned c = *p;
        std::ptrdiff_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;   // no overlong forms
            if (c == 0xED) high = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;   // no overlong forms
            if (c == 0xF4) high = 0x8F;  // nothing above U+10FFFF
        } else {
            failed_ = true;
            break;
        }
        if (end - p < length) {
            // The sequence runs on into the next piece.
            need_ = static_cast<unsigned>(length - 1);
            low_ = low;
            high_ = high;
            ++p;
            continue;
        }
        bool fits = p[1] >= low && p[1] <= high;
        for (std::ptrdiff_t k = 2; k < length; ++k) fits = fits && (p[k] & 0xC0) == 0x80;
        failed_ = !fits;
        p += length;
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

SourceReading readingOf(std::string_view text) {
    Utf8Check check;
    check.add(text.substr(0, text.find('\0')));
    return readingOf(check);
}

}  // namespace velmora
