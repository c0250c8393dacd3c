#include "vcard/decode.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "platform/platform.h"
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

bool isAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
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

std::string decodeBase64(std::string_view text) {
    std::string out;
    decodeBase64(text, out);
    return out;
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

std::string decodeQuotedPrintable(std::string_view text) {
    std::string out;
    decodeQuotedPrintable(text, out);
    return out;
}

void utf8ToAnsi(std::string_view text, std::string& out) {
    // ASCII is the same in every ANSI code page.
    if (isAscii(text)) {
        out.assign(text);
        return;
    }
    auto converted = platform::utf8ToAnsi(text);
    if (!converted) throw std::bad_alloc();
    out = std::move(*converted);
}

std::string utf8ToAnsi(std::string_view text) {
    std::string out;
    utf8ToAnsi(text, out);
    return out;
}

void decodeValue(std::string_view text, TransferEncoding transferEncoding, Charset charset, std::string& out) {
    // Without a conversion to follow, the transfer decoding goes straight
    // into `out`.
    thread_local std::string scratch;
    std::string& transferred = charset == Charset::utf8 ? scratch : out;
    switch (transferEncoding) {
    case TransferEncoding::none:
        transferred.assign(text);
        break;
    case TransferEncoding::base64:
    case TransferEncoding::quotedPrintable:
        if (transferEncoding == TransferEncoding::base64)
            decodeBase64(text, transferred);
        else
            decodeQuotedPrintable(text, transferred);
        // Decoded text is a string up to its first zero byte ("QQ==" is "A").
        if (const std::size_t nul = transferred.find('\0'); nul != std::string::npos) transferred.resize(nul);
        break;
    }
    if (charset == Charset::utf8) utf8ToAnsi(transferred, out);
}

std::string decodeValue(std::string_view text, TransferEncoding transferEncoding, Charset charset) {
    std::string out;
    decodeValue(text, transferEncoding, charset, out);
    return out;
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
