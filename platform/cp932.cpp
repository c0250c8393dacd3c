#include "platform/cp932.h"

#include <cstring>

namespace velmora::platform::cp932 {
namespace {

struct Tables {
    std::array<bool, 256> lead{};
    // Per lead byte, its row of doubleByteUnits.
    std::array<const char16_t*, 256> rows{};
    std::array<std::uint16_t, 0x10000> encode{};
};

// The encoder's table: the inverse of the decode table, the first code of a
// unit winning (single bytes, then double bytes in ascending order), with
// the generated exceptions laid over it. scripts/cp932-table.cpp lists the
// exceptions against exactly this inverse.
Tables build() {
    Tables t;
    std::size_t row = 0;
    for (std::size_t r = 0; r < leadRangeCount; ++r) {
        for (unsigned b = leadByteRanges[r].first; b <= leadByteRanges[r].last; ++b) {
            t.lead[b] = true;
            t.rows[b] = doubleByteUnits[row++];
        }
    }
    t.encode.fill(noBytes);
    for (unsigned b = 0; b < 256; ++b) {
        std::uint16_t& code = t.encode[singleByteUnits[b]];
        if (!t.lead[b] && code == noBytes) code = static_cast<std::uint16_t>(b);
    }
    for (unsigned b = 0; b < 256; ++b) {
        if (!t.lead[b]) continue;
        for (std::size_t k = 0; k < trailCount; ++k) {
            std::uint16_t& code = t.encode[t.rows[b][k]];
            if (code == noBytes) code = static_cast<std::uint16_t>(b << 8 | (firstTrail + k));
        }
    }
    for (std::size_t k = 0; k < encodeExceptionCount; ++k) {
        t.encode[encodeExceptions[k].unit] = encodeExceptions[k].bytes;
    }
    return t;
}

const Tables& tables() {
    static const Tables t = build();
    return t;
}

void append(std::string& out, std::uint16_t bytes, char replacement) {
    if (bytes == noBytes) {
        out.push_back(replacement);
    } else if (bytes < 0x100) {
        out.push_back(static_cast<char>(bytes));
    } else {
        out.push_back(static_cast<char>(bytes >> 8));
        out.push_back(static_cast<char>(bytes & 0xFF));
    }
}

void appendUtf8(std::string& out, char16_t unit) {
    if (unit < 0x80) {
        out.push_back(static_cast<char>(unit));
    } else if (unit < 0x800) {
        out.push_back(static_cast<char>(0xC0 | unit >> 6));
        out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | unit >> 12));
        out.push_back(static_cast<char>(0x80 | (unit >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
}

// Length of the run of ASCII bytes at the start of `text`.
std::size_t asciiRun(const char* text, std::size_t size) {
    std::size_t n = 0;
    while (n + 8 <= size) {
        std::uint64_t word;
        std::memcpy(&word, text + n, 8);
        if (word & 0x8080808080808080u) break;
        n += 8;
    }
    while (n < size && static_cast<unsigned char>(text[n]) < 0x80) ++n;
    return n;
}

}  // namespace

const std::array<bool, 256>& leadBytes() {
    return tables().lead;
}

std::uint16_t encodeUnit(char16_t unit) {
    return tables().encode[unit];
}

Utf8Step decodeUtf8Sequence(std::string_view text, std::size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    const unsigned lead = p[at];
    std::size_t i = at + 1;
    // Continuation bytes that the lead byte announces; none for the bytes that
    // begin no sequence (continuation bytes, C0, C1, F5 to FF).
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 1
                               : lead >= 0xE0 && lead <= 0xEF ? 2
                               : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                              : 0;
    const Utf8Step invalid{{u'\uFFFD', 0}, 1, i};
    if (length == 0) return invalid;
    // The terminator counts as one more byte that is there.
    if (length > size - i + 1) return {{u'\uFFFD', 0}, 1, size};
    unsigned value = lead & (length == 1 ? 0x1Fu : length == 2 ? 0x0Fu : 0x07u);
    for (std::size_t k = 0; k < length; ++k) {
        // The terminator, like every byte outside 80 to BF, is no continuation.
        const unsigned c = i < size ? p[i] ^ 0x80u : 0x80u;
        if (c >= 0x40) return {{u'\uFFFD', 0}, 1, i};
        value = value << 6 | c;
        ++i;
        if (k == 0 && ((length == 3 && (value < 0x10 || value >= 0x110)) ||
                       (length == 2 && (value < 0x20 || (value >= 0x360 && value < 0x380))))) {
            return {{u'\uFFFD', 0}, 1, i};
        }
    }
    if (value < 0x10000) return {{static_cast<char16_t>(value), 0}, 1, i};
    value -= 0x10000;
    return {{static_cast<char16_t>(0xD800 | value >> 10), static_cast<char16_t>(0xDC00 | (value & 0x3FF))}, 2, i};
}

std::string fromUtf8(std::string_view utf8) {
    std::string out;
    fromUtf8(utf8, out);
    return out;
}

void fromUtf8(std::string_view utf8, std::string& out) {
    const auto& encode = tables().encode;
    const std::size_t size = utf8.size();
    // Never longer than the UTF-8: every character of one to three bytes takes
    // at most as many here, a four-byte one two spaces, and a byte that
    // begins no character one space (U+FFFD has no code).
    out.resize(size);
    char* o = out.data();
    const auto put = [&](std::uint16_t bytes) {
        if (bytes == noBytes) {
            *o++ = ' ';
        } else if (bytes < 0x100) {
            *o++ = static_cast<char>(bytes);
        } else {
            *o++ = static_cast<char>(bytes >> 8);
            *o++ = static_cast<char>(bytes & 0xFF);
        }
    };
    std::size_t i = 0;
    while (i < size) {
        const std::size_t run = asciiRun(utf8.data() + i, size - i);
        std::memcpy(o, utf8.data() + i, run);
        o += run;
        i += run;
        if (i == size) break;
        const Utf8Step step = decodeUtf8Sequence(utf8, i);
        for (int k = 0; k < step.count; ++k) put(encode[step.units[k]]);
        i = step.next;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

std::string fromUtf16le(std::string_view bytes) {
    const auto& encode = tables().encode;
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit =
            static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (unit == 0) break;
        append(out, encode[unit], systemDefaultChar);
    }
    return out;
}

std::string toUtf8(std::string_view ansi) {
    const Tables& t = tables();
    const auto* p = reinterpret_cast<const unsigned char*>(ansi.data());
    std::string out;
    out.reserve(ansi.size());
    std::size_t i = 0;
    while (i < ansi.size()) {
        const std::size_t run = asciiRun(ansi.data() + i, ansi.size() - i);
        out.append(ansi.data() + i, run);
        i += run;
        if (i == ansi.size()) break;
        const unsigned b = p[i++];
        if (t.lead[b] && i < ansi.size() && p[i] != 0) {
            const unsigned trail = p[i++];
            appendUtf8(out, trail >= firstTrail && trail <= lastTrail ? t.rows[b][trail - firstTrail] : defaultUnit);
        } else {
            appendUtf8(out, singleByteUnits[b]);
        }
    }
    return out;
}

}  // namespace velmora::platform::cp932
