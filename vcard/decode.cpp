#include "vcard/decode.h"

#include "vcard/decode_internal.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "platform/platform.h"
#include "platform/shift_jis.h"
#include "vcard/contact.h"

namespace velmora {
namespace {

// Six-bit values of the 65 characters "A-Za-z0-9+/="; "=" is worth 0, and so
// is every byte outside the alphabet.
constexpr std::array<unsigned char, 256> makeBase64Table() {
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 65; ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<unsigned char>(i & 63);
    return table;
}
constexpr auto kBase64 = makeBase64Table();

// Values of the hexadecimal digits in either case; -1 for every other byte.
constexpr std::array<signed char, 256> kHexValues = [] {
    std::array<signed char, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<signed char>(i);
    for (int i = 0; i < 6; ++i) table['a' + i] = table['A' + i] = static_cast<signed char>(10 + i);
    return table;
}();

int hexValue(unsigned char c) {
    return kHexValues[c];
}

}  // namespace

void decodeBase64(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size() / 4 * 3 + 3);
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t full = text.size() / 4 * 4;
    for (std::size_t i = 0; i < full; i += 4) {
        const unsigned a = kBase64[p[i]], b = kBase64[p[i + 1]], c = kBase64[p[i + 2]], d = kBase64[p[i + 3]];
        const char bytes[3] = {static_cast<char>((a << 2) | (b >> 4)), static_cast<char>((b << 4) | (c >> 2)),
                               static_cast<char>((c << 6) | d)};
        out.append(bytes, 3);
    }
    // A cut-short last group: the bytes its characters fully determine.
    const std::size_t rest = text.size() - full;
    if (rest >= 2) {
        const unsigned a = kBase64[p[full]], b = kBase64[p[full + 1]];
        out.push_back(static_cast<char>((a << 2) | (b >> 4)));
        if (rest == 3) {
            const unsigned c = kBase64[p[full + 2]];
            out.push_back(static_cast<char>((b << 4) | (c >> 2)));
        }
    }
}

void decodeQuotedPrintable(std::string_view text, std::string& out) {
    // The decoded text is never longer than the encoded one.
    out.resize(text.size());
    char* o = out.data();
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        if (text[i] != '=') {
            *o++ = text[i++];
            continue;
        }
        // The "=" consumes the (at most two) characters after it.
        const std::size_t consumed = std::min<std::size_t>(2, n - i - 1);
        const int high = consumed >= 1 ? hexValue(static_cast<unsigned char>(text[i + 1])) : -1;
        if (high < 0) {
            for (std::size_t j = 0; j <= consumed; ++j) *o++ = text[i + j];  // not an escape: kept as written
        } else {
            const int low = consumed == 2 ? hexValue(static_cast<unsigned char>(text[i + 2])) : -1;
            *o++ = static_cast<char>(low < 0 ? high : high * 16 + low);
        }
        i += 1 + consumed;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

void unescapeValue(std::string_view text, TextEncoding encoding, std::string& out) {
    out.clear();
    out.reserve(text.size() + 1);
    const shift_jis::Walk characters(text);
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (encoding == TextEncoding::codePage && characters.characterLength(i) == 2) {
            out.append(text.substr(i, 2));  // a double-byte character, whatever its second byte
            ++i;
            continue;
        }
        if (c != '\\' || i + 1 == n) {
            out += c;
            continue;
        }
        switch (const char next = text[i + 1]) {
        case '\\':
        case ',':
        case ':':
            out += next;
            ++i;
            break;
        case 'n':
        case 'N':
            out += "\r\n";
            ++i;
            break;
        default:
            out += c;  // "\;" and a backslash before anything else stay
            break;
        }
    }
}

std::string_view ValueDecoder::decode(std::string_view text, const LineCoding& coding) {
    std::string_view value = text;
    if (coding.transfer != TransferEncoding::none) {
        if (coding.transfer == TransferEncoding::base64)
            decodeBase64(text, transferred_);
        else
            decodeQuotedPrintable(text, transferred_);
        value = transferred_;
        // Decoded text is a string up to its first zero byte ("QQ==" is "A").
        value = value.substr(0, value.find('\0'));
    }
    if (coding.escapes == Escapes::undone && value.find('\\') != std::string_view::npos) {
        unescapeValue(value, coding.text, unescaped_);
        value = unescaped_;
    }
    // ASCII is the same in every ANSI code page.
    if (coding.text == TextEncoding::utf8 && !ascii::isAscii(value)) {
        if (!platform::utf8ToAnsi(value, converted_)) throw std::bad_alloc();
        value = converted_;
    }
    return value;
}

std::string decodeValue(std::string_view text, const LineCoding& coding) {
    ValueDecoder decoder;
    return std::string(decoder.decode(text, coding));
}

std::string formatBirthday(std::string_view text) {
    if (text.size() == 8) {
        bool digits = true;
        for (char c : text) digits = digits && c >= '0' && c <= '9';
        if (digits) {
            std::string out;
            out.reserve(10);
            out.append(text.substr(0, 4)).append("/").append(text.substr(4, 2)).append("/").append(text.substr(6, 2));
            return out;
        }
    }
    return std::string(text);
}

}  // namespace velmora
