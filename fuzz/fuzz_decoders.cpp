// Fuzz target: the value decoders (BASE64, QUOTED-PRINTABLE, UTF-8 into the
// ANSI code page, the birthday format, and decodeValue that chains them).
//
// The first input byte picks the line's codes; the rest is the value. Each
// decoder is compared with a plain reference written from the decoding rules,
// which handles malformed text the documented way: a BASE64 character outside
// the alphabet is worth 0, a last group of k < 4 characters gives k - 1 bytes,
// and a QUOTED-PRINTABLE "=" not followed by a hexadecimal digit stays as
// written with the (at most two) characters it consumes.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/platform.h"
#include "vcard/contact.h"
#include "vcard/decode.h"
#include "vcard/decode_internal.h"

namespace {

using namespace velmora;

int sixBits(unsigned char c) {
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
    const std::size_t at = alphabet.find(static_cast<char>(c));
    return at == std::string_view::npos ? 0 : static_cast<int>(at & 63);
}

std::string referenceBase64(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const std::size_t k = text.size() - i < 4 ? text.size() - i : 4;
        unsigned group = 0;
        for (std::size_t j = 0; j < 4; ++j)
            group = group << 6 | (j < k ? static_cast<unsigned>(sixBits(static_cast<unsigned char>(text[i + j]))) : 0u);
        for (std::size_t j = 0; j + 1 < k; ++j) out += static_cast<char>(group >> (16 - 8 * j) & 0xFF);
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string referenceQuotedPrintable(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != '=') {
            out += text[i++];
            continue;
        }
        const std::size_t consumed = text.size() - i - 1 < 2 ? text.size() - i - 1 : 2;
        const int high = consumed >= 1 ? hexDigit(text[i + 1]) : -1;
        const int low = consumed >= 2 ? hexDigit(text[i + 2]) : -1;
        if (high < 0)
            out += text.substr(i, 1 + consumed);
        else
            out += static_cast<char>(low < 0 ? high : high * 16 + low);
        i += 1 + consumed;
    }
    return out;
}

std::string utf8ToAnsi(std::string_view text) {
    return decodeValue(text, {TransferEncoding::none, TextEncoding::utf8, Escapes::kept});
}

std::string upToZero(std::string text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto transferEncoding = static_cast<TransferEncoding>(data[0] % 3);
    const auto encoding = static_cast<TextEncoding>(data[0] / 3 % 2);
    const bool unescape = (data[0] & 0x40) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::string base64 = decodedBase64(text);
    FUZZ_CHECK(base64 == referenceBase64(text));
    const std::string quotedPrintable = decodedQuotedPrintable(text);
    FUZZ_CHECK(quotedPrintable == referenceQuotedPrintable(text));

    // UTF-8 into code page 932: never longer than its input, no zero byte
    // made up, ASCII unchanged, unconvertible input turned into spaces. A
    // zero byte may vanish: a four-byte lead cut short takes the rest of the
    // text with it, as Windows' decoder does ("\xF0\xF0\0" gives spaces only).
    const std::string ansi = utf8ToAnsi(text);
    FUZZ_CHECK(ansi.size() <= text.size());
    if (ansi.find('\0') != std::string::npos) FUZZ_CHECK(text.find('\0') != std::string_view::npos);
    bool ascii = true;
    for (const unsigned char c : text) ascii = ascii && c < 0x80;
    if (ascii) {
        FUZZ_CHECK(ansi == text);
        const auto converted = platform::utf8ToAnsi(text);
        FUZZ_CHECK(converted && *converted == text);
    }

    // A value token never holds a zero byte: the text ends before it.
    const std::string token = upToZero(std::string(text));
    std::string transferred = transferEncoding == TransferEncoding::base64 ? upToZero(decodedBase64(token))
                              : transferEncoding == TransferEncoding::quotedPrintable
                                  ? upToZero(decodedQuotedPrintable(token))
                                  : token;
    // Unescaping never makes a value longer ("\n" becomes CR LF, the rest
    // shrinks or stays).
    std::string unescaped;
    unescapeValue(transferred, encoding, unescaped);
    FUZZ_CHECK(unescaped.size() <= transferred.size());
    if (unescape) transferred = unescaped;
    const std::string expected = encoding == TextEncoding::utf8 ? utf8ToAnsi(transferred) : transferred;
    const LineCoding coding{transferEncoding, encoding, unescape ? Escapes::undone : Escapes::kept};
    FUZZ_CHECK(decodeValue(token, coding) == expected);
    ValueDecoder reused;
    reused.decode("left over from the previous value", coding);
    FUZZ_CHECK(reused.decode(token, coding) == expected);

    const std::string birthday = formatBirthday(token);
    bool eightDigits = token.size() == 8;
    for (const char c : token) eightDigits = eightDigits && c >= '0' && c <= '9';
    if (eightDigits)
        FUZZ_CHECK(birthday == token.substr(0, 4) + "/" + token.substr(4, 2) + "/" + token.substr(6, 2));
    else
        FUZZ_CHECK(birthday == token);
    return 0;
}
